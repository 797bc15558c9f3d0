#include "simulatedmodule.h"

#include <QIODevice>
#include <QTimer>

#include <array>

// The frames are written here from the wire layout on their own, without the
// configuration program's codec, so that a mistake made the same way on both
// sides cannot hide.
namespace {

constexpr int TextField = 16;
constexpr int MaxIdnText = 255 - 18;
constexpr int ModuleInfoLayout = 18;
constexpr int Rs232cLayout = 25;
constexpr int UsbtmcLayout = 5;

QByteArray littleEndian(qint32 value)
{
    const auto bits = quint32(value);
    QByteArray bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes += char((bits >> shift) & 0xFF);
    return bytes;
}

qint32 int32At(const QByteArray &bytes, int offset)
{
    quint32 bits = 0;
    for (int i = 3; i >= 0; --i)
        bits = (bits << 8) | quint8(bytes.at(offset + i));
    return qint32(bits);
}

QByteArray textField(const QByteArray &text)
{
    return text.left(TextField - 1).leftJustified(TextField, '\0');
}

QByteArray textIn(const QByteArray &field)
{
    const int end = field.indexOf('\0');
    return end < 0 ? field : field.left(end);
}

QByteArray frame(quint8 type, const QByteArray &payload)
{
    return QByteArray("M0") + char(type) + char(payload.size()) + payload;
}

} // namespace

bool ModuleState::operator==(const ModuleState &other) const
{
    return version == other.version && hostIsUsb == other.hostIsUsb && customMode == other.customMode
        && gpibAddress == other.gpibAddress && idnString == other.idnString && bitrate == other.bitrate
        && stopbits == other.stopbits && flowControl == other.flowControl
        && termcharCode == other.termcharCode && block4882 == other.block4882
        && idnQuery == other.idnQuery && peltaSafu == other.peltaSafu
        && autoSpoll == other.autoSpoll && autoSpollIntv == other.autoSpollIntv;
}

SimulatedModule::SimulatedModule(QObject *parent)
    : QObject(parent), m_state(factoryDefaults()), m_running(m_state)
{
}

ModuleState SimulatedModule::factoryDefaults()
{
    ModuleState state;
    state.version = "01.02.07";
    state.gpibAddress = 5;
    state.idnString = "SIMULATED,GPIB INSTRUMENT,SN000001,1.00";
    state.bitrate = 9600;
    state.stopbits = 1;
    state.termcharCode = 0x0A;
    state.block4882 = 1;
    state.idnQuery = "*IDN?";
    state.autoSpollIntv = 1000;
    return state;
}

void SimulatedModule::attach(QIODevice *device)
{
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    m_device = device;
    connect(device, &QIODevice::readyRead, this, &SimulatedModule::readDevice);
}

ModuleState SimulatedModule::state() const
{
    return m_state;
}

void SimulatedModule::setState(const ModuleState &state)
{
    m_state = state;
    m_running = state;
}

ModuleState SimulatedModule::runningState() const
{
    return m_running;
}

void SimulatedModule::setChunkSize(int bytes)
{
    m_chunkSize = qMax(0, bytes);
}

void SimulatedModule::setUnknownFrames(bool on)
{
    m_unknownFrames = on;
}

void SimulatedModule::setShortReplies(bool on)
{
    m_shortReplies = on;
}

void SimulatedModule::setSilent(bool on)
{
    m_silent = on;
}

void SimulatedModule::sendRestartNotice(quint8 status)
{
    if (status == 0)
        m_running = m_state;
    queue(frame(8, QByteArray(1, char(status))));
}

void SimulatedModule::sendRaw(const QByteArray &bytes)
{
    queue(bytes);
}

void SimulatedModule::closeLine()
{
    m_outgoing.clear();
    if (m_device)
        m_device->close();
}

QByteArray SimulatedModule::received() const
{
    return m_received;
}

QList<QByteArray> SimulatedModule::requests() const
{
    return m_requests;
}

void SimulatedModule::readDevice()
{
    const QByteArray bytes = m_device->readAll();
    m_received += bytes;
    m_pending += bytes;
    while (m_pending.size() >= 4 && m_pending.size() >= 4 + quint8(m_pending.at(3))) {
        const QByteArray request = m_pending.left(4 + quint8(m_pending.at(3)));
        m_pending.remove(0, request.size());
        m_requests << request;
        emit requestReceived(request);
        if (!m_silent)
            handle(request);
    }
}

void SimulatedModule::handle(const QByteArray &request)
{
    const quint8 type = quint8(request.at(2));
    switch (type) {
    case 1:
        reply(type, moduleInfoPayload());
        break;
    case 3:
        reply(type, rs232cPayload());
        break;
    case 5:
        reply(type, usbtmcPayload());
        break;
    case 2:
    case 4:
        store(request);
        break;
    case 9:
        m_state = factoryDefaults();
        reply(type, QByteArray());
        break;
    default:
        break;
    }
}

// Writes whose payload is shorter than its layout are not stored and not
// answered, as a module would drop a garbled request.
void SimulatedModule::store(const QByteArray &request)
{
    const quint8 type = quint8(request.at(2));
    const QByteArray payload = request.mid(4);
    if (type == 2 && payload.size() >= Rs232cLayout) {
        m_state.bitrate = int32At(payload, 0);
        m_state.stopbits = quint8(payload.at(4));
        m_state.flowControl = quint8(payload.at(5));
        m_state.termcharCode = quint8(payload.at(6));
        m_state.block4882 = quint8(payload.at(7));
        m_state.idnQuery = textIn(payload.mid(8, TextField));
        m_state.peltaSafu = quint8(payload.at(24));
        reply(type, QByteArray());
    } else if (type == 4 && payload.size() >= UsbtmcLayout) {
        m_state.autoSpoll = quint8(payload.at(0));
        m_state.autoSpollIntv = int32At(payload, 1);
        reply(type, QByteArray());
    }
}

void SimulatedModule::reply(quint8 type, const QByteArray &payload)
{
    if (m_unknownFrames) {
        static constexpr std::array<quint8, 5> types = { 7, 0, 6, 10, 255 };
        static constexpr std::array<int, 5> sizes = { 3, 0, 1, 12, 255 };
        const int i = m_unknownCount++ % int(types.size());
        queue(frame(types[i], QByteArray(sizes[i], char(0xA5))));
    }
    QByteArray body = payload;
    if (m_shortReplies && (type == 1 || type == 3 || type == 5)) {
        const int layout = type == 1 ? ModuleInfoLayout : type == 3 ? Rs232cLayout : UsbtmcLayout;
        body.truncate(layout - 1);
    }
    const QByteArray bytes = frame(type, body);
    queue(bytes);
    emit replySent(bytes);
}

void SimulatedModule::queue(const QByteArray &bytes)
{
    if (!m_device || !m_device->isOpen())
        return;
    if (m_chunkSize == 0 && m_outgoing.isEmpty()) {
        m_device->write(bytes);
        return;
    }
    m_outgoing += bytes;
    if (!m_chunkScheduled) {
        m_chunkScheduled = true;
        sendNextChunk();
    }
}

// One millisecond between pieces lets the receiver read each piece on its own.
void SimulatedModule::sendNextChunk()
{
    if (!m_device || !m_device->isOpen()) {
        m_outgoing.clear();
        m_chunkScheduled = false;
        return;
    }
    const int size = m_chunkSize > 0 ? m_chunkSize : m_outgoing.size();
    if (size > 0) {
        m_device->write(m_outgoing.left(size));
        m_outgoing.remove(0, size);
    }
    m_chunkScheduled = !m_outgoing.isEmpty();
    if (m_chunkScheduled)
        QTimer::singleShot(1, this, &SimulatedModule::sendNextChunk);
}

QByteArray SimulatedModule::moduleInfoPayload() const
{
    const QByteArray text = m_state.idnString.left(MaxIdnText);
    const quint8 flags = (m_state.hostIsUsb ? 0x40 : 0) | (m_state.customMode ? 0x20 : 0)
        | (m_state.gpibAddress & 0x1F);
    return textField(m_state.version) + char(flags) + char(text.size()) + text;
}

QByteArray SimulatedModule::rs232cPayload() const
{
    return littleEndian(m_state.bitrate) + char(m_state.stopbits) + char(m_state.flowControl)
        + char(m_state.termcharCode) + char(m_state.block4882) + textField(m_state.idnQuery)
        + char(m_state.peltaSafu);
}

QByteArray SimulatedModule::usbtmcPayload() const
{
    return char(m_state.autoSpoll) + littleEndian(m_state.autoSpollIntv);
}
