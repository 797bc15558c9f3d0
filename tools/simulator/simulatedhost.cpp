#include "simulatedhost.h"

#include "simulatedmodule.h"

#include <QTimer>

namespace {

constexpr char BlockTransferTerminator = 0x0A;

// A byte that a receiver at the wrong bit rate or framing makes of one sent
// right: never text, as no byte of the range 0x80 to 0xBF begins a UTF-8
// character.
QByteArray garbled(const QByteArray &bytes)
{
    QByteArray result;
    for (const char byte : bytes)
        result += char(0x80 | (byte & 0x3F));
    return result;
}

} // namespace

SimulatedHost::SimulatedHost(const SimulatedModule &module, QObject *parent)
    : QObject(parent), m_module(module)
{
}

bool SimulatedHost::open()
{
    if (!m_terminal.open())
        return false;
    connect(m_terminal.master(), &QIODevice::readyRead, this, &SimulatedHost::readQuery);
    return true;
}

QString SimulatedHost::path() const
{
    return m_terminal.slavePath();
}

QString SimulatedHost::errorString() const
{
    return m_terminal.errorString();
}

void SimulatedHost::setIdnText(const QByteArray &text)
{
    m_idnText = text;
    m_idnTextSet = true;
}

void SimulatedHost::setSilent(bool on)
{
    m_silent = on;
}

void SimulatedHost::setAnswerDelay(int milliseconds)
{
    m_answerDelay = milliseconds;
}

void SimulatedHost::setHangsUp(bool on)
{
    m_hangsUp = on;
}

QByteArray SimulatedHost::received() const
{
    return m_received;
}

LineSettings SimulatedHost::queryLineSettings() const
{
    return m_queryLineSettings;
}

// Eight data bits and no parity, as the module's RS232C host side always has.
LineSettings SimulatedHost::lineSettingsOf(const ModuleState &state)
{
    LineSettings line;
    line.bitrate = state.bitrate;
    line.stopBits = state.stopbits;
    line.rtsCts = state.flowControl == 2;
    line.xonXoff = state.flowControl == 1;
    return line;
}

// Under PELTA the module expects its own protocol on the host link, and a
// plain query gets no answer.
void SimulatedHost::readQuery()
{
    const QByteArray bytes = m_terminal.master()->readAll();
    m_received += bytes;
    m_queryLineSettings = m_terminal.lineSettings();
    if (m_hangsUp) {
        m_terminal.master()->close();
        return;
    }
    const ModuleState running = m_module.runningState();
    if (m_silent || running.peltaSafu)
        return;
    const char terminator = running.block4882 ? BlockTransferTerminator : char(running.termcharCode);
    const QByteArray idnText = m_idnTextSet ? m_idnText : running.idnString;
    if (!(m_queryLineSettings == lineSettingsOf(running))) {
        answer(garbled(idnText + terminator));
        return;
    }
    m_pending += bytes;
    const QByteArray query = running.block4882 ? QByteArray("*IDN?") : running.idnQuery;
    for (int end = m_pending.indexOf(terminator); end >= 0; end = m_pending.indexOf(terminator)) {
        if (m_pending.left(end) == query)
            answer(idnText + terminator);
        m_pending.remove(0, end + 1);
    }
}

void SimulatedHost::answer(const QByteArray &bytes)
{
    QTimer::singleShot(m_answerDelay, this, [this, bytes] { m_terminal.master()->write(bytes); });
}
