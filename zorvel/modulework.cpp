#include "modulework.h"

#include "hostlinkcheck.h"
#include "interruption.h"
#include "outcometext.h"
#include "servicesession.h"

#include <QEventLoop>

namespace {

const char *const Groups[] = { "rs232c", "usbtmc" };

} // namespace

ModuleWork::ModuleWork(ServiceSession &session, const PortEntry &port, const CommandOptions &options,
                       const std::optional<SettingsDocument> &document, const Interruption &interruption,
                       const Confirmation &confirm)
    : m_session(session), m_port(port), m_options(options), m_document(document), m_interruption(interruption),
      m_confirm(confirm)
{
}

ModuleWork::Perform ModuleWork::perform(Work work)
{
    switch (work) {
    case Work::Show:
        return &ModuleWork::show;
    case Work::Export:
        return &ModuleWork::exportDocument;
    case Work::Diff:
        return &ModuleWork::diff;
    case Work::Apply:
        return &ModuleWork::apply;
    case Work::Reset:
        return &ModuleWork::reset;
    case Work::CheckHost:
        break;
    }
    return &ModuleWork::checkHost;
}

ModuleOutcome ModuleWork::show()
{
    ModuleOutcome outcome = begin(Work::Show);
    readEntries(outcome);
    return outcome;
}

ModuleOutcome ModuleWork::exportDocument()
{
    ModuleOutcome outcome = begin(Work::Export);
    readEntries(outcome);
    return outcome;
}

ModuleOutcome ModuleWork::diff()
{
    ModuleOutcome outcome = begin(Work::Diff);
    if (const auto settings = plan(outcome)) {
        outcome.changes = SettingsDocument::changes(settings->current, settings->merged);
        outcome.exitStatus = outcome.changes.isEmpty() ? ExitSuccess : ExitDifferent;
    }
    return outcome;
}

// Only the groups that differ are written, and each goes out whole: a value
// the module reports outside the rules, which the document leaves as it
// is, would be written back.
ModuleOutcome ModuleWork::apply()
{
    ModuleOutcome outcome = begin(Work::Apply);
    const auto settings = plan(outcome);
    if (!settings)
        return outcome;
    outcome.changes = SettingsDocument::changes(settings->current, settings->merged);
    for (const char *group : Groups) {
        if (!SettingsDocument::changes(settings->current, settings->merged, group).isEmpty())
            outcome.planned << group;
    }
    if (outcome.planned.isEmpty()) {
        outcome.writeEnd = ModuleOutcome::WriteEnd::NothingToWrite;
        return outcome;
    }
    QStringList outside;
    for (const QString &group : outcome.planned) {
        for (const QString &error : SettingsDocument::outsideRules(settings->merged, group))
            outside << tr("the module reports %1").arg(error);
    }
    if (!outside.isEmpty()) {
        fail(outcome, ExitUsage, outside << tr("nothing written: give these settings values the rules take (with "
                                               "set, or with apply and a document that gives every setting), or "
                                               "reset the module (zorvel reset)"));
        return outcome;
    }
    if (!confirmed(outcome, { m_port, outcome.planned, outcome.changes }) || !writeGroups(outcome, settings->merged))
        return outcome;
    outcome.writeEnd = ModuleOutcome::WriteEnd::Written;
    if (m_options.verify)
        verify(outcome, settings->merged);
    return outcome;
}

ModuleOutcome ModuleWork::reset()
{
    ModuleOutcome outcome = begin(Work::Reset);
    outcome.planned = QStringList { "reset" };
    if (!confirmed(outcome, { m_port, outcome.planned, {} }))
        return outcome;
    if (m_interruption.caught()) {
        fail(outcome, ExitNoModule, { interruptionText(), writtenText({}) });
        return outcome;
    }
    const bool reset = m_session.resetToFactoryDefaults();
    if (reset || m_session.requestWentOut())
        outcome.written << "reset";
    if (reset)
        outcome.writeEnd = ModuleOutcome::WriteEnd::Written;
    else
        fail(outcome, ExitNoModule,
             { m_session.errorString(),
               outcome.written.isEmpty() ? writtenText({})
                                         : tr("the factory reset had been sent; whether the module carried it out is "
                                              "unknown until it is read again (zorvel show)") });
    return outcome;
}

// Only read requests reach the module; the query goes out on the host port.
ModuleOutcome ModuleWork::checkHost()
{
    ModuleOutcome outcome = begin(Work::CheckHost);
    const auto info = m_session.readModuleInfo();
    const auto rs232c = info ? m_session.readRs232cSettings() : std::nullopt;
    if (!rs232c) {
        fail(outcome, ExitNoModule, { m_session.errorString() });
        return outcome;
    }
    HostLinkCheck check;
    QEventLoop loop;
    QObject::connect(&check, &HostLinkCheck::finished, &loop, [&](const HostLinkResult &result) {
        outcome.hostLink = result;
        loop.quit();
    });
    QObject::connect(&m_interruption, &Interruption::interrupted, &loop, &QEventLoop::quit);
    if (!m_interruption.caught()) {
        check.start({ m_options.hostPort, m_port.portName, *info, *rs232c, m_options.timeoutMs });
        loop.exec();
    }
    if (!outcome.hostLink) {
        fail(outcome, ExitNoModule, { interruptionText() });
        return outcome;
    }
    using Verdict = HostLinkResult::Verdict;
    const Verdict verdict = outcome.hostLink->verdict;
    outcome.exitStatus = outcome.hostLink->passed()                                      ? ExitSuccess
                       : verdict == Verdict::Refused                                   ? ExitUsage
                       : verdict == Verdict::NotOpened || verdict == Verdict::LineLost ? ExitNoModule
                                                                                       : ExitHostLink;
    if (!outcome.hostLink->passed())
        outcome.errors = outcome.hostLink->message();
    return outcome;
}

ModuleOutcome ModuleWork::begin(Work work) const
{
    ModuleOutcome outcome;
    outcome.work = work;
    outcome.port = m_port;
    return outcome;
}

// The settings as the window shows them, interlocks applied, so that a
// document exported from a module can be applied to it again. What the
// module holds against its interlocks is kept, as a write would change it.
bool ModuleWork::readEntries(ModuleOutcome &outcome)
{
    const auto info = m_session.readModuleInfo();
    const auto settings = info ? readSettings() : std::nullopt;
    if (!settings) {
        fail(outcome, ExitNoModule, { m_session.errorString() });
        return false;
    }
    const ModuleSettings shown = interlocked(*settings);
    outcome.held = SettingsDocument::changes(*settings, shown);
    outcome.entries = SettingsDocument::entries(m_port.portName, m_port.serialNumber, *info, shown);
    return true;
}

std::optional<ModuleSettings> ModuleWork::readSettings()
{
    const auto rs232c = m_session.readRs232cSettings();
    const auto usbtmc = rs232c ? m_session.readUsbtmcSettings() : std::nullopt;
    if (!usbtmc)
        return std::nullopt;
    return ModuleSettings { *rs232c, *usbtmc };
}

// The module's settings as it holds them and the document merged over them,
// interlocks applied; or why not: the module could not be read, or the
// merged settings are refused. Changes are taken from what the module
// holds, so that a plan also names what an interlock changes.
std::optional<ModuleWork::Settings> ModuleWork::plan(ModuleOutcome &outcome)
{
    const auto current = readSettings();
    if (!current) {
        fail(outcome, ExitNoModule, { m_session.errorString() });
        return std::nullopt;
    }
    QStringList errors;
    const auto merged = m_document->mergedOver(*current, &errors);
    if (!merged) {
        fail(outcome, ExitUsage, errors);
        return std::nullopt;
    }
    return Settings { *current, *merged };
}

// A signal ends the question as the end of its input does.
bool ModuleWork::confirmed(ModuleOutcome &outcome, const WritePlan &plan)
{
    if (m_confirm(plan))
        return true;
    if (m_options.dryRun)
        outcome.writeEnd = ModuleOutcome::WriteEnd::DryRun;
    else if (m_interruption.caught())
        fail(outcome, ExitNoModule, { interruptionText(), writtenText({}) });
    else
        fail(outcome, ExitUsage, { tr("not confirmed: nothing was written to this module") });
    return false;
}

bool ModuleWork::writeGroups(ModuleOutcome &outcome, const ModuleSettings &settings)
{
    for (const QString &group : outcome.planned) {
        // A signal noted while no event loop ran stops the next group here.
        if (m_interruption.caught()) {
            fail(outcome, ExitNoModule, { interruptionText(), writtenText(outcome.written) });
            return false;
        }
        const bool done = group == Groups[0] ? m_session.writeRs232cSettings(settings.rs232c)
                                             : m_session.writeUsbtmcSettings(settings.usbtmc);
        if (done || m_session.requestWentOut())
            outcome.written << group;
        if (!done) {
            fail(outcome, ExitNoModule, { m_session.errorString(), writtenText(outcome.written) });
            return false;
        }
    }
    return true;
}

void ModuleWork::verify(ModuleOutcome &outcome, const ModuleSettings &written)
{
    ModuleSettings readBack = written;
    std::optional<Rs232cSettings> rs232c;
    std::optional<UsbtmcSettings> usbtmc;
    const bool read = (!outcome.written.contains(Groups[0]) || (rs232c = m_session.readRs232cSettings()))
        && (!outcome.written.contains(Groups[1]) || (usbtmc = m_session.readUsbtmcSettings()));
    if (!read) {
        fail(outcome, ExitNoModule, { m_session.errorString(),
                                      tr("the %1 settings were written; reading them back did not finish")
                                          .arg(OutcomeText::groupsText(outcome.written)) });
        return;
    }
    readBack.rs232c = rs232c.value_or(readBack.rs232c);
    readBack.usbtmc = usbtmc.value_or(readBack.usbtmc);
    const auto changes = SettingsDocument::changes(interlocked(readBack), written);
    outcome.verified = changes.isEmpty();
    if (changes.isEmpty())
        return;
    QStringList errors { tr("the settings read back differ from those written (read back -> written):") };
    for (const auto &change : changes)
        errors << change.line();
    fail(outcome, ExitVerifyFailed, errors);
}

QString ModuleWork::writtenText(const QStringList &written) const
{
    if (written.isEmpty())
        return tr("nothing was written to this module");
    return tr("the %1 settings had been sent; what the module made of them is unknown until it is read again "
              "(zorvel show)").arg(OutcomeText::groupsText(written));
}

QString ModuleWork::interruptionText() const
{
    return m_interruption.description();
}

void ModuleWork::fail(ModuleOutcome &outcome, int exitStatus, const QStringList &errors)
{
    outcome.exitStatus = exitStatus;
    outcome.errors = errors;
}
