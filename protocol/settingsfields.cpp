#include "settingsfields.h"

#include <QRegularExpression>

#include <algorithm>
#include <iterator>

namespace {

const char *const FlowControlNames[] = { "NONE", "SOFTWARE", "HARDWARE" };

// Leading zeros are dropped before converting, so that any count of them is
// accepted without the digits overflowing the conversion.
std::optional<qulonglong> digitsValue(const QString &digits, int base, qulonglong max)
{
    QString significant = digits;
    significant.remove(QRegularExpression("^0+"));
    if (significant.isEmpty())
        return 0;
    bool ok = false;
    const qulonglong value = significant.toULongLong(&ok, base);
    if (!ok || value > max)
        return std::nullopt;
    return value;
}

} // namespace

QList<qint32> rs232cBitrates()
{
    return { 115200, 57600, 38400, 19200, 9600, 4800, 2400, 1200 };
}

QList<quint8> rs232cStopbits()
{
    return { 2, 1 };
}

QList<quint8> flowControlChoices()
{
    return { 0, 2, 1 };
}

QString flowControlName(quint8 code)
{
    return code < std::size(FlowControlNames) ? QString(FlowControlNames[code]) : QString();
}

std::optional<quint8> flowControlCode(const QString &name)
{
    const auto found = std::find(std::begin(FlowControlNames), std::end(FlowControlNames), name);
    if (found == std::end(FlowControlNames))
        return std::nullopt;
    return quint8(found - std::begin(FlowControlNames));
}

QString hostInterfaceName(bool usb)
{
    return usb ? QStringLiteral("USB") : QStringLiteral("RS232C");
}

QString termcharText(quint8 code)
{
    return QString::asprintf("0x%02X", unsigned(code));
}

std::optional<quint8> parseTermcharCode(const QString &text)
{
    static const QRegularExpression form("^(?:0[xX])?([0-9A-Fa-f]+)$");
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const auto value = digitsValue(match.captured(1), 16, 0xFF);
    if (!value)
        return std::nullopt;
    return quint8(*value);
}

std::optional<qint32> parsePollingInterval(const QString &text)
{
    static const QRegularExpression form("^[0-9]+$");
    const QString trimmed = text.trimmed();
    if (!form.match(trimmed).hasMatch())
        return std::nullopt;
    const auto value = digitsValue(trimmed, 10, qulonglong(MaxPollingInterval));
    if (!value)
        return std::nullopt;
    return qint32(*value);
}

bool isValidIdnQuery(const QString &text)
{
    return text.size() <= MaxIdnQueryLength
        && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() <= 0x7E; });
}

QString blockTransferIdnQuery()
{
    return QStringLiteral("*IDN?");
}

Rs232cSettings interlocked(Rs232cSettings settings)
{
    if (isBlockTransferFixed(settings))
        settings.block4882 = true;
    if (areTermcharAndQueryFixed(settings)) {
        settings.termcharCode = BlockTransferTermchar;
        settings.idnQuery = blockTransferIdnQuery();
    }
    return settings;
}

bool isBlockTransferFixed(const Rs232cSettings &settings)
{
    return settings.peltaSafu;
}

bool areTermcharAndQueryFixed(const Rs232cSettings &settings)
{
    return settings.block4882 || settings.peltaSafu;
}
