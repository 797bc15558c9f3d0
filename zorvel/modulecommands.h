#ifndef MODULECOMMANDS_H
#define MODULECOMMANDS_H

#include "portselection.h"
#include "settingsdocument.h"

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
// and show's JSON is an array. The exit code is the worst of the ports'.
class ModuleCommands
{
public:
    ModuleCommands(Console &console, const CommandOptions &options);

    int list(const QList<PortEntry> &ports);
    int show(const QStringList &ports);
    int exportDocument(const QString &port);
    int diff(const SettingsDocument &document, const QStringList &ports);
    int apply(const SettingsDocument &document, const QStringList &ports);
    int reset(const QStringList &ports);

private:
    using PortAction = std::function<int(const QString &port, ServiceSession &session)>;
    struct MergedSettings {
        ModuleSettings current;
        ModuleSettings merged;
    };

    int forEachPort(const QStringList &ports, const PortAction &action);
    int onPort(const QString &port, const PortAction &action);
    int sessionFailed(const QString &port, const ServiceSession &session);
    std::optional<QList<SettingsDocument::Entry>> readEntries(const QString &port, ServiceSession &session);
    std::optional<ModuleSettings> readSettings(ServiceSession &session);
    std::optional<MergedSettings> mergeOverModule(const QString &port, ServiceSession &session,
                                                  const SettingsDocument &document, int *failure);
    int applyOne(const QString &port, ServiceSession &session, const SettingsDocument &document);
    int write(const QString &port, ServiceSession &session, const ModuleSettings &settings, const QStringList &groups);
    int verify(const QString &port, ServiceSession &session, const ModuleSettings &written, const QStringList &groups);
    void print(const QString &port, const QString &line);
    void printError(const QString &port, const QString &line);

    Console &m_console;
    CommandOptions m_options;
};

#endif // MODULECOMMANDS_H
