#include "hostlinesettings.h"

#include "settingsfields.h"

#include <QCoreApplication>
#include <QSerialPort>

namespace {

constexpr quint8 UsbTerminator = 0x0A;

QString flowControlText(quint8 code)
{
    switch (code) {
    case 1:
        return QStringLiteral("XON/XOFF");
    case 2:
        return QStringLiteral("RTS/CTS");
    default:
        return QCoreApplication::translate("HostLineSettings", "no flow control");
    }
}

} // namespace

HostLineSettings HostLineSettings::of(const ModuleInfo &info, const Rs232cSettings &settings)
{
    HostLineSettings line;
    line.usb = info.hostIsUsb;
    if (line.usb) {
        line.terminator = UsbTerminator;
        line.query = blockTransferIdnQuery();
        return line;
    }
    const Rs232cSettings shown = interlocked(settings);
    line.pelta = shown.peltaSafu;
    line.bitrate = shown.bitrate;
    line.stopbits = shown.stopbits;
    line.flowControl = shown.flowControl;
    line.terminator = shown.termcharCode;
    line.query = shown.idnQuery;
    return line;
}

QByteArray HostLineSettings::request() const
{
    return query.toLatin1() + char(terminator);
}

QString HostLineSettings::text() const
{
    if (usb)
        return QCoreApplication::translate("HostLineSettings", "USBTMC, query %1 and a line feed").arg(query);
    return QCoreApplication::translate("HostLineSettings",
                                       "%1 bit/s, %2 data bits, no parity, %3, %4, terminator %5")
        .arg(bitrate)
        .arg(Rs232cDataBits)
        .arg(stopbits == 2 ? QCoreApplication::translate("HostLineSettings", "2 stop bits")
                           : QCoreApplication::translate("HostLineSettings", "1 stop bit"),
             flowControlText(flowControl), termcharText(terminator));
}

void HostLineSettings::applyTo(QSerialPort &port) const
{
    port.setBaudRate(bitrate);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(stopbits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port.setFlowControl(flowControl == 2   ? QSerialPort::HardwareControl
                        : flowControl == 1 ? QSerialPort::SoftwareControl
                                           : QSerialPort::NoFlowControl);
}
