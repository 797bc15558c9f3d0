#include "aboutdialog.h"
#include "accessiblenames.h"
#include "waitdialog.h"

#include <QtTest>
#include <QMessageBox>
#include <QPushButton>
#include <functional>

namespace {

// Runs action on the application's modal widget as soon as one other than
// `below` is up. The polling stops with `owner`, so a box that never appears
// leaves nothing running into the next test.
void whenModal(QObject *owner, QWidget *below, std::function<void(QWidget *)> action)
{
    auto *timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, below, action] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == below)
            return;
        timer->stop();
        action(modal);
    });
    timer->start(10);
}

void press(QWidget *dialog, const char *button)
{
    dialog->findChild<QPushButton *>(button)->click();
}

// Ends a dialog that its own buttons failed to end, with a result no button gives.
constexpr int Stuck = -1;

void endIfStuck(QDialog *dialog)
{
    QTimer::singleShot(5000, dialog, [dialog] { dialog->done(Stuck); });
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void aboutEndsOnOkAndCloseButton_data();
    void aboutEndsOnOkAndCloseButton();
    void aboutQtLeavesAboutOpen();
    void waitNoticeCannotBeClosedFromTitleBar();
};

void TestDialogs::aboutEndsOnOkAndCloseButton_data()
{
    QTest::addColumn<bool>("viaOk");
    QTest::newRow("OK") << true;
    QTest::newRow("close button") << false;
}

void TestDialogs::aboutEndsOnOkAndCloseButton()
{
    QFETCH(bool, viaOk);
    AboutDialog about;
    whenModal(&about, nullptr, [viaOk](QWidget *box) {
        if (viaOk) {
            press(box, "cmdOK");
        } else {
            QCloseEvent fromTitleBar;
            QCoreApplication::sendEvent(box->windowHandle(), &fromTitleBar);
        }
    });
    endIfStuck(&about);

    QCOMPARE(about.exec(), int(QDialog::Rejected));
    QVERIFY(!about.isVisible());
}

void TestDialogs::aboutQtLeavesAboutOpen()
{
    AboutDialog about;
    QString qtBoxTitle;
    bool qtBoxHadParent = true;
    bool aboutStayedUp = false;
    whenModal(&about, nullptr, [&](QWidget *box) {
        whenModal(&about, box, [&](QWidget *qtBox) {
            qtBoxTitle = qtBox->windowTitle();
            qtBoxHadParent = qtBox->parentWidget() != nullptr;
            qobject_cast<QMessageBox *>(qtBox)->button(QMessageBox::Ok)->click();
        });
        press(box, "cmdQt");
        aboutStayedUp = box->isVisible() && QApplication::activeModalWidget() == box;
        press(box, "cmdOK");
    });
    endIfStuck(&about);

    QCOMPARE(about.exec(), int(QDialog::Rejected));
    QCOMPARE(qtBoxTitle, QStringLiteral("About Qt"));
    QVERIFY(!qtBoxHadParent);
    QVERIFY(aboutStayedUp);
    QCOMPARE(unnamedFocusableWidgets(&about), QStringList());
}

void TestDialogs::waitNoticeCannotBeClosedFromTitleBar()
{
    WaitDialog wait;
    wait.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wait));

    const Qt::WindowFlags flags = wait.windowFlags();
    QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
    QCOMPARE(wait.windowType(), Qt::Dialog);
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(wait.windowTitle().isEmpty());
    QCOMPARE(wait.cursor().shape(), Qt::WaitCursor);
    QCOMPARE(wait.contextMenuPolicy(), Qt::NoContextMenu);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
