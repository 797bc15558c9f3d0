#include "modulecommands.h"

#include "console.h"
#include "documentfile.h"
#include "exitcode.h"
#include "serviceport.h"
#include "servicesession.h"

#include <QCoreApplication>
#include <QSerialPort>

#include <algorithm>

namespace {

const char *const Groups[] = { "rs232c", "usbtmc" };

QString tr(const char *text)
{
    return QCoreApplication::translate("ModuleCommands", text);
}

// Text from a module or a device reaches the terminal with its control
// characters, and the backslash that escapes them, written as escapes, so
// that it can neither move the cursor nor pass for other text.
QString terminalSafe(const QString &text)
{
    QString safe;
    for (const QChar c : text) {
        if (c == '\\')
            safe += "\\\\";
        else if (c.category() == QChar::Other_Control)
            safe += QString("\\x%1").arg(c.unicode(), 2, 16, QChar('0'));
        else
            safe += c;
    }
    return safe;
}

QString plainText(const QJsonValue &value)
{
    return value.isString() ? terminalSafe(value.toString()) : SettingsDocument::valueText(value);
}

QString groupsText(const QStringList &groups)
{
    return groups.join(QCoreApplication::translate("ModuleCommands", " and "));
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

QString writeQuestion(const QString &group, const QString &port)
{
    return group == "rs232c" ? tr("Write RS232C settings to the ZORVEL on %1? [y/N]").arg(port)
                             : tr("Write USBTMC settings to the ZORVEL on %1? [y/N]").arg(port);
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
                row << (field.second.toString().isEmpty() ? "-" : terminalSafe(field.second.toString()));
        }
        objects << "  {\n" + members.join(",\n") + "\n  }";
        rows << row;
    }
    if (m_options.json)
        m_console.print(objects.isEmpty() ? "[]" : "[\n" + objects.join(",\n") + "\n]");
    else if (!rows.isEmpty())
        m_console.print(alignedRows(rows).join('\n'));
    return ExitSuccess;
}

int ModuleCommands::show(const QStringList &ports)
{
    QList<QByteArray> documents;
    const int indent = m_options.everyPort ? 1 : 0;
    const int result = forEachPort(ports, [&](const QString &port, ServiceSession &session) {
        const auto entries = readEntries(port, session);
        if (!entries)
            return sessionFailed(port, session);
        if (m_options.json) {
            documents << SettingsDocument::toJson(*entries, indent);
            return int(ExitSuccess);
        }
        QList<QStringList> rows;
        for (const auto &entry : *entries)
            rows << QStringList { entry.first, plainText(entry.second) };
        if (port != ports.first())
            m_console.print(QString());
        m_console.print(alignedRows(rows).join('\n'));
        return int(ExitSuccess);
    });
    if (m_options.everyPort && m_options.json)
        m_console.print("[\n" + QString::fromUtf8(documents.join(",\n")) + "\n]");
    else if (!documents.isEmpty())
        m_console.print(QString::fromUtf8(documents.first()));
    return result;
}

int ModuleCommands::exportDocument(const QString &port)
{
    return onPort(port, [&](const QString &name, ServiceSession &session) {
        const auto entries = readEntries(name, session);
        if (!entries)
            return sessionFailed(name, session);
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

int ModuleCommands::diff(const SettingsDocument &document, const QStringList &ports)
{
    return forEachPort(ports, [&](const QString &port, ServiceSession &session) {
        int failure = ExitSuccess;
        const auto settings = mergeOverModule(port, session, document, &failure);
        if (!settings)
            return failure;
        const QStringList lines = SettingsDocument::differences(settings->current, settings->merged);
        for (const QString &line : lines)
            print(port, line);
        return int(lines.isEmpty() ? ExitSuccess : ExitDifferent);
    });
}

int ModuleCommands::apply(const SettingsDocument &document, const QStringList &ports)
{
    return forEachPort(ports, [&](const QString &port, ServiceSession &session) {
        return applyOne(port, session, document);
    });
}

int ModuleCommands::reset(const QStringList &ports)
{
    return forEachPort(ports, [&](const QString &port, ServiceSession &session) {
        if (!m_options.yes && !m_console.confirm(tr("Reset the ZORVEL on %1 to factory defaults? [y/N]").arg(port)))
            return int(ExitUsage);
        if (!session.factoryReset()) {
            const int failure = sessionFailed(port, session);
            if (session.failedRequestSent())
                printError(port, tr("the factory reset had been sent; whether the module carried it out is "
                                    "unknown until it is read again (zorvel show)"));
            return failure;
        }
        print(port, tr("Power-cycle the ZORVEL for the new settings to take effect."));
        return int(ExitSuccess);
    });
}

int ModuleCommands::forEachPort(const QStringList &ports, const PortAction &action)
{
    int worst = ExitSuccess;
    for (const QString &port : ports)
        worst = std::max(worst, onPort(port, action));
    return worst;
}

int ModuleCommands::onPort(const QString &port, const PortAction &action)
{
    QSerialPort serialPort;
    serialPort.setPortName(port);
    if (!serialPort.open(QIODevice::ReadWrite)) {
        m_console.printError(tr("cannot open %1: %2").arg(port, openFailureReason(serialPort)));
        return ExitNoModule;
    }
    serialPort.clear();
    ServiceSession session(&serialPort, m_options.timeoutMs);
    return action(port, session);
}

int ModuleCommands::sessionFailed(const QString &port, const ServiceSession &session)
{
    m_console.printError(port + ": " + session.errorString());
    return ExitNoModule;
}

// The settings as the window shows them, interlocks applied, so that a
// document exported from a module can be applied to it again.
std::optional<QList<SettingsDocument::Entry>> ModuleCommands::readEntries(const QString &port, ServiceSession &session)
{
    const auto info = session.readModuleInfo();
    const auto settings = info ? readSettings(session) : std::nullopt;
    if (!settings)
        return std::nullopt;
    return SettingsDocument::entries(port, *info, interlocked(*settings));
}

std::optional<ModuleSettings> ModuleCommands::readSettings(ServiceSession &session)
{
    const auto rs232c = session.readRs232c();
    const auto usbtmc = rs232c ? session.readUsbtmc() : std::nullopt;
    if (!usbtmc)
        return std::nullopt;
    return ModuleSettings { *rs232c, *usbtmc };
}

// The module's settings as the window shows them, and the document merged
// over them; nothing, with the exit code in failure, when the module cannot
// be read or the merged settings are refused.
std::optional<ModuleCommands::MergedSettings> ModuleCommands::mergeOverModule(
    const QString &port, ServiceSession &session, const SettingsDocument &document, int *failure)
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
    return MergedSettings { interlocked(*module), *merged };
}

int ModuleCommands::applyOne(const QString &port, ServiceSession &session, const SettingsDocument &document)
{
    int failure = ExitSuccess;
    const auto settings = mergeOverModule(port, session, document, &failure);
    if (!settings)
        return failure;
    const ModuleSettings &current = settings->current;
    const ModuleSettings &merged = settings->merged;
    QStringList groups;
    for (const char *group : Groups) {
        if (!SettingsDocument::differences(current, merged, group).isEmpty())
            groups << group;
    }
    if (groups.isEmpty()) {
        print(port, tr("nothing to write"));
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
    if (m_options.dryRun) {
        for (const QString &line : SettingsDocument::differences(current, merged))
            print(port, line);
        print(port, tr("dry run: would write %1; nothing written").arg(groupsText(groups)));
        return ExitSuccess;
    }
    for (const QString &group : groups) {
        if (!m_options.yes && !m_console.confirm(writeQuestion(group, port)))
            return ExitUsage;
    }
    const int written = write(port, session, merged, groups);
    if (written != ExitSuccess || !m_options.verify)
        return written;
    return verify(port, session, merged, groups);
}

int ModuleCommands::write(const QString &port, ServiceSession &session, const ModuleSettings &settings,
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
    print(port, tr("Power-cycle the ZORVEL for the new settings to take effect."));
    return ExitSuccess;
}

int ModuleCommands::verify(const QString &port, ServiceSession &session, const ModuleSettings &written,
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

void ModuleCommands::print(const QString &port, const QString &line)
{
    m_console.print(m_options.everyPort ? port + ": " + line : line);
}

void ModuleCommands::printError(const QString &port, const QString &line)
{
    m_console.printError(port + ": " + line);
}
