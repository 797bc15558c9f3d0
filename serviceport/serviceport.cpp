#include "serviceport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSerialPortInfo>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_LINUX
// A port name without a path lives in /dev; a name that begins as a path
// (absolute, or relative with ./ or ../) is one, as QSerialPort takes it.
QString deviceNode(const QString &portName)
{
    const bool path = portName.startsWith('/') || portName.startsWith("./") || portName.startsWith("../");
    return path ? portName : "/dev/" + portName;
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

// The program that holds the device's exclusive lock, as "NAME (process
// PID)", from the kernel's list of locks, where a line such as
// "1: FLOCK  ADVISORY  WRITE 4711 00:19:3 0 EOF" names the lock's process
// and the device's file system (major and minor number, in hexadecimal)
// and inode.
QString lockHolder(const QString &node)
{
    struct stat status;
    QFile locks("/proc/locks");
    if (::stat(QFile::encodeName(node).constData(), &status) != 0 || !locks.open(QIODevice::ReadOnly))
        return QString();
    const QString device = QString("%1:%2:%3").arg(major(status.st_dev), 2, 16, QChar('0'))
                               .arg(minor(status.st_dev), 2, 16, QChar('0')).arg(status.st_ino);
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields.at(1) != "FLOCK" || fields.at(5) != device.toLatin1())
            continue;
        // The process that took the lock may have ended while a child it
        // handed the descriptor to holds it on: that child has no name here.
        QFile name("/proc/" + fields.at(4) + "/comm");
        if (!name.open(QIODevice::ReadOnly))
            continue;
        const QString program = QString::fromLocal8Bit(name.readAll()).trimmed();
        return QString("%1 (process %2)").arg(program, QString::fromLatin1(fields.at(4)));
    }
    return QString();
}

// Holds the device's exclusive lock on a descriptor of its own, as a child
// of the port: deleted after the port's own destructor has closed it.
class DeviceLock : public QObject
{
public:
    DeviceLock(int descriptor, QObject *port)
        : QObject(port), m_descriptor(descriptor)
    {
    }
    ~DeviceLock() override
    {
        ::close(m_descriptor);
    }

private:
    int m_descriptor;
};

QString inUseHint(const QString &node)
{
    const QString holder = lockHolder(node);
    if (holder.isEmpty())
        return QCoreApplication::translate("ServicePort",
            "Another program seems to have the port open: close it, then try again.");
    return QCoreApplication::translate("ServicePort", "The port is in use by %1: close it, then try again.")
        .arg(holder);
}

QString permissionHint(const QString &node)
{
    // Qt reports a port locked by another program as a permission error
    // too: a user who may read and write the node has met that lock.
    if (::access(QFile::encodeName(node).constData(), R_OK | W_OK) == 0)
        return inUseHint(node);
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

QString openFailureReason(const QSerialPort &port)
{
    QString reason = port.errorString();
#ifdef Q_OS_LINUX
    if (port.error() == QSerialPort::PermissionError)
        reason += '\n' + permissionHint(deviceNode(port.portName()));
#endif
    return reason;
}

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

PortEntry portEntry(const QSerialPortInfo &info)
{
    return { info.portName(), info.description(), info.serialNumber(), info.systemLocation(), info.manufacturer() };
}

QList<PortEntry> systemPorts()
{
    QList<PortEntry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports << portEntry(info);
    return ports;
}

#ifdef Q_OS_LINUX
QString canonicalPortPath(const QString &portName)
{
    const QFileInfo node(deviceNode(portName));
    return node.exists() ? node.canonicalFilePath() : node.absoluteFilePath();
}

// A device node's numbers tell the device whatever its path: a link, a bind
// mount or a second node of the same device.
QString deviceIdentity(const QString &portName)
{
    struct stat status;
    const QString path = canonicalPortPath(portName);
    if (::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISCHR(status.st_mode))
        return QString("device %1:%2").arg(major(status.st_rdev)).arg(minor(status.st_rdev));
    return path;
}
#else
QString canonicalPortPath(const QString &portName)
{
    QString name = portName.toUpper();
    return name.startsWith("\\\\.\\") ? name.mid(4) : name;
}

QString deviceIdentity(const QString &portName)
{
    return canonicalPortPath(portName);
}
#endif

bool isServicePort(const QString &description)
{
    static const QRegularExpression moduleName("ZORVEL");
    return description.contains(moduleName);
}

#ifdef Q_OS_LINUX
// Every name of one device (a link such as /dev/zorvel-SERIAL, doubled
// slashes) leads to its own path, which the port is opened by, so that Qt's
// lock file is the same for all of them. The exclusive lock on the device
// itself is taken first, on a descriptor of its own: a program that meets
// it learns which program holds the device, even while that one is still
// taking Qt's lock, and it keeps out a program that names the device in a
// way Qt's lock does not see. It is let go with the port object, after the
// port has closed; the system drops it with the process, however that ends.
bool openLockedPort(QSerialPort &port, const QString &name, QString *error)
{
    // A port open already keeps its device and its lock.
    if (port.isOpen()) {
        *error = QCoreApplication::translate("ServicePort", "The port is open already.");
        return false;
    }
    port.setPortName(name);
    const QFileInfo node(deviceNode(name));
    if (!node.exists()) {
        *error = QCoreApplication::translate("ServicePort", "No such port.");
        return false;
    }
    const QString path = node.canonicalFilePath();
    qDeleteAll(port.findChildren<DeviceLock *>(QString(), Qt::FindDirectChildrenOnly));
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        *error = errno == EBUSY ? inUseHint(path)
               : errno == EACCES ? qt_error_string(EACCES) + '\n' + permissionHint(path)
                                 : qt_error_string(errno);
        return false;
    }
    if (!::isatty(descriptor)) {
        ::close(descriptor);
        *error = QCoreApplication::translate("ServicePort", "%1 is not a serial port.").arg(path);
        return false;
    }
    if (!lockDevice(descriptor, path, error)) {
        ::close(descriptor);
        return false;
    }
    port.setPortName(path);
    if (!port.open(QIODevice::ReadWrite)) {
        ::close(descriptor);
        *error = openFailureReason(port);
        return false;
    }
    new DeviceLock(descriptor, &port);
    return true;
}
#else
// On Windows a serial port opens for one program only.
bool openLockedPort(QSerialPort &port, const QString &name, QString *error)
{
    port.setPortName(name);
    if (port.open(QIODevice::ReadWrite))
        return true;
    *error = openFailureReason(port);
    return false;
}
#endif

#ifdef Q_OS_LINUX
QString devicePath(const QString &portName)
{
    return deviceNode(portName);
}

// A holder that lets go between the refusal and the look at its name is
// gone: the lock is tried once more then.
bool lockDevice(int descriptor, const QString &path, QString *error)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (!lockHolder(path).isEmpty())
            break;
    }
    *error = inUseHint(path);
    return false;
}
#else
QString devicePath(const QString &portName)
{
    return portName;
}
#endif
