#ifndef CONSOLE_H
#define CONSOLE_H

#include <QString>

class QIODevice;

// The program's standard streams: data goes to the output; errors and
// questions go to the error stream, and answers come from the input, which
// is asked only when it is a terminal. Text goes out in the locale's
// encoding as soon as it is written.
class Console
{
public:
    Console(QIODevice *input, QIODevice *output, QIODevice *errors, bool interactive);

    void print(const QString &line);
    void printError(const QString &line);
    // Without a terminal the answer is no, and the error stream says why.
    bool confirm(const QString &question);

private:
    QIODevice *m_input;
    QIODevice *m_output;
    QIODevice *m_errors;
    bool m_interactive;
};

#endif // CONSOLE_H
