#ifndef SELDIALOG_H
#define SELDIALOG_H

#include <QDialog>
#include <QList>
#include <QSerialPortInfo>

namespace Ui {
class SelDialog;
}

// The first window: lists the serial ports that belong to a ZORVEL module and
// lets the user choose one. Without such a port it offers the driver
// installation instead. The manual opens from here as well.
class SelDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SelDialog(QWidget *parent = nullptr);
    ~SelDialog() override;

    static QString itemText(const QString &portName, const QString &description);

    QSerialPortInfo selectedPort;

private slots:
    void on_cmdQuit_clicked();
    void on_cmdStart_clicked();
    void on_cmdDriverWizard_clicked();
    void on_cmdHelp_clicked();

private:
    void listServicePorts();
    void explainLinuxServicePort();

    QList<QSerialPortInfo> servicePorts;
    Ui::SelDialog *ui;
};

#endif // SELDIALOG_H
