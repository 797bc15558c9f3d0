// The host-link dialog of the main window against a simulated module whose
// host side is a second pseudo-terminal.

#include "hostlinkdialog.h"
#include "windowbench.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class TestHostLinkDialog : public QObject
{
    Q_OBJECT

private slots:
    void answersWhileTheWindowWorks();
};

// The check uses what the module reported, not an edit that was never
// written, and while it waits the window goes on answering the module.
void TestHostLinkDialog::answersWhileTheWindowWorks()
{
    WindowBench bench;
    QVERIFY2(bench.open(), qPrintable(bench.errorString()));
    QVERIFY(bench.line.openHost());
    bench.startWindow();
    QVERIFY(bench.waitForReadBack());
    bench.edit({ "cboBitrate=19200" });
    bench.line.host().setAnswerDelay(500);

    bench.widget<QAction>("action_CheckHostLink")->trigger();
    auto *dialog = bench.window->findChild<HostLinkDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->findChild<QLabel *>("lblLineSettings")->text(),
             QString("9600 bit/s, 8 data bits, no parity, 1 stop bit, no flow control, terminator 0x0A"));
    dialog->findChild<QComboBox *>("cboHostPort")->setEditText(bench.line.host().path());
    auto *check = dialog->findChild<QPushButton *>("btnCheck");
    auto *result = dialog->findChild<QPlainTextEdit *>("txtResult");
    check->click();
    QVERIFY(!check->isEnabled());

    bench.widget<QAction>("action_Refresh")->trigger();
    QVERIFY(bench.waitForReadBack(2));
    QVERIFY2(result->toPlainText().contains("waiting up to 2000 ms"), qPrintable(result->toPlainText()));
    QTRY_VERIFY_WITH_TIMEOUT(result->toPlainText().contains("as its settings say"), 5000);
    QVERIFY(result->toPlainText().contains("Received: SIMULATED,GPIB INSTRUMENT,SN000001,1.00\\x0a"));
    QVERIFY(result->toPlainText().contains("Received (hex): 53 49 4d"));
    QVERIFY(check->isEnabled());
    QCOMPARE(bench.line.host().received(), QByteArray("*IDN?\n"));
    for (const QByteArray &request : bench.module.requests())
        QVERIFY2(QList<char>({ 1, 3, 5 }).contains(request.at(2)), request.toHex(' ').constData());
}

QTEST_MAIN(TestHostLinkDialog)
#include "tst_hostlinkdialog.moc"
