#include "commandline.h"

#include "console.h"
#include "documentfile.h"
#include "exitcode.h"
#include "modulecommands.h"
#include "settingsdocument.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <iterator>

struct CommandDescription {
    const char *name;
    const char *synopsis;
    const char *summary;
    const char *description;
    QStringList options;
    const char *argument;
    const char *argumentHelp;
};

namespace {

const QStringList PortOptions = { "port", "serial", "all", "timeout" };

const CommandDescription Commands[] = {
    { "list", "[--json] [--all-ports]", "List the ZORVEL service ports.",
      "Lists the serial ports whose description contains \"ZORVEL\", one a line: port name,\n"
      "description, serial number and system location.",
      { "json", "all-ports" }, nullptr, nullptr },
    { "show", "[PORTOPTS] [--json]", "Show a module's information and settings.",
      "Reads the module information and both settings groups and prints them as an\n"
      "aligned table, or with --json as the settings document.",
      PortOptions + QStringList { "json" }, nullptr, nullptr },
    { "export", "[PORTOPTS] [-o FILE]", "Write a module's settings document.",
      "Reads one module and writes its settings document (JSON) to FILE or to standard\n"
      "output. The document is what apply, set and diff read.",
      PortOptions + QStringList { "output" }, nullptr, nullptr },
    { "diff", "FILE [PORTOPTS]", "Compare a settings document with a module.",
      "Prints each key that differs as \"group.key: module-value -> file-value\".\n"
      "Exit status 0 when the module matches the document, 1 when it differs.",
      PortOptions, "FILE", "The settings document." },
    { "apply", "FILE [PORTOPTS] [--dry-run] [--verify] [--yes]", "Write a settings document to a module.",
      "Reads the module, sets the document's keys over its settings, checks the result\n"
      "and writes only the groups that differ, each after a confirmation. Keys the\n"
      "document leaves out keep the module's values.",
      PortOptions + QStringList { "dry-run", "verify", "yes" }, "FILE", "The settings document." },
    { "set", "KEY=VALUE... [PORTOPTS] [--dry-run] [--verify] [--yes]", "Write single settings to a module.",
      "The same as apply with a document made of the given keys, for example\n"
      "pelta=true, flowControl=HARDWARE, termchar=0x0D or autoSerialPollInterval=500.\n"
      "Values are written as in JSON; a value that is no JSON is a string. Keys:\n"
      "bitrate, stopbits, flowControl, termchar, block4882, idnQuery, pelta,\n"
      "autoSerialPoll, autoSerialPollInterval (or with their group: rs232c.pelta).",
      PortOptions + QStringList { "dry-run", "verify", "yes" }, "KEY=VALUE", "A setting and its value." },
    { "reset", "[PORTOPTS] [--yes]", "Reset a module to its factory defaults.",
      "Resets the module to its factory defaults after a confirmation and waits for\n"
      "its reply.",
      PortOptions + QStringList { "yes" }, nullptr, nullptr },
};

QString tr(const char *text)
{
    return QCoreApplication::translate("CommandLine", text);
}

QCommandLineOption option(const QString &name)
{
    if (name == "port")
        return { "port", tr("The port: a name such as ttyACM0 or COM3, or a device path such as /dev/pts/4."), "NAME" };
    if (name == "serial")
        return { "serial", tr("The service port of the module with this USB serial number."), "SN" };
    if (name == "all")
        return { "all", tr("Every service port in turn; the exit status is the worst of them.") };
    if (name == "timeout")
        return { "timeout", tr("How long to wait for each reply, in milliseconds (default 1000)."), "MS", "1000" };
    if (name == "json")
        return { "json", tr("Print JSON instead of a table.") };
    if (name == "all-ports")
        return { "all-ports", tr("List every serial port, marking the service ports with *.") };
    if (name == "output")
        return { { "o", "output" }, tr("Write the document to FILE instead of standard output."), "FILE" };
    if (name == "dry-run")
        return { "dry-run", tr("Print what would be written, and write nothing.") };
    if (name == "verify")
        return { "verify", tr("Read the written groups back and compare (exit status 4 if they differ).") };
    return { "yes", tr("Write without asking for confirmation.") };
}

const CommandDescription *findCommand(const QString &name)
{
    const auto found = std::find_if(std::begin(Commands), std::end(Commands),
                                    [&name](const CommandDescription &command) { return name == command.name; });
    return found == std::end(Commands) ? nullptr : found;
}

void configure(QCommandLineParser &parser, const CommandDescription &command)
{
    parser.addOption({ { "h", "help" }, tr("Show this help.") });
    for (const QString &name : command.options)
        parser.addOption(option(name));
    if (command.argument)
        parser.addPositionalArgument(command.argument, tr(command.argumentHelp));
}

std::optional<int> timeoutValue(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? std::optional<int>(value) : std::nullopt;
}

} // namespace

CommandLine::CommandLine(Console &console, const PortSelection::PortLister &listPorts)
    : m_console(console), m_listPorts(listPorts)
{
}

int CommandLine::run(const QStringList &arguments)
{
    const QString first = arguments.value(1);
    if (first == "--help" || first == "-h")
        return help({});
    if (first == "help")
        return help(arguments.mid(2));
    if (first.isEmpty())
        return usageError(tr("no command given"));
    const CommandDescription *command = findCommand(first);
    if (!command)
        return usageError(tr("unknown command \"%1\"").arg(first));
    return runCommand(*command, arguments.mid(2));
}

int CommandLine::runCommand(const CommandDescription &command, const QStringList &arguments)
{
    QCommandLineParser parser;
    configure(parser, command);
    if (!parser.parse(QStringList { "zorvel" } + arguments))
        return usageError(parser.errorText(), command.name);
    if (parser.isSet("help")) {
        m_console.print(commandHelp(command));
        return ExitSuccess;
    }
    for (const QString &name : command.options) {
        const QStringList names = option(name).names();
        const auto given = std::count_if(parser.optionNames().cbegin(), parser.optionNames().cend(),
                                         [&names](const QString &used) { return names.contains(used); });
        if (given > 1)
            return usageError(tr("--%1 is given more than once").arg(name), command.name);
    }
    for (const char *name : { "port", "serial" }) {
        if (command.options.contains(name) && parser.isSet(name) && parser.value(name).isEmpty())
            return usageError(tr("--%1 needs a value").arg(name), command.name);
    }
    const QStringList positional = parser.positionalArguments();
    const int wanted = command.argument ? 1 : 0;
    if (positional.size() < wanted || (positional.size() > wanted && QString(command.name) != "set"))
        return usageError(tr("expected: zorvel %1 %2").arg(command.name, command.synopsis), command.name);

    const auto isSet = [&](const QString &name) { return command.options.contains(name) && parser.isSet(name); };
    CommandOptions options;
    options.everyPort = isSet("all");
    options.json = isSet("json");
    options.allPorts = isSet("all-ports");
    options.outputFile = isSet("output") ? parser.value("output") : QString();
    options.dryRun = isSet("dry-run");
    options.verify = isSet("verify");
    options.yes = isSet("yes");
    if (command.options.contains("timeout")) {
        const auto timeout = timeoutValue(parser.value("timeout"));
        if (!timeout)
            return usageError(tr("--timeout takes a number of milliseconds above 0, not \"%1\"")
                                  .arg(parser.value("timeout")), command.name);
        options.timeoutMs = *timeout;
    }
    return dispatch(command, parser, options);
}

int CommandLine::dispatch(const CommandDescription &command, const QCommandLineParser &parser, const CommandOptions &options)
{
    ModuleCommands commands(m_console, options);
    const QString name = command.name;
    if (name == "list")
        return commands.list(m_listPorts());
    if (name == "show")
        return withPorts(parser, [&](const QStringList &ports) { return commands.show(ports); });
    if (name == "export") {
        if (parser.isSet("all"))
            return usageError(tr("export writes the document of one module; choose it with --port or --serial"),
                              command.name);
        return withPorts(parser, [&](const QStringList &ports) { return commands.exportDocument(ports.first()); });
    }
    if (name == "reset")
        return withPorts(parser, [&](const QStringList &ports) { return commands.reset(ports); });

    QStringList errors;
    std::optional<SettingsDocument> document;
    QString source;
    if (name == "set") {
        document = SettingsDocument::fromAssignments(parser.positionalArguments(), &errors);
    } else {
        source = parser.positionalArguments().first() + ": ";
        QString error;
        const auto json = readDocumentFile(parser.positionalArguments().first(), &error);
        if (!json)
            errors << error;
        else
            document = SettingsDocument::parse(*json, &errors);
    }
    for (const QString &error : errors)
        m_console.printError(source + error);
    if (!document)
        return ExitUsage;
    if (name == "diff")
        return withPorts(parser, [&](const QStringList &ports) { return commands.diff(*document, ports); });
    return withPorts(parser, [&](const QStringList &ports) { return commands.apply(*document, ports); });
}

int CommandLine::withPorts(const QCommandLineParser &parser, const std::function<int(const QStringList &)> &action)
{
    PortSelection selection({ parser.value("port"), parser.value("serial"), parser.isSet("all") }, m_listPorts);
    if (!selection.select()) {
        m_console.printError(selection.errorString());
        return selection.isUsageError() ? ExitUsage : ExitNoModule;
    }
    return action(selection.ports());
}

int CommandLine::help(const QStringList &topics)
{
    if (topics.isEmpty()) {
        m_console.print(generalHelp());
        return ExitSuccess;
    }
    const CommandDescription *command = findCommand(topics.first());
    if (!command)
        return usageError(tr("no help on \"%1\": no such command").arg(topics.first()));
    m_console.print(commandHelp(*command));
    return ExitSuccess;
}

QString CommandLine::commandHelp(const CommandDescription &command) const
{
    QCommandLineParser parser;
    configure(parser, command);
    const QString table = parser.helpText();
    return tr("Usage: zorvel %1 %2\n\n%3\n\n%4")
        .arg(command.name, command.synopsis, tr(command.description), table.mid(table.indexOf("Options:")).trimmed());
}

QString CommandLine::generalHelp() const
{
    QString commands;
    for (const CommandDescription &command : Commands)
        commands += QString("  %1%2\n").arg(QString(command.name).leftJustified(9), tr(command.summary));
    return tr("Usage: zorvel COMMAND [OPTIONS]\n"
              "\n"
              "Reads and writes the settings of ZORVEL modules over their service ports:\n"
              "one module, or every module of a rack with --all.\n"
              "\n"
              "Commands:\n"
              "%1"
              "  help     Describe a command: zorvel help COMMAND, or zorvel COMMAND --help.\n"
              "\n"
              "Port options (PORTOPTS), for every command but list:\n"
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
