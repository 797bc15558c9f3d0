#include "pseudoterminal.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

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

bool PseudoTerminal::waitUntilSlaveReadable(int milliseconds) const
{
    pollfd slave = { m_slave, POLLIN, 0 };
    return ::poll(&slave, 1, milliseconds) == 1 && (slave.revents & POLLIN);
}
