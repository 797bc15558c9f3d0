#include "commandline.h"

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

// A command, the options it takes by name, its arguments and what it does
// with them: the work it does on modules, and what its argument holds.
struct CommandLine::Command {
    enum class Kind { Help, List, Modules };
    enum class Argument { None, Document, Assignments, HostPort };

    QString name;
    QString synopsis;
    const char *summary;
    const char *description;
    // Besides help, verbose and quiet, which every command takes.
    QStringList options;
    QString argumentName;
    const char *argumentHelp;
    int minArguments;
    // -1 for any number.
    int maxArguments;
    Kind kind = Kind::Modules;
    Work work = Work::Show;
    Argument argument = Argument::None;
    // Why the command refuses several modules; none where it takes them.
    const char *oneModule = nullptr;
    int timeoutMs = 1000;
};

const QList<CommandLine::Command> &CommandLine::commands()
{
    static const QList<Command> all = {
        { "list", "[--json] [--all-ports]", "List the ZORVEL service ports.",
          "Lists the serial ports whose description contains \"ZORVEL\", one a line: port name,\n"
          "description, serial number and system location. On a terminal the table has a\n"
          "header; when no service port is found, standard error says so.",
          { "json", "all-ports" }, "", nullptr, 0, 0, Command::Kind::List },
        { "show", "[PORTOPTS] [--json]", "Show a module's information and settings.",
          "Reads the module information and both settings groups and prints them as an\n"
          "aligned table, or with --json as the settings document; with --all a JSON array\n"
          "with one element a port, a port that failed as its port, serial number,\n"
          "message and exit status.",
          { "port", "serial", "all", "timeout", "json" },
          "", nullptr, 0, 0, Command::Kind::Modules, Work::Show },
        { "export", "[PORTOPTS] [-o FILE]", "Write a module's settings document.",
          "Reads one module and writes its settings document (JSON) to FILE or to standard\n"
          "output. The document is what apply, set and diff read.",
          { "port", "serial", "all", "timeout", "output" },
          "", nullptr, 0, 0, Command::Kind::Modules, Work::Export, Command::Argument::None,
          QT_TRANSLATE_NOOP("CommandLine",
                            "export writes the document of one module; choose it with --port or --serial") },
        { "diff", "FILE [PORTOPTS] [--json]", "Compare a settings document with a module.",
          "Prints each key that differs as \"group.key: module-value -> file-value\", or with\n"
          "--json an array of objects with group, key, module and file. FILE - reads the\n"
          "document from standard input. Exit status 0 when the module matches the\n"
          "document, 1 when it differs.",
          { "port", "serial", "all", "timeout", "json" },
          "FILE", "The settings document, or - for standard input.", 1, 1, Command::Kind::Modules, Work::Diff,
          Command::Argument::Document },
        { "apply", "FILE [PORTOPTS] [--dry-run] [--verify] [--yes] [--json]", "Write a settings document to a module.",
          "Reads the module and sets the document's keys over its settings; keys the\n"
          "document leaves out keep the module's values. Prints what it will write, as\n"
          "diff does, asks once for the module, then writes only the groups that differ\n"
          "and says what it wrote. FILE - reads the document from standard input, which\n"
          "then can answer no question: give --yes. With --json it prints instead, for\n"
          "each module, its port, serialNumber, changes (as diff --json), written (the\n"
          "groups sent), verified (true, false or null), exitStatus and message.",
          { "port", "serial", "all", "timeout", "dry-run", "verify", "yes", "json" },
          "FILE", "The settings document, or - for standard input.", 1, 1, Command::Kind::Modules, Work::Apply,
          Command::Argument::Document },
        { "set", "KEY=VALUE... [PORTOPTS] [--dry-run] [--verify] [--yes] [--json]",
          "Write single settings to a module.",
          "The same as apply with a document made of the given keys, each once, for example\n"
          "pelta=true, flowControl=HARDWARE, termchar=0x0D or autoSerialPollInterval=500.\n"
          "Values are written as in JSON; a value that is no JSON is a string. Keys:\n"
          "bitrate, stopbits, flowControl, termchar, block4882, idnQuery, pelta,\n"
          "autoSerialPoll, autoSerialPollInterval (or with their group: rs232c.pelta).",
          { "port", "serial", "all", "timeout", "dry-run", "verify", "yes", "json" },
          "KEY=VALUE", "A setting and its value.", 1, -1, Command::Kind::Modules, Work::Apply,
          Command::Argument::Assignments },
        { "reset", "[PORTOPTS] [--dry-run] [--yes] [--json]", "Reset a module to its factory defaults.",
          "Says that every setting returns to its factory default, asks once for the\n"
          "module, then resets it and waits for its reply. With --json it prints the\n"
          "result as apply does, with \"reset\" in written once the reset was sent.",
          { "port", "serial", "all", "timeout", "dry-run", "yes", "json" },
          "", nullptr, 0, 0, Command::Kind::Modules, Work::Reset },
        { "check-host", "HOST [PORTOPTS] [--timeout MS] [--json]",
          "Try a module's host link: does its instrument answer?",
          "Reads the module's information and RS232C-host settings (only read requests reach\n"
          "the module), then opens HOST, the computer's end of the host link, with the line\n"
          "settings the module holds: its bit rate, 8 data bits, no parity, its stop bits\n"
          "and flow control. It sends the identification query and the terminator as the\n"
          "window shows them (*IDN? and 0x0A with 488.2 block transfer), reads the answer\n"
          "up to the terminator, and compares it with the *IDN text the module read from\n"
          "its instrument. With a USB host interface HOST is the instrument's USBTMC device\n"
          "file on Linux, such as /dev/usbtmc0. Prints the line settings, what was sent,\n"
          "received and expected (in hex as well with -v), or with --json one object. Exit\n"
          "status 5 when the answer is missing, different or not text; refused (2) with\n"
          "PELTA on, or when HOST is the service port. --timeout defaults to 2000 here.",
          { "port", "serial", "timeout", "json" },
          "HOST", "The computer's end of the host link: a serial port such as ttyUSB0, COM7 or a device path.",
          1, 1, Command::Kind::Modules, Work::CheckHost, Command::Argument::HostPort,
          QT_TRANSLATE_NOOP("CommandLine",
                            "check-host tries the host link of one module; choose it with --port or --serial"),
          2000 },
        { "help", "[COMMAND]", "Describe the program, or a command.",
          "Describes the program, or the given command as COMMAND --help does.",
          {}, "COMMAND", "The command to describe.", 0, 1, Command::Kind::Help },
    };
    return all;
}

namespace {

const QStringList CommonOptions { "help", "verbose", "quiet" };

// Every option the program knows, each once, by the last of its names.
const QList<QCommandLineOption> &knownOptions()
{
    static const QList<QCommandLineOption> all = {
        { { "h", "help" }, CommandLine::tr("Describe the program or the command.") },
        { { "v", "verbose" }, CommandLine::tr("Trace every frame sent and received on standard error, in hex, with "
                                              "the port and the milliseconds since the start.") },
        { { "q", "quiet" }, CommandLine::tr("Print nothing but errors and the requested output.") },
        { "port", CommandLine::tr("The port: a name such as ttyACM0 or COM3, or a device path such as /dev/pts/4; "
                                  "again for each further module."),
          "NAME" },
        { "serial", CommandLine::tr("The service port of the module with this USB serial number; again for each "
                                    "further module."),
          "SN" },
        { "all", CommandLine::tr("Every service port in turn; the exit status is the worst of them.") },
        { "timeout", CommandLine::tr("How long to wait for each reply, in milliseconds (default 1000; with "
                                     "check-host 2000)."),
          "MS" },
        { "json", CommandLine::tr("Print JSON instead of text: with apply, set and reset, what was planned, "
                                  "written and verified.") },
        { "all-ports", CommandLine::tr("List every serial port, marking the service ports with *.") },
        { { "o", "output" }, CommandLine::tr("Write the document to FILE instead of standard output."), "FILE" },
        { "dry-run", CommandLine::tr("Print what would be written, and write nothing.") },
        { "verify", CommandLine::tr("Read the written groups back and compare (exit status 4 if they differ).") },
        { "yes", CommandLine::tr("Write without asking for confirmation.") },
    };
    return all;
}

QCommandLineOption option(const QString &name)
{
    const auto &all = knownOptions();
    return *std::find_if(all.cbegin(), all.cend(),
                         [&name](const QCommandLineOption &known) { return known.names().last() == name; });
}

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
    if (!m_console.outputFailed())
        return result;
    m_console.printError(tr("cannot write standard output: %1").arg(m_console.errorString()));
    return std::max(result, int(ExitUsage));
}

const CommandLine::Command *CommandLine::findCommand(const QString &name)
{
    const auto &all = commands();
    const auto found = std::find_if(all.cbegin(), all.cend(), [&name](const Command &command) { return name == command.name; });
    return found == all.cend() ? nullptr : &*found;
}

int CommandLine::runCommand(const Command &command, const QStringList &arguments)
{
    QCommandLineParser parser;
    for (const QString &name : CommonOptions + command.options)
        parser.addOption(option(name));
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
        return usageError(tr(command.oneModule), command.name);
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
    for (const QString &name : CommonOptions + command.options) {
        if (name == "port" || name == "serial")
            continue;
        const QStringList names = option(name).names();
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
// and none was reached, a script reading JSON finds an empty array.
int CommandLine::runOnModules(const Command &command, const QCommandLineParser &parser, const CommandOptions &options)
{
    const auto noModule = [&](int exitStatus) {
        if (options.json && asksForSeveral(parser, options))
            m_console.print("[]");
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
    PortSelection selection({ parser.values("port"), parser.values("serial"), options.allServicePorts },
                            m_listPorts);
    if (!selection.select()) {
        m_console.printError(selection.errorString());
        return noModule(selection.isUsageError() ? ExitUsage : ExitNoModule);
    }
    return ModuleRun(m_console, options)
        .run(command.work, selection.ports(), asksForSeveral(parser, options), document);
}

int CommandLine::help(const QStringList &topics)
{
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
    const QString source = fromInput ? tr("standard input") : name;
    for (const QString &problem : errors)
        m_console.printError(source + ": " + problem);
    return document;
}

QString CommandLine::commandHelp(const Command &command) const
{
    QCommandLineParser parser;
    for (const QString &name : command.options + CommonOptions)
        parser.addOption(option(name));
    if (!command.argumentName.isEmpty())
        parser.addPositionalArgument(command.argumentName, tr(command.argumentHelp));
    const QString table = parser.helpText();
    return tr("Usage: zorvel %1 %2\n\n%3\n\n%4")
        .arg(command.name, command.synopsis, tr(command.description), table.mid(table.indexOf("Options:")).trimmed());
}

QString CommandLine::generalHelp() const
{
    QString summaries;
    for (const Command &command : commands())
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
              "module's settings say it should (check-host); 130 or 143 ended by SIGINT or\n"
              "SIGTERM. See zorvel(1) for each case.\n"
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
