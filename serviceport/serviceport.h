#ifndef SERVICEPORT_H
#define SERVICEPORT_H

#include <QString>

class QSerialPort;

// A serial port belongs to a module when its description names the module,
// in this letter case.
bool isServicePort(const QString &description);

// The USB serial number of the device behind the port, or an empty text
// when it has none or is no USB device. Asks only for this one port where
// the system allows it, not for the list of every port.
QString usbSerialNumber(const QString &portName);

// Opens the port for reading and writing, locked to this program whatever
// name another program gives the same device. On failure error says why, in
// the system's words; on Linux a port in use names the program that holds
// it, and a permission failure says how to get access to the device.
bool openServicePort(QSerialPort &port, QString *error);

#endif // SERVICEPORT_H
