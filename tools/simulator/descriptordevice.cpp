#include "descriptordevice.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

DescriptorDevice::DescriptorDevice(QObject *parent)
    : QIODevice(parent)
{
}

DescriptorDevice::~DescriptorDevice()
{
    close();
}

bool DescriptorDevice::openDescriptor(int descriptor, OpenMode mode)
{
    if (isOpen() || descriptor < 0)
        return false;
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) < 0) {
        setErrorString(qt_error_string(errno));
        return false;
    }
    m_descriptor = descriptor;
    if (mode & ReadOnly) {
        m_readNotifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
        connect(m_readNotifier, &QSocketNotifier::activated, this, &DescriptorDevice::readFromDescriptor);
    }
    m_writeNotifier = new QSocketNotifier(descriptor, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &DescriptorDevice::writeToDescriptor);
    return QIODevice::open(mode | Unbuffered);
}

int DescriptorDevice::descriptor() const
{
    return m_descriptor;
}

void DescriptorDevice::close()
{
    if (m_descriptor < 0)
        return;
    QIODevice::close();
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    ::close(m_descriptor);
    m_descriptor = -1;
    m_readBuffer.clear();
    m_writeBuffer.clear();
}

bool DescriptorDevice::isSequential() const
{
    return true;
}

qint64 DescriptorDevice::bytesAvailable() const
{
    return m_readBuffer.size() + QIODevice::bytesAvailable();
}

qint64 DescriptorDevice::bytesToWrite() const
{
    return m_writeBuffer.size();
}

qint64 DescriptorDevice::readData(char *data, qint64 maxSize)
{
    const int size = int(qMin<qint64>(maxSize, m_readBuffer.size()));
    std::copy_n(m_readBuffer.constData(), size, data);
    m_readBuffer.remove(0, size);
    return size;
}

qint64 DescriptorDevice::writeData(const char *data, qint64 size)
{
    m_writeBuffer.append(data, int(size));
    writeToDescriptor();
    return size;
}

void DescriptorDevice::readFromDescriptor()
{
    char chunk[4096];
    const ssize_t count = ::read(m_descriptor, chunk, sizeof chunk);
    if (count > 0) {
        m_readBuffer.append(chunk, int(count));
        emit readyRead();
    } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
        // The far end has gone; stop watching so a dead descriptor cannot spin.
        m_readNotifier->setEnabled(false);
        emit readChannelFinished();
    }
}

void DescriptorDevice::writeToDescriptor()
{
    qint64 written = 0;
    while (!m_writeBuffer.isEmpty()) {
        const ssize_t count = ::write(m_descriptor, m_writeBuffer.constData(), size_t(m_writeBuffer.size()));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                m_writeBuffer.clear();
            break;
        }
        m_writeBuffer.remove(0, int(count));
        written += count;
    }
    m_writeNotifier->setEnabled(!m_writeBuffer.isEmpty());
    if (written > 0)
        emit bytesWritten(written);
}
