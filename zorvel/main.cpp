// zorvel: reads and writes the settings of ZORVEL modules from the command
// line, for one module or every module of a rack.

#include "commandline.h"
#include "console.h"
#include "standardstreams.h"
#include "utf8localecodec.h"

#include <QCoreApplication>
#include <QFile>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <clocale>
#include <csignal>
#include <langinfo.h>
#include <unistd.h>
#endif

namespace {

// The descriptors of the standard streams, the same on every platform.
enum StandardDescriptor { StandardInput = 0, StandardOutput = 1, StandardError = 2 };

bool isTerminal(StandardDescriptor descriptor)
{
#ifdef Q_OS_WIN
    return _isatty(descriptor) != 0;
#else
    return isatty(descriptor) == 1;
#endif
}

// Whether the user's locale writes text in UTF-8, or is the C locale, whose
// text Qt reads and writes as UTF-8 too. On Windows Qt's codec for the
// locale is the system's code page and needs no look-up.
bool localeTextIsUtf8()
{
#ifdef Q_OS_WIN
    return false;
#else
    // The locale QCoreApplication sets too.
    std::setlocale(LC_ALL, "");
    const char *codeset = nl_langinfo(CODESET);
    return qstrcmp(codeset, "UTF-8") == 0 || qstrcmp(codeset, "ANSI_X3.4-1968") == 0;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    openClosedStandardStreams();
#ifndef Q_OS_WIN
    // A reader that goes away is an output that fails, as a full disk is:
    // the modules asked for are still done.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // Before QCoreApplication, whose first conversion of text would look
    // the codec up.
    if (localeTextIsUtf8())
        QTextCodec::setCodecForLocale(new Utf8LocaleCodec);
    // Qt's own event dispatcher rather than GLib's: the program waits only
    // for its port and a timer, and Qt's dispatcher starts in less time. No
    // other program sees the setting, since zorvel starts none.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("zorvel");

    // Unbuffered, so that a question is out before its answer is read and
    // output and errors keep their order.
    QFile input;
    QFile output;
    QFile errors;
    input.open(StandardInput, QIODevice::ReadOnly);
    output.open(StandardOutput, QIODevice::WriteOnly | QIODevice::Unbuffered);
    errors.open(StandardError, QIODevice::WriteOnly | QIODevice::Unbuffered);
    Console console(&input, &output, &errors, isTerminal(StandardInput), isTerminal(StandardOutput));

    CommandLine commandLine(console, systemPorts);
    return commandLine.run(QCoreApplication::arguments());
}
