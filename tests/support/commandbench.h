#ifndef COMMANDBENCH_H
#define COMMANDBENCH_H

#include "portselection.h"
#include "simulatedline.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The command line run in this process against simulated modules on
// pseudo-terminals, which answer while a command waits for their replies.
// The system's port list holds the modules' lines as service ports, SN1,
// SN2 and so on, unless a test gives another.
class CommandBench
{
public:
    explicit CommandBench(int modules = 1);

    void addLine();
    SimulatedModule &module(int index = 0);
    // The module's host side, served on a pseudo-terminal of its own from
    // the first call on.
    SimulatedHost &host(int index = 0);
    QString path(int index = 0) const;
    QList<PortEntry> servicePorts() const;
    // Runs "zorvel ARGUMENTS" with the answers as standard input, which is a
    // terminal when interactive; output and errors keep what it wrote.
    int run(const QStringList &arguments, const QByteArray &answers = QByteArray(), bool interactive = false);
    // The write and reset frames the module received, in hex.
    QList<QByteArray> writes(int index = 0) const;

    std::vector<std::unique_ptr<SimulatedLine>> lines;
    QList<PortEntry> systemPorts;
    QString output;
    QString errors;
};

#endif // COMMANDBENCH_H
