#include "hostlinkresult.h"

#include "settingsfields.h"
#include "visibletext.h"

#include <QTextCodec>

namespace {

QByteArray withoutTrailingBlanks(QByteArray bytes)
{
    while (!bytes.isEmpty() && (bytes.endsWith('\r') || bytes.endsWith('\n') || bytes.endsWith(' ')))
        bytes.chop(1);
    return bytes;
}

// UTF-8 without control characters other than tab, CR and LF: what an
// instrument sends as its answer. A line at the wrong bit rate or framing
// delivers other bytes.
bool isText(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0)
        return false;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

// Text as show shows module text; other bytes one by one, those that are
// no printable ASCII as escapes.
QString shown(const QByteArray &bytes)
{
    if (isText(bytes))
        return visibleText(QString::fromUtf8(bytes));
    QString text;
    for (const char byte : bytes)
        text += byte >= 0x20 && byte < 0x7F ? QString(QChar(byte)) : QString::asprintf("\\x%02x", quint8(byte));
    return text;
}

} // namespace

// The module holds at most MaxIdnStringSize bytes of the instrument's
// text, so a longer answer matches when it begins with what the module holds.
void HostLinkResult::judge(bool ended)
{
    const bool terminated = ended && !line.usb && received.endsWith(char(line.terminator));
    const QByteArray answer = withoutTrailingBlanks(terminated ? received.chopped(1) : received);
    const QByteArray text = withoutTrailingBlanks(expected.toUtf8());
    const bool held = text.size() >= MaxIdnStringSize && answer.startsWith(text);
    if (received.isEmpty())
        verdict = Verdict::NoAnswer;
    else if (!isText(answer))
        verdict = Verdict::NotText;
    else if (!ended)
        verdict = Verdict::Unterminated;
    else if (expected.isEmpty())
        verdict = Verdict::NotCompared;
    else if (answer == text || held)
        verdict = Verdict::Match;
    else
        verdict = Verdict::OtherAnswer;
}

bool HostLinkResult::passed() const
{
    return verdict == Verdict::Match || verdict == Verdict::NotCompared;
}

std::optional<bool> HostLinkResult::match() const
{
    switch (verdict) {
    case Verdict::Match:
        return true;
    case Verdict::LineLost:
    case Verdict::NoAnswer:
    case Verdict::OtherAnswer:
    case Verdict::NotText:
    case Verdict::Unterminated:
        return expected.isEmpty() ? std::nullopt : std::optional<bool>(false);
    default:
        return std::nullopt;
    }
}

QStringList HostLinkResult::facts(bool hex) const
{
    QStringList lines { tr("Host port: %1").arg(visibleText(hostPort)), tr("Line settings: %1").arg(line.text()) };
    lines << (sent.isEmpty() ? tr("Sent: nothing") : tr("Sent: %1").arg(shown(sent)));
    if (hex && !sent.isEmpty())
        lines << tr("Sent (hex): %1").arg(QString::fromLatin1(sent.toHex(' ')));
    if (!sent.isEmpty())
        lines << (received.isEmpty() ? tr("Received: nothing") : tr("Received: %1").arg(receivedText()));
    if (hex && !received.isEmpty())
        lines << tr("Received (hex): %1").arg(QString::fromLatin1(received.toHex(' ')));
    lines << (expected.isEmpty() ? tr("Expected: the ZORVEL reports no *IDN text")
                                 : tr("Expected: %1").arg(visibleText(expected)));
    return lines;
}

QString HostLinkResult::receivedText() const
{
    return shown(received);
}

QStringList HostLinkResult::message() const
{
    const QString powerCycle = tr("Settings written since the ZORVEL was last power-cycled take effect only after "
                                  "the next power cycle: power-cycle it, then check again.");
    const QString cable = line.usb
        ? tr("Check that %1 is the device of the instrument behind this ZORVEL.").arg(visibleText(hostPort))
        : tr("Check that %1 is the port cabled to this ZORVEL's RS232C host side.").arg(visibleText(hostPort));
    switch (verdict) {
    case Verdict::Match:
        return { tr("The instrument answered through the ZORVEL as its settings say.") };
    case Verdict::NotCompared:
        return { tr("An answer ended by the terminator came; the ZORVEL reports no *IDN text to compare it with.") };
    case Verdict::NoAnswer:
        return { tr("No answer within %1 ms.").arg(timeoutMs), powerCycle, cable,
                 tr("Check that the instrument is switched on and on the ZORVEL's GPIB side.") };
    case Verdict::OtherAnswer:
        return { tr("The answer is not the *IDN text the ZORVEL read from its instrument."), powerCycle, cable };
    case Verdict::NotText:
        return { tr("The answer is not text, as when the bit rate, stop bits or flow control of the two ends "
                    "differ."),
                 powerCycle, cable };
    case Verdict::Unterminated:
        return { tr("The answer did not end with the terminator %1 within %2 ms or %3 bytes.")
                     .arg(termcharText(line.terminator)).arg(timeoutMs).arg(HostLinkMaxAnswer),
                 powerCycle,
                 tr("Check that the instrument ends its answers with the terminator the ZORVEL holds (Termchar "
                    "Code).") };
    case Verdict::LineLost:
        return { tr("The line on %1 failed while waiting for the answer: %2").arg(visibleText(hostPort), reason),
                 tr("Check that the adapter of %1 is still plugged in, then check again.").arg(visibleText(hostPort)) };
    case Verdict::Refused:
    case Verdict::NotOpened:
        break;
    }
    return { reason };
}
