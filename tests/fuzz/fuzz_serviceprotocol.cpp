// Feeds arbitrary bytes, cut into arbitrary chunks, through FrameBuffer, hands
// every frame to every decoder and round-trips settings through the encoders.
// Any broken invariant aborts, which libFuzzer reports as a finding.

#include "serviceprotocol.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

namespace {

constexpr int HeaderSize = 4;
constexpr int TypeOffset = 2;
constexpr int LengthOffset = 3;
constexpr int TextFieldSize = 16;
constexpr int MaxIdnStringSize = 127;
constexpr int MaxIdnQuerySize = 15;

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "Broken invariant: %s\n", what);
        std::abort();
    }
}

quint8 byteAt(const QByteArray &bytes, int offset)
{
    return static_cast<quint8>(bytes.at(offset));
}

// The input's first byte says how the stream is delivered: its low three bits
// give a count k and the next k bytes are chunk sizes, used in turn (0 appends
// nothing); with k = 0 the whole stream arrives in one append. Its top bit
// makes the receiver take at most one frame per append, so that complete
// frames pile up in the buffer. The remaining bytes are the stream.
struct Delivery {
    std::vector<int> chunkSizes;
    bool oneFramePerAppend = false;
    QByteArray stream;
};

Delivery readDelivery(const uint8_t *data, size_t size)
{
    Delivery delivery;
    if (size == 0)
        return delivery;
    const size_t count = std::min<size_t>(data[0] & 0x07, size - 1);
    delivery.oneFramePerAppend = data[0] & 0x80;
    delivery.chunkSizes.assign(data + 1, data + 1 + count);
    if (std::accumulate(delivery.chunkSizes.cbegin(), delivery.chunkSizes.cend(), 0) == 0)
        delivery.chunkSizes.clear();
    const size_t streamStart = 1 + count;
    delivery.stream = QByteArray(reinterpret_cast<const char *>(data + streamStart),
                                 static_cast<int>(size - streamStart));
    return delivery;
}

void decodeEverything(const QByteArray &frame)
{
    const quint8 type = byteAt(frame, TypeOffset);
    const int payload = frame.size() - HeaderSize;

    const auto info = decodeModuleInfo(frame);
    require(info.has_value() == (type == 1 && payload >= 18),
            "module information is decoded from every type-1 frame that holds its layout, and only from those");
    if (info) {
        require(info->version.size() <= TextFieldSize, "version fits its field");
        require(info->idnString.size() <= MaxIdnStringSize, "identification text fits 127 bytes");
        require(info->gpibAddress >= 0 && info->gpibAddress <= 31, "GPIB address is 0 to 31");
    }

    const auto rs232c = decodeRs232cSettings(frame);
    require(rs232c.has_value() == (type == 3 && payload >= 25),
            "RS232C settings are decoded from every type-3 frame that holds their layout, and only from those");
    if (rs232c)
        require(rs232c->idnQuery.size() <= TextFieldSize, "identification query fits its field");

    const auto usbtmc = decodeUsbtmcSettings(frame);
    require(usbtmc.has_value() == (type == 5 && payload >= 5),
            "USBTMC settings are decoded from every type-5 frame that holds their layout, and only from those");

    require(isRestartNotice(frame) == (type == 8 && payload >= 1 && byteAt(frame, 4) == 0),
            "a restart notice is a type-8 frame with status 0");
}

// Drives a FrameBuffer and checks it against the plain reading of the stream:
// the next frame is the N + 4 bytes after the last frame taken, as soon as all
// of them have arrived.
class CheckedReceiver {
public:
    void append(const QByteArray &chunk)
    {
        m_buffer.append(chunk);
        m_received += chunk;
        require(m_buffer.size() == m_received.size() - m_taken, "buffer holds what was received and not taken");
    }

    bool takeFrame()
    {
        const std::optional<QByteArray> expected = expectedFrame();
        const std::optional<QByteArray> frame = m_buffer.takeFrame();
        require(frame.has_value() == expected.has_value(), "a frame is taken exactly when one is complete");
        if (!frame)
            return false;
        require(*frame == *expected, "a frame is the next bytes of the stream");
        require(frame->size() == HeaderSize + byteAt(*frame, LengthOffset), "a frame is 4 bytes plus its length byte");
        m_taken += frame->size();
        require(m_buffer.size() == m_received.size() - m_taken, "taking a frame removes exactly its bytes");
        decodeEverything(*frame);
        return true;
    }

    // Zeros complete whatever partial frame is left, so that every received
    // byte is checked as part of a frame.
    void completePartialFrame()
    {
        const int buffered = m_received.size() - m_taken;
        if (buffered == 0)
            return;
        const int frameSize = buffered < HeaderSize
            ? HeaderSize
            : HeaderSize + byteAt(m_received, m_taken + LengthOffset);
        append(QByteArray(frameSize - buffered, '\0'));
        require(takeFrame(), "the completed frame is taken");
        require(m_buffer.size() == 0, "nothing is left");
    }

private:
    std::optional<QByteArray> expectedFrame() const
    {
        const int buffered = m_received.size() - m_taken;
        if (buffered < HeaderSize)
            return std::nullopt;
        const int frameSize = HeaderSize + byteAt(m_received, m_taken + LengthOffset);
        if (buffered < frameSize)
            return std::nullopt;
        return m_received.mid(m_taken, frameSize);
    }

    FrameBuffer m_buffer;
    QByteArray m_received;
    int m_taken = 0;
};

void receive(const Delivery &delivery)
{
    CheckedReceiver receiver;
    const QByteArray &stream = delivery.stream;
    size_t nextChunk = 0;
    for (int position = 0; position < stream.size();) {
        const int chunkSize = delivery.chunkSizes.empty()
            ? stream.size()
            : delivery.chunkSizes[nextChunk++ % delivery.chunkSizes.size()];
        receiver.append(stream.mid(position, chunkSize));
        position += chunkSize;
        if (delivery.oneFramePerAppend)
            receiver.takeFrame();
        else
            while (receiver.takeFrame()) { }
    }
    while (receiver.takeFrame()) { }
    receiver.completePartialFrame();
}

// Text the encoder can carry unchanged: ASCII without the zero terminator,
// sometimes longer than the field so that truncation is exercised.
QString asciiText(FuzzedDataProvider &input)
{
    const std::string bytes = input.ConsumeRandomLengthString(MaxIdnQuerySize + 5);
    QString text;
    for (const char byte : bytes)
        text += QChar(1 + static_cast<unsigned char>(byte) % 127);
    return text;
}

// What the host writes and the module echoes back must read back unchanged.
void roundTripSettings(FuzzedDataProvider &input)
{
    Rs232cSettings rs232c;
    rs232c.bitrate = input.ConsumeIntegral<qint32>();
    rs232c.stopbits = input.ConsumeIntegral<quint8>();
    rs232c.flowControl = input.ConsumeIntegral<quint8>();
    rs232c.termcharCode = input.ConsumeIntegral<quint8>();
    rs232c.block4882 = input.ConsumeBool();
    rs232c.peltaSafu = input.ConsumeBool();
    rs232c.idnQuery = asciiText(input);
    QByteArray frame = encodeRs232cSettings(rs232c);
    require(frame.size() == 29 && byteAt(frame, TypeOffset) == 2 && byteAt(frame, LengthOffset) == 25,
            "RS232C write frame has its fixed layout");
    frame[TypeOffset] = static_cast<char>(FrameType::Rs232cSyncFrom);
    const auto rs232cBack = decodeRs232cSettings(frame);
    require(rs232cBack.has_value(), "RS232C settings decode");
    require(rs232cBack->bitrate == rs232c.bitrate && rs232cBack->stopbits == rs232c.stopbits
                && rs232cBack->flowControl == rs232c.flowControl
                && rs232cBack->termcharCode == rs232c.termcharCode
                && rs232cBack->block4882 == rs232c.block4882 && rs232cBack->peltaSafu == rs232c.peltaSafu
                && rs232cBack->idnQuery == rs232c.idnQuery.left(MaxIdnQuerySize),
            "RS232C settings survive the round trip");

    UsbtmcSettings usbtmc;
    usbtmc.autoSpoll = input.ConsumeBool();
    usbtmc.autoSpollIntv = input.ConsumeIntegral<qint32>();
    frame = encodeUsbtmcSettings(usbtmc);
    require(frame.size() == 9 && byteAt(frame, TypeOffset) == 4 && byteAt(frame, LengthOffset) == 5,
            "USBTMC write frame has its fixed layout");
    frame[TypeOffset] = static_cast<char>(FrameType::UsbtmcSyncFrom);
    const auto usbtmcBack = decodeUsbtmcSettings(frame);
    require(usbtmcBack.has_value(), "USBTMC settings decode");
    require(usbtmcBack->autoSpoll == usbtmc.autoSpoll && usbtmcBack->autoSpollIntv == usbtmc.autoSpollIntv,
            "USBTMC settings survive the round trip");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    receive(readDelivery(data, size));
    FuzzedDataProvider input(data, size);
    roundTripSettings(input);
    return 0;
}
