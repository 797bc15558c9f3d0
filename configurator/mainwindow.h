#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "serviceprotocol.h"

#include <QMainWindow>
#include <QSerialPort>
#include <QSerialPortInfo>

namespace Ui {
class MainWindow;
}

// The main window: reads the module's identity and settings back over the
// open service port, and writes settings or a factory reset after the user
// confirms. Replies are applied by their frame type whenever they arrive.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(const QSerialPortInfo &info, QSerialPort *port, QWidget *parent = nullptr);
    ~MainWindow() override;

signals:
    void syncedFrom();

private slots:
    void errorReport(QSerialPort::SerialPortError e);
    void OnReadyRead();
    void OnMenuHelpAbout();
    void OnMenuHelpContents();
    void OnMenuDeviceFactoryDefault();
    void OnSyncFrom();
    void on_btnRs232cSyncTo_clicked();
    void on_btnUsbtmcSyncTo_clicked();
    void on_chkPeltaSafu_clicked();
    void on_chk4882Block_clicked();

private:
    void fillChoices();
    void handleFrame(const QByteArray &frame);
    void showModuleInfo(const QByteArray &frame);
    void showRs232cSettings(const QByteArray &frame);
    void showUsbtmcSettings(const QByteArray &frame);
    void restarted();
    Rs232cSettings rs232cSettingsFromForm() const;
    bool rs232cChoicesComplete() const;
    void sendConfirmed(const QByteArray &frame);
    bool confirm(const QString &question) const;
    void notify(const QString &notice) const;
    void lineLost();

    QSerialPortInfo m_portInfo;
    QSerialPort *m_port;
    FrameBuffer m_receiveBuffer;
    Ui::MainWindow *ui;
};

#endif // MAINWINDOW_H
