#ifndef MODULECOMMANDS_H
#define MODULECOMMANDS_H

#include "portselection.h"
#include "settingsdocument.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <variant>

class Console;
struct HostLinkResult;
class Interruption;
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
    QString hostPort;
};

// The commands that read or write modules. One loop runs a command on each
// chosen port in turn, opening one at a time, and returns the worst exit
// status; with every port chosen, or several named, output names the port
// and JSON output is an array with one element a port, a port that failed
// among them. A write first prints its plan, then asks once a module; with
// JSON output its element says what was planned, written and verified.
class ModuleCommands
{
    Q_DECLARE_TR_FUNCTIONS(ModuleCommands)

public:
    enum class Action { Show, Export, Diff, Apply, Reset, CheckHost };

    ModuleCommands(Console &console, const CommandOptions &options);
    ~ModuleCommands();

    int list(const QList<PortEntry> &ports);
    // Diff and apply take the document; the others none.
    int run(Action action, const QList<PortEntry> &ports,
            const std::optional<SettingsDocument> &document = std::nullopt);

private:
    // What a command made of one module: its exit status, the errors
    // printed for it or what a write did, its JSON element when the output
    // is JSON, the document that export writes to a file, and what a write
    // planned, sent and found when it read the module back.
    struct Result {
        int exitStatus = 0;
        QString message;
        QString json;
        QByteArray document;
        QList<SettingsDocument::Difference> changes;
        QStringList written;
        std::optional<bool> verified;
    };
    // The module's settings as it holds them, and a document merged over them.
    struct Plan {
        ModuleSettings current;
        ModuleSettings merged;
    };

    Result runOn(Action action, const PortEntry &port, const std::optional<SettingsDocument> &document);
    Result show(const PortEntry &port, ServiceSession &session);
    Result exportDocument(const PortEntry &port, ServiceSession &session);
    Result writeExport(const QByteArray &document);
    Result diff(const PortEntry &port, ServiceSession &session, const SettingsDocument &document);
    Result apply(const PortEntry &port, ServiceSession &session, const SettingsDocument &document);
    Result reset(const PortEntry &port, ServiceSession &session);
    Result checkHost(const PortEntry &port, ServiceSession &session);
    Result hostLinkResult(const PortEntry &port, const HostLinkResult &hostLink);
    Result write(const PortEntry &port, ServiceSession &session, const ModuleSettings &settings,
                 const QStringList &groups, Result result);
    Result verify(const PortEntry &port, ServiceSession &session, const ModuleSettings &written,
                  const QStringList &groups, Result result);
    std::variant<Plan, Result> plan(const PortEntry &port, ServiceSession &session, const SettingsDocument &document);
    std::optional<QList<SettingsDocument::Entry>> readEntries(const PortEntry &port, ServiceSession &session);
    std::optional<ModuleSettings> readSettings(ServiceSession &session);
    QString sentText(const QStringList &sent) const;
    int interruptedBy() const;
    QString interruptionText() const;
    QString failureJson(const PortEntry &port, const Result &result) const;
    QString writeJson(const PortEntry &port, const Result &result) const;
    bool confirmed(const QString &question);
    Result notConfirmed(const PortEntry &port, const Result &result);
    Result failed(const PortEntry &port, int exitStatus, const QStringList &lines);
    Result failed(const PortEntry &port, int exitStatus, const QStringList &lines, Result result);
    Result done(const PortEntry &port, const QString &line, Result result);
    QString named(const PortEntry &port, const QString &line) const;
    void note(const PortEntry &port, const QString &line);

    Console &m_console;
    CommandOptions m_options;
    // Every port chosen, or several named: output names the port, and JSON
    // is an array.
    bool m_several = false;
    int m_tablesShown = 0;
    std::unique_ptr<Interruption> m_interruption;
};

#endif // MODULECOMMANDS_H
