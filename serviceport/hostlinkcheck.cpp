#include "hostlinkcheck.h"

#include "serviceport.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QThread>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_LINUX
// A USBTMC device file is a character device that the kernel's usbtmc
// driver serves, as /dev/usbtmc0.
bool isUsbtmcDevice(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    const QString node = QString("/sys/dev/char/%1:%2").arg(major(status.st_rdev)).arg(minor(status.st_rdev));
    return QFileInfo(node).canonicalFilePath().section('/', -1).startsWith("usbtmc");
}

// One query and one answer on an open USBTMC device, whose driver waits
// for the answer up to the timeout.
QByteArray usbtmcExchange(int descriptor, const QByteArray &query, int timeoutMs)
{
    __u32 timeout = __u32(timeoutMs);
    ::ioctl(descriptor, USBTMC_IOCTL_SET_TIMEOUT, &timeout);
    if (::write(descriptor, query.constData(), size_t(query.size())) != query.size())
        return QByteArray();
    QByteArray answer(HostLinkMaxAnswer, '\0');
    const ssize_t size = ::read(descriptor, answer.data(), size_t(answer.size()));
    answer.truncate(size > 0 ? int(size) : 0);
    return answer;
}
#endif

} // namespace

HostLinkCheck::HostLinkCheck(QObject *parent)
    : QObject(parent)
{
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, [this] { finish(false); });
}

// The driver's own timeout ends a USB exchange that is still waiting. A
// check cut short by its end reports nothing: the port's close may fail.
HostLinkCheck::~HostLinkCheck()
{
    m_running = false;
    if (m_port)
        disconnect(m_port, nullptr, this, nullptr);
    if (m_usbExchange)
        m_usbExchange->wait();
}

void HostLinkCheck::start(const Request &request)
{
    m_result = HostLinkResult();
    m_result.hostPort = request.hostPort;
    m_result.line = HostLineSettings::of(request.info, request.settings);
    m_result.expected = request.info.idnString;
    m_result.timeoutMs = request.timeoutMs;
    m_servicePort = request.servicePort;
    m_running = true;
    const QString refused = refusal();
    if (!refused.isEmpty())
        finishUnsent(HostLinkResult::Verdict::Refused, refused);
    else if (m_result.line.usb)
        startUsb();
    else
        startSerial();
}

bool HostLinkCheck::isRunning() const
{
    return m_running;
}

QString HostLinkCheck::refusal() const
{
    const QString nothingSent = tr("nothing was sent on %1").arg(m_result.hostPort);
    if (m_result.line.pelta)
        return tr("PELTA is on: the ZORVEL expects its PELTA protocol on the host link, not a plain query; %1")
            .arg(nothingSent);
    if (deviceIdentity(m_result.hostPort) == deviceIdentity(m_servicePort))
        return tr("%1 is the ZORVEL's service port; name the computer's end of the host link, such as /dev/ttyUSB0 "
                  "or COM7; %2").arg(m_result.hostPort, nothingSent);
#ifdef Q_OS_LINUX
    const bool usbtmc = isUsbtmcDevice(devicePath(m_result.hostPort));
#else
    const bool usbtmc = false;
#endif
    if (m_result.line.usb && !usbtmc)
        return tr("the ZORVEL's host interface is USB: this check needs the instrument's USBTMC device file, such "
                  "as /dev/usbtmc0 on Linux; %1").arg(nothingSent);
    return QString();
}

void HostLinkCheck::startSerial()
{
    QString error;
    m_port = new QSerialPort(this);
    m_result.line.applyTo(*m_port);
    if (!openLockedPort(*m_port, m_result.hostPort, &error))
        return finishUnsent(HostLinkResult::Verdict::NotOpened, tr("cannot open %1: %2").arg(m_result.hostPort, error));
    connect(m_port, &QSerialPort::readyRead, this, &HostLinkCheck::readSerial);
    // A lost adapter ends the wait at once, and says so.
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (!m_running || error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
            return;
        m_result.reason = m_port->errorString();
        finish(false);
    });
    // What arrived before the query answers nothing it asked.
    m_port->clear(QSerialPort::Input);
    const QByteArray request = m_result.line.request();
    if (m_port->write(request) != request.size())
        return finishUnsent(HostLinkResult::Verdict::NotOpened,
                            tr("cannot send on %1: %2").arg(m_result.hostPort, m_port->errorString()));
    m_result.sent = request;
    m_deadline.start(m_result.timeoutMs);
}

void HostLinkCheck::readSerial()
{
    if (!m_running)
        return;
    m_result.received += m_port->read(HostLinkMaxAnswer - m_result.received.size());
    const int end = m_result.received.indexOf(char(m_result.line.terminator));
    if (end >= 0) {
        m_result.received.truncate(end + 1);
        finish(true);
    } else if (m_result.received.size() >= HostLinkMaxAnswer) {
        finish(false);
    }
}

#ifdef Q_OS_LINUX
// The driver's read waits for the answer, so the exchange runs beside the
// event loop; the device stays locked until it ends.
void HostLinkCheck::startUsb()
{
    const QString path = devicePath(m_result.hostPort);
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    QString error;
    if (descriptor < 0)
        error = qt_error_string(errno);
    else if (!lockDevice(descriptor, path, &error))
        ::close(descriptor);
    if (!error.isEmpty())
        return finishUnsent(HostLinkResult::Verdict::NotOpened, tr("cannot open %1: %2").arg(m_result.hostPort, error));
    const QByteArray request = m_result.line.request();
    const int timeoutMs = m_result.timeoutMs;
    m_result.sent = request;
    m_usbExchange = QThread::create([this, descriptor, request, timeoutMs] {
        m_result.received = usbtmcExchange(descriptor, request, timeoutMs);
        ::close(descriptor);
    });
    m_usbExchange->setParent(this);
    connect(m_usbExchange, &QThread::finished, this, [this] {
        m_usbExchange->deleteLater();
        m_usbExchange = nullptr;
        finish(!m_result.received.isEmpty());
    });
    m_usbExchange->start();
}
#else
void HostLinkCheck::startUsb()
{
}
#endif

void HostLinkCheck::finish(bool ended)
{
    if (!m_running)
        return;
    m_running = false;
    m_deadline.stop();
    releasePort();
    if (m_result.reason.isEmpty())
        m_result.judge(ended);
    else
        m_result.verdict = HostLinkResult::Verdict::LineLost;
    emit finished(m_result);
}

// Called from the port's own signals too: it goes once they have returned.
void HostLinkCheck::releasePort()
{
    if (!m_port)
        return;
    m_port->close();
    m_port->deleteLater();
    m_port = nullptr;
}

// Said from the event loop as every other result is, never inside start().
void HostLinkCheck::finishUnsent(HostLinkResult::Verdict verdict, const QString &reason)
{
    releasePort();
    m_result.verdict = verdict;
    m_result.reason = reason;
    QTimer::singleShot(0, this, [this] {
        m_running = false;
        emit finished(m_result);
    });
}
