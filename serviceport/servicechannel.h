#ifndef SERVICECHANNEL_H
#define SERVICECHANNEL_H

#include "serviceprotocol.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>

// Errors are reported one way across the project: a function that can fail
// returns std::optional or bool and says why through a QString *error (or,
// where a check finds several problems, a QStringList *errors) argument; a
// class with state, such as this one, says why its last call failed in
// errorString(). An empty string never stands for success.

// The conversation with a module over its open service port, the only one
// in the programs. Requests go out with one write call a frame and one flush
// a call, every result checked. Received bytes are cut into frames, and each
// reply is announced by its own signal; a reply shorter than its layout is
// announced as rejected and not acted on.
//
// The conversation ends once, reported by ended() and, where it has one,
// its own signal: the line is lost, the module announces a restart, under
// the strict frame rule the module sends bytes that are not a frame, or the
// program abandons it. The port is closed then, as a lost line would keep
// signalling the same error, and frames behind a restart notice are dropped.
//
// A request first takes in what the line already holds, also what the
// system has buffered for the port: nothing reads it while a program waits
// for its user's answer, a restart notice among it stops the request from
// going out, and a late reply to an earlier request is not taken for this
// one's. The read-back that fills a window writes its three requests as one.
class ServiceChannel : public QObject
{
    Q_OBJECT

public:
    // How the received bytes are cut into frames.
    enum class FrameRule {
        // By the length byte alone; the first byte after a frame begins the next.
        LengthByte,
        // By the length byte, and every frame must begin with "M0": bytes
        // that cannot begin a frame end the conversation.
        RequireMagic
    };
    enum class State { Open, LineLost, Restarted, NotAFrame, Abandoned };

    ServiceChannel(QSerialPort *port, FrameRule rule, QObject *parent = nullptr);

    State state() const;
    QString errorString() const;
    // Whether the last request that failed did so while it was being
    // written, so that the module may have received all, part or none of it.
    bool failedWhileWriting() const;

    // The three read requests; readBackComplete() follows once each has had
    // a reply that decodes.
    bool readBack();
    // One request, a read, a write or the factory reset.
    bool send(const QByteArray &frame);
    // Ends the conversation, for the reason given, as a lost line does.
    void abandon(const QString &reason);

signals:
    void moduleInfoReceived(const ModuleInfo &info);
    void rs232cSyncedFrom(const Rs232cSettings &settings);
    void usbtmcSyncedFrom(const UsbtmcSettings &settings);
    void rs232cSyncedTo();
    void usbtmcSyncedTo();
    void factoryDefaultDone();
    void replyRejected(const QByteArray &frame);
    void readBackComplete();
    void lineLost();
    void restarted();
    void ended();
    // Every error the port signals, also one met while the channel takes in
    // what the line holds; the empty line that it then finds is no error.
    void portError(QSerialPort::SerialPortError error);
    // Every frame written and every frame taken from the line, for a trace.
    void frameSent(const QByteArray &frame);
    void frameReceived(const QByteArray &frame);

private:
    void receive();
    void takeFrames();
    void dispatch(const QByteArray &frame);
    template<typename Record>
    void announce(const QByteArray &frame, const std::optional<Record> &record,
                  void (ServiceChannel::*signal)(const Record &));
    void replied(FrameType type);
    void takeInWaitingBytes();
    bool write(const QList<QByteArray> &frames);
    void onPortError(QSerialPort::SerialPortError error);
    void stop(State state, const QString &reason);

    QSerialPort *m_port;
    FrameRule m_rule;
    FrameBuffer m_buffer;
    State m_state = State::Open;
    QString m_errorString;
    bool m_writing = false;
    bool m_failedWhileWriting = false;
    QList<FrameType> m_readBackPending;
};

#endif // SERVICECHANNEL_H
