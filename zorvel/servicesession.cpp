#include "servicesession.h"

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

std::optional<Rs232cSettings> ServiceSession::readRs232cSettings()
{
    return exchange<Rs232cSettings>(encodeRequest(FrameType::Rs232cSyncFrom), &ServiceChannel::rs232cSettingsReceived);
}

std::optional<UsbtmcSettings> ServiceSession::readUsbtmcSettings()
{
    return exchange<UsbtmcSettings>(encodeRequest(FrameType::UsbtmcSyncFrom), &ServiceChannel::usbtmcSettingsReceived);
}

bool ServiceSession::writeRs232cSettings(const Rs232cSettings &settings)
{
    return exchange<Done>(encodeRs232cSettings(settings), &ServiceChannel::rs232cWriteConfirmed).has_value();
}

bool ServiceSession::writeUsbtmcSettings(const UsbtmcSettings &settings)
{
    return exchange<Done>(encodeUsbtmcSettings(settings), &ServiceChannel::usbtmcWriteConfirmed).has_value();
}

bool ServiceSession::resetToFactoryDefaults()
{
    return exchange<Done>(encodeRequest(FrameType::FactoryDefault), &ServiceChannel::factoryResetConfirmed).has_value();
}

QString ServiceSession::errorString() const
{
    return m_errorString;
}

bool ServiceSession::requestWentOut() const
{
    return m_failed && m_requestWentOut;
}

// Waits on a local event loop, so that the port's notifiers (and a module
// simulated in the same process) keep running. The loop is told of the
// reply only once the request is out: what the channel takes in before,
// while it catches up with the line, answers nothing this call asked.
template<typename Reply, typename Signal>
std::optional<Reply> ServiceSession::exchange(const QByteArray &request, Signal replied)
{
    if (m_failed)
        return std::nullopt;
    const ServiceChannel::Outcome outcome = m_channel.send({ request });
    m_requestWentOut = outcome.status != ServiceChannel::Outcome::Status::Refused;
    if (!outcome.sent()) {
        fail(outcome.end, outcome.reason);
        return std::nullopt;
    }
    std::optional<Reply> reply;
    bool rejected = false;
    std::optional<QPair<ServiceChannel::State, QString>> end;
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
    QObject::connect(&m_channel, &ServiceChannel::ended, &loop,
                     [&](ServiceChannel::State state, const QString &reason) {
                         end.emplace(state, reason);
                         loop.quit();
                     });
    QTimer::singleShot(m_timeoutMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    if (reply)
        return reply;
    if (end)
        fail(end->first, end->second);
    else if (rejected)
        fail(ServiceChannel::State::Open, QCoreApplication::translate("ServiceSession", "the module's reply is too short to read"));
    else
        fail(ServiceChannel::State::Open,
             QCoreApplication::translate("ServiceSession",
                                         "no reply within %1 ms; check that the SERVICE PORT cable is plugged in, that "
                                         "the ZORVEL is switched on and that this is its port").arg(m_timeoutMs));
    return std::nullopt;
}

void ServiceSession::fail(ServiceChannel::State end, const QString &reason)
{
    m_failed = true;
    m_errorString = end == ServiceChannel::State::Restarted
        ? QCoreApplication::translate("ServiceSession", "%1; wait until it is back and run the command again")
              .arg(reason)
        : reason;
}
