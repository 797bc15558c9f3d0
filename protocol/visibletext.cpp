#include "visibletext.h"

QString visibleText(const QString &text, LineBreaks lineBreaks)
{
    QString visible;
    for (const QChar c : text) {
        const bool control = c.category() == QChar::Other_Control || c.category() == QChar::Other_Format;
        if (control && !(c == '\n' && lineBreaks == LineBreaks::Kept))
            visible += QString("\\x%1").arg(c.unicode(), 2, 16, QChar('0'));
        else
            visible += c;
    }
    return visible;
}
