// What a user meets first in the main window on a simulated module: edits
// that are not written yet, the question before they are lost, where the
// keyboard's focus is, tips that can be read, and what the window says
// while it reads the module.

#include "testhelpers.h"
#include "windowbench.h"

#include <QCommandLinkButton>
#include <QLabel>
#include <QTabWidget>
#include <QToolTip>
#include <QtTest>

#include <memory>

class TestWindowUsability : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void unwrittenEditsAreMarked_data();
    void unwrittenEditsAreMarked();
    void closingAsksAboutUnwrittenEdits_data();
    void closingAsksAboutUnwrittenEdits();
    void everyTabStopShowsFocus_data();
    void everyTabStopShowsFocus();
    void tipsWrapToAReadableWidth();
    void readingIsShown();

private:
    bool captionIsMarked(const char *caption) const;

    std::unique_ptr<WindowBench> m_bench;
    QTemporaryDir m_dir;
};

void TestWindowUsability::init()
{
    m_bench = std::make_unique<WindowBench>();
    QVERIFY2(m_bench->open(), qPrintable(m_bench->errorString()));
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());
}

void TestWindowUsability::cleanup()
{
    m_bench.reset();
}

bool TestWindowUsability::captionIsMarked(const char *caption) const
{
    return m_bench->widget<QWidget>(caption)->styleSheet().contains("bold");
}

void TestWindowUsability::unwrittenEditsAreMarked_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QString>("clearedBy");

    QTest::newRow("an edit, then a write") << "edit" << QStringList { "label_6" } << "write";
    QTest::newRow("a loaded document, then a read-back") << "load" << QStringList { "label_6", "label_11" }
                                                         << "refresh";
}

// The window's title shows "*", and the captions of what differs are bold,
// until the fields are written or read back.
void TestWindowUsability::unwrittenEditsAreMarked()
{
    QFETCH(QString, change);
    QFETCH(QStringList, captions);
    QFETCH(QString, clearedBy);
    QVERIFY(!m_bench->window->isWindowModified());
    if (change == "edit") {
        m_bench->edit({ "cboBitrate=19200" });
    } else {
        const QString path = m_dir.filePath("document.json");
        writeFile(path, R"({"format": "zorvel-settings/1", "rs232c": {"bitrate": 4800},
                           "usbtmc": {"autoSerialPollInterval": 50}})");
        m_bench->boxes.setFileAnswer(path);
        m_bench->action("action_Load_Settings")->trigger();
    }
    QVERIFY(m_bench->window->isWindowModified());
    QCOMPARE(m_bench->window->windowTitle(), QString("ZORVEL Custom Config[*]"));
    for (const QString &caption : captions)
        QVERIFY2(captionIsMarked(qPrintable(caption)), qPrintable(caption));
    QVERIFY(!captionIsMarked("label_8"));

    if (clearedBy == "write") {
        m_bench->action("action_Rs232cSync_To")->trigger();
        QTRY_VERIFY(!m_bench->window->isWindowModified());
    } else {
        QVERIFY(m_bench->refresh());
        QVERIFY(!m_bench->window->isWindowModified());
    }
    for (const QString &caption : captions)
        QVERIFY(!captionIsMarked(qPrintable(caption)));
}

void TestWindowUsability::closingAsksAboutUnwrittenEdits_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("closed");

    QTest::newRow("nothing edited") << false << false << true;
    QTest::newRow("edited, kept open") << true << false << false;
    QTest::newRow("edited, closed") << true << true << true;
}

// By the close button or by File → Exit, which closes the window as well.
void TestWindowUsability::closingAsksAboutUnwrittenEdits()
{
    QFETCH(bool, edited);
    QFETCH(bool, yes);
    m_bench->window->show();
    if (edited)
        m_bench->edit({ "txtAutoSpollIntv=50" });
    m_bench->boxes.setAnswer(yes ? QMessageBox::Yes : QMessageBox::No);
    // Enter keeps the edits.
    QMessageBox::StandardButton byEnter = QMessageBox::NoButton;
    m_bench->boxes.setHook([&](QMessageBox *box) { byEnter = box->standardButton(box->defaultButton()); });
    m_bench->action("actionE_xit")->trigger();

    QTEST(!m_bench->window->isVisible(), "closed");
    QCOMPARE(byEnter, edited ? QMessageBox::No : QMessageBox::NoButton);
    if (!edited) {
        QVERIFY(m_bench->boxes.texts().isEmpty());
        return;
    }
    QCOMPARE(m_bench->boxes.texts(),
             QStringList("Some settings were changed but not written to the ZORVEL. Close and lose them?"));
    QCOMPARE(m_bench->boxes.informativeTexts(), QStringList("Not written: Auto Serial Polling Interval [ms]."));
}

void TestWindowUsability::everyTabStopShowsFocus_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("stops");

    QTest::newRow("Module Info") << 0 << 1;
    QTest::newRow("RS232C Host") << 1 << 7;
    QTest::newRow("USBTMC Host") << 2 << 4;
}

// Tab goes round the page and its tab, and each widget it stops at looks
// different with the focus than without. The window shows the focus once
// the keyboard has moved it, as here.
void TestWindowUsability::everyTabStopShowsFocus()
{
    QFETCH(int, tab);
    QFETCH(int, stops);
    m_bench->window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_bench->window.get()));
    auto *tabs = m_bench->widget<QTabWidget>("tabWidget");
    tabs->setCurrentIndex(tab);
    tabs->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QList<QWidget *> visited;
    do {
        QWidget *focused = QApplication::focusWidget();
        QVERIFY2(focused && focused != m_bench->window.get(), "Tab reached a widget that shows no focus");
        const QImage withFocus = focused->grab().toImage();
        m_bench->window->setFocus();
        const QImage withoutFocus = focused->grab().toImage();
        QVERIFY2(withFocus != withoutFocus, qPrintable(focused->objectName()));
        focused->setFocus(Qt::TabFocusReason);
        visited << focused;
        QTest::keyClick(focused, Qt::Key_Tab);
    } while (QApplication::focusWidget() != visited.first() && visited.size() < 20);
    QCOMPARE(visited.size(), stops);
}

// A tip wraps rather than run as one long line across the screen.
void TestWindowUsability::tipsWrapToAReadableWidth()
{
    m_bench->window->show();
    for (const char *name : { "cboBitrate", "txtTermcharCode", "txtIdnQuery", "chkPeltaSafu", "txtAutoSpollIntv",
                              "btnRs232cSyncTo" }) {
        QWidget *field = m_bench->widget<QWidget>(name);
        QToolTip::showText(field->mapToGlobal(QPoint(2, 2)), field->toolTip(), field);
        QTRY_VERIFY(QToolTip::isVisible());
        QWidget *tip = nullptr;
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            if (window->inherits("QTipLabel") && window->isVisible())
                tip = window;
        }
        QVERIFY2(tip && tip->inherits("QTipLabel"), name);
        QVERIFY2(tip->width() <= 480, qPrintable(QString("%1: %2 pixels").arg(name).arg(tip->width())));
        QToolTip::hideText();
    }
}

// While the replies of a read-back are awaited the connection line says
// so, and the module's values are greyed until they have come; a Refresh of
// a module that does not answer is reported again.
void TestWindowUsability::readingIsShown()
{
    m_bench = std::make_unique<WindowBench>();
    QVERIFY(m_bench->open());
    m_bench->module.setSilent(true);
    m_bench->startWindow();
    const QString connected = "Connected to " + m_bench->port.portName() + ":";
    QCOMPARE(m_bench->widget<QLabel>("lblConnectInfo")->text(), connected + ", reading the ZORVEL...");
    QVERIFY(!m_bench->widget<QLabel>("lblVersion")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(m_bench->boxes.texts().size(), 1, 4000);

    m_bench->module.setSilent(false);
    QVERIFY(m_bench->refresh());
    QCOMPARE(m_bench->widget<QLabel>("lblConnectInfo")->text(), connected);
    QVERIFY(m_bench->widget<QLabel>("lblVersion")->isEnabled());

    m_bench->module.setSilent(true);
    m_bench->action("action_Refresh")->trigger();
    QCOMPARE(m_bench->widget<QLabel>("lblConnectInfo")->text(), connected + ", reading the ZORVEL...");
    QTRY_COMPARE_WITH_TIMEOUT(m_bench->boxes.texts().size(), 2, 4000);
}

QTEST_MAIN(TestWindowUsability)
#include "tst_windowusability.moc"
