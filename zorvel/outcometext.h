#ifndef OUTCOMETEXT_H
#define OUTCOMETEXT_H

#include "commandoptions.h"
#include "moduleoutcome.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

class Console;

// Every word the commands print about modules, made from their plans and
// outcomes: tables, documents and differences as the requested output;
// plans and what was written as notes; errors under the port's name. With
// several modules, or every one, output lines name the port. With JSON
// output only the errors and the notices on the error stream are told here.
class OutcomeText
{
    Q_DECLARE_TR_FUNCTIONS(OutcomeText)

public:
    // A serial port and whether it is a service port.
    struct PortRow {
        PortEntry port;
        bool servicePort = false;
    };

    OutcomeText(Console &console, const CommandOptions &options, bool several);

    void portList(const QList<PortRow> &rows);
    // The plan's lines, then the question it asks of the user.
    void plan(const WritePlan &plan);
    QString question(const WritePlan &plan) const;
    void report(const ModuleOutcome &outcome);
    void modulesLeft(const QString &interruption);
    // What the JSON element of the module says: its errors, or what it did.
    static QString message(const ModuleOutcome &outcome);
    // What was written to the module, for the error stream when the output
    // fails; nothing where nothing was.
    static QString writtenSummary(const ModuleOutcome &outcome);
    // "rs232c and usbtmc".
    static QString groupsText(const QStringList &groups);

private:
    void reportWrite(const ModuleOutcome &outcome);
    void table(const QList<QStringList> &rows);
    QString named(const PortEntry &port, const QString &line) const;

    Console &m_console;
    const CommandOptions &m_options;
    bool m_several;
    int m_tablesShown = 0;
};

#endif // OUTCOMETEXT_H
