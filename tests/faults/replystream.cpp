#include "replystream.h"

#include <array>

namespace {

constexpr int TextField = 16;
constexpr int ModuleInfoLayout = 18;
constexpr int Rs232cLayout = 25;
constexpr int UsbtmcLayout = 5;
constexpr int MaxFramePayload = 255;
constexpr int MaxIdnShown = 127;

const QString PowerCycle = "\nYou need power-cycle the ZORVEL for the new settings to take effect.";

QByteArray littleEndian(qint32 value)
{
    const auto bits = quint32(value);
    QByteArray bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes += char((bits >> shift) & 0xFF);
    return bytes;
}

// UTF-8 text of the bytes up to the first zero byte.
QString textUpToZero(const QByteArray &bytes)
{
    const int end = bytes.indexOf('\0');
    return QString::fromUtf8(end < 0 ? bytes : bytes.left(end));
}

} // namespace

ReplyStream::ReplyStream(quint32 seed)
    : m_random(seed)
{
}

QByteArray ReplyStream::frames(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        const int kind = uniform(0, 99);
        if (kind < 12)
            bytes += moduleInfoReply();
        else if (kind < 24)
            bytes += rs232cReply();
        else if (kind < 36)
            bytes += usbtmcReply();
        else if (kind < 48)
            bytes += shortReply();
        else if (kind < 85)
            bytes += unknownFrame();
        else if (kind < 95)
            bytes += ignoredRestartNotice();
        else
            bytes += completionReply();
    }
    return bytes;
}

QByteArray ReplyStream::factoryDefaultCompletion()
{
    notices << "Factory Default complete!" + PowerCycle;
    return frame(9, QByteArray());
}

QList<QByteArray> ReplyStream::pieces(const QByteArray &bytes)
{
    QList<QByteArray> result;
    for (int start = 0; start < bytes.size();) {
        const int kind = uniform(0, 3);
        const int size = kind < 2 ? uniform(1, 8) : kind == 2 ? uniform(9, 64) : uniform(65, 300);
        result << bytes.mid(start, size);
        start += size;
    }
    return result;
}

bool ReplyStream::oneIn(int n)
{
    return uniform(1, n) == 1;
}

int ReplyStream::uniform(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

QByteArray ReplyStream::randomBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = char(uniform(0, 255));
    return bytes;
}

// Printable ASCII with an occasional two-byte UTF-8 letter, which a field
// boundary may cut in half.
QByteArray ReplyStream::text(int maxBytes)
{
    const int size = uniform(0, maxBytes);
    QByteArray bytes;
    while (bytes.size() < size)
        bytes += oneIn(10) ? QByteArray("\xC3\xA9") : QByteArray(1, char(uniform(0x20, 0x7E)));
    return bytes.left(size);
}

// A 16-byte text field: mostly a text, its zero byte and leftovers behind it;
// sometimes 16 text bytes and no zero byte at all.
QByteArray ReplyStream::textField()
{
    if (oneIn(8)) {
        QByteArray full = text(TextField);
        while (full.size() < TextField)
            full += char(uniform(0x20, 0x7E));
        return full;
    }
    const QByteArray shown = text(TextField - 1);
    return (shown + '\0' + randomBytes(TextField)).left(TextField);
}

QByteArray ReplyStream::frame(quint8 type, const QByteArray &payload)
{
    const QByteArray sync = oneIn(10) ? randomBytes(2) : QByteArray("M0");
    return sync + char(type) + char(payload.size()) + payload;
}

// The text length byte may claim more bytes than the frame carries, or the
// frame may carry bytes beyond the text; the window shows at most 127 bytes
// of what is there, up to a zero byte.
QByteArray ReplyStream::moduleInfoReply()
{
    const QByteArray version = textField();
    const auto flags = quint8(uniform(0, 255));
    const int textSize = oneIn(8) ? uniform(MaxIdnShown + 1, MaxFramePayload - ModuleInfoLayout)
                                  : uniform(0, 60);
    QByteArray idn = text(textSize);
    while (idn.size() < textSize)
        idn += char(uniform(0x20, 0x7E));
    if (textSize > 0 && oneIn(6))
        idn[uniform(0, textSize - 1)] = '\0';

    int carried = textSize;
    QByteArray extra;
    if (oneIn(6))
        carried = uniform(0, textSize);
    else if (oneIn(5) && textSize < MaxFramePayload - ModuleInfoLayout)
        extra = randomBytes(uniform(1, MaxFramePayload - ModuleInfoLayout - textSize));

    ShownModuleInfo shown;
    shown.version = textUpToZero(version);
    shown.ioType = flags & 0x40 ? "USB" : "RS232C";
    shown.gpibAddress = QString::number(flags & 0x1F);
    shown.customMode = flags & 0x20 ? "ON" : "OFF";
    shown.idnString = textUpToZero(idn.left(qMin(carried, MaxIdnShown)));
    moduleInfo = shown;
    return frame(1, version + char(flags) + char(textSize) + idn.left(carried) + extra);
}

QByteArray ReplyStream::rs232cReply()
{
    static constexpr std::array<int, 8> offered = { 115200, 57600, 38400, 19200, 9600, 4800, 2400, 1200 };
    const qint32 bitrate = oneIn(4) ? qint32(m_random()) : offered.at(size_t(uniform(0, offered.size() - 1)));
    const auto stopbits = quint8(oneIn(4) ? uniform(0, 255) : uniform(1, 2));
    const auto flowControl = quint8(oneIn(4) ? uniform(0, 255) : uniform(0, 2));
    const auto termcharCode = quint8(uniform(0, 255));
    const auto block4882 = quint8(oneIn(2) ? 0 : uniform(1, 255));
    const QByteArray query = textField();
    const auto peltaSafu = quint8(uniform(0, 2) > 0 ? 0 : uniform(1, 255));
    const QByteArray extra = oneIn(6) ? randomBytes(uniform(1, MaxFramePayload - Rs232cLayout)) : QByteArray();

    static const QStringList flowNames = { "NONE", "SOFTWARE", "HARDWARE" };
    ShownRs232cSettings shown;
    shown.bitrate = std::find(offered.begin(), offered.end(), bitrate) != offered.end() ? QString::number(bitrate)
                                                                                       : QString();
    shown.stopbits = stopbits == 1 || stopbits == 2 ? QString::number(stopbits) : QString();
    shown.flowControl = flowNames.value(flowControl);
    shown.peltaChecked = peltaSafu != 0;
    shown.blockChecked = block4882 != 0 || peltaSafu != 0;
    shown.blockEnabled = peltaSafu == 0;
    shown.fieldsEnabled = !shown.blockChecked;
    shown.termcharCode = shown.blockChecked ? "0x0A" : QString::asprintf("0x%02X", unsigned(termcharCode));
    shown.idnQuery = shown.blockChecked ? "*IDN?" : textUpToZero(query).left(15);
    rs232cSettings = shown;
    return frame(3, littleEndian(bitrate) + char(stopbits) + char(flowControl) + char(termcharCode)
                     + char(block4882) + query + char(peltaSafu) + extra);
}

QByteArray ReplyStream::usbtmcReply()
{
    const auto autoSpoll = quint8(oneIn(2) ? 0 : uniform(1, 255));
    const auto interval = qint32(m_random());
    const QByteArray extra = oneIn(6) ? randomBytes(uniform(1, MaxFramePayload - UsbtmcLayout)) : QByteArray();

    usbtmcSettings = ShownUsbtmcSettings { autoSpoll != 0, QString::number(interval) };
    return frame(5, char(autoSpoll) + littleEndian(interval) + extra);
}

QByteArray ReplyStream::shortReply()
{
    static constexpr std::array<std::pair<quint8, int>, 3> layouts = {
        { { 1, ModuleInfoLayout }, { 3, Rs232cLayout }, { 5, UsbtmcLayout } }
    };
    const auto [type, layout] = layouts.at(size_t(uniform(0, 2)));
    ++shortReplies;
    return frame(type, randomBytes(uniform(0, layout - 1)));
}

QByteArray ReplyStream::unknownFrame()
{
    int type = 0;
    do
        type = uniform(0, 255);
    while ((type >= 1 && type <= 5) || type == 8 || type == 9);
    const int size = oneIn(8) ? 0 : oneIn(7) ? MaxFramePayload : uniform(0, 40);
    return frame(quint8(type), randomBytes(size));
}

// A type-8 frame without a status byte, or with a status other than 0.
QByteArray ReplyStream::ignoredRestartNotice()
{
    if (oneIn(5))
        return frame(8, QByteArray());
    return frame(8, char(uniform(1, 255)) + randomBytes(uniform(0, 7)));
}

QByteArray ReplyStream::completionReply()
{
    static constexpr std::array<quint8, 3> types = { 2, 4, 9 };
    const quint8 type = types.at(size_t(uniform(0, 2)));
    notices << (type == 2   ? "RS232C setting sync complete!"
                : type == 4 ? "USBTMC setting sync complete!"
                            : "Factory Default complete!")
            + PowerCycle;
    const int size = oneIn(5) ? 0 : oneIn(9) ? MaxFramePayload : uniform(0, 30);
    return frame(type, randomBytes(size));
}
