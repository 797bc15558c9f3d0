#include "modulecommands.h"

#include "console.h"
#include "documentfile.h"
#include "exitcode.h"
#include "serviceport.h"
#include "servicesession.h"

#include <QSerialPort>

#include <algorithm>

namespace {

const char *const Groups[] = { "rs232c", "usbtmc" };

QString plainText(const QJsonValue &value)
{
    return value.isString() ? Console::terminalSafe(value.toString()) : SettingsDocument::valueText(value);
}

QString groupsText(const QStringList &groups)
{
    return groups.join(ModuleCommands::tr(" and "));
}

QString portText(const PortEntry &port)
{
    return port.serialNumber.isEmpty()
        ? ModuleCommands::tr("%1 (no serial number)").arg(port.portName)
        : ModuleCommands::tr("%1 (serial number %2)").arg(port.portName, Console::terminalSafe(port.serialNumber));
}

QString jsonMember(const QString &name, const QJsonValue &value)
{
    return SettingsDocument::valueText(name) + ": " + SettingsDocument::valueText(value);
}

// A JSON object on one line, its members in the given order.
QString jsonObject(const QStringList &members)
{
    return '{' + members.join(", ") + '}';
}

QString jsonArray(const QStringList &elements, const QString &indent)
{
    if (elements.isEmpty())
        return "[]";
    return "[\n" + indent + "  " + elements.join(",\n" + indent + "  ") + '\n' + indent + ']';
}

QStringList alignedRows(const QList<QStringList> &rows)
{
    QList<int> widths;
    for (const QStringList &row : rows) {
        for (int column = 0; column < row.size(); ++column) {
            if (column == widths.size())
                widths << 0;
            widths[column] = std::max(widths[column], int(row[column].size()));
        }
    }
    QStringList lines;
    for (const QStringList &row : rows) {
        QString line;
        for (int column = 0; column < row.size(); ++column)
            line += column + 1 < row.size() ? row[column].leftJustified(widths[column] + 2) : row[column];
        lines << line;
    }
    return lines;
}

} // namespace

ModuleCommands::ModuleCommands(Console &console, const CommandOptions &options)
    : m_console(console), m_options(options)
{
}

int ModuleCommands::list(const QList<PortEntry> &ports)
{
    QStringList objects;
    QList<QStringList> rows;
    for (const PortEntry &port : ports) {
        const bool service = !PortSelection::servicePorts({ port }).isEmpty();
        if (!service && !m_options.allPorts)
            continue;
        QList<SettingsDocument::Entry> fields = { { "port", port.portName }, { "description", port.description },
                                                  { "serialNumber", port.serialNumber },
                                                  { "systemLocation", port.systemLocation } };
        if (m_options.allPorts)
            fields.append({ "servicePort", service });
        QStringList members;
        QStringList row = m_options.allPorts ? QStringList { service ? "*" : " " } : QStringList();
        for (const auto &field : fields) {
            members << QString("    %1: %2").arg(SettingsDocument::valueText(field.first),
                                                 SettingsDocument::valueText(field.second));
            if (field.second.isString())
                row << (field.second.toString().isEmpty() ? "-" : Console::terminalSafe(field.second.toString()));
        }
        objects << "  {\n" + members.join(",\n") + "\n  }";
        rows << row;
    }
    if (rows.isEmpty())
        m_console.inform(m_options.allPorts ? tr("no serial port found")
                                            : tr("no ZORVEL service port found; zorvel list --all-ports lists every "
                                                 "serial port"));
    if (m_options.json) {
        m_console.print(objects.isEmpty() ? "[]" : "[\n" + objects.join(",\n") + "\n]");
    } else if (!rows.isEmpty()) {
        if (m_console.outputIsTerminal()) {
            QStringList header { tr("PORT"), tr("DESCRIPTION"), tr("SERIAL NUMBER"), tr("LOCATION") };
            if (m_options.allPorts)
                header.prepend(" ");
            rows.prepend(header);
        }
        m_console.print(alignedRows(rows).join('\n'));
    }
    return ExitSuccess;
}

int ModuleCommands::show(const QList<PortEntry> &ports)
{
    const int indent = m_options.everyPort ? 1 : 0;
    const int result = forEachPort(ports, [&](const PortEntry &port, ServiceSession &session) {
        const auto entries = readEntries(port, session);
        if (!entries)
            return sessionFailed(port, session);
        if (m_options.json) {
            m_json << QString::fromUtf8(SettingsDocument::toJson(*entries, indent)).trimmed();
            return int(ExitSuccess);
        }
        QList<QStringList> rows;
        for (const auto &entry : *entries)
            rows << QStringList { entry.first, plainText(entry.second) };
        if (port.portName != ports.first().portName)
            m_console.print(QString());
        m_console.print(alignedRows(rows).join('\n'));
        return int(ExitSuccess);
    });
    printJson();
    return result;
}

int ModuleCommands::exportDocument(const PortEntry &port)
{
    return onPort(port, [&](const PortEntry &entry, ServiceSession &session) {
        const auto entries = readEntries(entry, session);
        if (!entries)
            return sessionFailed(entry, session);
        const QByteArray document = SettingsDocument::toJson(*entries);
        if (m_options.outputFile.isEmpty() || m_options.outputFile == "-") {
            m_console.print(QString::fromUtf8(document));
            return int(ExitSuccess);
        }
        QString error;
        if (!writeDocumentFile(m_options.outputFile, document + '\n', &error)) {
            m_console.printError(tr("cannot write %1: %2").arg(m_options.outputFile, error));
            return int(ExitUsage);
        }
        return int(ExitSuccess);
    });
}

int ModuleCommands::diff(const SettingsDocument &document, const QList<PortEntry> &ports)
{
    const int result = forEachPort(ports, [&](const PortEntry &port, ServiceSession &session) {
        int failure = ExitSuccess;
        const auto settings = mergeOverModule(port, session, document, &failure);
        if (!settings)
            return failure;
        const auto changes = SettingsDocument::changes(settings->current, settings->merged);
        if (m_options.json) {
            QStringList objects;
            for (const auto &change : changes)
                objects << jsonObject({ jsonMember("group", change.group), jsonMember("key", change.key),
                                        jsonMember("module", change.from), jsonMember("file", change.to) });
            m_json << (m_options.everyPort ? jsonObject({ jsonMember("port", port.portName),
                                                          jsonMember("serialNumber", port.serialNumber),
                                                          "\"differences\": " + jsonArray(objects, "  ") })
                                           : jsonArray(objects, QString()));
        } else {
            for (const QString &line : SettingsDocument::differences(settings->current, settings->merged))
                m_console.print(named(port, line));
        }
        return int(changes.isEmpty() ? ExitSuccess : ExitDifferent);
    });
    printJson();
    return result;
}

int ModuleCommands::apply(const SettingsDocument &document, const QList<PortEntry> &ports)
{
    return forEachPort(ports, [&](const PortEntry &port, ServiceSession &session) {
        return applyOne(port, session, document);
    });
}

int ModuleCommands::reset(const QList<PortEntry> &ports)
{
    return forEachPort(ports, [&](const PortEntry &port, ServiceSession &session) {
        note(port, tr("reset: every setting returns to its factory default"));
        if (m_options.dryRun) {
            note(port, tr("dry run: would reset the module; nothing written"));
            return int(ExitSuccess);
        }
        if (!confirmed(port, tr("Reset the ZORVEL on %1 to factory defaults? [y/N]").arg(portText(port))))
            return int(ExitUsage);
        if (!session.factoryReset()) {
            const int failure = sessionFailed(port, session);
            if (session.failedRequestSent())
                printError(port, tr("the factory reset had been sent; whether the module carried it out is "
                                    "unknown until it is read again (zorvel show)"));
            return failure;
        }
        note(port, tr("reset to factory defaults"));
        note(port, tr("Power-cycle the ZORVEL for the new settings to take effect."));
        return int(ExitSuccess);
    });
}

// With every port chosen, a port that fails gives its JSON element too, so
// that a script can tell it from a port that is not there.
int ModuleCommands::forEachPort(const QList<PortEntry> &ports, const PortAction &action)
{
    int worst = ExitSuccess;
    for (const PortEntry &port : ports) {
        m_lastError.clear();
        const int result = onPort(port, action);
        if (result >= ExitUsage && m_options.everyPort)
            m_json << jsonObject({ jsonMember("port", port.portName), jsonMember("serialNumber", port.serialNumber),
                                   jsonMember("message", m_lastError), jsonMember("exitStatus", result) });
        worst = std::max(worst, result);
    }
    return worst;
}

int ModuleCommands::onPort(const PortEntry &port, const PortAction &action)
{
    QSerialPort serialPort;
    serialPort.setPortName(port.portName);
    if (!serialPort.open(QIODevice::ReadWrite)) {
        m_lastError = tr("cannot open %1: %2").arg(port.portName, openFailureReason(serialPort));
        m_console.printError(m_lastError);
        return ExitNoModule;
    }
    serialPort.clear();
    ServiceSession session(&serialPort, m_options.timeoutMs, [this, &port](FrameDirection direction,
                                                                           const QByteArray &frame) {
        m_console.trace(port.portName, direction, frame);
    });
    return action(port, session);
}

// One element a port with every port chosen; otherwise the one port's
// element, when it did not fail.
void ModuleCommands::printJson()
{
    if (!m_options.json)
        return;
    if (m_options.everyPort)
        m_console.print(jsonArray(m_json, QString()));
    else if (!m_json.isEmpty())
        m_console.print(m_json.first());
}

int ModuleCommands::sessionFailed(const PortEntry &port, const ServiceSession &session)
{
    printError(port, session.errorString());
    return ExitNoModule;
}

// The settings as the window shows them, interlocks applied, so that a
// document exported from a module can be applied to it again.
std::optional<QList<SettingsDocument::Entry>> ModuleCommands::readEntries(const PortEntry &port,
                                                                          ServiceSession &session)
{
    const auto info = session.readModuleInfo();
    const auto settings = info ? readSettings(session) : std::nullopt;
    if (!settings)
        return std::nullopt;
    return SettingsDocument::entries(port.portName, port.serialNumber, *info, interlocked(*settings));
}

std::optional<ModuleSettings> ModuleCommands::readSettings(ServiceSession &session)
{
    const auto rs232c = session.readRs232c();
    const auto usbtmc = rs232c ? session.readUsbtmc() : std::nullopt;
    if (!usbtmc)
        return std::nullopt;
    return ModuleSettings { *rs232c, *usbtmc };
}

// The module's settings as it holds them, and the document merged over
// them, interlocks applied; nothing, with the exit code in failure, when the
// module cannot be read or the merged settings are refused. Differences are
// taken from what the module holds, so that a plan also names what an
// interlock changes.
std::optional<ModuleCommands::MergedSettings> ModuleCommands::mergeOverModule(
    const PortEntry &port, ServiceSession &session, const SettingsDocument &document, int *failure)
{
    const auto module = readSettings(session);
    if (!module) {
        *failure = sessionFailed(port, session);
        return std::nullopt;
    }
    QStringList errors;
    const auto merged = document.mergedOver(*module, &errors);
    for (const QString &error : errors)
        printError(port, error);
    if (!merged) {
        *failure = ExitUsage;
        return std::nullopt;
    }
    return MergedSettings { *module, *merged };
}

// The plan, in diff's words, then one question for the module.
int ModuleCommands::applyOne(const PortEntry &port, ServiceSession &session, const SettingsDocument &document)
{
    int failure = ExitSuccess;
    const auto settings = mergeOverModule(port, session, document, &failure);
    if (!settings)
        return failure;
    const ModuleSettings &current = settings->current;
    const ModuleSettings &merged = settings->merged;
    QStringList groups;
    for (const char *group : Groups) {
        if (!SettingsDocument::changes(current, merged, group).isEmpty())
            groups << group;
    }
    if (groups.isEmpty()) {
        note(port, tr("nothing to write"));
        return ExitSuccess;
    }
    // A group goes out whole: a value the module reports outside the rules,
    // which the document leaves as it is, would be written back.
    QStringList outside;
    for (const QString &group : groups)
        outside += SettingsDocument::outsideRules(merged, group);
    if (!outside.isEmpty()) {
        for (const QString &problem : outside)
            printError(port, tr("the module reports %1").arg(problem));
        printError(port, tr("nothing written: give these settings values the rules take (with set, or with apply "
                            "and a document that gives every setting), or reset the module (zorvel reset)"));
        return ExitUsage;
    }
    for (const QString &line : SettingsDocument::differences(current, merged))
        note(port, line);
    if (m_options.dryRun) {
        note(port, tr("dry run: would write %1; nothing written").arg(groupsText(groups)));
        return ExitSuccess;
    }
    if (!confirmed(port, tr("Write the %1 settings to the ZORVEL on %2? [y/N]").arg(groupsText(groups), portText(port))))
        return ExitUsage;
    const int written = write(port, session, merged, groups);
    if (written != ExitSuccess)
        return written;
    note(port, tr("wrote the %1 settings").arg(groupsText(groups)));
    if (m_options.verify) {
        const int verified = verify(port, session, merged, groups);
        if (verified != ExitSuccess)
            return verified;
        note(port, tr("read the %1 settings back: they match what was written").arg(groupsText(groups)));
    }
    note(port, tr("Power-cycle the ZORVEL for the new settings to take effect."));
    return ExitSuccess;
}

bool ModuleCommands::confirmed(const PortEntry &port, const QString &question)
{
    if (m_options.yes || m_console.confirm(question))
        return true;
    printError(port, tr("not confirmed: nothing was written to this module"));
    return false;
}

int ModuleCommands::write(const PortEntry &port, ServiceSession &session, const ModuleSettings &settings,
                          const QStringList &groups)
{
    QStringList sent;
    for (const QString &group : groups) {
        const bool done = group == "rs232c" ? session.writeRs232c(settings.rs232c)
                                            : session.writeUsbtmc(settings.usbtmc);
        if (done || session.failedRequestSent())
            sent << group;
        if (!done) {
            const int failure = sessionFailed(port, session);
            if (!sent.isEmpty())
                printError(port, tr("the %1 settings had been sent; what the module made of them is unknown "
                                    "until it is read again (zorvel show)").arg(groupsText(sent)));
            return failure;
        }
    }
    return ExitSuccess;
}

int ModuleCommands::verify(const PortEntry &port, ServiceSession &session, const ModuleSettings &written,
                           const QStringList &groups)
{
    ModuleSettings readBack = written;
    if (groups.contains("rs232c")) {
        const auto rs232c = session.readRs232c();
        if (!rs232c)
            return sessionFailed(port, session);
        readBack.rs232c = *rs232c;
    }
    if (groups.contains("usbtmc")) {
        const auto usbtmc = session.readUsbtmc();
        if (!usbtmc)
            return sessionFailed(port, session);
        readBack.usbtmc = *usbtmc;
    }
    const QStringList lines = SettingsDocument::differences(interlocked(readBack), written);
    if (lines.isEmpty())
        return ExitSuccess;
    printError(port, tr("the settings read back differ from those written (read back -> written):"));
    for (const QString &line : lines)
        printError(port, line);
    return ExitVerifyFailed;
}

QString ModuleCommands::named(const PortEntry &port, const QString &line) const
{
    return m_options.everyPort ? port.portName + ": " + line : line;
}

void ModuleCommands::note(const PortEntry &port, const QString &line)
{
    m_console.note(named(port, line));
}

void ModuleCommands::printError(const PortEntry &port, const QString &line)
{
    m_lastError = line;
    m_console.printError(port.portName + ": " + line);
}
