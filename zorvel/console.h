#ifndef CONSOLE_H
#define CONSOLE_H

#include "frametrace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

class QIODevice;

// The program's standard streams. The requested output (tables, documents,
// differences) goes to the output; notes (a plan, what was written,
// reminders) go there too unless quiet. Errors and questions go to the
// error stream, with information unless quiet and the frame trace when
// verbose. Answers come from the input, which is asked only when it is a
// terminal and holds no document. Text goes out in the locale's encoding as
// soon as it is written.
class Console
{
    Q_DECLARE_TR_FUNCTIONS(Console)

public:
    enum class Verbosity { Quiet, Normal, Verbose };

    Console(QIODevice *input, QIODevice *output, QIODevice *errors, bool interactive, bool outputIsTerminal = false);

    void setVerbosity(Verbosity verbosity);
    bool isVerbose() const;
    bool outputIsTerminal() const;
    // Whether writing the output has failed, and why, such as a full disk.
    bool outputFailed() const;
    QString errorString() const;

    void print(const QString &line);
    void note(const QString &line);
    void printError(const QString &line);
    // Every error printed so far, without the program's name.
    QStringList errors() const;
    void inform(const QString &line);
    void trace(const QString &port, FrameDirection direction, const QByteArray &frame);

    // The input, to read a document from; it answers no question after.
    QIODevice *takeInput();
    // Why no question can be asked: the input is no terminal, or it held
    // the document; nothing where one can.
    QString whyNoQuestion() const;
    // Asks on the error stream and reads the answer; a signal ends the
    // question as the end of its input does.
    bool confirm(const QString &question);

private:
    QIODevice *m_input;
    QIODevice *m_output;
    QIODevice *m_errors;
    bool m_interactive;
    bool m_outputIsTerminal;
    bool m_inputTaken = false;
    bool m_outputFailed = false;
    QString m_errorString;
    QStringList m_errorLines;
    Verbosity m_verbosity = Verbosity::Normal;
    QElapsedTimer m_clock;
};

#endif // CONSOLE_H
