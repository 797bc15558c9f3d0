#ifndef WINDOWBENCH_H
#define WINDOWBENCH_H

#include "mainwindow.h"
#include "modalanswerer.h"
#include "pseudoterminal.h"
#include "simulatedmodule.h"

#include <QSerialPort>

#include <memory>

// The main window on a real serial port: the slave side of a pseudo-terminal,
// with a simulated module on the master side, and modal boxes answered as a
// user would. Members go in reverse order, so the window goes before its port.
class WindowBench
{
public:
    // Empty when the line and the port are open, else what went wrong.
    QString open();
    MainWindow *startWindow();
    // Edits the window as a user would: "name=text" sets a combo box's or a
    // line edit's text, a bare name clicks a check box.
    void edit(const QStringList &edits);

    template<typename T>
    T *widget(const char *name) const
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }

    PseudoTerminal line;
    SimulatedModule module;
    QSerialPort port;
    std::unique_ptr<MainWindow> window;
    ModalAnswerer boxes;
};

#endif // WINDOWBENCH_H
