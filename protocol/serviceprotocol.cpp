#include "serviceprotocol.h"

#include <QtEndian>

#include <algorithm>

namespace {

constexpr int HeaderSize = 4;
constexpr int TypeOffset = 2;
constexpr int LengthOffset = 3;
constexpr int TextFieldSize = 16;

constexpr int ModuleInfoMinPayload = 18;
constexpr int Rs232cPayload = 25;
constexpr int UsbtmcPayload = 5;

quint8 byteAt(const QByteArray &frame, int offset)
{
    return static_cast<quint8>(frame.at(offset));
}

int payloadLength(const QByteArray &frame)
{
    return byteAt(frame, LengthOffset);
}

QByteArray emptyFrame(FrameType type, int payload)
{
    QByteArray frame(HeaderSize + payload, '\0');
    frame[0] = 'M';
    frame[1] = '0';
    frame[TypeOffset] = static_cast<char>(type);
    frame[LengthOffset] = static_cast<char>(payload);
    return frame;
}

void putInt32(QByteArray &frame, int offset, qint32 value)
{
    qToLittleEndian<qint32>(value, frame.data() + offset);
}

qint32 int32At(const QByteArray &frame, int offset)
{
    return qFromLittleEndian<qint32>(frame.constData() + offset);
}

// True when the frame has the given type and both its length byte and its
// real size cover a payload of at least minPayload bytes.
bool holdsPayload(const QByteArray &frame, FrameType type, int minPayload)
{
    return frame.size() >= HeaderSize + minPayload
        && byteAt(frame, TypeOffset) == static_cast<quint8>(type)
        && payloadLength(frame) >= minPayload;
}

// UTF-8 text of at most maxSize bytes from offset, ending at the first zero.
QString textAt(const QByteArray &frame, int offset, int maxSize)
{
    const char *begin = frame.constData() + offset;
    const char *end = std::find(begin, begin + maxSize, '\0');
    return QString::fromUtf8(begin, static_cast<int>(end - begin));
}

} // namespace

QByteArray encodeRequest(FrameType type)
{
    return emptyFrame(type, 0);
}

FrameType frameType(const QByteArray &frame)
{
    return FrameType(byteAt(frame, TypeOffset));
}

QByteArray encodeRs232cSettings(const Rs232cSettings &settings)
{
    QByteArray frame = emptyFrame(FrameType::Rs232cSyncTo, Rs232cPayload);
    putInt32(frame, 4, settings.bitrate);
    frame[8] = static_cast<char>(settings.stopbits);
    frame[9] = static_cast<char>(settings.flowControl);
    frame[10] = static_cast<char>(settings.termcharCode);
    frame[11] = settings.block4882 ? 1 : 0;
    const QByteArray query = settings.idnQuery.toLatin1().left(TextFieldSize - 1);
    std::copy(query.cbegin(), query.cend(), frame.begin() + 12);
    frame[28] = settings.peltaSafu ? 1 : 0;
    return frame;
}

QByteArray encodeUsbtmcSettings(const UsbtmcSettings &settings)
{
    QByteArray frame = emptyFrame(FrameType::UsbtmcSyncTo, UsbtmcPayload);
    frame[4] = settings.autoSpoll ? 1 : 0;
    putInt32(frame, 5, settings.autoSpollIntv);
    return frame;
}

void FrameBuffer::append(const QByteArray &bytes)
{
    // Dropping the consumed front only once it is at least half the buffer
    // keeps the cost of moving bytes proportional to the bytes received.
    if (m_start > 0 && m_start * 2 >= m_bytes.size()) {
        m_bytes.remove(0, m_start);
        m_start = 0;
    }
    m_bytes.append(bytes);
}

std::optional<QByteArray> FrameBuffer::takeFrame()
{
    if (size() < HeaderSize)
        return std::nullopt;
    const int frameSize = HeaderSize + byteAt(m_bytes, m_start + LengthOffset);
    if (size() < frameSize)
        return std::nullopt;
    QByteArray frame = m_bytes.mid(m_start, frameSize);
    m_start += frameSize;
    if (m_start == m_bytes.size()) {
        m_bytes.clear();
        m_start = 0;
    }
    return frame;
}

int FrameBuffer::size() const
{
    return m_bytes.size() - m_start;
}

QByteArray FrameBuffer::front(int count) const
{
    return m_bytes.mid(m_start, std::min(count, size()));
}

std::optional<ModuleInfo> decodeModuleInfo(const QByteArray &frame)
{
    if (!holdsPayload(frame, FrameType::ModuleInfo, ModuleInfoMinPayload))
        return std::nullopt;
    const quint8 flags = byteAt(frame, 20);
    const int available = std::min(payloadLength(frame), frame.size() - HeaderSize) - ModuleInfoMinPayload;
    const int idnSize = std::min({ int(byteAt(frame, 21)), available, MaxIdnStringSize });

    ModuleInfo info;
    info.version = textAt(frame, 4, TextFieldSize);
    info.hostIsUsb = flags & 0x40;
    info.customMode = flags & 0x20;
    info.gpibAddress = flags & 0x1F;
    info.idnString = textAt(frame, 22, idnSize);
    return info;
}

std::optional<Rs232cSettings> decodeRs232cSettings(const QByteArray &frame)
{
    if (!holdsPayload(frame, FrameType::Rs232cSyncFrom, Rs232cPayload))
        return std::nullopt;
    Rs232cSettings settings;
    settings.bitrate = int32At(frame, 4);
    settings.stopbits = byteAt(frame, 8);
    settings.flowControl = byteAt(frame, 9);
    settings.termcharCode = byteAt(frame, 10);
    settings.block4882 = byteAt(frame, 11) != 0;
    settings.idnQuery = textAt(frame, 12, TextFieldSize);
    settings.peltaSafu = byteAt(frame, 28) != 0;
    return settings;
}

std::optional<UsbtmcSettings> decodeUsbtmcSettings(const QByteArray &frame)
{
    if (!holdsPayload(frame, FrameType::UsbtmcSyncFrom, UsbtmcPayload))
        return std::nullopt;
    UsbtmcSettings settings;
    settings.autoSpoll = byteAt(frame, 4) != 0;
    settings.autoSpollIntv = int32At(frame, 5);
    return settings;
}

bool isRestartNotice(const QByteArray &frame)
{
    return holdsPayload(frame, FrameType::Restarted, 1) && byteAt(frame, 4) == 0;
}
