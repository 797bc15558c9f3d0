// windowscheck: builds every window of Maritor as the program does, with its
// scaling set before the application object, the main window on the given
// serial port; shows each in turn and reports what layoutProblems finds.
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

class WindowCheck
{
public:
    explicit WindowCheck(const QDir &folder) : m_folder(folder) {}

    void check(QWidget *window, const QString &name)
    {
        window->show();
        QApplication::processEvents();
        const QStringList problems = layoutProblems(window);
        for (const QString &problem : problems)
            out() << "FAIL: " << name << ": " << problem << Qt::endl;
        m_failures += problems.size();
        const QString file = m_folder.filePath(name + QStringLiteral(".png"));
        if (!window->grab().save(file)) {
            out() << "FAIL: cannot write " << file << Qt::endl;
            ++m_failures;
        }
    }

    int failures() const { return m_failures; }

private:
    QDir m_folder;
    int m_failures = 0;
};

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
    WindowCheck check(folder);

    SelDialog selDialog(nullptr);
    check.check(&selDialog, QStringLiteral("seldialog"));
    WaitDialog waitDialog(nullptr);
    check.check(&waitDialog, QStringLiteral("waitdialog"));
    AboutDialog aboutDialog(nullptr);
    check.check(&aboutDialog, QStringLiteral("aboutdialog"));

    QSerialPort port(arguments.at(1));
    if (!port.open(QIODevice::ReadWrite)) {
        out() << "FAIL: cannot open " << port.portName() << ": " << port.errorString() << Qt::endl;
        return 1;
    }
    MainWindow window(QSerialPortInfo(port), &port, nullptr);
    QTabWidget *tabs = window.findChild<QTabWidget *>();
    for (int index = 0; index < tabs->count(); ++index) {
        tabs->setCurrentIndex(index);
        check.check(&window, QStringLiteral("mainwindow-%1").arg(tabs->widget(index)->objectName()));
    }

    out() << "Scale factor " << window.devicePixelRatioF() << ", logical DPI " << window.logicalDpiX() << ": "
          << check.failures() << " problems" << Qt::endl;
    return check.failures() == 0 ? 0 : 1;
}
