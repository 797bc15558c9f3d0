#ifndef MODULEOUTCOME_H
#define MODULEOUTCOME_H

#include "exitcode.h"
#include "hostlinkresult.h"
#include "serviceport.h"
#include "settingsdocument.h"

#include <QList>
#include <QStringList>

#include <optional>

// What a command does to a module, which decides how its outcome is told.
enum class Work { Show, Export, Diff, Apply, Reset, CheckHost };

// What a write or a reset is about to do to one module: the groups it
// writes ("reset" for a reset) and the keys it changes.
struct WritePlan {
    PortEntry port;
    QStringList groups;
    QList<SettingsDocument::Change> changes;
};

// What a command made of one module, without a word of output: its exit
// status and the lines that say why it failed, and what it read, planned,
// wrote and found. The errors of a port that did not open or of a file
// that could not be written name what failed themselves.
struct ModuleOutcome {
    // How far a write or a reset got.
    enum class WriteEnd { None, NothingToWrite, DryRun, Written };

    Work work = Work::Show;
    PortEntry port;
    int exitStatus = ExitSuccess;
    QStringList errors;
    bool errorsNameTheirSubject = false;
    QList<SettingsDocument::Entry> entries;
    // What the module holds against its interlocks, and what is shown instead.
    QList<SettingsDocument::Change> held;
    QList<SettingsDocument::Change> changes;
    QStringList planned;
    WriteEnd writeEnd = WriteEnd::None;
    QStringList written;
    std::optional<bool> verified;
    std::optional<HostLinkResult> hostLink;

    bool failed() const { return exitStatus >= ExitUsage; }
};

#endif // MODULEOUTCOME_H
