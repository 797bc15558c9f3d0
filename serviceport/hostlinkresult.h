#ifndef HOSTLINKRESULT_H
#define HOSTLINKRESULT_H

#include "hostlinesettings.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <optional>

// At most this much of an answer is read.
constexpr int HostLinkMaxAnswer = 4096;

// What one try of a module's host link found: the line settings used, what
// was sent and what came back, what the module reported of its instrument,
// and the verdict. The answer matches when it equals the module's *IDN
// text but for trailing CR, LF and blanks; where the module reports no text,
// any answer ended by the terminator passes uncompared.
struct HostLinkResult {
    Q_DECLARE_TR_FUNCTIONS(HostLinkResult)

public:
    enum class Verdict {
        Match, NotCompared, NoAnswer, OtherAnswer, NotText, Unterminated,
        // Nothing was sent: the check does not fit the module or the port
        // given, or the port did not open.
        Refused, NotOpened,
        // The host port failed after the query went out, as when its
        // adapter is unplugged.
        LineLost
    };

    QString hostPort;
    HostLineSettings line;
    QByteArray sent;
    QByteArray received;
    QString expected;
    int timeoutMs = 0;
    Verdict verdict = Verdict::NoAnswer;
    // Why nothing was sent, for Refused and NotOpened, or why the line
    // failed, for LineLost.
    QString reason;

    // The verdict for what was received; the host link answered when the
    // receiver knows where the answer ends, by the terminator on a serial
    // line or by the message on USB. A serial answer's terminator is no
    // part of its text.
    void judge(bool ended);
    bool passed() const;
    // Whether the answer is the module's *IDN text; nothing where it could
    // not be compared.
    std::optional<bool> match() const;
    // The line settings, what was sent, received and expected, one a line,
    // with module text escaped; with hex, the bytes in hexadecimal as well.
    QStringList facts(bool hex) const;
    // What came back as the facts show it: text escaped as module text is,
    // other bytes one by one.
    QString receivedText() const;
    // The verdict, then what to try when it failed.
    QStringList message() const;
};

#endif // HOSTLINKRESULT_H
