#ifndef INTERRUPTION_H
#define INTERRUPTION_H

#include <QObject>
#include <QString>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP (a closed terminal, a lost remote session)
// while a command works on modules. The signal is noted
// rather than ending the program where it stands: a question waiting for
// its answer reads the end of its input, and interrupted() follows from the
// event loop, so that a request on its way ends as after a lost line and
// the program says what had been sent and lets go of the port. A second
// signal ends the program at once, and so does the first, two seconds on,
// where the program cannot end by itself. A signal the caller ignores
// (nohup, a script's trap '') stays ignored. On Windows signals are left as
// they are.
class Interruption : public QObject
{
    Q_OBJECT

public:
    Interruption();
    ~Interruption() override;

    // The signal noted, or 0.
    int caught() const;
    // "interrupted by SIGINT" and the like.
    QString description() const;
    static QString signalName(int signal);

signals:
    void interrupted();

private:
    QSocketNotifier *m_notifier = nullptr;
};

#endif // INTERRUPTION_H
