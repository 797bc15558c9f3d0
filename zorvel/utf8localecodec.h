#ifndef UTF8LOCALECODEC_H
#define UTF8LOCALECODEC_H

#include <QTextCodec>

// The locale's codec for a locale whose text is UTF-8. Qt looks the
// locale's codec up in ICU's converter tables, which costs a short-lived
// program about a megabyte of memory and part of its start; this codec
// needs no look-up. Conversions without state, as of the arguments, file
// names and printed text, are Qt's own UTF-8 ones but for bytes that are no
// UTF-8, which each become a lone surrogate and turn back into themselves:
// a port path such as a link named in another encoding opens as given.
// Conversions with state (partial input, counted invalid bytes) go to Qt's
// UTF-8 codec, looked up when first needed.
class Utf8LocaleCodec : public QTextCodec
{
public:
    QByteArray name() const override;
    int mibEnum() const override;

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *state) const override;
    QByteArray convertFromUnicode(const QChar *in, int length, ConverterState *state) const override;

private:
    static QTextCodec *qtUtf8Codec();
};

#endif // UTF8LOCALECODEC_H
