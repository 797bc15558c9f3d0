#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include "portselection.h"

#include <QString>
#include <QStringList>

#include <functional>

class Console;
class QCommandLineParser;
struct CommandOptions;
struct CommandDescription;

// Parses "zorvel COMMAND [OPTIONS]", prints the help texts and runs the
// command. The system's serial ports come from the given lister, asked only
// when a command needs them.
class CommandLine
{
public:
    CommandLine(Console &console, const PortSelection::PortLister &listPorts);

    int run(const QStringList &arguments);

private:
    int runCommand(const CommandDescription &command, const QStringList &arguments);
    int dispatch(const CommandDescription &command, const QCommandLineParser &parser, const CommandOptions &options);
    int withPorts(const QCommandLineParser &parser, const std::function<int(const QStringList &)> &action);
    int help(const QStringList &topics);
    QString commandHelp(const CommandDescription &command) const;
    QString generalHelp() const;
    int usageError(const QString &text, const QString &command = QString());

    Console &m_console;
    PortSelection::PortLister m_listPorts;
};

#endif // COMMANDLINE_H
