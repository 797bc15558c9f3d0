#ifndef SERVICESESSION_H
#define SERVICESESSION_H

#include "serviceprotocol.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QIODevice;

// One request at a time on an open service port: each call writes its frame
// and waits, up to the timeout, for the reply of the matching frame type.
// Frames of other types on the way are dropped. A restart notice, a silent
// module or a reply that cannot be decoded ends the call with an error, and
// the session stays failed from then on.
class ServiceSession
{
public:
    enum class Error { None, Timeout, Restarted, BadReply, LineLost };

    ServiceSession(QIODevice *device, int timeoutMs);

    std::optional<ModuleInfo> readModuleInfo();
    std::optional<Rs232cSettings> readRs232c();
    std::optional<UsbtmcSettings> readUsbtmc();
    bool writeRs232c(const Rs232cSettings &settings);
    bool writeUsbtmc(const UsbtmcSettings &settings);
    bool factoryReset();

    Error error() const;
    QString errorString() const;

private:
    std::optional<QByteArray> exchange(const QByteArray &request, FrameType replyType);
    std::optional<QByteArray> nextFrame(FrameType replyType);
    void waitForBytes(qint64 msLeft);
    template<typename Record>
    std::optional<Record> decoded(std::optional<Record> record);
    void fail(Error error, const QString &text);

    QIODevice *m_device;
    int m_timeoutMs;
    FrameBuffer m_buffer;
    Error m_error = Error::None;
    QString m_errorString;
};

#endif // SERVICESESSION_H
