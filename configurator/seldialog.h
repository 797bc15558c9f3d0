#ifndef SELDIALOG_H
#define SELDIALOG_H

#include "serviceport.h"

#include <QDialog>
#include <QList>
#include <QSerialPortInfo>

namespace Ui {
class SelDialog;
}

// The first window: lists the serial ports that belong to a ZORVEL module and
// lets the user choose one; each entry's tip tells modules apart by their
// USB serial number. Without such a port it offers the driver installation
// instead. The manual opens from here as well.
class SelDialog : public QDialog
{
    Q_OBJECT

public:
    // Over the ports the system lists, each of which is logged.
    explicit SelDialog(QWidget *parent = nullptr);
    explicit SelDialog(const QList<PortEntry> &ports, QWidget *parent = nullptr);
    ~SelDialog() override;

    static QString itemText(const QString &portName, const QString &description);
    static QString itemToolTip(const PortEntry &port);

    QSerialPortInfo selectedPort;
    // The chosen port as the list showed it, also when it went away since.
    PortEntry selectedEntry;

private slots:
    void on_cmdQuit_clicked();
    void on_cmdStart_clicked();
    void on_cmdDriverWizard_clicked();
    void on_cmdHelp_clicked();

private:
    static QList<PortEntry> loggedSystemPorts();
    void listServicePorts(const QList<PortEntry> &ports);
    void explainLinuxServicePort();

    QList<PortEntry> servicePorts;
    Ui::SelDialog *ui;
};

#endif // SELDIALOG_H
