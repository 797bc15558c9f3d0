#include "windowbench.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

bool WindowBench::open()
{
    if (!line.open()) {
        m_errorString = line.errorString();
        return false;
    }
    port.setPortName(line.path());
    if (!port.open(QIODevice::ReadWrite)) {
        m_errorString = port.errorString();
        return false;
    }
    return true;
}

QString WindowBench::errorString() const
{
    return m_errorString;
}

// The line, as a list of ports would give it, has a USB serial number.
MainWindow *WindowBench::startWindow()
{
    m_readBacks = 0;
    window = std::make_unique<MainWindow>(
        PortEntry { port.portName(), QString(), SerialNumber, line.path(), QString() }, &port);
    QObject::connect(window.get(), &MainWindow::readBackCompleted, [this] { ++m_readBacks; });
    return window.get();
}

bool WindowBench::waitForReadBack(int count)
{
    if (m_readBacks < count) {
        QEventLoop loop;
        QObject::connect(window.get(), &MainWindow::readBackCompleted, &loop, [&] {
            if (m_readBacks >= count)
                loop.quit();
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return m_readBacks >= count;
}

int WindowBench::readBacks() const
{
    return m_readBacks;
}

bool WindowBench::refresh()
{
    const int before = m_readBacks;
    action("action_Refresh")->trigger();
    return waitForReadBack(before + 1);
}

QAction *WindowBench::action(const char *name) const
{
    return widget<QAction>(name);
}

void WindowBench::edit(const QStringList &edits)
{
    for (const QString &edit : edits) {
        const QByteArray name = edit.section('=', 0, 0).toLatin1();
        if (auto *box = window->findChild<QComboBox *>(name))
            box->setCurrentText(edit.section('=', 1));
        else if (auto *field = window->findChild<QLineEdit *>(name))
            field->setText(edit.section('=', 1));
        else
            widget<QCheckBox>(name.constData())->click();
    }
}
