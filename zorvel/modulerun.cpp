#include "modulerun.h"

#include "console.h"
#include "documentfile.h"
#include "interruption.h"
#include "outcomejson.h"
#include "servicechannel.h"
#include "servicesession.h"
#include "visibletext.h"

#include <QSerialPort>

#include <algorithm>

ModuleRun::ModuleRun(Console &console, const CommandOptions &options)
    : m_console(console), m_options(options)
{
}

// A module whose port does not open gets an outcome all the same, so that
// with several modules its JSON element tells it from one that is missing.
// A signal that comes once the last module is done cuts nothing short.
int ModuleRun::run(Work work, const QList<PortEntry> &ports, bool several,
                   const std::optional<SettingsDocument> &document)
{
    const ModuleWork::Perform perform = ModuleWork::perform(work);
    Interruption interruption;
    m_text.emplace(m_console, m_options, several);
    OrderedJson elements = OrderedJson::array();
    std::optional<OrderedJson> first;
    int worst = ExitSuccess;
    for (const PortEntry &port : ports) {
        ModuleOutcome outcome;
        {
            QSerialPort serialPort;
            QString error;
            if (openLockedPort(serialPort, port.portName, &error)) {
                serialPort.clear();
                ServiceChannel channel(&serialPort, ServiceChannel::FrameRule::RequireMagic);
                QObject::connect(&channel, &ServiceChannel::frameSent, [this, &port](const QByteArray &frame) {
                    m_console.trace(port.portName, FrameDirection::ToModule, frame);
                });
                QObject::connect(&channel, &ServiceChannel::frameReceived, [this, &port](const QByteArray &frame) {
                    m_console.trace(port.portName, FrameDirection::FromModule, frame);
                });
                QObject::connect(&interruption, &Interruption::interrupted, &channel,
                                 [&] { channel.abandon(interruption.description()); });
                ServiceSession session(channel, m_options.timeoutMs);
                ModuleWork moduleWork(session, port, m_options, document, interruption,
                                      [this](const WritePlan &plan) { return confirm(plan); });
                outcome = (moduleWork.*perform)();
            } else {
                outcome.work = work;
                outcome.port = port;
                outcome.exitStatus = ExitNoModule;
                outcome.errors = QStringList { tr("cannot open %1: %2").arg(visibleText(port.portName), error) };
                outcome.errorsNameTheirSubject = true;
            }
        }
        writeExport(outcome);
        m_text->report(outcome);
        if (!outcome.written.isEmpty())
            m_written << OutcomeText::writtenSummary(outcome);
        if (m_options.json) {
            elements.append(OutcomeJson::element(outcome, several));
            if (!first)
                first = OutcomeJson::element(outcome, several);
        }
        worst = std::max(worst, outcome.exitStatus);
        if (const int signal = interruption.caught()) {
            const bool last = &port == &ports.constLast();
            if (!last || outcome.failed())
                worst = ExitInterrupted + signal;
            if (!last && !outcome.failed())
                m_text->modulesLeft(interruption.description());
            break;
        }
    }
    if (m_options.json && several)
        m_console.print(QString::fromUtf8(elements.toJson()));
    else if (m_options.json && first)
        m_console.print(QString::fromUtf8(first->toJson()));
    return worst;
}

QStringList ModuleRun::written() const
{
    return m_written;
}

bool ModuleRun::confirm(const WritePlan &plan)
{
    m_text->plan(plan);
    if (m_options.dryRun)
        return false;
    return m_options.yes || m_console.confirm(m_text->question(plan));
}

// Written once the port is let go: a pipe that nobody reads yet holds up
// the program, but not the module.
void ModuleRun::writeExport(ModuleOutcome &outcome)
{
    if (outcome.work != Work::Export || outcome.failed() || m_options.outputFile.isEmpty()
        || m_options.outputFile == "-")
        return;
    QString error;
    const QByteArray document = SettingsDocument::json(outcome.entries).toJson() + '\n';
    if (writeDocumentFile(m_options.outputFile, document, DocumentFiles::Any, &error))
        return;
    outcome.exitStatus = ExitUsage;
    outcome.errors = QStringList { tr("cannot write %1: %2").arg(m_options.outputFile, error) };
    outcome.errorsNameTheirSubject = true;
}
