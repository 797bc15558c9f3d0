#include "utf8localecodec.h"

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
    return state ? qtUtf8Codec()->toUnicode(in, length, state) : QString::fromUtf8(in, length);
}

QByteArray Utf8LocaleCodec::convertFromUnicode(const QChar *in, int length, ConverterState *state) const
{
    return state ? qtUtf8Codec()->fromUnicode(in, length, state) : QString::fromRawData(in, length).toUtf8();
}

QTextCodec *Utf8LocaleCodec::qtUtf8Codec()
{
    static QTextCodec *const codec = QTextCodec::codecForMib(106);
    return codec;
}
