#include "frametrace.h"

QString frameTraceLine(qint64 elapsedMs, const QString &port, FrameDirection direction, const QByteArray &frame)
{
    const char *arrow = direction == FrameDirection::ToModule ? "to module  " : "from module";
    return QString("%1 ms  %2  %3  %4").arg(elapsedMs, 6).arg(port, arrow, QString(frame.toHex(' ')));
}
