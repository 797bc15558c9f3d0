#ifndef HOSTLINESETTINGS_H
#define HOSTLINESETTINGS_H

#include "serviceprotocol.h"

#include <QByteArray>
#include <QString>

class QSerialPort;

// How the computer's end of a module's host link is set up and what it
// sends to reach the instrument, from what the module reports of its host
// side: over RS232C its bit rate, 8 data bits, no parity, its stop bits and
// flow control, and the identification query with the terminator as the
// window shows them (488.2 block transfer fixes "*IDN?" and 0x0A); over USB
// the device file of the instrument, the query "*IDN?" and a line feed.
struct HostLineSettings {
    static HostLineSettings of(const ModuleInfo &info, const Rs232cSettings &settings);

    bool usb = false;
    qint32 bitrate = 0;
    quint8 stopbits = 1;
    quint8 flowControl = 0;
    quint8 terminator = 0;
    QString query;
    // PELTA takes the RS232C host link for its own protocol, which a plain
    // query is not.
    bool pelta = false;

    QByteArray request() const;
    // As "19200 bit/s, 8 data bits, no parity, 1 stop bit, RTS/CTS,
    // terminator 0x0A".
    QString text() const;
    void applyTo(QSerialPort &port) const;
};

#endif // HOSTLINESETTINGS_H
