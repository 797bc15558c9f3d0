#ifndef SERVICEPORT_H
#define SERVICEPORT_H

#include <QList>
#include <QString>
#include <QtGlobal>

class QSerialPort;
class QSerialPortInfo;

// What the system reports of one serial port.
struct PortEntry {
    QString portName;
    QString description;
    QString serialNumber;
    QString systemLocation;
    QString manufacturer;
};

PortEntry portEntry(const QSerialPortInfo &info);
// Every serial port the system lists.
QList<PortEntry> systemPorts();

// A serial port belongs to a module when its description names the module,
// in this letter case.
bool isServicePort(const QString &description);

// The port's own path, links and doubled slashes resolved on Linux.
QString canonicalPortPath(const QString &portName);
// What tells one device from another whatever name is given for it: on
// Linux the device's numbers, the same through a link or a bind mount.
QString deviceIdentity(const QString &portName);

// The USB serial number of the device behind the port, or an empty text
// when it has none or is no USB device. Asks only for this one port where
// the system allows it, not for the list of every port.
QString usbSerialNumber(const QString &portName);

// The device's path for a port name (such as ttyACM0) or path, as the
// system names it; the name as it is where the system has no such paths.
QString devicePath(const QString &portName);

// Opens the port of the given name (such as ttyACM0 or COM3) or device path
// for reading and writing, locked to this program whatever name another
// program gives the same device. On failure error says why, in the system's
// words; on Linux a port in use names the program that holds it, and a
// permission failure says how to get access to the device.
bool openLockedPort(QSerialPort &port, const QString &name, QString *error);

#ifdef Q_OS_LINUX
// Takes the exclusive lock on the device open at the descriptor, which
// openLockedPort takes too; a device in use names the program that holds it.
bool lockDevice(int descriptor, const QString &path, QString *error);
#endif

#endif // SERVICEPORT_H
