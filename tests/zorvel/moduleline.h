#ifndef MODULELINE_H
#define MODULELINE_H

#include "pseudoterminal.h"
#include "simulatedmodule.h"

// A simulated module on the master side of a pseudo-terminal; the program
// under test opens the slave side by its path.
struct ModuleLine {
    ModuleLine()
    {
        if (!terminal.open())
            qFatal("cannot open a pseudo-terminal: %s", qPrintable(terminal.errorString()));
        module.attach(terminal.master());
    }

    QString path() const { return terminal.slavePath(); }

    PseudoTerminal terminal;
    SimulatedModule module;
};

#endif // MODULELINE_H
