#include "console.h"

#include <QCoreApplication>
#include <QIODevice>

Console::Console(QIODevice *input, QIODevice *output, QIODevice *errors, bool interactive)
    : m_input(input), m_output(output), m_errors(errors), m_interactive(interactive)
{
}

void Console::print(const QString &line)
{
    m_output->write((line + '\n').toLocal8Bit());
}

void Console::printError(const QString &line)
{
    m_errors->write(("zorvel: " + line + '\n').toLocal8Bit());
}

bool Console::confirm(const QString &question)
{
    if (!m_interactive) {
        printError(QCoreApplication::translate("Console",
            "%1\nnot confirmed: standard input is not a terminal; give --yes to write without asking")
            .arg(question));
        return false;
    }
    m_errors->write((question + ' ').toLocal8Bit());
    const QString answer = QString::fromLocal8Bit(m_input->readLine()).trimmed().toLower();
    return answer == "y" || answer == "yes";
}
