#include "portselection.h"

#include "serviceport.h"

PortSelection::PortSelection(const Choice &choice, const PortLister &listPorts)
    : m_choice(choice), m_listPorts(listPorts)
{
}

bool PortSelection::select()
{
    const int chosen = int(!m_choice.name.isEmpty()) + int(!m_choice.serialNumber.isEmpty()) + int(m_choice.all);
    if (chosen > 1)
        return fail(tr("choose one of --port, --serial and --all"), true);
    if (!m_choice.name.isEmpty()) {
        m_ports = { { m_choice.name, QString(), usbSerialNumber(m_choice.name), m_choice.name, QString() } };
        return true;
    }
    const QList<PortEntry> found = servicePorts(m_listPorts());
    QList<PortEntry> matching;
    for (const PortEntry &port : found) {
        if (m_choice.serialNumber.isEmpty() || port.serialNumber == m_choice.serialNumber)
            matching << port;
    }
    if (matching.isEmpty() && !m_choice.serialNumber.isEmpty())
        return fail(tr("no ZORVEL service port has the serial number %1; %2")
                        .arg(m_choice.serialNumber, foundText(found)), false);
    if (matching.isEmpty())
        return fail(tr("no ZORVEL service port found"), false);
    if (matching.size() > 1 && !m_choice.all)
        return fail(tr("%1; choose one with --port or --serial, or take them all with --all")
                        .arg(foundText(matching)), true);
    m_ports = matching;
    return true;
}

QList<PortEntry> PortSelection::ports() const
{
    return m_ports;
}

QString PortSelection::errorString() const
{
    return m_errorString;
}

bool PortSelection::isUsageError() const
{
    return m_usageError;
}

QList<PortEntry> PortSelection::servicePorts(const QList<PortEntry> &ports)
{
    QList<PortEntry> result;
    for (const PortEntry &port : ports) {
        if (isServicePort(port.description))
            result << port;
    }
    return result;
}

QString PortSelection::describe(const PortEntry &port)
{
    const QString serial = port.serialNumber.isEmpty() ? tr("no serial number") : tr("serial number %1").arg(port.serialNumber);
    return QString("%1 (%2, %3)").arg(port.portName, port.description, serial);
}

bool PortSelection::fail(const QString &text, bool usage)
{
    m_errorString = text;
    m_usageError = usage;
    return false;
}

QString PortSelection::foundText(const QList<PortEntry> &found) const
{
    if (found.isEmpty())
        return tr("no ZORVEL service port found");
    QStringList described;
    for (const PortEntry &port : found)
        described << describe(port);
    return tr("found: %1").arg(described.join(", "));
}
