#include "windowbench.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

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
