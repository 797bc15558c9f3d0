#ifndef HOSTLINKDIALOG_H
#define HOSTLINKDIALOG_H

#include "hostlinkcheck.h"
#include "serviceport.h"
#include "serviceprotocol.h"

#include <QDialog>
#include <QList>

#include <optional>

namespace Ui {
class HostLinkDialog;
}

// Tries the module's host link from the computer's end with the line
// settings the module last reported, and shows what was sent and received
// and the verdict, as zorvel check-host prints them. The host port is one
// of the serial ports that are not service ports, or a name typed in. The
// check runs from the event loop, so that the window stays responsive, and
// writes nothing to the module.
class HostLinkDialog : public QDialog
{
    Q_OBJECT

public:
    HostLinkDialog(const QList<PortEntry> &ports, QWidget *parent = nullptr);
    ~HostLinkDialog() override;

    // The module's service port and what it last reported; a check waits
    // until both its information and its RS232C settings are known.
    void setModule(const QString &servicePort, const std::optional<ModuleInfo> &info,
                   const std::optional<Rs232cSettings> &settings);

signals:
    // A check has ended and its result is shown.
    void checked(const HostLinkResult &result);

private slots:
    void on_btnCheck_clicked();

private:
    void showResult(const HostLinkResult &result);
    void setChecking(bool checking);

    Ui::HostLinkDialog *ui;
    HostLinkCheck m_check;
    QString m_servicePort;
    std::optional<ModuleInfo> m_info;
    std::optional<Rs232cSettings> m_settings;
};

#endif // HOSTLINKDIALOG_H
