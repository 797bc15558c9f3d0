#ifndef SIMULATEDHOST_H
#define SIMULATEDHOST_H

#include "pseudoterminal.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class SimulatedModule;
struct ModuleState;

// A module's host side with its instrument behind it, on a pseudo-terminal
// of its own: a program opens the slave as the computer's end of the host
// link. The instrument answers its identification query, ended by the
// terminator, with its *IDN text and the terminator, as long as the line
// settings the computer's end has set are those the module runs with;
// otherwise the answer arrives as a line at the wrong bit rate or framing
// delivers it, bytes that are no text.
class SimulatedHost : public QObject
{
    Q_OBJECT

public:
    explicit SimulatedHost(const SimulatedModule &module, QObject *parent = nullptr);

    bool open();
    QString path() const;
    QString errorString() const;

    // The instrument's *IDN text; by default the text the module reports.
    void setIdnText(const QByteArray &text);
    // Queries are received and recorded, but not answered.
    void setSilent(bool on);
    void setAnswerDelay(int milliseconds);
    // The line goes when a query comes, as when an adapter is unplugged.
    void setHangsUp(bool on);

    // Every byte the computer's end sent, and the line settings it had set
    // when its last bytes came.
    QByteArray received() const;
    LineSettings queryLineSettings() const;
    // The line settings a module's running host-side settings ask for.
    static LineSettings lineSettingsOf(const ModuleState &state);

private:
    void readQuery();
    void answer(const QByteArray &bytes);

    const SimulatedModule &m_module;
    PseudoTerminal m_terminal;
    QByteArray m_idnText;
    bool m_idnTextSet = false;
    bool m_silent = false;
    int m_answerDelay = 0;
    bool m_hangsUp = false;
    QByteArray m_received;
    QByteArray m_pending;
    LineSettings m_queryLineSettings;
};

#endif // SIMULATEDHOST_H
