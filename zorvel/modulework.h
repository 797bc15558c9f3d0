#ifndef MODULEWORK_H
#define MODULEWORK_H

#include "commandoptions.h"
#include "moduleoutcome.h"

#include <QCoreApplication>

#include <functional>
#include <optional>

class Interruption;
class ServiceSession;

// The commands' work on one module over a session to it, each returning
// its outcome. A write or a reset hands its plan to the confirmation, which
// tells it and says whether to go on; a signal noted on the way stops the
// next request from going out.
class ModuleWork
{
    Q_DECLARE_TR_FUNCTIONS(ModuleWork)

public:
    using Confirmation = std::function<bool(const WritePlan &plan)>;
    using Perform = ModuleOutcome (ModuleWork::*)();

    // The member that does the work.
    static Perform perform(Work work);

    ModuleWork(ServiceSession &session, const PortEntry &port, const CommandOptions &options,
               const std::optional<SettingsDocument> &document, const Interruption &interruption,
               const Confirmation &confirm);

    ModuleOutcome show();
    ModuleOutcome exportDocument();
    ModuleOutcome diff();
    ModuleOutcome apply();
    ModuleOutcome reset();
    ModuleOutcome checkHost();

private:
    struct Settings {
        ModuleSettings current;
        ModuleSettings merged;
    };

    ModuleOutcome begin(Work work) const;
    bool readEntries(ModuleOutcome &outcome);
    std::optional<ModuleSettings> readSettings();
    std::optional<Settings> plan(ModuleOutcome &outcome);
    bool confirmed(ModuleOutcome &outcome, const WritePlan &plan);
    bool writeGroups(ModuleOutcome &outcome, const ModuleSettings &settings);
    void verify(ModuleOutcome &outcome, const ModuleSettings &written);
    QString writtenText(const QStringList &written) const;
    QString interruptionText() const;
    static void fail(ModuleOutcome &outcome, int exitStatus, const QStringList &errors);

    ServiceSession &m_session;
    const PortEntry &m_port;
    const CommandOptions &m_options;
    const std::optional<SettingsDocument> &m_document;
    const Interruption &m_interruption;
    Confirmation m_confirm;
};

#endif // MODULEWORK_H
