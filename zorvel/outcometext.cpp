#include "outcometext.h"

#include "console.h"
#include "visibletext.h"

#include <algorithm>

namespace {

QString portText(const PortEntry &port)
{
    return port.serialNumber.isEmpty()
        ? OutcomeText::tr("%1 (no serial number)").arg(port.portName)
        : OutcomeText::tr("%1 (serial number %2)").arg(port.portName, visibleText(port.serialNumber));
}

bool isReset(const QStringList &groups)
{
    return groups == QStringList { "reset" };
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

OutcomeText::OutcomeText(Console &console, const CommandOptions &options, bool several)
    : m_console(console), m_options(options), m_several(several)
{
}

// A table on a terminal has a header; the service ports are marked where
// every serial port is listed.
void OutcomeText::portList(const QList<PortRow> &rows)
{
    if (rows.isEmpty())
        m_console.inform(m_options.allSerialPorts ? tr("no serial port found")
                                                  : tr("no ZORVEL service port found; zorvel list --all-ports lists "
                                                       "every serial port"));
    if (m_options.json || rows.isEmpty())
        return;
    QList<QStringList> lines;
    if (m_console.outputIsTerminal())
        lines << QStringList { tr("PORT"), tr("DESCRIPTION"), tr("SERIAL NUMBER"), tr("LOCATION") };
    for (const PortRow &row : rows) {
        QStringList line;
        for (const QString &field : { row.port.portName, row.port.description, row.port.serialNumber,
                                      row.port.systemLocation })
            line << (field.isEmpty() ? "-" : visibleText(field));
        lines << line;
    }
    if (m_options.allSerialPorts) {
        const int header = lines.size() - rows.size();
        for (int i = 0; i < lines.size(); ++i)
            lines[i].prepend(i >= header && rows.at(i - header).servicePort ? "*" : " ");
    }
    m_console.print(alignedRows(lines).join('\n'));
}

void OutcomeText::plan(const WritePlan &plan)
{
    if (m_options.json)
        return;
    if (isReset(plan.groups))
        m_console.note(named(plan.port, tr("reset: every setting returns to its factory default")));
    for (const auto &change : plan.changes)
        m_console.note(named(plan.port, change.line()));
}

QString OutcomeText::question(const WritePlan &plan) const
{
    if (isReset(plan.groups))
        return tr("Reset the ZORVEL on %1 to factory defaults? [y/N]").arg(portText(plan.port));
    return tr("Write the %1 settings to the ZORVEL on %2? [y/N]").arg(groupsText(plan.groups), portText(plan.port));
}

void OutcomeText::report(const ModuleOutcome &outcome)
{
    for (const auto &held : outcome.held)
        m_console.inform(tr("%1: the module holds %2.%3 = %4, which its interlocks do not allow; shown is %5, "
                            "which a write stores")
                             .arg(outcome.port.portName, held.group, held.key, OrderedJson::valueText(held.from),
                                  OrderedJson::valueText(held.to)));
    if (!m_options.json && outcome.hostLink) {
        m_console.print(outcome.hostLink->facts(m_console.isVerbose()).join('\n'));
        if (!outcome.failed())
            m_console.print(message(outcome));
    }
    if (!m_options.json && !outcome.failed()) {
        switch (outcome.work) {
        case Work::Show: {
            QList<QStringList> rows;
            for (const auto &entry : outcome.entries)
                rows << QStringList { entry.first, entry.second.isString() ? visibleText(entry.second.toString())
                                                                           : OrderedJson::valueText(entry.second) };
            table(rows);
            break;
        }
        case Work::Export:
            if (m_options.outputFile.isEmpty() || m_options.outputFile == "-")
                m_console.print(QString::fromUtf8(SettingsDocument::json(outcome.entries).toJson()));
            break;
        case Work::Diff:
            for (const auto &change : outcome.changes)
                m_console.print(named(outcome.port, change.line()));
            if (outcome.changes.isEmpty())
                m_console.note(tr("%1: no differences").arg(portText(outcome.port)));
            break;
        case Work::Apply:
        case Work::Reset:
        case Work::CheckHost:
            break;
        }
    }
    if (!m_options.json)
        reportWrite(outcome);
    for (const QString &error : outcome.errors)
        m_console.printError(outcome.errorsNameTheirSubject ? error : outcome.port.portName + ": " + error);
    if (!m_options.json && !outcome.failed() && outcome.writeEnd == ModuleOutcome::WriteEnd::Written)
        m_console.note(named(outcome.port, tr("Power-cycle the ZORVEL for the new settings to take effect.")));
}

void OutcomeText::modulesLeft(const QString &interruption)
{
    m_console.printError(tr("%1: the modules after this one were left as they were").arg(interruption));
}

QString OutcomeText::message(const ModuleOutcome &outcome)
{
    if (!outcome.errors.isEmpty())
        return outcome.errors.join('\n');
    if (outcome.hostLink)
        return outcome.hostLink->message().join('\n');
    const bool reset = isReset(outcome.planned);
    switch (outcome.writeEnd) {
    case ModuleOutcome::WriteEnd::NothingToWrite:
        return tr("nothing to write");
    case ModuleOutcome::WriteEnd::DryRun:
        return reset ? tr("dry run: would reset the module; nothing written")
                     : tr("dry run: would write %1; nothing written").arg(groupsText(outcome.planned));
    case ModuleOutcome::WriteEnd::Written:
        return reset ? tr("reset to factory defaults; power-cycle the ZORVEL for them to take effect")
                     : tr("wrote the %1 settings; power-cycle the ZORVEL for them to take effect")
                           .arg(groupsText(outcome.written));
    case ModuleOutcome::WriteEnd::None:
        break;
    }
    return QString();
}

QString OutcomeText::groupsText(const QStringList &groups)
{
    return groups.join(tr(" and "));
}

QString OutcomeText::writtenSummary(const ModuleOutcome &outcome)
{
    if (outcome.written.isEmpty())
        return QString();
    const QString port = portText(outcome.port);
    if (isReset(outcome.written))
        return outcome.failed() ? tr("%1: the factory reset was sent; its outcome is unknown").arg(port)
                                : tr("%1: reset to factory defaults").arg(port);
    if (outcome.verified == false)
        return tr("%1: wrote the %2 settings; reading them back found them different")
            .arg(port, groupsText(outcome.written));
    return outcome.failed()
        ? tr("%1: the %2 settings were sent; their outcome is unknown").arg(port, groupsText(outcome.written))
        : tr("%1: wrote the %2 settings").arg(port, groupsText(outcome.written));
}

// What a write did, before its errors: a verify that found differences
// comes after the groups were written.
void OutcomeText::reportWrite(const ModuleOutcome &outcome)
{
    const bool reset = isReset(outcome.planned);
    switch (outcome.writeEnd) {
    case ModuleOutcome::WriteEnd::NothingToWrite:
    case ModuleOutcome::WriteEnd::DryRun:
        m_console.note(named(outcome.port, message(outcome)));
        break;
    case ModuleOutcome::WriteEnd::Written:
        m_console.note(named(outcome.port, reset ? tr("reset to factory defaults")
                                                 : tr("wrote the %1 settings").arg(groupsText(outcome.written))));
        if (outcome.verified.value_or(false))
            m_console.note(named(outcome.port, tr("read the %1 settings back: they match what was written")
                                                   .arg(groupsText(outcome.written))));
        break;
    case ModuleOutcome::WriteEnd::None:
        break;
    }
}

void OutcomeText::table(const QList<QStringList> &rows)
{
    if (m_tablesShown++ > 0)
        m_console.print(QString());
    m_console.print(alignedRows(rows).join('\n'));
}

QString OutcomeText::named(const PortEntry &port, const QString &line) const
{
    return m_several ? port.portName + ": " + line : line;
}
