#include "serviceport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSerialPortInfo>

#ifdef Q_OS_LINUX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_LINUX
// A port name without a path lives in /dev, as QSerialPort takes it.
QString deviceNode(const QString &portName)
{
    return portName.startsWith('/') ? portName : "/dev/" + portName;
}

// The group that owns the node, where its members may read and write it;
// joining any other group would not help.
QString accessGroup(const QString &node)
{
    struct stat status;
    if (::stat(QFile::encodeName(node).constData(), &status) != 0)
        return QString();
    if ((status.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return QString();
    const struct group *entry = ::getgrgid(status.st_gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString();
}

QString permissionHint(const QString &node)
{
    // Qt reports a port locked by another program as a permission error
    // too: a user who may read and write the node has met that lock.
    if (::access(QFile::encodeName(node).constData(), R_OK | W_OK) == 0)
        return QCoreApplication::translate("ServicePort",
            "Another program seems to have the port open: close it, then try again.");
    const QString group = accessGroup(node);
    if (group.isEmpty() || group == "root")
        return QCoreApplication::translate("ServicePort",
            "Install the ZORVEL Custom Config package, whose udev rule gives you access to the module's port, "
            "then plug the module in again.");
    return QCoreApplication::translate("ServicePort",
        "Install the ZORVEL Custom Config package, whose udev rule gives you access to the module's port, "
        "or join the group \"%1\" that owns %2 (sudo usermod -aG %1 $USER) and log in again.").arg(group, node);
}
#endif

} // namespace

#ifdef Q_OS_LINUX
// The tty's device in sysfs is the USB interface (ttyACM) or a port below
// it (ttyUSB); the USB device, the first folder above with a vendor
// identifier, may carry a serial number. A link such as /dev/zorvel-SERIAL
// is followed to the tty first.
QString usbSerialNumber(const QString &portName)
{
    const QString tty = QFileInfo(QFileInfo(deviceNode(portName)).canonicalFilePath()).fileName();
    QString folder = QFileInfo("/sys/class/tty/" + tty + "/device").canonicalFilePath();
    for (int level = 0; !tty.isEmpty() && !folder.isEmpty() && level < 3; ++level) {
        if (QFileInfo::exists(folder + "/idVendor")) {
            QFile serial(folder + "/serial");
            return serial.open(QIODevice::ReadOnly) ? QString::fromUtf8(serial.readAll()).trimmed() : QString();
        }
        folder = QFileInfo(folder).path();
    }
    return QString();
}
#else
QString usbSerialNumber(const QString &portName)
{
    return QSerialPortInfo(portName).serialNumber();
}
#endif

bool isServicePort(const QString &description)
{
    static const QRegularExpression moduleName("ZORVEL");
    return description.contains(moduleName);
}

QString openFailureReason(const QSerialPort &port)
{
    QString reason = port.errorString();
#ifdef Q_OS_LINUX
    if (port.error() == QSerialPort::PermissionError)
        reason += '\n' + permissionHint(deviceNode(port.portName()));
#endif
    return reason;
}
