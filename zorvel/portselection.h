#ifndef PORTSELECTION_H
#define PORTSELECTION_H

#include "serviceport.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Which ports a command works on: those named by --port, the service ports
// with the serial numbers of --serial, in the order given, every service
// port for --all, or else the single service port there is. Naming one
// device twice, also under two names, is a usage error. The system's port
// list is asked for only when the choice needs it; a port named by --port
// gets its serial number from the system for that port alone.
class PortSelection
{
    Q_DECLARE_TR_FUNCTIONS(PortSelection)

public:
    using PortLister = std::function<QList<PortEntry>()>;

    struct Choice {
        QStringList names;
        QStringList serialNumbers;
        bool allServicePorts = false;
    };

    PortSelection(const Choice &choice, const PortLister &listPorts);

    bool select();
    QList<PortEntry> ports() const;
    // Why nothing was selected; whether the options themselves were at fault.
    QString errorString() const;
    bool isUsageError() const;

    static QList<PortEntry> servicePorts(const QList<PortEntry> &ports);
    static QString describe(const PortEntry &port);

private:
    bool selectNamed();
    bool selectBySerialNumber(const QList<PortEntry> &found);
    bool fail(const QString &text, bool usage);
    QString foundText(const QList<PortEntry> &found) const;

    Choice m_choice;
    PortLister m_listPorts;
    QList<PortEntry> m_ports;
    QString m_errorString;
    bool m_usageError = false;
};

#endif // PORTSELECTION_H
