// maritor-demo: the configuration program's main window on a simulated
// module, with its host side, or on an existing serial port given with
// --port. Without a display it runs offscreen, saves the pictures the
// manual shows (the selection dialog, each tab, a write question and the
// host-link check) and ends. With --quit-when-filled
// it ends as soon as the read-back has filled the window, which is what the
// cold-start benchmark times.

#include "hostlinkdialog.h"
#include "mainwindow.h"
#include "seldialog.h"
#include "serviceport.h"
#include "simulatedline.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

namespace {

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

// The simulated module as a list of ports would show a module's: the window
// and the manual's pictures name it so, as a Windows user sees it, whatever
// pseudo-terminal it is on.
const PortEntry SimulatedPort { "COM5", "ZORVEL Service Port", "ZV000001", "COM5", "ZORVEL" };
// The host port as the pictures name it, whatever pseudo-terminal a run
// gets, so that the same source gives the same pictures.
const QString PictureHostPort = "COM6";

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// The window says when every reply of the read-back has come. A
// module that has not answered after 5 s is given up, and the window's
// report that it does not answer closed, as a user would.
bool waitForReadBack(const MainWindow &window)
{
    bool complete = false;
    QEventLoop loop;
    QObject::connect(&window, &MainWindow::readBackCompleted, &loop, [&] {
        complete = true;
        loop.quit();
    });
    QTimer::singleShot(5000, &loop, [&loop] {
        if (QWidget *report = QApplication::activeModalWidget())
            report->close();
        loop.quit();
    });
    loop.exec();
    return complete;
}

// Ends once the read-back has filled the window and the events it caused,
// painting among them, have been handled.
int quitWhenFilled(const MainWindow &window)
{
    if (!waitForReadBack(window)) {
        err() << "maritor-demo: no reply from the module" << Qt::endl;
        return 1;
    }
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    return QCoreApplication::exec();
}

bool save(QWidget *widget, const QString &folder, const QString &name)
{
    QCoreApplication::processEvents();
    const QString path = QDir(folder).absoluteFilePath(name + ".png");
    if (!widget->grab().save(path)) {
        err() << "maritor-demo: cannot write " << path << Qt::endl;
        return false;
    }
    QTextStream(stdout) << path << Qt::endl;
    return true;
}

// The write question of the RS232C tab after an edit, answered No.
bool saveWriteQuestion(MainWindow &window, const QString &folder)
{
    window.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    window.findChild<QComboBox *>("cboBitrate")->setCurrentText("19200");
    bool saved = false;
    QTimer::singleShot(0, &window, [&] {
        auto *question = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!question)
            return;
        saved = save(question, folder, "write-question");
        question->button(QMessageBox::No)->click();
    });
    window.findChild<QAction *>("action_Rs232cSync_To")->trigger();
    return saved;
}

// The host-link dialog after a check of the simulated module's host side.
bool saveHostLinkCheck(MainWindow &window, const QString &hostPath, const QString &folder)
{
    window.findChild<QAction *>("action_CheckHostLink")->trigger();
    auto *dialog = window.findChild<HostLinkDialog *>();
    dialog->findChild<QComboBox *>("cboHostPort")->setEditText(hostPath);
    QEventLoop loop;
    QObject::connect(dialog, &HostLinkDialog::checked, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    dialog->findChild<QPushButton *>("btnCheck")->click();
    loop.exec();
    dialog->findChild<QComboBox *>("cboHostPort")->setEditText(PictureHostPort);
    auto *result = dialog->findChild<QPlainTextEdit *>("txtResult");
    result->setPlainText(result->toPlainText().replace(hostPath, PictureHostPort));
    const bool saved = save(dialog, folder, "host-link");
    dialog->close();
    return saved;
}

// The pictures of the manual: the selection dialog listing the port, each
// tab filled by the module, a write question and the host-link check.
int saveScreenshots(MainWindow &window, const PortEntry &port, const QString &hostPath, const QString &folder)
{
    if (!waitForReadBack(window)) {
        err() << "maritor-demo: no reply from the module; no screenshots were made" << Qt::endl;
        return 1;
    }
    QDir().mkpath(folder);
    SelDialog selection({ port }, nullptr);
    selection.show();
    bool saved = save(&selection, folder, "selection-dialog");
    selection.close();
    auto *tabs = window.findChild<QTabWidget *>("tabWidget");
    const QStringList names = { "module-info", "rs232c-host", "usbtmc-host" };
    for (int i = 0; saved && i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        saved = save(&window, folder, names.value(i));
    }
    return saved && saveWriteQuestion(window, folder) && saveHostLinkCheck(window, hostPath, folder) ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    const bool headless = !hasDisplay();
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("maritor-demo");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Opens the ZORVEL Custom Config main window on a simulated module, or on the serial port PATH.\n"
        "Without a display, or with --screenshots, it saves the manual's pictures (the selection dialog,\n"
        "each tab, a write question and the host-link check) as PNG files and ends.\n"
        "With --quit-when-filled it ends as soon as the module's replies fill the window.");
    parser.addHelpOption();
    parser.addOptions({
        { "port", "Use the serial port at <path> instead of the simulated module.", "path" },
        { "screenshots", "Save the screenshots into <folder> (default: demo-screenshots).", "folder" },
        { "quit-when-filled", "End as soon as the read-back has filled the window, without screenshots;"
                              " exit code 1 if the module does not answer within 5 s." },
    });
    parser.process(app);

    SimulatedLine line;
    QString path = parser.value("port");
    if (path.isEmpty()) {
        if (!line.open() || !line.openHost()) {
            err() << "maritor-demo: cannot open a pseudo-terminal: " << line.errorString() << Qt::endl;
            return 1;
        }
        path = line.path();
    }

    QSerialPort port;
    QString error;
    if (!openLockedPort(port, path, &error)) {
        err() << "maritor-demo: cannot open " << path << ": " << error << Qt::endl;
        return 1;
    }
    // The system's list of serial ports never holds a pseudo-terminal, so the
    // simulated line gets the port information of a simulated module instead
    // of a search of that list (about 10 ms) which would find nothing.
    const PortEntry entry = parser.isSet("port")
        ? portEntry(QSerialPortInfo(port))
        : SimulatedPort;
    MainWindow window(entry, &port);
    window.show();

    if (parser.isSet("quit-when-filled"))
        return quitWhenFilled(window);
    if (headless || parser.isSet("screenshots"))
        return saveScreenshots(window, entry, line.host().path(),
                               parser.value("screenshots").isEmpty() ? "demo-screenshots"
                                                                     : parser.value("screenshots"));
    return app.exec();
}
