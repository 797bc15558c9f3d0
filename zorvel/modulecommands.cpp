#include "modulecommands.h"

#include "console.h"
#include "documentfile.h"
#include "exitcode.h"
#include "hostlinkcheck.h"
#include "interruption.h"
#include "orderedjson.h"
#include "serviceport.h"
#include "servicechannel.h"
#include "servicesession.h"
#include "settingsfields.h"

#include <QEventLoop>
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

// The members that name a module in its JSON element.
QStringList portMembers(const PortEntry &port)
{
    return { jsonMember("port", port.portName), jsonMember("serialNumber", port.serialNumber) };
}

QString changeJson(const SettingsDocument::Difference &change)
{
    return jsonObject({ jsonMember("group", change.group), jsonMember("key", change.key),
                        jsonMember("module", change.from), jsonMember("file", change.to) });
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

ModuleCommands::~ModuleCommands() = default;

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

// With every port chosen, a port that fails gives its JSON element too, so
// that a script can tell it from a port that is not there. SIGINT or
// SIGTERM ends the module at hand as a lost line would, and the loop.
int ModuleCommands::run(Action action, const QList<PortEntry> &ports, const std::optional<SettingsDocument> &document)
{
    m_interruption = std::make_unique<Interruption>();
    m_several = m_options.everyPort || ports.size() > 1;
    const bool writes = action == Action::Apply || action == Action::Reset;
    int worst = ExitSuccess;
    QStringList elements;
    for (const PortEntry &port : ports) {
        Result result = runOn(action, port, document);
        if (!result.document.isEmpty())
            result = writeExport(result.document);
        if (writes)
            elements << writeJson(port, result);
        else if (!result.json.isEmpty())
            elements << result.json;
        else if (result.exitStatus >= ExitUsage && m_several)
            elements << failureJson(port, result);
        worst = std::max(worst, result.exitStatus);
        if (const int signal = interruptedBy()) {
            // A signal that came once the last module was done cut nothing short.
            const bool last = &port == &ports.constLast();
            if (!last || result.exitStatus >= ExitUsage)
                worst = ExitInterrupted + signal;
            if (!last && result.exitStatus < ExitUsage)
                m_console.printError(tr("%1: the modules after this one were left as they were")
                                         .arg(interruptionText()));
            break;
        }
    }
    m_interruption.reset();
    if (m_options.json && m_several)
        m_console.print(jsonArray(elements, QString()));
    else if (m_options.json && !elements.isEmpty())
        m_console.print(elements.first());
    return worst;
}

ModuleCommands::Result ModuleCommands::runOn(Action action, const PortEntry &port,
                                             const std::optional<SettingsDocument> &document)
{
    QSerialPort serialPort;
    QString reason;
    if (!openLockedPort(serialPort, port.portName, &reason)) {
        Result result;
        result.exitStatus = ExitNoModule;
        result.message = tr("cannot open %1: %2").arg(Console::terminalSafe(port.portName), reason);
        m_console.printError(result.message);
        return result;
    }
    serialPort.clear();
    ServiceChannel channel(&serialPort, ServiceChannel::FrameRule::RequireMagic);
    QObject::connect(&channel, &ServiceChannel::frameSent, [this, &port](const QByteArray &frame) {
        m_console.trace(port.portName, FrameDirection::ToModule, frame);
    });
    QObject::connect(&channel, &ServiceChannel::frameReceived, [this, &port](const QByteArray &frame) {
        m_console.trace(port.portName, FrameDirection::FromModule, frame);
    });
    QObject::connect(m_interruption.get(), &Interruption::interrupted, &channel, [this, &channel] {
        channel.abandon(interruptionText());
    });
    ServiceSession session(channel, m_options.timeoutMs);
    switch (action) {
    case Action::Show:
        return show(port, session);
    case Action::Export:
        return exportDocument(port, session);
    case Action::Diff:
        return diff(port, session, *document);
    case Action::Apply:
        return apply(port, session, *document);
    case Action::Reset:
        return reset(port, session);
    case Action::CheckHost:
        return checkHost(port, session);
    }
    return {};
}

ModuleCommands::Result ModuleCommands::show(const PortEntry &port, ServiceSession &session)
{
    const auto entries = readEntries(port, session);
    if (!entries)
        return failed(port, ExitNoModule, { session.errorString() });
    if (m_options.json) {
        Result result;
        result.json = QString::fromUtf8(SettingsDocument::toJson(*entries, m_several ? 1 : 0)).trimmed();
        return result;
    }
    QList<QStringList> rows;
    for (const auto &entry : *entries)
        rows << QStringList { entry.first, plainText(entry.second) };
    if (m_tablesShown++ > 0)
        m_console.print(QString());
    m_console.print(alignedRows(rows).join('\n'));
    return {};
}

ModuleCommands::Result ModuleCommands::exportDocument(const PortEntry &port, ServiceSession &session)
{
    const auto entries = readEntries(port, session);
    if (!entries)
        return failed(port, ExitNoModule, { session.errorString() });
    const QByteArray document = SettingsDocument::toJson(*entries);
    if (m_options.outputFile.isEmpty() || m_options.outputFile == "-") {
        m_console.print(QString::fromUtf8(document));
        return {};
    }
    Result result;
    result.document = document + '\n';
    return result;
}

// Written once the port is let go: a pipe that nobody reads yet holds up
// the program, but not the module.
ModuleCommands::Result ModuleCommands::writeExport(const QByteArray &document)
{
    QString error;
    if (writeDocumentFile(m_options.outputFile, document, DocumentFiles::Any, &error))
        return {};
    Result result;
    result.exitStatus = ExitUsage;
    result.message = tr("cannot write %1: %2").arg(m_options.outputFile, error);
    m_console.printError(result.message);
    return result;
}

ModuleCommands::Result ModuleCommands::diff(const PortEntry &port, ServiceSession &session,
                                            const SettingsDocument &document)
{
    const auto planned = plan(port, session, document);
    if (const auto *failure = std::get_if<Result>(&planned))
        return *failure;
    const Plan &settings = std::get<Plan>(planned);
    Result result;
    result.changes = SettingsDocument::changes(settings.current, settings.merged);
    result.exitStatus = result.changes.isEmpty() ? ExitSuccess : ExitDifferent;
    if (!m_options.json) {
        for (const QString &line : SettingsDocument::differences(settings.current, settings.merged))
            m_console.print(named(port, line));
        return result;
    }
    QStringList objects;
    for (const auto &change : result.changes)
        objects << changeJson(change);
    result.json = m_several ? jsonObject(portMembers(port) << "\"differences\": " + jsonArray(objects, "  "))
                            : jsonArray(objects, QString());
    return result;
}

// The plan, in diff's words, then one question for the module.
ModuleCommands::Result ModuleCommands::apply(const PortEntry &port, ServiceSession &session,
                                             const SettingsDocument &document)
{
    const auto planned = plan(port, session, document);
    if (const auto *failure = std::get_if<Result>(&planned))
        return *failure;
    const auto &[current, merged] = std::get<Plan>(planned);
    Result result;
    result.changes = SettingsDocument::changes(current, merged);
    QStringList groups;
    for (const char *group : Groups) {
        if (!SettingsDocument::changes(current, merged, group).isEmpty())
            groups << group;
    }
    if (groups.isEmpty())
        return done(port, tr("nothing to write"), result);
    // A group goes out whole: a value the module reports outside the rules,
    // which the document leaves as it is, would be written back.
    QStringList outside;
    for (const QString &group : groups) {
        for (const QString &problem : SettingsDocument::outsideRules(merged, group))
            outside << tr("the module reports %1").arg(problem);
    }
    if (!outside.isEmpty())
        return failed(port, ExitUsage, outside << tr("nothing written: give these settings values the rules take "
                                                     "(with set, or with apply and a document that gives every "
                                                     "setting), or reset the module (zorvel reset)"),
                      result);
    for (const QString &line : SettingsDocument::differences(current, merged))
        note(port, line);
    if (m_options.dryRun)
        return done(port, tr("dry run: would write %1; nothing written").arg(groupsText(groups)), result);
    if (!confirmed(tr("Write the %1 settings to the ZORVEL on %2? [y/N]").arg(groupsText(groups), portText(port))))
        return notConfirmed(port, result);
    result = write(port, session, merged, groups, result);
    if (result.exitStatus != ExitSuccess)
        return result;
    note(port, tr("wrote the %1 settings").arg(groupsText(groups)));
    if (m_options.verify) {
        result = verify(port, session, merged, groups, result);
        if (result.exitStatus != ExitSuccess)
            return result;
        note(port, tr("read the %1 settings back: they match what was written").arg(groupsText(groups)));
    }
    note(port, tr("Power-cycle the ZORVEL for the new settings to take effect."));
    result.message = tr("wrote the %1 settings; power-cycle the ZORVEL for them to take effect").arg(groupsText(groups));
    return result;
}

ModuleCommands::Result ModuleCommands::reset(const PortEntry &port, ServiceSession &session)
{
    note(port, tr("reset: every setting returns to its factory default"));
    if (m_options.dryRun)
        return done(port, tr("dry run: would reset the module; nothing written"), Result());
    if (!confirmed(tr("Reset the ZORVEL on %1 to factory defaults? [y/N]").arg(portText(port))))
        return notConfirmed(port, Result());
    if (interruptedBy())
        return failed(port, ExitNoModule, { interruptionText(), tr("nothing was written to this module") });
    Result result;
    const bool reset = session.factoryDefault();
    if (reset || session.failedRequestSent())
        result.written << "reset";
    if (!reset)
        return failed(port, ExitNoModule,
                      { session.errorString(),
                        session.failedRequestSent()
                            ? tr("the factory reset had been sent; whether the module carried it out is unknown "
                                 "until it is read again (zorvel show)")
                            : tr("nothing was written to this module") },
                      result);
    note(port, tr("reset to factory defaults"));
    note(port, tr("Power-cycle the ZORVEL for the new settings to take effect."));
    result.message = tr("reset to factory defaults; power-cycle the ZORVEL for them to take effect");
    return result;
}

// Only read requests reach the module; the query goes out on the host port.
ModuleCommands::Result ModuleCommands::checkHost(const PortEntry &port, ServiceSession &session)
{
    const auto info = session.readModuleInfo();
    const auto rs232c = info ? session.syncRs232cFrom() : std::nullopt;
    if (!rs232c)
        return failed(port, ExitNoModule, { session.errorString() });
    HostLinkCheck check;
    std::optional<HostLinkResult> hostLink;
    QEventLoop loop;
    QObject::connect(&check, &HostLinkCheck::finished, &loop, [&](const HostLinkResult &result) {
        hostLink = result;
        loop.quit();
    });
    QObject::connect(m_interruption.get(), &Interruption::interrupted, &loop, &QEventLoop::quit);
    check.start({ m_options.hostPort, port.portName, *info, *rs232c, m_options.timeoutMs });
    if (!interruptedBy())
        loop.exec();
    if (!hostLink)
        return failed(port, ExitNoModule, { interruptionText() });
    return hostLinkResult(port, *hostLink);
}

ModuleCommands::Result ModuleCommands::hostLinkResult(const PortEntry &port, const HostLinkResult &hostLink)
{
    Result result;
    using Verdict = HostLinkResult::Verdict;
    result.exitStatus = hostLink.passed()                      ? ExitSuccess
                      : hostLink.verdict == Verdict::Refused   ? ExitUsage
                      : hostLink.verdict == Verdict::NotOpened ? ExitNoModule
                                                               : ExitHostLink;
    const QStringList message = hostLink.message();
    result.message = message.join('\n');
    if (m_options.json) {
        const HostLineSettings &line = hostLink.line;
        const auto serial = [&line](const QJsonValue &value) { return line.usb ? QJsonValue() : value; };
        OrderedJson json = OrderedJson::object();
        json.insert("port", port.portName)
            .insert("serialNumber", port.serialNumber)
            .insert("hostPort", hostLink.hostPort)
            .insert("hostInterface", line.usb ? "USB" : "RS232C")
            .insert("line", line.text())
            .insert("bitrate", serial(line.bitrate))
            .insert("dataBits", serial(Rs232cDataBits))
            .insert("parity", serial("none"))
            .insert("stopbits", serial(line.stopbits))
            .insert("flowControl", serial(flowControlName(line.flowControl)))
            .insert("termchar", termcharText(line.terminator))
            .insert("sent", QString::fromUtf8(hostLink.sent))
            .insert("received", QString::fromUtf8(hostLink.received))
            .insert("receivedHex", QString::fromLatin1(hostLink.received.toHex(' ')))
            .insert("expected", hostLink.expected)
            .insert("match", hostLink.match() ? QJsonValue(*hostLink.match()) : QJsonValue())
            .insert("exitStatus", result.exitStatus)
            .insert("message", result.message);
        result.json = QString::fromUtf8(json.toJson());
        return result;
    }
    m_console.print(hostLink.facts(m_console.isVerbose()).join('\n'));
    if (hostLink.passed()) {
        m_console.print(result.message);
        return result;
    }
    return failed(port, result.exitStatus, message, result);
}

ModuleCommands::Result ModuleCommands::write(const PortEntry &port, ServiceSession &session,
                                             const ModuleSettings &settings, const QStringList &groups, Result result)
{
    for (const QString &group : groups) {
        // A signal noted while no event loop ran stops the next group here.
        if (interruptedBy())
            return failed(port, ExitNoModule, { interruptionText(), sentText(result.written) }, result);
        const bool done = group == "rs232c" ? session.syncRs232cTo(settings.rs232c)
                                            : session.syncUsbtmcTo(settings.usbtmc);
        if (done || session.failedRequestSent())
            result.written << group;
        if (!done)
            return failed(port, ExitNoModule, { session.errorString(), sentText(result.written) }, result);
    }
    return result;
}

ModuleCommands::Result ModuleCommands::verify(const PortEntry &port, ServiceSession &session,
                                              const ModuleSettings &written, const QStringList &groups, Result result)
{
    const QString unread = tr("the %1 settings were written; reading them back did not finish")
                               .arg(groupsText(groups));
    ModuleSettings readBack = written;
    if (groups.contains("rs232c")) {
        const auto rs232c = session.syncRs232cFrom();
        if (!rs232c)
            return failed(port, ExitNoModule, { session.errorString(), unread }, result);
        readBack.rs232c = *rs232c;
    }
    if (groups.contains("usbtmc")) {
        const auto usbtmc = session.syncUsbtmcFrom();
        if (!usbtmc)
            return failed(port, ExitNoModule, { session.errorString(), unread }, result);
        readBack.usbtmc = *usbtmc;
    }
    const QStringList lines = SettingsDocument::differences(interlocked(readBack), written);
    result.verified = lines.isEmpty();
    if (lines.isEmpty())
        return result;
    return failed(port, ExitVerifyFailed,
                  QStringList { tr("the settings read back differ from those written (read back -> written):") }
                      + lines,
                  result);
}

// The settings as the window shows them, interlocks applied, so that a
// document exported from a module can be applied to it again. What the
// module holds against its interlocks is named, as a write would change it.
std::optional<QList<SettingsDocument::Entry>> ModuleCommands::readEntries(const PortEntry &port,
                                                                          ServiceSession &session)
{
    const auto info = session.readModuleInfo();
    const auto settings = info ? readSettings(session) : std::nullopt;
    if (!settings)
        return std::nullopt;
    const ModuleSettings shown = interlocked(*settings);
    for (const auto &held : SettingsDocument::changes(*settings, shown))
        m_console.inform(tr("%1: the module holds %2.%3 = %4, which its interlocks do not allow; shown is %5, "
                            "which a write stores")
                             .arg(port.portName, held.group, held.key, SettingsDocument::valueText(held.from),
                                  SettingsDocument::valueText(held.to)));
    return SettingsDocument::entries(port.portName, port.serialNumber, *info, shown);
}

std::optional<ModuleSettings> ModuleCommands::readSettings(ServiceSession &session)
{
    const auto rs232c = session.syncRs232cFrom();
    const auto usbtmc = rs232c ? session.syncUsbtmcFrom() : std::nullopt;
    if (!usbtmc)
        return std::nullopt;
    return ModuleSettings { *rs232c, *usbtmc };
}

// The module's settings as it holds them and the document merged over them,
// interlocks applied; or why not: the module could not be read, or the
// merged settings are refused. Differences are taken from what the module
// holds, so that a plan also names what an interlock changes.
std::variant<ModuleCommands::Plan, ModuleCommands::Result> ModuleCommands::plan(const PortEntry &port, ServiceSession &session,
                                                                const SettingsDocument &document)
{
    const auto current = readSettings(session);
    if (!current)
        return failed(port, ExitNoModule, { session.errorString() });
    QStringList errors;
    const auto merged = document.mergedOver(*current, &errors);
    if (!merged)
        return failed(port, ExitUsage, errors);
    return Plan { *current, *merged };
}

QString ModuleCommands::sentText(const QStringList &sent) const
{
    if (sent.isEmpty())
        return tr("nothing was written to this module");
    return tr("the %1 settings had been sent; what the module made of them is unknown until it is read again "
              "(zorvel show)").arg(groupsText(sent));
}

int ModuleCommands::interruptedBy() const
{
    return m_interruption->caught();
}

QString ModuleCommands::interruptionText() const
{
    return tr("interrupted by %1").arg(Interruption::signalName(interruptedBy()));
}

// What apply, set or reset did to one module, failed or not.
QString ModuleCommands::writeJson(const PortEntry &port, const Result &result) const
{
    QStringList changes;
    for (const auto &change : result.changes)
        changes << changeJson(change);
    QStringList written;
    for (const QString &group : result.written)
        written << SettingsDocument::valueText(group);
    const QString verified = result.verified ? SettingsDocument::valueText(*result.verified) : QString("null");
    return jsonObject(portMembers(port) << "\"changes\": " + jsonArray(changes, m_several ? "  " : "")
                                        << "\"written\": [" + written.join(", ") + ']' << "\"verified\": " + verified
                                        << jsonMember("exitStatus", result.exitStatus)
                                        << jsonMember("message", result.message));
}

QString ModuleCommands::failureJson(const PortEntry &port, const Result &result) const
{
    return jsonObject(portMembers(port) << jsonMember("message", result.message)
                                        << jsonMember("exitStatus", result.exitStatus));
}

// A signal ends the question as the end of its input does.
bool ModuleCommands::confirmed(const QString &question)
{
    return m_options.yes || m_console.confirm(question);
}

ModuleCommands::Result ModuleCommands::notConfirmed(const PortEntry &port, const Result &result)
{
    if (interruptedBy())
        return failed(port, ExitNoModule, { interruptionText(), tr("nothing was written to this module") }, result);
    return failed(port, ExitUsage, { tr("not confirmed: nothing was written to this module") }, result);
}

// Each line goes to the error stream under the port's name; together they
// are the message of the port's JSON element.
ModuleCommands::Result ModuleCommands::failed(const PortEntry &port, int exitStatus, const QStringList &lines)
{
    return failed(port, exitStatus, lines, Result());
}

ModuleCommands::Result ModuleCommands::failed(const PortEntry &port, int exitStatus, const QStringList &lines,
                                              Result result)
{
    for (const QString &line : lines)
        m_console.printError(port.portName + ": " + line);
    result.exitStatus = exitStatus;
    result.message = lines.join('\n');
    return result;
}

// What ended a write without an error: a note, and the message of its JSON
// element.
ModuleCommands::Result ModuleCommands::done(const PortEntry &port, const QString &line, Result result)
{
    note(port, line);
    result.message = line;
    return result;
}

QString ModuleCommands::named(const PortEntry &port, const QString &line) const
{
    return m_several ? port.portName + ": " + line : line;
}

// With JSON output the notes are in the JSON.
void ModuleCommands::note(const PortEntry &port, const QString &line)
{
    if (!m_options.json)
        m_console.note(named(port, line));
}
