#ifndef SERVICESESSION_H
#define SERVICESESSION_H

#include "servicechannel.h"
#include "serviceprotocol.h"

#include <QByteArray>
#include <QString>

#include <optional>

// One request at a time over a channel to a module: each call sends its
// request and waits, up to the timeout, for the channel's reply of the same
// kind. Replies of other kinds on the way are passed over. A silent module,
// a reply too short to read, or the end of the channel's conversation (a
// lost line, a restart notice, bytes that are not a frame) end the call with
// an error, and the session stays failed from then on.
class ServiceSession
{
public:
    ServiceSession(ServiceChannel &channel, int timeoutMs);

    std::optional<ModuleInfo> readModuleInfo();
    std::optional<Rs232cSettings> readRs232cSettings();
    std::optional<UsbtmcSettings> readUsbtmcSettings();
    bool writeRs232cSettings(const Rs232cSettings &settings);
    bool writeUsbtmcSettings(const UsbtmcSettings &settings);
    bool resetToFactoryDefaults();

    QString errorString() const;
    // Whether the request of the call that failed went out, whole or in
    // part, so that the module may have acted on it.
    bool requestWentOut() const;

private:
    template<typename Reply, typename Signal>
    std::optional<Reply> exchange(const QByteArray &request, Signal replied);
    void fail(ServiceChannel::State end, const QString &reason);

    ServiceChannel &m_channel;
    int m_timeoutMs;
    bool m_failed = false;
    bool m_requestWentOut = false;
    QString m_errorString;
};

#endif // SERVICESESSION_H
