#ifndef DESCRIPTORDEVICE_H
#define DESCRIPTORDEVICE_H

#include <QByteArray>
#include <QIODevice>

class QSocketNotifier;

// A sequential QIODevice over a POSIX file descriptor (a pipe, a socket or
// the master side of a pseudo-terminal). It owns the descriptor, makes it
// non-blocking, signals readyRead as bytes arrive and writes in the
// background when the descriptor cannot take everything at once.
class DescriptorDevice : public QIODevice
{
    Q_OBJECT

public:
    explicit DescriptorDevice(QObject *parent = nullptr);
    ~DescriptorDevice() override;

    bool openDescriptor(int descriptor, OpenMode mode);
    int descriptor() const;
    void close() override;
    bool isSequential() const override;
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void readFromDescriptor();
    void writeToDescriptor();

    int m_descriptor = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_readBuffer;
    QByteArray m_writeBuffer;
};

#endif // DESCRIPTORDEVICE_H
