#ifndef SIMULATEDLINE_H
#define SIMULATEDLINE_H

#include "pseudoterminal.h"
#include "simulatedhost.h"
#include "simulatedmodule.h"

#include <QString>

// A simulated module on the master side of a new pseudo-terminal: a program
// opens the slave side by its path, as it opens a module's serial port. The
// module's host side, with its instrument, can be served on a second one.
class SimulatedLine
{
public:
    bool open();
    bool openHost();
    QString path() const;
    QString errorString() const;

    SimulatedModule &module();
    const SimulatedModule &module() const;
    SimulatedHost &host();
    // The module's end of the line.
    QIODevice *master();
    // Waits up to the given time until what the module sent has reached
    // the program's end of the line.
    bool waitUntilDelivered(int milliseconds = 1000) const;

private:
    PseudoTerminal m_terminal;
    SimulatedModule m_module;
    SimulatedHost m_host { m_module };
};

#endif // SIMULATEDLINE_H
