#ifndef DEBUGLOG_H
#define DEBUGLOG_H

#include <QStringList>
#include <QtGlobal>

// Collects the debug lines written while it exists.
class DebugLog
{
public:
    DebugLog();
    ~DebugLog();
    DebugLog(const DebugLog &) = delete;
    DebugLog &operator=(const DebugLog &) = delete;

    QStringList lines() const;

private:
    static void collect(QtMsgType type, const QMessageLogContext &context, const QString &message);

    QStringList m_lines;
    QtMessageHandler m_previous;
};

#endif // DEBUGLOG_H
