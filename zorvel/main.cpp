// zorvel: reads and writes the settings of ZORVEL modules from the command
// line, for one module or every module of a rack.

#include "commandline.h"
#include "console.h"

#include <QCoreApplication>
#include <QFile>
#include <QSerialPortInfo>

#ifdef Q_OS_WIN
#include <cstdio>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// The descriptors of the standard streams, the same on every platform.
enum StandardDescriptor { StandardInput = 0, StandardOutput = 1, StandardError = 2 };

bool inputIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdin)) != 0;
#else
    return isatty(STDIN_FILENO) == 1;
#endif
}

QList<PortEntry> systemPorts()
{
    QList<PortEntry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports << PortEntry { info.portName(), info.description(), info.serialNumber(), info.systemLocation() };
    return ports;
}

} // namespace

int main(int argc, char *argv[])
{
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
    Console console(&input, &output, &errors, inputIsTerminal());

    CommandLine commandLine(console, systemPorts);
    return commandLine.run(QCoreApplication::arguments());
}
