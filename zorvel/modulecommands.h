#ifndef MODULECOMMANDS_H
#define MODULECOMMANDS_H

#include "portselection.h"
#include "settingsdocument.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <functional>

class Console;
class ServiceSession;

struct CommandOptions {
    bool everyPort = false;
    bool json = false;
    bool allPorts = false;
    QString outputFile;
    bool dryRun = false;
    bool verify = false;
    bool yes = false;
    int timeoutMs = 1000;
};

// The commands that read or write modules. Each works on the given ports in
// turn, opening one at a time; with every port chosen, output names the port
// and JSON output is an array with one element a port, a port that failed
// among them. The exit code is the worst of the ports'. A write first
// prints its plan, then asks once a module.
class ModuleCommands
{
    Q_DECLARE_TR_FUNCTIONS(ModuleCommands)

public:
    ModuleCommands(Console &console, const CommandOptions &options);

    int list(const QList<PortEntry> &ports);
    int show(const QList<PortEntry> &ports);
    int exportDocument(const PortEntry &port);
    int diff(const SettingsDocument &document, const QList<PortEntry> &ports);
    int apply(const SettingsDocument &document, const QList<PortEntry> &ports);
    int reset(const QList<PortEntry> &ports);

private:
    using PortAction = std::function<int(const PortEntry &port, ServiceSession &session)>;
    struct MergedSettings {
        ModuleSettings current;
        ModuleSettings merged;
    };

    int forEachPort(const QList<PortEntry> &ports, const PortAction &action);
    int onPort(const PortEntry &port, const PortAction &action);
    void printJson();
    int sessionFailed(const PortEntry &port, const ServiceSession &session);
    std::optional<QList<SettingsDocument::Entry>> readEntries(const PortEntry &port, ServiceSession &session);
    std::optional<ModuleSettings> readSettings(ServiceSession &session);
    std::optional<MergedSettings> mergeOverModule(const PortEntry &port, ServiceSession &session,
                                                  const SettingsDocument &document, int *failure);
    int applyOne(const PortEntry &port, ServiceSession &session, const SettingsDocument &document);
    bool confirmed(const PortEntry &port, const QString &question);
    int write(const PortEntry &port, ServiceSession &session, const ModuleSettings &settings,
              const QStringList &groups);
    int verify(const PortEntry &port, ServiceSession &session, const ModuleSettings &written,
               const QStringList &groups);
    QString named(const PortEntry &port, const QString &line) const;
    void note(const PortEntry &port, const QString &line);
    void printError(const PortEntry &port, const QString &line);

    Console &m_console;
    CommandOptions m_options;
    // The JSON elements so far, one a port, and the last error of the port
    // at hand, which a failed port's element gives.
    QStringList m_json;
    QString m_lastError;
};

#endif // MODULECOMMANDS_H
