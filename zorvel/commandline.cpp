#include "commandline.h"

#include "command.h"
#include "console.h"
#include "documentfile.h"
#include "exitcode.h"
#include "modulerun.h"
#include "outcomejson.h"
#include "outcometext.h"
#include "settingsdocument.h"
#include "zorvelversion.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>

namespace {

std::optional<int> timeoutValue(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? std::optional<int>(value) : std::nullopt;
}

// What may stand before the command: the options every command takes, and
// --version.
bool isLeadingOption(const QString &argument)
{
    static const QStringList leading { "-h", "--help", "-v", "--verbose", "-q", "--quiet", "--version" };
    return leading.contains(argument);
}

// Every port, or more than one port or serial number named.
bool asksForSeveral(const QCommandLineParser &parser, const CommandOptions &options)
{
    return options.allServicePorts || parser.values("port").size() > 1 || parser.values("serial").size() > 1;
}

} // namespace

CommandLine::CommandLine(Console &console, const PortSelection::PortLister &listPorts)
    : m_console(console), m_listPorts(listPorts)
{
}

int CommandLine::run(const QStringList &arguments)
{
    const int result = runArguments(arguments);
    if (!m_console.outputFailed())
        return result;
    m_console.printError(tr("cannot write standard output: %1").arg(m_console.errorString()));
    if (m_written.isEmpty())
        return std::max(result, int(ExitUsage));
    // The work went on: what it wrote is told where it can still be read,
    // and a module's own failure, such as a read-back that differs, keeps
    // its status.
    for (const QString &line : m_written)
        m_console.printError(line);
    return result >= ExitNoModule ? result : int(ExitOutputFailed);
}

int CommandLine::runArguments(const QStringList &arguments)
{
    QStringList rest = arguments.mid(1);
    QStringList leading;
    while (!rest.isEmpty() && isLeadingOption(rest.first()))
        leading << rest.takeFirst();
    if (leading.contains("--version")) {
        m_console.print(QString("zorvel %1").arg(ZorvelVersion));
        return ExitSuccess;
    }
    if (rest.isEmpty() && (leading.contains("-h") || leading.contains("--help")))
        return help({});
    if (rest.isEmpty())
        return usageError(tr("no command given"));
    const Command *command = Command::find(rest.first());
    if (!command)
        return usageError(tr("unknown command \"%1\"").arg(rest.first()));
    return runCommand(*command, rest.mid(1) + leading);
}

int CommandLine::runCommand(const Command &command, const QStringList &arguments)
{
    QCommandLineParser parser;
    for (const QString &name : Command::CommonOptions + command.options)
        parser.addOption(Command::option(name));
    if (!command.argumentName.isEmpty())
        parser.addPositionalArgument(command.argumentName, tr(command.argumentHelp));
    if (!parser.parse(QStringList { "zorvel" } + arguments))
        return usageError(parser.errorText(), command.name);
    if (parser.isSet("help")) {
        m_console.print(commandHelp(command));
        return ExitSuccess;
    }
    QString error;
    const auto options = commandOptions(command, parser, &error);
    if (!options)
        return usageError(error, command.name);
    m_console.setVerbosity(parser.isSet("verbose") ? Console::Verbosity::Verbose
                           : parser.isSet("quiet") ? Console::Verbosity::Quiet
                                                   : Console::Verbosity::Normal);
    switch (command.kind) {
    case Command::Kind::Help:
        return help(parser.positionalArguments());
    case Command::Kind::List:
        return list(*options);
    case Command::Kind::Modules:
        break;
    }
    if (command.oneModule && asksForSeveral(parser, *options))
        return usageError(Command::tr(command.oneModule), command.name);
    return runOnModules(command, parser, *options);
}

int CommandLine::list(const CommandOptions &options)
{
    QList<OutcomeText::PortRow> rows;
    for (const PortEntry &port : m_listPorts()) {
        const bool service = isServicePort(port.description);
        if (service || options.allSerialPorts)
            rows << OutcomeText::PortRow { port, service };
    }
    OutcomeText(m_console, options, false).portList(rows);
    if (options.json)
        m_console.print(QString::fromUtf8(OutcomeJson::portList(rows, options.allSerialPorts).toJson()));
    return ExitSuccess;
}

// Nothing is taken as a guess: an option given twice (but --port and
// --serial, which name several modules), an empty port, serial number or
// output file, both verbose and quiet, a timeout that is no number, or the
// wrong number of arguments.
std::optional<CommandOptions> CommandLine::commandOptions(const Command &command, const QCommandLineParser &parser,
                                                          QString *error) const
{
    const QStringList used = parser.optionNames();
    for (const QString &name : Command::CommonOptions + command.options) {
        if (name == "port" || name == "serial")
            continue;
        const QStringList names = Command::option(name).names();
        const auto count = std::count_if(used.cbegin(), used.cend(),
                                         [&names](const QString &given) { return names.contains(given); });
        if (count > 1) {
            *error = tr("--%1 is given more than once").arg(name);
            return std::nullopt;
        }
    }
    for (const QString &name : QStringList { "port", "serial", "output" }) {
        if (command.options.contains(name) && parser.isSet(name) && parser.values(name).contains(QString())) {
            *error = tr("--%1 needs a value").arg(name);
            return std::nullopt;
        }
    }
    if (parser.isSet("verbose") && parser.isSet("quiet")) {
        *error = tr("choose one of --verbose and --quiet");
        return std::nullopt;
    }
    const int count = parser.positionalArguments().size();
    if (count < command.minArguments || (command.maxArguments >= 0 && count > command.maxArguments)) {
        *error = tr("expected: zorvel %1 %2").arg(command.name, command.synopsis);
        return std::nullopt;
    }
    const auto given = [&](const QString &name) { return command.options.contains(name) && parser.isSet(name); };
    CommandOptions options;
    options.allServicePorts = given("all");
    options.json = given("json");
    options.allSerialPorts = given("all-ports");
    options.outputFile = given("output") ? parser.value("output") : QString();
    options.dryRun = given("dry-run");
    options.verify = given("verify");
    options.yes = given("yes");
    if (command.argument == Command::Argument::HostPort)
        options.hostPort = parser.positionalArguments().first();
    options.timeoutMs = command.timeoutMs;
    if (command.options.contains("timeout") && parser.isSet("timeout")) {
        const auto timeout = timeoutValue(parser.value("timeout"));
        if (!timeout) {
            *error = tr("--timeout takes a number of milliseconds above 0, not \"%1\"").arg(parser.value("timeout"));
            return std::nullopt;
        }
        options.timeoutMs = *timeout;
    }
    return options;
}

// Diff and apply read their document, and set makes one of its assignments,
// before a port is chosen or opened. Where several modules were asked for
// and none was reached, a script reading JSON finds an empty array; where
// one was, an object with the exit status and the errors.
int CommandLine::runOnModules(const Command &command, const QCommandLineParser &parser, const CommandOptions &options)
{
    const auto noModule = [&](int exitStatus) {
        if (options.json) {
            const bool several = asksForSeveral(parser, options);
            m_console.print(QString::fromUtf8(several ? OrderedJson::array().toJson()
                                                      : OutcomeJson::failure(exitStatus, m_console.errors()).toJson()));
        }
        return exitStatus;
    };
    std::optional<SettingsDocument> document;
    if (command.argument == Command::Argument::Document) {
        document = readDocument(parser.positionalArguments().first());
        if (!document)
            return noModule(ExitUsage);
    } else if (command.argument == Command::Argument::Assignments) {
        QStringList errors;
        document = SettingsDocument::fromAssignments(parser.positionalArguments(), &errors);
        for (const QString &error : errors)
            m_console.printError(error);
        if (!document)
            return noModule(ExitUsage);
    }
    // A write or a reset that could not ask is refused once, before any
    // module is read.
    const bool writes = command.work == Work::Apply || command.work == Work::Reset;
    if (writes && !options.yes && !options.dryRun && !m_console.whyNoQuestion().isEmpty()) {
        m_console.printError(tr("not confirmed: %1; give --yes to write without asking, or --dry-run to see what "
                                "would be written; no module was read or written")
                                 .arg(m_console.whyNoQuestion()));
        return noModule(ExitUsage);
    }
    PortSelection selection({ parser.values("port"), parser.values("serial"), options.allServicePorts },
                            m_listPorts);
    if (!selection.select()) {
        m_console.printError(selection.errorString());
        return noModule(selection.isUsageError() ? ExitUsage : ExitNoModule);
    }
    ModuleRun run(m_console, options);
    const int exitStatus = run.run(command.work, selection.ports(), asksForSeveral(parser, options), document);
    m_written = run.written();
    return exitStatus;
}

int CommandLine::help(const QStringList &topics)
{
    if (topics.isEmpty()) {
        m_console.print(generalHelp());
        return ExitSuccess;
    }
    const Command *command = Command::find(topics.first());
    if (!command)
        return usageError(tr("no help on \"%1\": no such command").arg(topics.first()));
    m_console.print(commandHelp(*command));
    return ExitSuccess;
}

// The document in the file, or on standard input for "-".
std::optional<SettingsDocument> CommandLine::readDocument(const QString &name)
{
    const bool fromInput = name == "-";
    QString error;
    const auto json = fromInput ? ::readDocument(*m_console.takeInput(), &error) : readDocumentFile(name, DocumentFiles::Any, &error);
    QStringList errors;
    std::optional<SettingsDocument> document;
    if (json)
        document = SettingsDocument::parse(*json, &errors);
    else
        errors << error;
    // Standard input has no name to tell the reader.
    for (const QString &problem : errors)
        m_console.printError(fromInput ? problem : name + ": " + problem);
    return document;
}

QString CommandLine::commandHelp(const Command &command) const
{
    QCommandLineParser parser;
    for (const QString &name : command.options + Command::CommonOptions)
        parser.addOption(Command::option(name));
    if (!command.argumentName.isEmpty())
        parser.addPositionalArgument(command.argumentName, tr(command.argumentHelp));
    const QString table = parser.helpText();
    QString description = tr(command.description);
    if (command.argument == Command::Argument::Assignments)
        description += "\n  " + SettingsDocument::keyHelp().join("\n  ");
    return tr("Usage: zorvel %1 %2\n\n%3\n\n%4")
        .arg(command.name, command.synopsis, description, table.mid(table.indexOf("Options:")).trimmed());
}

QString CommandLine::generalHelp() const
{
    QString summaries;
    for (const Command &command : Command::all())
        summaries += QString("  %1%2\n").arg(QString(command.name).leftJustified(11), tr(command.summary));
    return tr("Usage: zorvel [-v|-q] COMMAND [OPTIONS]\n"
              "       zorvel --version\n"
              "\n"
              "Reads and writes the settings of ZORVEL modules over their service ports:\n"
              "one module, or every module of a rack with --all.\n"
              "\n"
              "Commands (zorvel help COMMAND, or zorvel COMMAND --help, describes one):\n"
              "%1"
              "\n"
              "Options of every command, also before it:\n"
              "  -h, --help     Describe the program or the command.\n"
              "  -v, --verbose  Trace every frame on the line on standard error.\n"
              "  -q, --quiet    Print nothing but errors and the requested output.\n"
              "  --version      Print the program's version.\n"
              "\n"
              "Port options (PORTOPTS), for every command but list and help:\n"
              "  --port NAME   A port name such as ttyACM0 or COM3, or a device path.\n"
              "  --serial SN   The service port of the module with this USB serial number.\n"
              "  --all         Every service port in turn.\n"
              "  --timeout MS  How long to wait for each reply (default 1000).\n"
              "--port and --serial may be given again for each further module, which are\n"
              "then taken in turn as with --all. Without them, the one service port there is.\n"
              "\n"
              "Exit status: 0 success; 1 diff found differences; 2 bad usage, bad document,\n"
              "refused confirmation, a module value outside the rules that a write would send\n"
              "back, or an output file that cannot be written; 3 no port, port not opened, no\n"
              "reply, line lost, bytes that are not a frame, or module restarted; 4 the\n"
              "settings read back after --verify differ; 5 the host link did not answer as the\n"
              "module's settings say it should (check-host); 6 standard output failed once a\n"
              "module was written, which standard error then names (3 and 4 go before it);\n"
              "129, 130 or 143 ended by SIGHUP, SIGINT or SIGTERM. See zorvel(1) for each case.\n"
              "\n"
              "New settings take effect when the ZORVEL is power-cycled.")
        .arg(summaries);
}

int CommandLine::usageError(const QString &text, const QString &command)
{
    m_console.printError(text);
    m_console.printError(command.isEmpty() ? tr("see zorvel --help")
                                           : tr("see zorvel help %1").arg(command));
    return ExitUsage;
}
