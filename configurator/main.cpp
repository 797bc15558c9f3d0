#include "mainwindow.h"
#include "seldialog.h"
#include "serviceport.h"
#include "uniformscaling.h"
#include "waitdialog.h"

#include <QApplication>
#include <QMessageBox>
#include <QSerialPort>

// Every top-level object lives on this stack and is torn down in reverse
// order: the window goes before the port, so the port is still open while
// the window is destroyed.
int main(int argc, char *argv[])
{
    useUniformScaling();
    QApplication app(argc, argv);
    SelDialog selDialog(nullptr);
    selDialog.exec();
    if (selDialog.selectedPort.portName().isEmpty())
        return 0;

    WaitDialog waitDialog(nullptr);
    waitDialog.show();
    QCoreApplication::processEvents();

    QSerialPort port(selDialog.selectedPort, nullptr);
    if (!port.open(QIODevice::ReadWrite)) {
        QMessageBox::information(nullptr, "ZORVEL Error",
                                 "Looks line failed to open!\n"
                                 "Try to recconect the SERVICE PORT or power cycle the ZORVEL module.\n"
                                     + openFailureReason(port),
                                 QMessageBox::Ok, QMessageBox::NoButton);
        return 0;
    }
    waitDialog.close();

    MainWindow window(selDialog.selectedPort, &port, nullptr);
    window.show();
    return app.exec();
}
