#ifndef HOSTLINKCHECK_H
#define HOSTLINKCHECK_H

#include "hostlinkresult.h"
#include "serviceprotocol.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QSerialPort;
class QThread;

// Tries a module's host link from the computer's end: sends the
// identification query with the line settings the module reports, reads
// the answer and compares it with the *IDN text the module read from its
// instrument. The host port is opened and locked as a service port is, and
// let go when the check ends. Nothing goes to the module. finished()
// reports the result once, from the event loop, so that a window stays
// responsive while it waits.
//
// Refused before anything is sent: PELTA on (the module then expects its
// own protocol there), a host port that is the module's service port under
// any name, and over USB a host port that is no USBTMC device file, which
// only Linux has.
class HostLinkCheck : public QObject
{
    Q_OBJECT

public:
    struct Request {
        QString hostPort;
        QString servicePort;
        ModuleInfo info;
        Rs232cSettings settings;
        int timeoutMs = 2000;
    };

    explicit HostLinkCheck(QObject *parent = nullptr);
    ~HostLinkCheck() override;

    void start(const Request &request);
    bool isRunning() const;

signals:
    void finished(const HostLinkResult &result);

private:
    QString refusal() const;
    void startSerial();
    void startUsb();
    void readSerial();
    void finish(bool ended);
    void finishUnsent(HostLinkResult::Verdict verdict, const QString &reason);
    void releasePort();

    HostLinkResult m_result;
    // A port of its own for each check, so that the device's lock goes with
    // it when the check ends.
    QSerialPort *m_port = nullptr;
    QTimer m_deadline;
    QThread *m_usbExchange = nullptr;
    QString m_servicePort;
    bool m_running = false;
};

#endif // HOSTLINKCHECK_H
