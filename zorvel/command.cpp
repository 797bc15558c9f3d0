#include "command.h"

#include <algorithm>

namespace {

// Every option the program knows, each once, by the last of its names.
const QList<QCommandLineOption> &knownOptions()
{
    static const QList<QCommandLineOption> all = {
        { { "h", "help" }, Command::tr("Describe the program or the command.") },
        { { "v", "verbose" }, Command::tr("Trace every frame sent and received on standard error, in hex, with "
                                              "the port and the milliseconds since the start.") },
        { { "q", "quiet" }, Command::tr("Print nothing but errors and the requested output.") },
        { "port", Command::tr("The port: a name such as ttyACM0 or COM3, or a device path such as /dev/pts/4; "
                                  "again for each further module."),
          "NAME" },
        { "serial", Command::tr("The service port of the module with this USB serial number; again for each "
                                    "further module."),
          "SN" },
        { "all", Command::tr("Every service port in turn; the exit status is the worst of them.") },
        { "timeout", Command::tr("How long to wait for each reply, in milliseconds (default 1000; with "
                                     "check-host 2000)."),
          "MS" },
        { "json", Command::tr("Print JSON instead of text: with apply, set and reset, what was planned, "
                                  "written and verified.") },
        { "all-ports", Command::tr("List every serial port, marking the service ports with *.") },
        { { "o", "output" }, Command::tr("Write the document to FILE instead of standard output."), "FILE" },
        { "dry-run", Command::tr("Print what would be written, and write nothing.") },
        { "verify", Command::tr("Read the written groups back and compare (exit status 4 if they differ).") },
        { "yes", Command::tr("Write without asking for confirmation.") },
    };
    return all;
}

} // namespace

const QStringList Command::CommonOptions { "help", "verbose", "quiet" };

const QList<Command> &Command::all()
{
    static const QList<Command> commands = {
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
          QT_TRANSLATE_NOOP("Command",
                            "export writes the document of one module; choose it with --port or --serial") },
        { "diff", "FILE [PORTOPTS] [--json]", "Compare a settings document with a module.",
          "Prints each key that differs as \"group.key: module-value -> file-value\", or with\n"
          "--json an array of objects with group, key, module and file; a module that\n"
          "matches is named on a line of its own. FILE - reads the document from standard\n"
          "input. Exit status 0 when the module matches the document, 1 when it differs.",
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
          "Values are written as in JSON; a value that is no JSON is a string. A key may be\n"
          "given with its group, as rs232c.pelta. The keys and the values they take:",
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
          QT_TRANSLATE_NOOP("Command",
                            "check-host tries the host link of one module; choose it with --port or --serial"),
          2000 },
        { "help", "[COMMAND]", "Describe the program, or a command.",
          "Describes the program, or the given command as COMMAND --help does.",
          {}, "COMMAND", "The command to describe.", 0, 1, Command::Kind::Help },
    };
    return commands;
}

const Command *Command::find(const QString &name)
{
    const auto &commands = all();
    const auto found = std::find_if(commands.cbegin(), commands.cend(),
                                    [&name](const Command &command) { return name == command.name; });
    return found == commands.cend() ? nullptr : &*found;
}

QCommandLineOption Command::option(const QString &name)
{
    const auto &options = knownOptions();
    return *std::find_if(options.cbegin(), options.cend(),
                         [&name](const QCommandLineOption &known) { return known.names().last() == name; });
}
