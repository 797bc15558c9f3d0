// bare-window: the yardstick for the demo program's cold start. A plain Qt
// main window of the same size with three empty tabs, which ends as soon as
// it has been shown, the same way the demo ends with --quit-when-filled.

#include <QApplication>
#include <QMainWindow>
#include <QTabWidget>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    auto *tabs = new QTabWidget(&window);
    for (const char *title : { "Module Info", "RS232C Host", "USBTMC Host" })
        tabs->addTab(new QWidget(tabs), title);
    window.setCentralWidget(tabs);
    window.resize(580, 400);
    window.show();
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
