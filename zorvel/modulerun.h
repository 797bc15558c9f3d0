#ifndef MODULERUN_H
#define MODULERUN_H

#include "commandoptions.h"
#include "modulework.h"
#include "outcometext.h"

#include <QCoreApplication>
#include <QList>

#include <optional>

class Console;

// Runs a command's work on each chosen module in turn, opening one port at
// a time, tells each outcome as it comes and returns the worst exit
// status. With every port chosen, or several named, JSON output is an
// array with one element a module. SIGINT, SIGTERM or SIGHUP ends the
// module at hand as a lost line would, and the run.
class ModuleRun
{
    Q_DECLARE_TR_FUNCTIONS(ModuleRun)

public:
    ModuleRun(Console &console, const CommandOptions &options);

    int run(Work work, const QList<PortEntry> &ports, bool several, const std::optional<SettingsDocument> &document);
    // What was written to which module, a line a module written.
    QStringList written() const;

private:
    bool confirm(const WritePlan &plan);
    void writeExport(ModuleOutcome &outcome);

    Console &m_console;
    const CommandOptions &m_options;
    std::optional<OutcomeText> m_text;
    QStringList m_written;
};

#endif // MODULERUN_H
