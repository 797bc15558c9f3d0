#include "mainwindow.h"
#include "seldialog.h"
#include "serviceport.h"
#include "standardstreams.h"
#include "uniformscaling.h"
#include "waitdialog.h"
#include "zorvelversion.h"

#include <QApplication>
#include <QMessageBox>
#include <QSerialPort>

#include <cstdio>
#include <cstring>

namespace {

// --help and --version are answered without a window, which needs a
// display that a shell, perhaps on another machine, may not have; Qt's own
// options and anything else go to the application as before.
bool answeredOnCommandLine(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Maritor %s\n", ZorvelVersion);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: maritor [--help] [--version]\n"
                        "\n"
                        "ZORVEL Custom Config: reads and writes the settings of a ZORVEL module over its\n"
                        "USB service port. It lists the service ports, opens the one chosen and shows\n"
                        "the module's identity and settings; the manual is under Help. zorvel does the\n"
                        "same from a shell (zorvel --help).\n"
                        "\n"
                        "  -h, --help  Print this text and end.\n"
                        "  --version   Print the program's version and end.\n");
            return true;
        }
    }
    return false;
}

} // namespace

// Every top-level object lives on this stack and is torn down in reverse
// order: the window goes before the port, so the port is still open while
// the window is destroyed.
int main(int argc, char *argv[])
{
    openClosedStandardStreams();
    if (answeredOnCommandLine(argc, argv))
        return 0;
    useUniformScaling();
    QApplication app(argc, argv);
    SelDialog selDialog(nullptr);
    selDialog.exec();
    if (selDialog.selectedEntry.portName.isEmpty())
        return 0;

    WaitDialog waitDialog(nullptr);
    waitDialog.show();
    QCoreApplication::processEvents();

    QSerialPort port(nullptr);
    QString error;
    if (!openLockedPort(port, selDialog.selectedEntry.systemLocation, &error)) {
        QMessageBox::information(nullptr, "ZORVEL Error",
                                 "Looks line failed to open!\n"
                                 "Try to recconect the SERVICE PORT or power cycle the ZORVEL module.\n"
                                     + error,
                                 QMessageBox::Ok, QMessageBox::NoButton);
        return 0;
    }
    waitDialog.close();

    MainWindow window(selDialog.selectedEntry, &port, nullptr);
    window.show();
    return app.exec();
}
