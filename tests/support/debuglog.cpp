#include "debuglog.h"

namespace {

DebugLog *active = nullptr;

}

DebugLog::DebugLog()
{
    active = this;
    m_previous = qInstallMessageHandler(collect);
}

DebugLog::~DebugLog()
{
    qInstallMessageHandler(m_previous);
    active = nullptr;
}

QStringList DebugLog::lines() const
{
    return m_lines;
}

// Debug lines are kept; everything else goes on to the handler before.
void DebugLog::collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg)
        active->m_lines << message;
    else if (active->m_previous)
        active->m_previous(type, context, message);
}
