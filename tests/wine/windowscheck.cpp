// windowscheck: builds every window of Maritor as the program does, with its
// scaling set before the application object, the selection dialog without a
// port and with one, the main window on the given serial port as a module's
// port with a USB serial number; shows each in turn and reports what
// layoutProblems finds.
// Saves a PNG of each window, and of each page of the main window, into the
// given folder. Exits with 1 when anything is cut.
//   windowscheck COMPORT FOLDER

#include "aboutdialog.h"
#include "layoutproblems.h"
#include "mainwindow.h"
#include "seldialog.h"
#include "uniformscaling.h"
#include "waitdialog.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTextStream>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Shows the window, reports what is cut in it and saves a PNG of it; returns
// the number of problems.
int checkWindow(QWidget *window, const QString &name, const QDir &folder)
{
    window->show();
    QApplication::processEvents();
    QStringList problems = layoutProblems(window);
    const QString file = folder.filePath(name + QStringLiteral(".png"));
    if (!window->grab().save(file))
        problems << QStringLiteral("cannot write ") + file;
    for (const QString &problem : qAsConst(problems))
        out() << "FAIL: " << name << ": " << problem << Qt::endl;
    return problems.size();
}

} // namespace

int main(int argc, char *argv[])
{
    useUniformScaling();
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3) {
        out() << "usage: windowscheck COMPORT FOLDER" << Qt::endl;
        return 2;
    }
    const QDir folder(arguments.at(2));
    if (!folder.mkpath(QStringLiteral("."))) {
        out() << "FAIL: cannot make " << folder.path() << Qt::endl;
        return 1;
    }
    SelDialog selDialog(nullptr);
    int failures = checkWindow(&selDialog, QStringLiteral("seldialog"), folder);
    const PortEntry module { arguments.at(1), QStringLiteral("ZORVEL Service Port"), QStringLiteral("ZV000001"),
                             arguments.at(1), QStringLiteral("ZORVEL") };
    SelDialog listing({ module }, nullptr);
    failures += checkWindow(&listing, QStringLiteral("seldialog-port"), folder);
    WaitDialog waitDialog(nullptr);
    failures += checkWindow(&waitDialog, QStringLiteral("waitdialog"), folder);
    AboutDialog aboutDialog(nullptr);
    failures += checkWindow(&aboutDialog, QStringLiteral("aboutdialog"), folder);

    QSerialPort port(arguments.at(1));
    if (!port.open(QIODevice::ReadWrite)) {
        out() << "FAIL: cannot open " << port.portName() << ": " << port.errorString() << Qt::endl;
        return 1;
    }
    MainWindow window(module, &port, nullptr);
    QTabWidget *tabs = window.findChild<QTabWidget *>();
    for (int index = 0; index < tabs->count(); ++index) {
        tabs->setCurrentIndex(index);
        failures += checkWindow(&window, QStringLiteral("mainwindow-%1").arg(tabs->widget(index)->objectName()), folder);
    }

    out() << "Scale factor " << window.devicePixelRatioF() << ", logical DPI " << window.logicalDpiX() << ": "
          << failures << " problems" << Qt::endl;
    return failures == 0 ? 0 : 1;
}
