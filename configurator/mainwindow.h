#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "servicechannel.h"
#include "serviceport.h"
#include "serviceprotocol.h"
#include "settingsdocument.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTimer>

#include <optional>

class HostLinkDialog;
class UnwrittenEdits;

namespace Ui {
class MainWindow;
}

// The main window: reads the module's identity and settings back over the
// open service port, and writes settings or a factory reset after the user
// confirms. It talks to the module through a channel over the port, and
// keeps what it sent and what the module reported. A tab is written only
// once the module has filled it and its fields hold values the module takes.
// Replies are applied by their kind whenever they arrive; a read-back that
// gets no answer is reported. The settings can be saved to and loaded from a
// settings document, which writes nothing to the module, and the module's
// host link can be tried with the settings it reported. Every field is
// named by its caption for a screen reader and says in its tip what it
// takes.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(const QSerialPortInfo &info, QSerialPort *port, QWidget *parent = nullptr);
    // The port as a list of ports gives it: its name, description and USB
    // serial number name the module.
    MainWindow(const PortEntry &entry, QSerialPort *port, QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    // Unwritten edits are asked about before the window closes.
    void closeEvent(QCloseEvent *event) override;

signals:
    void syncedFrom();
    // Every reply of a read-back has come and is shown.
    void readBackCompleted();

private slots:
    void errorReport(QSerialPort::SerialPortError e);
    void OnMenuHelpAbout();
    void OnMenuHelpContents();
    void OnMenuDeviceFactoryDefault();
    void OnMenuFileSaveSettings();
    void OnMenuFileLoadSettings();
    void OnMenuDeviceCheckHostLink();
    void OnSyncFrom();
    void on_btnRs232cSyncTo_clicked();
    void on_btnUsbtmcSyncTo_clicked();
    void on_chkPeltaSafu_clicked();
    void on_chk4882Block_clicked();

private:
    struct Field {
        const char *key;
        QWidget *field;
        QWidget *caption;
    };

    void connectChannel();
    void fillChoices();
    QList<Field> settingsFields() const;
    void describeFields();
    void showConnection();
    void showConnectionTrouble(const QString &gist, const QString &whole);
    void moduleSilent();
    void readBackUnreadable(const QList<FrameType> &types);
    QString readBackPartNames(const QList<FrameType> &types) const;
    QString moduleText() const;
    void showModuleInfo(const ModuleInfo &info);
    void showRs232cReply(const Rs232cSettings &settings);
    void showUsbtmcReply(const UsbtmcSettings &settings);
    void showRs232cSettings(const Rs232cSettings &settings);
    void showUsbtmcSettings(const UsbtmcSettings &settings);
    void applyInterlocks();
    void rs232cWritten();
    void usbtmcWritten();
    void factoryResetDone();
    bool completes(FrameType type);
    void writeUnconfirmed();
    void logRejectedReply(const QByteArray &frame);
    void conversationEnded(ServiceChannel::State state);
    std::optional<Rs232cSettings> checkedRs232cSettings(const QString &refusal) const;
    std::optional<UsbtmcSettings> checkedUsbtmcSettings(const QString &refusal) const;
    bool rs232cChoicesComplete() const;
    ModuleSettings reportedSettings() const;
    // What writing the tab's settings changes against what the module reported.
    QString changesText(const Rs232cSettings &settings) const;
    QString changesText(const UsbtmcSettings &settings) const;
    QString changesText(const ModuleSettings &to, const QString &group) const;
    QString fieldCaption(const QString &key) const;
    bool sendConfirmed(const QByteArray &frame, FrameType type, const QString &what);
    bool confirm(const QString &question, const QString &details = QString(),
                 QMessageBox::StandardButton byEnter = QMessageBox::Yes) const;
    void notify(const QString &notice, const QString &details = QString()) const;
    std::nullopt_t refuse(const QString &reason) const;
    void lineLost();
    void updateHostLinkDialog();
    void reportedChanged();

    PortEntry m_portEntry;
    QString m_portName;
    // The open port's own name, which tells its device from any other.
    QString m_servicePort;
    QPointer<HostLinkDialog> m_hostLinkDialog;
    // Runs from a read-back to its last reply, read or too short to read;
    // a module that lets it run out does not answer, or answers only the
    // replies that came.
    QTimer m_silence;
    bool m_silent = false;
    // Runs from a write or a reset to the module's reply.
    QTimer m_replyTimeout;
    ServiceChannel *m_channel;
    // What the module last reported, as it reported it: each group once a
    // valid reply filled its tab, or once the module confirmed a write.
    std::optional<ModuleInfo> m_moduleInfo;
    std::optional<Rs232cSettings> m_reportedRs232c;
    std::optional<UsbtmcSettings> m_reportedUsbtmc;
    // Settings sent and not yet confirmed by the module's completion reply.
    std::optional<Rs232cSettings> m_sentRs232c;
    std::optional<UsbtmcSettings> m_sentUsbtmc;
    // The write or reset the user confirmed last, and whether it went out,
    // until the module confirms it; then the kind of the reply that did, so
    // that the same reply once more is told apart from a new one.
    struct Request {
        FrameType type;
        QString what;
        bool sent = false;
    };
    std::optional<Request> m_request;
    std::optional<FrameType> m_lastConfirmed;
    // How the conversation with the module ended, once that was reported.
    std::optional<ServiceChannel::State> m_end;
    UnwrittenEdits *m_edits = nullptr;
    // From a read-back until its replies have come, or the module was
    // found silent.
    bool m_reading = false;
    QString m_documentFolder;
    QElapsedTimer m_lastRejectionLogged;
    int m_rejectionsLeftOut = 0;
    Ui::MainWindow *ui;
};

#endif // MAINWINDOW_H
