#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "serviceprotocol.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <optional>

namespace Ui {
class MainWindow;
}

// The main window: reads the module's identity and settings back over the
// open service port, and writes settings or a factory reset after the user
// confirms. A tab is written only once the module has filled it and its
// fields hold values the module takes. Replies are applied by their frame
// type whenever they arrive.
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
    void logRejectedReply(const char *what, const QByteArray &frame);
    void restarted();
    std::optional<Rs232cSettings> checkedRs232cSettings() const;
    std::optional<UsbtmcSettings> checkedUsbtmcSettings() const;
    bool rs232cChoicesComplete() const;
    void sendConfirmed(const QByteArray &frame);
    bool confirm(const QString &question) const;
    void notify(const QString &notice) const;
    std::nullopt_t refuse(const QString &reason) const;
    void lineLost();

    QSerialPortInfo m_portInfo;
    QSerialPort *m_port;
    FrameBuffer m_receiveBuffer;
    bool m_rs232cRead = false;
    bool m_usbtmcRead = false;
    bool m_restarted = false;
    QElapsedTimer m_lastRejectionLogged;
    int m_rejectionsLeftOut = 0;
    Ui::MainWindow *ui;
};

#endif // MAINWINDOW_H
