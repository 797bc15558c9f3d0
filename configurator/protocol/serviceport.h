#ifndef SERVICEPORT_H
#define SERVICEPORT_H

#include <QString>

class QSerialPort;

// A serial port belongs to a module when its description names the module,
// in this letter case.
bool isServicePort(const QString &description);

// Why the port did not open, in the system's words; on Linux a permission
// failure also says how to get access to the device.
QString openFailureReason(const QSerialPort &port);

#endif // SERVICEPORT_H
