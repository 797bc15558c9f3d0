#include "formhost.h"
#include "ui_mainwindow.h"

#include <QtTest>

namespace {

// The entries of a menu as the user reads them, a separator as "---".
QStringList entries(const QWidget *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("---") : action->text());
    return texts;
}

} // namespace

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void bindsClickableElementsToSlotsOfTheirName_data();
    void bindsClickableElementsToSlotsOfTheirName();
    void exitClosesLikeTheCloseButton_data();
    void exitClosesLikeTheCloseButton();
    void menusAreInOrderAndCarryNoShortcuts();
    void windowCannotGrow();
};

void TestMainWindowForm::bindsClickableElementsToSlotsOfTheirName_data()
{
    QTest::addColumn<QString>("element");
    QTest::newRow("RS232C sync button") << "btnRs232cSyncTo";
    QTest::newRow("USBTMC sync button") << "btnUsbtmcSyncTo";
    QTest::newRow("PELTA check box") << "chkPeltaSafu";
    QTest::newRow("488.2 check box") << "chk4882Block";
}

void TestMainWindowForm::bindsClickableElementsToSlotsOfTheirName()
{
    QFETCH(QString, element);
    FormHost host;
    auto *button = host.findChild<QAbstractButton *>(element);
    QVERIFY2(button, qPrintable(element + " is missing"));

    button->click();

    QCOMPARE(host.slotsReached, QStringList{"on_" + element + "_clicked"});
}

void TestMainWindowForm::exitClosesLikeTheCloseButton_data()
{
    QTest::addColumn<bool>("viaExit");
    QTest::addColumn<bool>("refuse");
    QTest::newRow("File, Exit") << true << false;
    QTest::newRow("close button") << false << false;
    QTest::newRow("File, Exit, close refused") << true << true;
    QTest::newRow("close button, close refused") << false << true;
}

// Exit must go through the window's close event, so that whatever the window
// decides on closing it decides for Exit too.
void TestMainWindowForm::exitClosesLikeTheCloseButton()
{
    QFETCH(bool, viaExit);
    QFETCH(bool, refuse);
    FormHost host;
    host.refuseClose = refuse;
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    if (viaExit) {
        host.ui->actionE_xit->trigger();
    } else {
        QCloseEvent fromTitleBar;
        QCoreApplication::sendEvent(host.windowHandle(), &fromTitleBar);
    }

    QCOMPARE(host.closeRequests, 1);
    QCOMPARE(host.isVisible(), refuse);
}

void TestMainWindowForm::menusAreInOrderAndCarryNoShortcuts()
{
    FormHost host;

    QCOMPARE(entries(host.menuBar()), (QStringList{"&File", "&Device", "&Help"}));
    QCOMPARE(entries(host.ui->menu_File), (QStringList{"&Save Settings...", "&Load Settings...", "---", "E&xit"}));
    QCOMPARE(entries(host.ui->menu_Device),
             (QStringList{"Sync &RS232C Host Settings", "Sync &USBTMC Host Settings", "---",
                          "&Factory Default", "R&efresh", "---", "Check &Host Link..."}));
    QCOMPARE(entries(host.ui->menu_Help), (QStringList{"&About...", "&Help Contents"}));
    for (const QAction *action : host.findChildren<QAction *>())
        QVERIFY2(action->shortcut().isEmpty(), qPrintable(action->objectName()));
}

void TestMainWindowForm::windowCannotGrow()
{
    FormHost host;
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    host.resize(800, 600);

    QCOMPARE(host.size(), QSize(580, 400));
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
