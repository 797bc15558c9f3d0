#include "windowbench.h"

QString WindowBench::open()
{
    if (!line.open())
        return line.errorString();
    module.attach(line.master());
    port.setPortName(line.slavePath());
    return port.open(QIODevice::ReadWrite) ? QString() : port.errorString();
}

MainWindow *WindowBench::startWindow()
{
    window = std::make_unique<MainWindow>(QSerialPortInfo(port), &port);
    return window.get();
}
