#include "servicesession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QIODevice>
#include <QTimer>

ServiceSession::ServiceSession(QIODevice *device, int timeoutMs)
    : m_device(device), m_timeoutMs(timeoutMs)
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

ServiceSession::Error ServiceSession::error() const
{
    return m_error;
}

QString ServiceSession::errorString() const
{
    return m_errorString;
}

std::optional<QByteArray> ServiceSession::exchange(const QByteArray &request, FrameType replyType)
{
    if (m_error != Error::None)
        return std::nullopt;
    if (m_device->write(request) != request.size()) {
        fail(Error::LineLost, QCoreApplication::translate("ServiceSession", "the request could not be sent: %1")
                                  .arg(m_device->errorString()));
        return std::nullopt;
    }
    return nextFrame(replyType);
}

std::optional<QByteArray> ServiceSession::nextFrame(FrameType replyType)
{
    const QDeadlineTimer deadline(m_timeoutMs);
    for (;;) {
        m_buffer.append(m_device->readAll());
        while (const auto frame = m_buffer.takeFrame()) {
            if (isRestartNotice(*frame)) {
                fail(Error::Restarted, QCoreApplication::translate("ServiceSession",
                    "the ZORVEL has restarted; wait until it is back and run the command again"));
                return std::nullopt;
            }
            if (frameType(*frame) == replyType)
                return frame;
        }
        if (!m_device->isOpen()) {
            fail(Error::LineLost, QCoreApplication::translate("ServiceSession", "the line was closed"));
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

// Waits on a local event loop, so that the port's own notifiers (and a
// module simulated in the same process) keep running.
void ServiceSession::waitForBytes(qint64 msLeft)
{
    if (m_device->bytesAvailable() > 0)
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(m_device, &QIODevice::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(m_device, &QIODevice::aboutToClose, &loop, &QEventLoop::quit);
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
