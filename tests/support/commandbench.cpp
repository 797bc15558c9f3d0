#include "commandbench.h"

#include "commandline.h"
#include "console.h"

#include <QBuffer>

CommandBench::CommandBench(int modules)
{
    for (int i = 0; i < modules; ++i)
        addLine();
    systemPorts = servicePorts();
}

void CommandBench::addLine()
{
    lines.push_back(std::make_unique<SimulatedLine>());
    if (!lines.back()->open())
        qFatal("cannot open a pseudo-terminal: %s", qPrintable(lines.back()->errorString()));
}

SimulatedModule &CommandBench::module(int index)
{
    return lines.at(index)->module();
}

SimulatedHost &CommandBench::host(int index)
{
    SimulatedLine &line = *lines.at(index);
    if (line.host().path().isEmpty() && !line.openHost())
        qFatal("cannot open a pseudo-terminal: %s", qPrintable(line.errorString()));
    return line.host();
}

QString CommandBench::path(int index) const
{
    return lines.at(index)->path();
}

QList<PortEntry> CommandBench::servicePorts() const
{
    QList<PortEntry> ports;
    for (size_t i = 0; i < lines.size(); ++i)
        ports << PortEntry { path(int(i)), "ZORVEL Service Port", QString("SN%1").arg(i + 1), path(int(i)), "ZORVEL" };
    return ports;
}

int CommandBench::run(const QStringList &arguments, const QByteArray &answers, bool interactive)
{
    QBuffer input;
    QBuffer outputBuffer;
    QBuffer errorBuffer;
    input.setData(answers);
    input.open(QIODevice::ReadOnly);
    outputBuffer.open(QIODevice::WriteOnly);
    errorBuffer.open(QIODevice::WriteOnly);
    Console console(&input, &outputBuffer, &errorBuffer, interactive);
    const QList<PortEntry> ports = systemPorts;
    CommandLine commandLine(console, [ports] { return ports; });
    const int code = commandLine.run(QStringList { "zorvel" } + arguments);
    output = QString::fromUtf8(outputBuffer.data());
    errors = QString::fromUtf8(errorBuffer.data());
    return code;
}

QList<QByteArray> CommandBench::writes(int index) const
{
    QList<QByteArray> frames;
    for (const QByteArray &request : lines.at(index)->module().requests()) {
        const quint8 type = quint8(request.at(2));
        if (type == 2 || type == 4 || type == 9)
            frames << request.toHex(' ');
    }
    return frames;
}
