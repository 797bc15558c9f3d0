#include "pseudoterminal.h"

#include <QList>
#include <QPair>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

qint32 bitrate(speed_t speed)
{
    static const QList<QPair<speed_t, qint32>> rates = {
        { B1200, 1200 }, { B2400, 2400 }, { B4800, 4800 }, { B9600, 9600 }, { B19200, 19200 },
        { B38400, 38400 }, { B57600, 57600 }, { B115200, 115200 }, { B230400, 230400 },
    };
    for (const auto &rate : rates) {
        if (rate.first == speed)
            return rate.second;
    }
    return 0;
}

} // namespace

bool LineSettings::operator==(const LineSettings &other) const
{
    return bitrate == other.bitrate && dataBits == other.dataBits && parity == other.parity
        && stopBits == other.stopBits && rtsCts == other.rtsCts && xonXoff == other.xonXoff;
}

PseudoTerminal::PseudoTerminal(QObject *parent)
    : QObject(parent)
{
}

PseudoTerminal::~PseudoTerminal()
{
    m_master.close();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PseudoTerminal::open()
{
    int master = -1;
    char name[256] = {};
    termios raw = {};
    ::cfmakeraw(&raw);
    if (::openpty(&master, &m_slave, name, &raw, nullptr) < 0) {
        m_errorString = qt_error_string(errno);
        return false;
    }
    // Neither side goes to a program started from here: a copy of the
    // master there would keep the line up after it is closed here.
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_slavePath = QString::fromLocal8Bit(name);
    if (!m_master.openDescriptor(master, QIODevice::ReadWrite)) {
        m_errorString = m_master.errorString();
        ::close(master);
        return false;
    }
    return true;
}

QString PseudoTerminal::slavePath() const
{
    return m_slavePath;
}

QString PseudoTerminal::errorString() const
{
    return m_errorString;
}

DescriptorDevice *PseudoTerminal::master()
{
    return &m_master;
}

// The master and the slave of a pseudo-terminal share one set of
// settings, so the master reads what the program has set.
LineSettings PseudoTerminal::lineSettings() const
{
    termios settings = {};
    LineSettings line;
    if (::tcgetattr(m_master.descriptor(), &settings) != 0)
        return line;
    line.bitrate = bitrate(::cfgetospeed(&settings));
    const tcflag_t size = settings.c_cflag & CSIZE;
    line.dataBits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    line.parity = settings.c_cflag & PARENB;
    line.stopBits = settings.c_cflag & CSTOPB ? 2 : 1;
    line.rtsCts = settings.c_cflag & CRTSCTS;
    line.xonXoff = settings.c_iflag & IXON;
    return line;
}

bool PseudoTerminal::waitUntilSlaveReadable(int milliseconds) const
{
    pollfd slave = { m_slave, POLLIN, 0 };
    return ::poll(&slave, 1, milliseconds) == 1 && (slave.revents & POLLIN);
}
