#include "simulatedline.h"

bool SimulatedLine::open()
{
    if (!m_terminal.open())
        return false;
    m_module.attach(m_terminal.master());
    return true;
}

QString SimulatedLine::path() const
{
    return m_terminal.slavePath();
}

QString SimulatedLine::errorString() const
{
    return m_terminal.errorString();
}

SimulatedModule &SimulatedLine::module()
{
    return m_module;
}

const SimulatedModule &SimulatedLine::module() const
{
    return m_module;
}

QIODevice *SimulatedLine::master()
{
    return m_terminal.master();
}

bool SimulatedLine::waitUntilDelivered(int milliseconds) const
{
    return m_terminal.waitUntilSlaveReadable(milliseconds);
}
