#include "servicesession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

namespace {

// What a frame that is not one starts with, for the message.
constexpr int ShownBytes = 16;

} // namespace

ServiceSession::ServiceSession(QSerialPort *port, int timeoutMs, const Trace &trace)
    : m_port(port), m_timeoutMs(timeoutMs), m_trace(trace)
{
}

std::optional<ModuleInfo> ServiceSession::readModuleInfo()
{
    const auto frame = exchange(encodeRequest(FrameType::ModuleInfo), FrameType::ModuleInfo);
    return frame ? decoded(decodeModuleInfo(*frame)) : std::nullopt;
}

std::optional<Rs232cSettings> ServiceSession::readRs232c()
{
    const auto frame = exchange(encodeRequest(FrameType::Rs232cSyncFrom), FrameType::Rs232cSyncFrom);
    return frame ? decoded(decodeRs232cSettings(*frame)) : std::nullopt;
}

std::optional<UsbtmcSettings> ServiceSession::readUsbtmc()
{
    const auto frame = exchange(encodeRequest(FrameType::UsbtmcSyncFrom), FrameType::UsbtmcSyncFrom);
    return frame ? decoded(decodeUsbtmcSettings(*frame)) : std::nullopt;
}

bool ServiceSession::writeRs232c(const Rs232cSettings &settings)
{
    return exchange(encodeRs232cSettings(settings), FrameType::Rs232cSyncTo).has_value();
}

bool ServiceSession::writeUsbtmc(const UsbtmcSettings &settings)
{
    return exchange(encodeUsbtmcSettings(settings), FrameType::UsbtmcSyncTo).has_value();
}

bool ServiceSession::factoryReset()
{
    return exchange(encodeRequest(FrameType::FactoryDefault), FrameType::FactoryDefault).has_value();
}

QString ServiceSession::errorString() const
{
    return m_errorString;
}

bool ServiceSession::failedRequestSent() const
{
    return m_error != Error::None && m_requestSent;
}

// Whatever came in while no request was open answers nothing the session
// asked; a restart notice among it ends the session before the request goes
// out. The request is flushed at once, so that one that went out is known
// to have.
std::optional<QByteArray> ServiceSession::exchange(const QByteArray &request, FrameType replyType)
{
    if (m_error != Error::None)
        return std::nullopt;
    m_requestSent = false;
    takeReply(std::nullopt);
    if (m_error != Error::None)
        return std::nullopt;
    m_trace(FrameDirection::ToModule, request);
    if (m_port->write(request) != request.size() || !m_port->flush()) {
        fail(Error::LineLost, QCoreApplication::translate("ServiceSession", "the request could not be sent: %1")
                                  .arg(m_port->errorString()));
        return std::nullopt;
    }
    m_requestSent = true;
    return nextFrame(replyType);
}

std::optional<QByteArray> ServiceSession::nextFrame(FrameType replyType)
{
    const QDeadlineTimer deadline(m_timeoutMs);
    for (;;) {
        if (const auto frame = takeReply(replyType))
            return frame;
        if (m_error != Error::None)
            return std::nullopt;
        if (!m_lineError.isEmpty()) {
            fail(Error::LineLost, QCoreApplication::translate("ServiceSession", "the line to the module was lost (unplugged, switched off or closed): %1")
                                      .arg(m_lineError));
            return std::nullopt;
        }
        if (deadline.hasExpired()) {
            fail(Error::Timeout, QCoreApplication::translate("ServiceSession", "no reply within %1 ms")
                                     .arg(m_timeoutMs));
            return std::nullopt;
        }
        waitForBytes(deadline.remainingTime());
    }
}

// Takes the received frames up to the first of the reply type, dropping
// others; with no type, takes them all. Bytes that are not a frame, or a
// restart notice, fail the session.
std::optional<QByteArray> ServiceSession::takeReply(std::optional<FrameType> replyType)
{
    if (m_port->isOpen())
        m_buffer.append(m_port->readAll());
    while (const auto frame = m_buffer.takeFrame()) {
        m_trace(FrameDirection::FromModule, *frame);
        if (!frame->startsWith("M0")) {
            fail(Error::BadReply, QCoreApplication::translate("ServiceSession",
                "the module sent bytes that are not a frame: %1").arg(QString(frame->left(ShownBytes).toHex(' '))));
            return std::nullopt;
        }
        if (isRestartNotice(*frame)) {
            fail(Error::Restarted, QCoreApplication::translate("ServiceSession",
                "the ZORVEL has restarted; wait until it is back and run the command again"));
            return std::nullopt;
        }
        if (replyType && frameType(*frame) == *replyType)
            return frame;
    }
    // What waits of the next frame must begin as every frame does; bytes
    // that cannot are not left to time out.
    const QByteArray head = m_buffer.front(2);
    if (!QByteArray("M0").startsWith(head)) {
        fail(Error::BadReply, QCoreApplication::translate("ServiceSession",
            "the module sent bytes that are not a frame: %1").arg(QString(head.toHex(' '))));
    }
    return std::nullopt;
}

// Waits on a local event loop, so that the port's own notifiers (and a
// module simulated in the same process) keep running. A port error (the
// device gone, a hang-up, the far end closed) ends the wait at once: the
// port would otherwise signal it over and over until the timeout. The port
// is closed then, which stops its notifier.
void ServiceSession::waitForBytes(qint64 msLeft)
{
    if (m_port->bytesAvailable() > 0)
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(m_port, &QIODevice::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(m_port, &QSerialPort::errorOccurred, &loop, [this, &loop](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
            return;
        m_lineError = m_port->errorString();
        m_port->close();
        loop.quit();
    });
    timer.start(int(msLeft));
    loop.exec();
}

template<typename Record>
std::optional<Record> ServiceSession::decoded(std::optional<Record> record)
{
    if (!record)
        fail(Error::BadReply, QCoreApplication::translate("ServiceSession", "the module's reply is too short to read"));
    return record;
}

void ServiceSession::fail(Error error, const QString &text)
{
    m_error = error;
    m_errorString = text;
}
