#ifndef SERVICEPROTOCOL_H
#define SERVICEPROTOCOL_H

#include <QByteArray>
#include <QString>

#include <optional>

// Frames on the module's service port: "M0", a type byte, a payload length
// byte N and N payload bytes. Numbers are 32-bit signed little-endian.

enum class FrameType : quint8 {
    ModuleInfo = 1, Rs232cSyncTo = 2, Rs232cSyncFrom = 3,
    UsbtmcSyncTo = 4, UsbtmcSyncFrom = 5, Restarted = 8, FactoryDefault = 9
};

// The most of the instrument's *IDN text that a module information reply
// is read for.
constexpr int MaxIdnStringSize = 127;

struct ModuleInfo {
    QString version;
    bool hostIsUsb = false;
    bool customMode = false;
    int gpibAddress = 0;
    QString idnString;
};

struct Rs232cSettings {
    qint32 bitrate = 0;
    quint8 stopbits = 0;
    quint8 flowControl = 0;
    quint8 termcharCode = 0;
    bool block4882 = false;
    QString idnQuery;
    bool peltaSafu = false;
};

struct UsbtmcSettings {
    bool autoSpoll = false;
    qint32 autoSpollIntv = 0;
};

QByteArray encodeRequest(FrameType type);

// The type byte of a whole frame, as FrameBuffer::takeFrame returns it; a
// type the protocol does not name keeps its number.
FrameType frameType(const QByteArray &frame);
QByteArray encodeRs232cSettings(const Rs232cSettings &settings);
QByteArray encodeUsbtmcSettings(const UsbtmcSettings &settings);

// Cuts the received byte stream into frames by their length byte alone.
// A partial frame stays buffered until the rest of it arrives.
class FrameBuffer {
public:
    void append(const QByteArray &bytes);
    std::optional<QByteArray> takeFrame();
    int size() const;
    // Up to count of the bytes waiting, from the first on, without taking them.
    QByteArray front(int count) const;

private:
    QByteArray m_bytes;
    int m_start = 0;
};

std::optional<ModuleInfo> decodeModuleInfo(const QByteArray &frame);
std::optional<Rs232cSettings> decodeRs232cSettings(const QByteArray &frame);
std::optional<UsbtmcSettings> decodeUsbtmcSettings(const QByteArray &frame);
bool isRestartNotice(const QByteArray &frame);

#endif // SERVICEPROTOCOL_H
