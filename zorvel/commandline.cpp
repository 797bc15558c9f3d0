#include "commandline.h"

#include "console.h"
#include "documentfile.h"
#include "exitcode.h"
#include "modulecommands.h"
#include "settingsdocument.h"
#include "zorvelversion.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>
#include <iterator>

// Every option the program knows, each once; a command lists the ones it
// takes, and every command takes help, verbose and quiet.
struct CommandLine::Options {
    QCommandLineOption help { { "h", "help" }, tr("Describe the program or the command.") };
    QCommandLineOption verbose { { "v", "verbose" },
                                 tr("Trace every frame sent and received on standard error, in hex, with the port "
                                    "and the milliseconds since the start.") };
    QCommandLineOption quiet { { "q", "quiet" }, tr("Print nothing but errors and the requested output.") };
    QCommandLineOption port { "port", tr("The port: a name such as ttyACM0 or COM3, or a device path such as "
                                         "/dev/pts/4."), "NAME" };
    QCommandLineOption serial { "serial", tr("The service port of the module with this USB serial number."), "SN" };
    QCommandLineOption all { "all", tr("Every service port in turn; the exit status is the worst of them.") };
    QCommandLineOption timeout { "timeout", tr("How long to wait for each reply, in milliseconds (default 1000)."),
                                 "MS", "1000" };
    QCommandLineOption json { "json", tr("Print JSON instead of text.") };
    QCommandLineOption allPorts { "all-ports", tr("List every serial port, marking the service ports with *.") };
    QCommandLineOption output { { "o", "output" }, tr("Write the document to FILE instead of standard output."),
                                "FILE" };
    QCommandLineOption dryRun { "dry-run", tr("Print what would be written, and write nothing.") };
    QCommandLineOption verify { "verify", tr("Read the written groups back and compare (exit status 4 if they "
                                             "differ).") };
    QCommandLineOption yes { "yes", tr("Write without asking for confirmation.") };
};

struct CommandLine::Command {
    const char *name;
    const char *synopsis;
    const char *summary;
    const char *description;
    QList<OptionMember> options;
    const char *argument;
    const char *argumentHelp;
    int minArguments;
    // -1 for any number.
    int maxArguments;
    Handler handler;
};

struct CommandLine::Invocation {
    const Command &command;
    const QCommandLineParser &parser;
    CommandOptions options;
};

const CommandLine::Command CommandLine::Commands[] = {
    { "list", "[--json] [--all-ports]", "List the ZORVEL service ports.",
      "Lists the serial ports whose description contains \"ZORVEL\", one a line: port name,\n"
      "description, serial number and system location. On a terminal the table has a\n"
      "header; when no service port is found, standard error says so.",
      { &Options::json, &Options::allPorts }, nullptr, nullptr, 0, 0, &CommandLine::list },
    { "show", "[PORTOPTS] [--json]", "Show a module's information and settings.",
      "Reads the module information and both settings groups and prints them as an\n"
      "aligned table, or with --json as the settings document; with --all a JSON array\n"
      "with one element a port, a port that failed as its port, serial number,\n"
      "message and exit status.",
      { &Options::port, &Options::serial, &Options::all, &Options::timeout, &Options::json },
      nullptr, nullptr, 0, 0, &CommandLine::show },
    { "export", "[PORTOPTS] [-o FILE]", "Write a module's settings document.",
      "Reads one module and writes its settings document (JSON) to FILE or to standard\n"
      "output. The document is what apply, set and diff read.",
      { &Options::port, &Options::serial, &Options::all, &Options::timeout, &Options::output },
      nullptr, nullptr, 0, 0, &CommandLine::exportDocument },
    { "diff", "FILE [PORTOPTS] [--json]", "Compare a settings document with a module.",
      "Prints each key that differs as \"group.key: module-value -> file-value\", or with\n"
      "--json an array of objects with group, key, module and file. FILE - reads the\n"
      "document from standard input. Exit status 0 when the module matches the\n"
      "document, 1 when it differs.",
      { &Options::port, &Options::serial, &Options::all, &Options::timeout, &Options::json },
      "FILE", "The settings document, or - for standard input.", 1, 1, &CommandLine::diff },
    { "apply", "FILE [PORTOPTS] [--dry-run] [--verify] [--yes]", "Write a settings document to a module.",
      "Reads the module and sets the document's keys over its settings; keys the\n"
      "document leaves out keep the module's values. Prints what it will write, as\n"
      "diff does, asks once for the module, then writes only the groups that differ\n"
      "and says what it wrote. FILE - reads the document from standard input, which\n"
      "then can answer no question: give --yes.",
      { &Options::port, &Options::serial, &Options::all, &Options::timeout, &Options::dryRun, &Options::verify,
        &Options::yes },
      "FILE", "The settings document, or - for standard input.", 1, 1, &CommandLine::apply },
    { "set", "KEY=VALUE... [PORTOPTS] [--dry-run] [--verify] [--yes]", "Write single settings to a module.",
      "The same as apply with a document made of the given keys, each once, for example\n"
      "pelta=true, flowControl=HARDWARE, termchar=0x0D or autoSerialPollInterval=500.\n"
      "Values are written as in JSON; a value that is no JSON is a string. Keys:\n"
      "bitrate, stopbits, flowControl, termchar, block4882, idnQuery, pelta,\n"
      "autoSerialPoll, autoSerialPollInterval (or with their group: rs232c.pelta).",
      { &Options::port, &Options::serial, &Options::all, &Options::timeout, &Options::dryRun, &Options::verify,
        &Options::yes },
      "KEY=VALUE", "A setting and its value.", 1, -1, &CommandLine::set },
    { "reset", "[PORTOPTS] [--dry-run] [--yes]", "Reset a module to its factory defaults.",
      "Says that every setting returns to its factory default, asks once for the\n"
      "module, then resets it and waits for its reply.",
      { &Options::port, &Options::serial, &Options::all, &Options::timeout, &Options::dryRun, &Options::yes },
      nullptr, nullptr, 0, 0, &CommandLine::reset },
    { "help", "[COMMAND]", "Describe the program, or a command.",
      "Describes the program, or the given command as COMMAND --help does.",
      {}, "COMMAND", "The command to describe.", 0, 1, &CommandLine::help },
};

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

} // namespace

CommandLine::CommandLine(Console &console, const PortSelection::PortLister &listPorts)
    : m_console(console), m_listPorts(listPorts)
{
}

int CommandLine::run(const QStringList &arguments)
{
    QStringList rest = arguments.mid(1);
    QStringList leading;
    while (!rest.isEmpty() && isLeadingOption(rest.first()))
        leading << rest.takeFirst();
    if (leading.contains("--version")) {
        m_console.print(QString("zorvel %1").arg(ZorvelVersion));
        return ExitSuccess;
    }
    if (rest.isEmpty() && (leading.contains("-h") || leading.contains("--help"))) {
        m_console.print(generalHelp());
        return ExitSuccess;
    }
    if (rest.isEmpty())
        return usageError(tr("no command given"));
    const Command *command = findCommand(rest.first());
    if (!command)
        return usageError(tr("unknown command \"%1\"").arg(rest.first()));
    const int result = runCommand(*command, rest.mid(1) + leading);
    if (m_console.outputError().isEmpty())
        return result;
    m_console.printError(tr("cannot write standard output: %1").arg(m_console.outputError()));
    return std::max(result, int(ExitUsage));
}

const CommandLine::Options &CommandLine::options()
{
    static const Options all;
    return all;
}

const CommandLine::Command *CommandLine::findCommand(const QString &name)
{
    const auto found = std::find_if(std::begin(Commands), std::end(Commands),
                                    [&name](const Command &command) { return name == command.name; });
    return found == std::end(Commands) ? nullptr : found;
}

int CommandLine::runCommand(const Command &command, const QStringList &arguments)
{
    const Options &known = options();
    QCommandLineParser parser;
    parser.addOptions({ known.help, known.verbose, known.quiet });
    for (const OptionMember member : command.options)
        parser.addOption(known.*member);
    if (command.argument)
        parser.addPositionalArgument(command.argument, tr(command.argumentHelp));
    if (!parser.parse(QStringList { "zorvel" } + arguments))
        return usageError(parser.errorText(), command.name);
    if (parser.isSet(known.help)) {
        m_console.print(commandHelp(command));
        return ExitSuccess;
    }
    const QString problem = argumentProblem(command, parser);
    if (!problem.isEmpty())
        return usageError(problem, command.name);

    const auto given = [&](OptionMember member) {
        return command.options.contains(member) && parser.isSet(known.*member);
    };
    Invocation call { command, parser, {} };
    call.options.everyPort = given(&Options::all);
    call.options.json = given(&Options::json);
    call.options.allPorts = given(&Options::allPorts);
    call.options.outputFile = given(&Options::output) ? parser.value(known.output) : QString();
    call.options.dryRun = given(&Options::dryRun);
    call.options.verify = given(&Options::verify);
    call.options.yes = given(&Options::yes);
    if (command.options.contains(&Options::timeout)) {
        const auto timeout = timeoutValue(parser.value(known.timeout));
        if (!timeout)
            return usageError(tr("--timeout takes a number of milliseconds above 0, not \"%1\"")
                                  .arg(parser.value(known.timeout)), command.name);
        call.options.timeoutMs = *timeout;
    }
    m_console.setVerbosity(parser.isSet(known.verbose) ? Console::Verbosity::Verbose
                           : parser.isSet(known.quiet) ? Console::Verbosity::Quiet
                                                       : Console::Verbosity::Normal);
    return (this->*command.handler)(call);
}

// Nothing is taken as a guess: an option given twice, an empty port or
// serial number, both verbose and quiet, or the wrong number of arguments.
QString CommandLine::argumentProblem(const Command &command, const QCommandLineParser &parser) const
{
    const Options &known = options();
    QList<const QCommandLineOption *> taken { &known.help, &known.verbose, &known.quiet };
    for (const OptionMember member : command.options)
        taken << &(known.*member);
    const QStringList used = parser.optionNames();
    for (const QCommandLineOption *option : taken) {
        const QStringList names = option->names();
        const auto count = std::count_if(used.cbegin(), used.cend(),
                                         [&names](const QString &name) { return names.contains(name); });
        if (count > 1)
            return tr("--%1 is given more than once").arg(names.last());
    }
    for (const OptionMember member : { &Options::port, &Options::serial, &Options::output }) {
        if (command.options.contains(member) && parser.isSet(known.*member) && parser.value(known.*member).isEmpty())
            return tr("--%1 needs a value").arg((known.*member).names().last());
    }
    if (parser.isSet(known.verbose) && parser.isSet(known.quiet))
        return tr("choose one of --verbose and --quiet");
    const int count = parser.positionalArguments().size();
    if (count < command.minArguments || (command.maxArguments >= 0 && count > command.maxArguments))
        return tr("expected: zorvel %1 %2").arg(command.name, command.synopsis);
    return QString();
}

int CommandLine::list(const Invocation &call)
{
    return ModuleCommands(m_console, call.options).list(m_listPorts());
}

int CommandLine::show(const Invocation &call)
{
    ModuleCommands commands(m_console, call.options);
    return withPorts(call, [&](const QList<PortEntry> &ports) { return commands.show(ports); });
}

int CommandLine::exportDocument(const Invocation &call)
{
    if (call.options.everyPort)
        return usageError(tr("export writes the document of one module; choose it with --port or --serial"),
                          call.command.name);
    ModuleCommands commands(m_console, call.options);
    return withPorts(call, [&](const QList<PortEntry> &ports) { return commands.exportDocument(ports.first()); });
}

int CommandLine::diff(const Invocation &call)
{
    const auto document = readDocument(call);
    if (!document)
        return ExitUsage;
    ModuleCommands commands(m_console, call.options);
    return withPorts(call, [&](const QList<PortEntry> &ports) { return commands.diff(*document, ports); });
}

int CommandLine::apply(const Invocation &call)
{
    const auto document = readDocument(call);
    if (!document)
        return ExitUsage;
    ModuleCommands commands(m_console, call.options);
    return withPorts(call, [&](const QList<PortEntry> &ports) { return commands.apply(*document, ports); });
}

int CommandLine::set(const Invocation &call)
{
    QStringList errors;
    const auto document = SettingsDocument::fromAssignments(call.parser.positionalArguments(), &errors);
    for (const QString &error : errors)
        m_console.printError(error);
    if (!document)
        return ExitUsage;
    ModuleCommands commands(m_console, call.options);
    return withPorts(call, [&](const QList<PortEntry> &ports) { return commands.apply(*document, ports); });
}

int CommandLine::reset(const Invocation &call)
{
    ModuleCommands commands(m_console, call.options);
    return withPorts(call, [&](const QList<PortEntry> &ports) { return commands.reset(ports); });
}

int CommandLine::help(const Invocation &call)
{
    const QStringList topics = call.parser.positionalArguments();
    if (topics.isEmpty()) {
        m_console.print(generalHelp());
        return ExitSuccess;
    }
    const Command *command = findCommand(topics.first());
    if (!command)
        return usageError(tr("no help on \"%1\": no such command").arg(topics.first()));
    m_console.print(commandHelp(*command));
    return ExitSuccess;
}

// The document named by the command's argument; "-" is standard input.
std::optional<SettingsDocument> CommandLine::readDocument(const Invocation &call)
{
    const QString name = call.parser.positionalArguments().first();
    const bool fromInput = name == "-";
    QString error;
    const auto json = fromInput ? ::readDocument(*m_console.takeInput(), &error) : readDocumentFile(name, &error);
    QStringList errors;
    std::optional<SettingsDocument> document;
    if (json)
        document = SettingsDocument::parse(*json, &errors);
    else
        errors << error;
    const QString source = fromInput ? tr("standard input") : name;
    for (const QString &problem : errors)
        m_console.printError(source + ": " + problem);
    return document;
}

int CommandLine::withPorts(const Invocation &call, const std::function<int(const QList<PortEntry> &)> &action)
{
    const Options &known = options();
    PortSelection selection({ call.parser.value(known.port), call.parser.value(known.serial), call.options.everyPort },
                            m_listPorts);
    if (!selection.select()) {
        m_console.printError(selection.errorString());
        return selection.isUsageError() ? ExitUsage : ExitNoModule;
    }
    return action(selection.ports());
}

QString CommandLine::commandHelp(const Command &command) const
{
    QCommandLineParser parser;
    const Options &known = options();
    for (const OptionMember member : command.options)
        parser.addOption(known.*member);
    parser.addOptions({ known.help, known.verbose, known.quiet });
    if (command.argument)
        parser.addPositionalArgument(command.argument, tr(command.argumentHelp));
    const QString table = parser.helpText();
    return tr("Usage: zorvel %1 %2\n\n%3\n\n%4")
        .arg(command.name, command.synopsis, tr(command.description), table.mid(table.indexOf("Options:")).trimmed());
}

QString CommandLine::generalHelp() const
{
    QString commands;
    for (const Command &command : Commands)
        commands += QString("  %1%2\n").arg(QString(command.name).leftJustified(9), tr(command.summary));
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
              "Without them, the one service port there is.\n"
              "\n"
              "Exit status: 0 success; 1 diff found differences; 2 bad usage, bad document,\n"
              "refused confirmation, a module value outside the rules that a write would send\n"
              "back, or an output file that cannot be written; 3 no port, port not opened, no\n"
              "reply, line lost, bytes that are not a frame, or module restarted; 4 the\n"
              "settings read back after --verify differ. See zorvel(1) for each case.\n"
              "\n"
              "New settings take effect when the ZORVEL is power-cycled.")
        .arg(commands);
}

int CommandLine::usageError(const QString &text, const QString &command)
{
    m_console.printError(text);
    m_console.printError(command.isEmpty() ? tr("see zorvel --help")
                                           : tr("see zorvel help %1").arg(command));
    return ExitUsage;
}
