#ifndef SERVICESESSION_H
#define SERVICESESSION_H

#include "frametrace.h"
#include "serviceprotocol.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QSerialPort;

// One request at a time on an open service port: each call writes its frame
// and waits, up to the timeout, for the reply of the matching frame type.
// Frames of other types on the way are dropped. A restart notice, a silent
// module, a lost line, bytes that are not a frame or a reply that cannot be
// decoded end the call with an error, and the session stays failed from
// then on.
class ServiceSession
{
public:
    // Called with every frame written and every frame taken from the line.
    using Trace = std::function<void(FrameDirection direction, const QByteArray &frame)>;

    ServiceSession(QSerialPort *port, int timeoutMs, const Trace &trace);

    std::optional<ModuleInfo> readModuleInfo();
    std::optional<Rs232cSettings> readRs232c();
    std::optional<UsbtmcSettings> readUsbtmc();
    bool writeRs232c(const Rs232cSettings &settings);
    bool writeUsbtmc(const UsbtmcSettings &settings);
    bool factoryReset();

    QString errorString() const;
    // Whether the request of the call that failed had gone out before it
    // failed, so that the module may have acted on it.
    bool failedRequestSent() const;

private:
    enum class Error { None, Timeout, Restarted, BadReply, LineLost };

    std::optional<QByteArray> exchange(const QByteArray &request, FrameType replyType);
    std::optional<QByteArray> nextFrame(FrameType replyType);
    std::optional<QByteArray> takeReply(std::optional<FrameType> replyType);
    void waitForBytes(qint64 msLeft);
    template<typename Record>
    std::optional<Record> decoded(std::optional<Record> record);
    void fail(Error error, const QString &text);

    QSerialPort *m_port;
    int m_timeoutMs;
    Trace m_trace;
    FrameBuffer m_buffer;
    Error m_error = Error::None;
    QString m_errorString;
    bool m_requestSent = false;
    QString m_lineError;
};

#endif // SERVICESESSION_H
