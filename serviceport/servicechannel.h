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
// call that can go several ways returns an outcome that says which and why.
// An empty string never stands for success.

// The conversation with a module over its open service port, the only one
// in the programs. Requests go out with one write call a frame and one flush
// a call, every result checked. Received bytes are cut into frames, and each
// reply is announced by its own signal; a reply shorter than its layout is
// announced as rejected and not acted on.
//
// The conversation ends once, reported by ended() with the reason: the line
// is lost, the module announces a restart, under the strict frame rule the
// module sends bytes that are not a frame, or the program abandons it. The
// port is closed then, as a lost line would keep signalling the same error,
// and frames behind a restart notice are dropped.
//
// Every request first takes in what the line already holds, also what the
// system has buffered for the port: nothing reads it while a program waits
// for its user's answer, a restart notice among it stops the request from
// going out, and a late reply to an earlier request is not taken for this
// one's. Replies taken in so are announced at once; an end found so is
// reported once the request's call has returned, so that a handler of the
// end never runs inside the code that made the request. The read-back that
// fills a window writes its three requests as one.
class ServiceChannel : public QObject
{
    Q_OBJECT

public:
    // How the received bytes are cut into frames.
    enum class FrameRule {
        // By the length byte alone; the first byte after a frame begins the
        // next. A frame that does not begin with "M0", or waiting bytes that
        // cannot begin one, put the line out of step: a write is refused
        // then, since a restart notice among such bytes can go unseen, until
        // a read-back, which drops what is out of step, has been answered
        // whole with nothing out of step since.
        LengthByte,
        // By the length byte, and every frame must begin with "M0": bytes
        // that cannot begin a frame end the conversation.
        RequireMagic
    };
    enum class State { Open, LineLost, Restarted, NotAFrame, Abandoned };
    Q_ENUM(State)

    // What became of a request: it went out whole; it was refused, nothing
    // having gone out, as the conversation had ended or ended while the
    // line was taken in, or as the line is out of step; or its write
    // failed, so that the module may have received all, part or none of it.
    // A refusal or failure names the end and its reason.
    struct Outcome {
        enum class Status { Sent, Refused, OutOfStep, WriteFailed };

        Status status = Status::Sent;
        State end = State::Open;
        QString reason;

        bool sent() const { return status == Status::Sent; }
    };

    ServiceChannel(QSerialPort *port, FrameRule rule, QObject *parent = nullptr);

    // The three read requests; readBackCompleted() follows once each has
    // had a reply that decodes, readBackUnreadable() once each has had a
    // reply and some of them were too short to read.
    Outcome readBack();
    // The replies of the last read-back that have not come, read or not.
    QList<FrameType> readBackMissing() const;
    // One request, a read, a write or the factory reset, or several
    // written as one.
    Outcome send(const QList<QByteArray> &frames);
    // Ends the conversation, for the reason given, as a lost line does.
    void abandon(const QString &reason);

signals:
    void moduleInfoReceived(const ModuleInfo &info);
    void rs232cSettingsReceived(const Rs232cSettings &settings);
    void usbtmcSettingsReceived(const UsbtmcSettings &settings);
    void rs232cWriteConfirmed();
    void usbtmcWriteConfirmed();
    void factoryResetConfirmed();
    void replyRejected(const QByteArray &frame);
    void readBackCompleted();
    void readBackUnreadable(const QList<FrameType> &types);
    void ended(ServiceChannel::State state, const QString &reason);
    // Every error the port signals, also one met while the channel takes in
    // what the line holds; the empty line that it then finds is no error.
    void portErrorOccurred(QSerialPort::SerialPortError error);
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
    void replied(FrameType type, bool decoded);
    void takeInWaitingBytes();
    bool waitingBytesBeginAFrame() const;
    void putOutOfStep();
    void onPortError(QSerialPort::SerialPortError error);
    void stop(State state, const QString &reason);
    void reportEnd();

    QSerialPort *m_port;
    FrameRule m_rule;
    FrameBuffer m_buffer;
    State m_state = State::Open;
    QString m_reason;
    // While requests are made, one within another where a reply's handler
    // makes one: an end is reported after the outermost, and its own write
    // reports a failure in its own words.
    int m_requesting = 0;
    bool m_writing = false;
    bool m_endToReport = false;
    bool m_outOfStep = false;
    bool m_inStepSinceReadBack = false;
    // The replies of a read-back that have not decoded, and those of them
    // that came too short to read.
    QList<FrameType> m_readBackPending;
    QList<FrameType> m_readBackRejected;
};

#endif // SERVICECHANNEL_H
