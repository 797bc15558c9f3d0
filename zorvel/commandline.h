#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include "portselection.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Console;
class QCommandLineOption;
class QCommandLineParser;
class SettingsDocument;
struct CommandOptions;

// Parses "zorvel [-v|-q] COMMAND [OPTIONS]", prints the help texts and runs
// the command through the handler its description names. The system's
// serial ports come from the given lister, asked only when a command needs
// them.
class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    CommandLine(Console &console, const PortSelection::PortLister &listPorts);

    int run(const QStringList &arguments);

private:
    struct Options;
    struct Command;
    struct Invocation;
    using OptionMember = QCommandLineOption Options::*;
    using Handler = int (CommandLine::*)(const Invocation &);

    static const Options &options();
    static const Command Commands[];
    static const Command *findCommand(const QString &name);

    int runCommand(const Command &command, const QStringList &arguments);
    QString argumentProblem(const Command &command, const QCommandLineParser &parser) const;
    int list(const Invocation &call);
    int show(const Invocation &call);
    int exportDocument(const Invocation &call);
    int diff(const Invocation &call);
    int apply(const Invocation &call);
    int set(const Invocation &call);
    int reset(const Invocation &call);
    int help(const Invocation &call);
    std::optional<SettingsDocument> readDocument(const Invocation &call);
    int withPorts(const Invocation &call, const std::function<int(const QList<PortEntry> &)> &action);
    QString commandHelp(const Command &command) const;
    QString generalHelp() const;
    int usageError(const QString &text, const QString &command = QString());

    Console &m_console;
    PortSelection::PortLister m_listPorts;
};

#endif // COMMANDLINE_H
