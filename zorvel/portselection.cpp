#include "portselection.h"

#include "serviceport.h"

#include <algorithm>
#include <iterator>

PortSelection::PortSelection(const Choice &choice, const PortLister &listPorts)
    : m_choice(choice), m_listPorts(listPorts)
{
}

bool PortSelection::select()
{
    const int chosen = int(!m_choice.names.isEmpty()) + int(!m_choice.serialNumbers.isEmpty()) + int(m_choice.allServicePorts);
    if (chosen > 1)
        return fail(tr("choose one of --port, --serial and --all"), true);
    if (!m_choice.names.isEmpty())
        return selectNamed();
    const QList<PortEntry> found = servicePorts(m_listPorts());
    if (!m_choice.serialNumbers.isEmpty())
        return selectBySerialNumber(found);
    if (found.isEmpty())
        return fail(tr("no ZORVEL service port found"), false);
    if (found.size() > 1 && !m_choice.allServicePorts)
        return fail(tr("%1; choose one with --port or --serial, or take them all with --all")
                        .arg(foundText(found)), true);
    m_ports = found;
    return true;
}

bool PortSelection::selectNamed()
{
    QStringList devices;
    for (const QString &name : m_choice.names) {
        const QString device = deviceIdentity(name);
        const int earlier = devices.indexOf(device);
        if (earlier >= 0)
            return fail(tr("--port names one port twice: %1 and %2 are %3")
                            .arg(m_choice.names.at(earlier), name, canonicalPortPath(m_choice.names.at(earlier))),
                        true);
        devices << device;
        m_ports << PortEntry { name, QString(), usbSerialNumber(name), name, QString() };
    }
    return true;
}

// Two modules can share a serial number; then which one is meant is left
// to --port.
bool PortSelection::selectBySerialNumber(const QList<PortEntry> &found)
{
    for (const QString &serialNumber : m_choice.serialNumbers) {
        if (m_choice.serialNumbers.count(serialNumber) > 1)
            return fail(tr("--serial names %1 twice").arg(serialNumber), true);
        QList<PortEntry> matching;
        std::copy_if(found.cbegin(), found.cend(), std::back_inserter(matching),
                     [&serialNumber](const PortEntry &entry) { return entry.serialNumber == serialNumber; });
        if (matching.isEmpty())
            return fail(tr("no ZORVEL service port has the serial number %1; %2")
                            .arg(serialNumber, foundText(found)), false);
        if (matching.size() > 1)
            return fail(tr("the serial number %1 is not one module's; %2; choose with --port")
                            .arg(serialNumber, foundText(matching)), true);
        m_ports << matching.first();
    }
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
