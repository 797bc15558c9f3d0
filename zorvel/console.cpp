#include "console.h"

#include "visibletext.h"

#include <QIODevice>

Console::Console(QIODevice *input, QIODevice *output, QIODevice *errors, bool interactive, bool outputIsTerminal)
    : m_input(input), m_output(output), m_errors(errors), m_interactive(interactive),
      m_outputIsTerminal(outputIsTerminal)
{
    m_clock.start();
}

void Console::setVerbosity(Verbosity verbosity)
{
    m_verbosity = verbosity;
}

bool Console::isVerbose() const
{
    return m_verbosity == Verbosity::Verbose;
}

bool Console::outputIsTerminal() const
{
    return m_outputIsTerminal;
}

bool Console::outputFailed() const
{
    return m_outputFailed;
}

QString Console::errorString() const
{
    return m_errorString;
}

void Console::print(const QString &line)
{
    const QByteArray bytes = (line + '\n').toLocal8Bit();
    if (m_output->write(bytes) != bytes.size() && !m_outputFailed) {
        m_outputFailed = true;
        m_errorString = m_output->errorString();
    }
}

void Console::note(const QString &line)
{
    if (m_verbosity != Verbosity::Quiet)
        print(line);
}

// An error may quote what came from a document, an argument or a module:
// its control characters are written as escapes, its line breaks kept.
void Console::printError(const QString &line)
{
    m_errorLines << line;
    m_errors->write(("zorvel: " + visibleText(line, LineBreaks::Kept) + '\n').toLocal8Bit());
}

QStringList Console::errors() const
{
    return m_errorLines;
}

void Console::inform(const QString &line)
{
    if (m_verbosity != Verbosity::Quiet)
        printError(line);
}

void Console::trace(const QString &port, FrameDirection direction, const QByteArray &frame)
{
    if (m_verbosity == Verbosity::Verbose)
        m_errors->write((frameTraceLine(m_clock.elapsed(), port, direction, frame) + '\n').toLocal8Bit());
}

QIODevice *Console::takeInput()
{
    m_inputTaken = true;
    return m_input;
}

// Why no question can be asked, or nothing where one can.
QString Console::whyNoQuestion() const
{
    if (m_inputTaken)
        return tr("standard input held the document and can answer no question");
    if (!m_interactive)
        return tr("standard input is not a terminal, so no question can be asked");
    return QString();
}

bool Console::confirm(const QString &question)
{
    m_errors->write((question + ' ').toLocal8Bit());
    const QString answer = QString::fromLocal8Bit(m_input->readLine()).trimmed().toLower();
    return answer == "y" || answer == "yes";
}
