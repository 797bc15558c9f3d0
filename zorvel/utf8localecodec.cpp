#include "utf8localecodec.h"

namespace {

// Lone low surrogates stand for bytes that are no UTF-8, as file systems
// and programs' arguments may hold: U+DC80 to U+DCFF for 0x80 to 0xFF.
constexpr ushort EscapeBase = 0xDC00;

bool isEscape(QChar c)
{
    return c.unicode() >= EscapeBase + 0x80 && c.unicode() <= EscapeBase + 0xFF;
}

// The length of the valid UTF-8 sequence at the bytes, or 0.
int sequenceLength(const uchar *bytes, int available)
{
    const uchar lead = bytes[0];
    const int length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xF0 && lead <= 0xF4                   ? 4
                                                                      : 0;
    if (length == 0 || length > available)
        return 0;
    // The second byte's range rules out overlong forms, surrogates and
    // code points beyond U+10FFFF.
    const uchar low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const uchar high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    for (int i = 1; i < length; ++i) {
        if (bytes[i] < (i == 1 ? low : 0x80) || bytes[i] > (i == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

} // namespace

// A name and number of its own, so that looking up UTF-8 by name or number
// still finds Qt's codec rather than this one.
QByteArray Utf8LocaleCodec::name() const
{
    return "UTF-8-locale";
}

int Utf8LocaleCodec::mibEnum() const
{
    return -106;
}

QString Utf8LocaleCodec::convertToUnicode(const char *in, int length, ConverterState *state) const
{
    if (state)
        return qtUtf8Codec()->toUnicode(in, length, state);
    const auto *bytes = reinterpret_cast<const uchar *>(in);
    QString text;
    int start = 0;
    for (int i = 0; i < length;) {
        const int sequence = sequenceLength(bytes + i, length - i);
        if (sequence > 0) {
            i += sequence;
            continue;
        }
        text += QString::fromUtf8(in + start, i - start) + QChar(ushort(EscapeBase + bytes[i]));
        start = ++i;
    }
    return text + QString::fromUtf8(in + start, length - start);
}

QByteArray Utf8LocaleCodec::convertFromUnicode(const QChar *in, int length, ConverterState *state) const
{
    if (state)
        return qtUtf8Codec()->fromUnicode(in, length, state);
    QByteArray bytes;
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        const bool escape = i < length && isEscape(in[i]) && (i == 0 || !in[i - 1].isHighSurrogate());
        if (i < length && !escape)
            continue;
        bytes += QString::fromRawData(in + start, i - start).toUtf8();
        if (escape)
            bytes += char(in[i].unicode() - EscapeBase);
        start = i + 1;
    }
    return bytes;
}

QTextCodec *Utf8LocaleCodec::qtUtf8Codec()
{
    static QTextCodec *const codec = QTextCodec::codecForMib(106);
    return codec;
}
