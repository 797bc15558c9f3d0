#include "servicesession.h"

#include "servicechannel.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace {

// The reply to a write or a reset carries nothing to read.
struct Done {
};

} // namespace

ServiceSession::ServiceSession(ServiceChannel &channel, int timeoutMs)
    : m_channel(channel), m_timeoutMs(timeoutMs)
{
}

std::optional<ModuleInfo> ServiceSession::readModuleInfo()
{
    return exchange<ModuleInfo>(encodeRequest(FrameType::ModuleInfo), &ServiceChannel::moduleInfoReceived);
}

std::optional<Rs232cSettings> ServiceSession::syncRs232cFrom()
{
    return exchange<Rs232cSettings>(encodeRequest(FrameType::Rs232cSyncFrom), &ServiceChannel::rs232cSyncedFrom);
}

std::optional<UsbtmcSettings> ServiceSession::syncUsbtmcFrom()
{
    return exchange<UsbtmcSettings>(encodeRequest(FrameType::UsbtmcSyncFrom), &ServiceChannel::usbtmcSyncedFrom);
}

bool ServiceSession::syncRs232cTo(const Rs232cSettings &settings)
{
    return exchange<Done>(encodeRs232cSettings(settings), &ServiceChannel::rs232cSyncedTo).has_value();
}

bool ServiceSession::syncUsbtmcTo(const UsbtmcSettings &settings)
{
    return exchange<Done>(encodeUsbtmcSettings(settings), &ServiceChannel::usbtmcSyncedTo).has_value();
}

bool ServiceSession::factoryDefault()
{
    return exchange<Done>(encodeRequest(FrameType::FactoryDefault), &ServiceChannel::factoryDefaultDone).has_value();
}

QString ServiceSession::errorString() const
{
    return m_errorString;
}

bool ServiceSession::failedRequestSent() const
{
    return m_failed && m_requestSent;
}

// Waits on a local event loop, so that the port's notifiers (and a module
// simulated in the same process) keep running. The loop is told of the
// reply only once the request is out: what the channel takes in before,
// while it catches up with the line, answers nothing this call asked. A
// request cut short while it was written may have reached the module.
template<typename Reply, typename Signal>
std::optional<Reply> ServiceSession::exchange(const QByteArray &request, Signal replied)
{
    if (m_failed)
        return std::nullopt;
    const bool sent = m_channel.send(request);
    m_requestSent = sent || m_channel.failedWhileWriting();
    std::optional<Reply> reply;
    bool rejected = false;
    if (sent) {
        QEventLoop loop;
        QObject::connect(&m_channel, replied, &loop, [&](const auto &...values) {
            reply.emplace(Reply { values... });
            loop.quit();
        });
        QObject::connect(&m_channel, &ServiceChannel::replyRejected, &loop, [&](const QByteArray &frame) {
            if (frameType(frame) != frameType(request))
                return;
            rejected = true;
            loop.quit();
        });
        QObject::connect(&m_channel, &ServiceChannel::ended, &loop, &QEventLoop::quit);
        QTimer::singleShot(m_timeoutMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (reply)
        return reply;
    if (m_channel.state() == ServiceChannel::State::Restarted)
        fail(QCoreApplication::translate("ServiceSession", "%1; wait until it is back and run the command again")
                 .arg(m_channel.errorString()));
    else if (m_channel.state() != ServiceChannel::State::Open)
        fail(m_channel.errorString());
    else if (rejected)
        fail(QCoreApplication::translate("ServiceSession", "the module's reply is too short to read"));
    else
        fail(QCoreApplication::translate("ServiceSession", "no reply within %1 ms").arg(m_timeoutMs));
    return std::nullopt;
}

void ServiceSession::fail(const QString &text)
{
    m_failed = true;
    m_errorString = text;
}
