#ifndef SIMULATEDMODULE_H
#define SIMULATEDMODULE_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>

class QIODevice;

// Everything a module reports and stores. Flag bytes are kept raw so that a
// module sending 2 for "on" can be simulated as well as one sending 1.
struct ModuleState {
    QByteArray version;
    bool hostIsUsb = false;
    bool customMode = false;
    int gpibAddress = 0;
    QByteArray idnString;

    qint32 bitrate = 0;
    quint8 stopbits = 0;
    quint8 flowControl = 0;
    quint8 termcharCode = 0;
    quint8 block4882 = 0;
    QByteArray idnQuery;
    quint8 peltaSafu = 0;

    quint8 autoSpoll = 0;
    qint32 autoSpollIntv = 0;

    bool operator==(const ModuleState &other) const;
};

// A ZORVEL module as seen through its service port. It answers every request
// on the device it is attached to, stores what is written, restores its
// factory defaults on request and can announce a restart. Faults can be
// switched on to test how a host copes with a misbehaving line.
class SimulatedModule : public QObject
{
    Q_OBJECT

public:
    explicit SimulatedModule(QObject *parent = nullptr);

    static ModuleState factoryDefaults();

    void attach(QIODevice *device);
    // What the module stores; setting it is as if the module had been
    // power-cycled with it, so that it runs with it as well.
    ModuleState state() const;
    void setState(const ModuleState &state);
    // What the module runs its host side with: what it stored when it last
    // restarted. A write changes it only after a restart notice.
    ModuleState runningState() const;

    // Replies leave in pieces of this many bytes, one event-loop turn apart;
    // 0 sends each reply whole.
    void setChunkSize(int bytes);
    // A frame of a type the protocol does not know goes before every reply.
    void setUnknownFrames(bool on);
    // Read replies come one byte shorter than their layout.
    void setShortReplies(bool on);
    // Requests are received and recorded, but not acted on or answered.
    void setSilent(bool on);

    // A notice with status 0 is a restart, after which the module runs
    // with what it stores.
    void sendRestartNotice(quint8 status = 0);
    void sendRaw(const QByteArray &bytes);
    void closeLine();

    // Every byte received so far, and the whole frames among them.
    QByteArray received() const;
    QList<QByteArray> requests() const;

signals:
    void requestReceived(const QByteArray &frame);
    void replySent(const QByteArray &frame);

private:
    void readDevice();
    void handle(const QByteArray &frame);
    void store(const QByteArray &frame);
    void reply(quint8 type, const QByteArray &payload);
    void queue(const QByteArray &bytes);
    void sendNextChunk();

    QByteArray moduleInfoPayload() const;
    QByteArray rs232cPayload() const;
    QByteArray usbtmcPayload() const;

    QPointer<QIODevice> m_device;
    ModuleState m_state;
    ModuleState m_running;
    QByteArray m_pending;
    QByteArray m_received;
    QList<QByteArray> m_requests;
    QByteArray m_outgoing;
    int m_chunkSize = 0;
    bool m_chunkScheduled = false;
    bool m_unknownFrames = false;
    bool m_shortReplies = false;
    bool m_silent = false;
    int m_unknownCount = 0;
};

#endif // SIMULATEDMODULE_H
