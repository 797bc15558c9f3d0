#include "servicechannel.h"

#include <QSignalBlocker>

#include <algorithm>

namespace {

// While a handler of a reply holds a message box open, the port stops
// reading once this much is buffered; the rest waits in the system until
// the box closes, instead of piling up in this process.
constexpr qint64 ReadBufferSize = 32 * 1024;

// What a frame that is not one starts with, for the message.
constexpr int ShownBytes = 16;

// Enough passes to take in what a line holds at one moment (each pass takes
// up to the port's buffer), and a bound against a module that never stops
// sending.
constexpr int MaxTakeInPasses = 16;

bool endsLine(QSerialPort::SerialPortError error)
{
    return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
}

// A write or the factory reset changes what the module holds; a read does not.
bool writesModule(const QByteArray &frame)
{
    const FrameType type = frameType(frame);
    return type == FrameType::Rs232cSyncTo || type == FrameType::UsbtmcSyncTo || type == FrameType::FactoryDefault;
}

} // namespace

ServiceChannel::ServiceChannel(QSerialPort *port, FrameRule rule, QObject *parent)
    : QObject(parent), m_port(port), m_rule(rule)
{
    // So that the end can be queued and recorded like any signal.
    qRegisterMetaType<ServiceChannel::State>();
    m_port->setReadBufferSize(ReadBufferSize);
    connect(m_port, &QSerialPort::readyRead, this, &ServiceChannel::receive);
    connect(m_port, &QSerialPort::errorOccurred, this, &ServiceChannel::onPortError);
}

ServiceChannel::Outcome ServiceChannel::readBack()
{
    takeInWaitingBytes();
    if (m_outOfStep || !waitingBytesBeginAFrame()) {
        m_buffer = FrameBuffer();
        m_outOfStep = true;
    }
    m_inStepSinceReadBack = true;
    const Outcome outcome = send({ encodeRequest(FrameType::ModuleInfo), encodeRequest(FrameType::Rs232cSyncFrom),
                                   encodeRequest(FrameType::UsbtmcSyncFrom) });
    if (outcome.sent()) {
        m_readBackPending = { FrameType::ModuleInfo, FrameType::Rs232cSyncFrom, FrameType::UsbtmcSyncFrom };
        m_readBackRejected.clear();
    }
    return outcome;
}

QList<FrameType> ServiceChannel::readBackMissing() const
{
    QList<FrameType> missing = m_readBackPending;
    for (const FrameType type : m_readBackRejected)
        missing.removeOne(type);
    return missing;
}

void ServiceChannel::abandon(const QString &reason)
{
    if (m_state == State::Open)
        stop(State::Abandoned, reason);
}

// Qt does not signal readyRead again while this slot runs, so bytes that
// arrive while a message box of a handler is open wait in the port, and
// beyond the port's buffer in the system. Reading again after the frames on
// hand are handled picks up what the port holds; reading it empty lets the
// port read from the system again, which signals readyRead once this slot
// has returned. Each frame leaves the buffer before it is handled, so a
// nested run handles it only once.
void ServiceChannel::receive()
{
    while (m_state == State::Open && m_port->bytesAvailable() > 0) {
        m_buffer.append(m_port->readAll());
        takeFrames();
    }
}

void ServiceChannel::takeFrames()
{
    while (m_state == State::Open) {
        const auto frame = m_buffer.takeFrame();
        if (!frame)
            break;
        emit frameReceived(*frame);
        if (m_rule == FrameRule::RequireMagic && !frame->startsWith("M0")) {
            stop(State::NotAFrame, tr("the module sent bytes that are not a frame: %1")
                                       .arg(QString(frame->left(ShownBytes).toHex(' '))));
            return;
        }
        if (!frame->startsWith("M0"))
            putOutOfStep();
        dispatch(*frame);
    }
    // What waits of the next frame must begin as every frame does; bytes
    // that cannot are not left to wait for a rest that never comes.
    const QByteArray head = m_buffer.front(2);
    if (m_state == State::Open && m_rule == FrameRule::RequireMagic && !QByteArray("M0").startsWith(head))
        stop(State::NotAFrame, tr("the module sent bytes that are not a frame: %1").arg(QString(head.toHex(' '))));
}

void ServiceChannel::dispatch(const QByteArray &frame)
{
    switch (frameType(frame)) {
    case FrameType::ModuleInfo:
        return announce(frame, decodeModuleInfo(frame), &ServiceChannel::moduleInfoReceived);
    case FrameType::Rs232cSyncFrom:
        return announce(frame, decodeRs232cSettings(frame), &ServiceChannel::rs232cSettingsReceived);
    case FrameType::UsbtmcSyncFrom:
        return announce(frame, decodeUsbtmcSettings(frame), &ServiceChannel::usbtmcSettingsReceived);
    case FrameType::Rs232cSyncTo:
        emit rs232cWriteConfirmed();
        return;
    case FrameType::UsbtmcSyncTo:
        emit usbtmcWriteConfirmed();
        return;
    case FrameType::FactoryDefault:
        emit factoryResetConfirmed();
        return;
    case FrameType::Restarted:
        if (isRestartNotice(frame))
            stop(State::Restarted, tr("the ZORVEL has restarted"));
        return;
    }
}

template<typename Record>
void ServiceChannel::announce(const QByteArray &frame, const std::optional<Record> &record,
                              void (ServiceChannel::*signal)(const Record &))
{
    if (!record) {
        emit replyRejected(frame);
        replied(frameType(frame), false);
        return;
    }
    emit (this->*signal)(*record);
    replied(frameType(frame), true);
}

// A reply too short to read counts as come, not as read: a reply of its
// type that decodes may still follow.
void ServiceChannel::replied(FrameType type, bool decoded)
{
    if (!m_readBackPending.contains(type))
        return;
    const bool wasMissing = !readBackMissing().isEmpty();
    if (decoded) {
        m_readBackPending.removeOne(type);
        m_readBackRejected.removeOne(type);
    } else if (!m_readBackRejected.contains(type)) {
        m_readBackRejected << type;
    }
    if (m_readBackPending.isEmpty()) {
        // Writes are let out again once the fields come from a whole
        // read-back with nothing out of step since it went out.
        if (m_inStepSinceReadBack)
            m_outOfStep = false;
        emit readBackCompleted();
    } else if (wasMissing && readBackMissing().isEmpty()) {
        emit readBackUnreadable(m_readBackRejected);
    }
}

// The port reads from the system only when its notifier runs in the event
// loop. waitForReadyRead(0) reads what the system holds now, and reports an
// empty line as a timeout, which is no fault here: the port's signals are
// held while it runs, for every receiver, and an error it meets is passed
// on afterwards. Frames taken in are handled here, before the request.
void ServiceChannel::takeInWaitingBytes()
{
    for (int pass = 0; pass < MaxTakeInPasses && m_state == State::Open; ++pass) {
        bool readMore = false;
        QSerialPort::SerialPortError error = QSerialPort::NoError;
        {
            const QSignalBlocker held(m_port);
            m_port->clearError();
            readMore = m_port->waitForReadyRead(0);
            error = m_port->error();
            m_port->clearError();
        }
        if (endsLine(error))
            onPortError(error);
        const bool waiting = m_port->isOpen() && m_port->bytesAvailable() > 0;
        receive();
        if (!readMore && !waiting)
            break;
    }
}

// An error that the port signals while it writes is this write's failure,
// told in its own words below.
ServiceChannel::Outcome ServiceChannel::send(const QList<QByteArray> &frames)
{
    ++m_requesting;
    takeInWaitingBytes();
    Outcome outcome { Outcome::Status::Refused, m_state, m_reason };
    if (!waitingBytesBeginAFrame())
        putOutOfStep();
    if (m_state == State::Open && m_outOfStep && std::any_of(frames.cbegin(), frames.cend(), writesModule)) {
        outcome = { Outcome::Status::OutOfStep, m_state, tr("the module sent bytes that are not a frame") };
    } else if (m_state == State::Open) {
        bool complete = true;
        m_writing = true;
        for (const QByteArray &frame : frames) {
            emit frameSent(frame);
            complete = m_port->write(frame) == frame.size();
            if (!complete)
                break;
        }
        complete = complete && m_port->flush();
        m_writing = false;
        if (!complete)
            stop(State::LineLost, tr("the request could not be sent: %1").arg(m_port->errorString()));
        outcome = complete ? Outcome() : Outcome { Outcome::Status::WriteFailed, m_state, m_reason };
    }
    if (--m_requesting == 0 && m_endToReport) {
        m_endToReport = false;
        QMetaObject::invokeMethod(this, &ServiceChannel::reportEnd, Qt::QueuedConnection);
    }
    return outcome;
}

void ServiceChannel::putOutOfStep()
{
    m_outOfStep = true;
    m_inStepSinceReadBack = false;
}

// A frame begins with "M0"; the bytes of a frame on its way begin so too.
bool ServiceChannel::waitingBytesBeginAFrame() const
{
    return QByteArray("M0").startsWith(m_buffer.front(2));
}

void ServiceChannel::onPortError(QSerialPort::SerialPortError error)
{
    emit portErrorOccurred(error);
    if (m_state != State::Open || !endsLine(error) || m_writing)
        return;
    stop(State::LineLost, tr("the line to the module was lost (unplugged, switched off or closed): %1")
                              .arg(m_port->errorString()));
}

void ServiceChannel::stop(State state, const QString &reason)
{
    m_state = state;
    m_reason = reason;
    m_readBackPending.clear();
    m_readBackRejected.clear();
    if (m_port->isOpen())
        m_port->close();
    if (m_requesting > 0)
        m_endToReport = true;
    else
        emit ended(m_state, m_reason);
}

void ServiceChannel::reportEnd()
{
    emit ended(m_state, m_reason);
}
