#include "simulatedline.h"

bool SimulatedLine::open()
{
    if (!m_terminal.open())
        return false;
    m_module.attach(m_terminal.master());
    return true;
}

bool SimulatedLine::openHost()
{
    return m_host.open();
}

QString SimulatedLine::path() const
{
    return m_terminal.slavePath();
}

QString SimulatedLine::errorString() const
{
    return m_terminal.errorString().isEmpty() ? m_host.errorString() : m_terminal.errorString();
}

SimulatedModule &SimulatedLine::module()
{
    return m_module;
}

const SimulatedModule &SimulatedLine::module() const
{
    return m_module;
}

SimulatedHost &SimulatedLine::host()
{
    return m_host;
}

QIODevice *SimulatedLine::master()
{
    return m_terminal.master();
}

bool SimulatedLine::waitUntilDelivered(int milliseconds) const
{
    return m_terminal.waitUntilSlaveReadable(milliseconds);
}
