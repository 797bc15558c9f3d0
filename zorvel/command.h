#ifndef COMMAND_H
#define COMMAND_H

#include "moduleoutcome.h"

#include <QCommandLineOption>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

// A command, the options it takes by name, its arguments and what it does
// with them: the work it does on modules, and what its argument holds.
struct Command {
    Q_DECLARE_TR_FUNCTIONS(Command)

public:
    enum class Kind { Help, List, Modules };
    enum class Argument { None, Document, Assignments, HostPort };

    QString name;
    QString synopsis;
    const char *summary;
    const char *description;
    // Besides help, verbose and quiet, which every command takes.
    QStringList options;
    QString argumentName;
    const char *argumentHelp;
    int minArguments;
    // -1 for any number.
    int maxArguments;
    Kind kind = Kind::Modules;
    Work work = Work::Show;
    Argument argument = Argument::None;
    // Why the command refuses several modules; none where it takes them.
    const char *oneModule = nullptr;
    int timeoutMs = 1000;

    // What every command takes besides its own options.
    static const QStringList CommonOptions;
    static const QList<Command> &all();
    // The command of the name, or none.
    static const Command *find(const QString &name);
    // The option of the name, as every command describes it.
    static QCommandLineOption option(const QString &name);
};

#endif // COMMAND_H
