#ifndef WINDOWBENCH_H
#define WINDOWBENCH_H

#include "mainwindow.h"
#include "modalanswerer.h"
#include "simulatedline.h"

#include <QAction>
#include <QSerialPort>

#include <memory>

// The main window on a real serial port: the slave side of a pseudo-terminal,
// with a simulated module on the master side, and modal boxes answered as a
// user would. Members go in reverse order, so the window goes before its port.
class WindowBench
{
public:
    static constexpr const char *SerialNumber = "ZV0042";

    // Whether the line and the port opened; errorString() says why not.
    bool open();
    QString errorString() const;
    MainWindow *startWindow();
    // Waits up to 5 s until the window's channel has reported this many
    // complete read-backs since the window started; the constructor's
    // read-back is the first.
    bool waitForReadBack(int count = 1);
    int readBacks() const;
    // Device → Refresh, and its read-back.
    bool refresh();
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
    QAction *action(const char *name) const;

    SimulatedLine line;
    SimulatedModule &module = line.module();
    QSerialPort port;
    std::unique_ptr<MainWindow> window;
    ModalAnswerer boxes;

private:
    QString m_errorString;
    int m_readBacks = 0;
};

#endif // WINDOWBENCH_H
