#ifndef PSEUDOTERMINAL_H
#define PSEUDOTERMINAL_H

#include "descriptordevice.h"

#include <QObject>
#include <QString>
#include <QtGlobal>

// The line settings that the program at the slave side has set, as a
// serial port takes them; a bit rate no standard rate names is 0.
struct LineSettings {
    qint32 bitrate = 0;
    int dataBits = 8;
    bool parity = false;
    int stopBits = 1;
    bool rtsCts = false;
    bool xonXoff = false;

    bool operator==(const LineSettings &other) const;
};

// A pseudo-terminal pair in raw mode. A serial-port program opens the slave
// by its path; the master side is a QIODevice for whoever plays the device.
// The slave stays open here as well, so the master keeps working while the
// program closes and reopens its end.
class PseudoTerminal : public QObject
{
    Q_OBJECT

public:
    explicit PseudoTerminal(QObject *parent = nullptr);
    ~PseudoTerminal() override;

    bool open();
    QString slavePath() const;
    QString errorString() const;
    DescriptorDevice *master();
    LineSettings lineSettings() const;
    // Waits up to the given time until what the master side wrote can be
    // read at the slave side; the system passes it on a moment later.
    bool waitUntilSlaveReadable(int milliseconds) const;

private:
    DescriptorDevice m_master;
    int m_slave = -1;
    QString m_slavePath;
    QString m_errorString;
};

#endif // PSEUDOTERMINAL_H
