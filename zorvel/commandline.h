#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include "commandoptions.h"
#include "portselection.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class Console;
class QCommandLineParser;
struct Command;
class SettingsDocument;

// Parses "zorvel [-v|-q] COMMAND [OPTIONS]", prints the help texts and runs
// the command. The system's serial ports come from the given lister, asked
// only when a command needs them.
class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    CommandLine(Console &console, const PortSelection::PortLister &listPorts);

    int run(const QStringList &arguments);

private:
    int runArguments(const QStringList &arguments);
    int runCommand(const Command &command, const QStringList &arguments);
    std::optional<CommandOptions> commandOptions(const Command &command, const QCommandLineParser &parser,
                                                 QString *error) const;
    int list(const CommandOptions &options);
    int runOnModules(const Command &command, const QCommandLineParser &parser, const CommandOptions &options);
    int help(const QStringList &topics);
    std::optional<SettingsDocument> readDocument(const QString &name);
    QString commandHelp(const Command &command) const;
    QString generalHelp() const;
    int usageError(const QString &text, const QString &command = QString());

    Console &m_console;
    PortSelection::PortLister m_listPorts;
    // What the command wrote to modules, for when the output fails.
    QStringList m_written;
};

#endif // COMMANDLINE_H
