#ifndef FRAMETRACE_H
#define FRAMETRACE_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

enum class FrameDirection { ToModule, FromModule };

// One line of a frame trace, written alike by every program that traces a
// service port, so that their logs line up: milliseconds since the program
// started, the port, the direction and the frame's bytes in hex.
QString frameTraceLine(qint64 elapsedMs, const QString &port, FrameDirection direction, const QByteArray &frame);

#endif // FRAMETRACE_H
