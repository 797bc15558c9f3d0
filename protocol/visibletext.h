#ifndef VISIBLETEXT_H
#define VISIBLETEXT_H

#include <QString>

// Text from a module, a device, a document or an argument as it may be
// shown: control characters written as escapes (\x1b), so that it can
// neither move a terminal's cursor nor pass for other text. Line breaks are
// escaped too unless kept.
enum class LineBreaks { Escaped, Kept };
QString visibleText(const QString &text, LineBreaks lineBreaks = LineBreaks::Escaped);

#endif // VISIBLETEXT_H
