// The main window on a real serial port: the slave side of a pseudo-terminal,
// with a simulated module on the master side. The test runs from a folder of
// its own, so that each test decides whether the manual is beside it.

#include "accessiblenames.h"
#include "debuglog.h"
#include "programfolder.h"
#include "settingsfields.h"
#include "testhelpers.h"
#include "urlcatcher.h"
#include "windowbench.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLinkButton>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTextDocument>
#include <QtTest>

#include <utility>

#include <memory>

namespace {

// A tip as its reader sees it.
QString tipText(const QWidget *widget)
{
    QTextDocument tip;
    tip.setHtml(widget->toolTip());
    return tip.toPlainText().replace(QChar::Nbsp, ' ');
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readsBackBeforeShowing();
    void choicesFollowTheRules_data();
    void choicesFollowTheRules();
    void questionListsChanges_data();
    void questionListsChanges();
    void showsModuleInfo_data();
    void showsModuleInfo();
    void showsRs232cSettings_data();
    void showsRs232cSettings();
    void rejectedRepliesChangeNothing();
    void faultyLineGivesSameResult_data();
    void faultyLineGivesSameResult();
    void writesRs232cSettingsAndRefreshes();
    void sendsTypedNumbers_data();
    void sendsTypedNumbers();
    void refusedWriteSendsNothing_data();
    void refusedWriteSendsNothing();
    void queryFieldTakesPrintableAscii();
    void writesUsbtmcSettingsAndResets();
    void declinedQuestionSendsNothing_data();
    void declinedQuestionSendsNothing();
    void unmatchedChoiceBlocksRs232cWrite();
    void interlocksFollowCheckBoxes();
    void repliesDuringNoticeAreHandledOnce();
    void restartNoticeClosesPortThenWindow();
    void lostLineIsReportedOnce();
    void interruptedQuestionSendsNothing_data();
    void interruptedQuestionSendsNothing();
    void writeWithoutItsReply_data();
    void writeWithoutItsReply();
    void lineOutOfStepWritesNothing();
    void helpOpensManualBesideProgram();
    void fieldsAreNamedAndExplained_data();
    void fieldsAreNamedAndExplained();
    void tabVisitsFieldsTopToBottom_data();
    void tabVisitsFieldsTopToBottom();

private:
    std::unique_ptr<WindowBench> m_bench;
};

void TestMainWindow::init()
{
    m_bench = std::make_unique<WindowBench>();
    QVERIFY2(m_bench->open(), qPrintable(m_bench->errorString()));
}

void TestMainWindow::cleanup()
{
    m_bench.reset();
}

void TestMainWindow::readsBackBeforeShowing()
{
    m_bench->startWindow();
    QVERIFY(!m_bench->window->isVisible());
    QTRY_COMPARE(m_bench->module.received().toHex(' '), hex("4d300100" "4d300300" "4d300500").toHex(' '));

    QVERIFY(m_bench->waitForReadBack());
    const ModuleState state = SimulatedModule::factoryDefaults();
    const QString portName = m_bench->line.path().mid(QString("/dev/").size());
    QCOMPARE(m_bench->widget<QLabel>("lblConnectInfo")->text(), QString("Connected to %1:").arg(portName));
    QCOMPARE(m_bench->widget<QLabel>("lblVersion")->text(), QString(state.version));
    QCOMPARE(m_bench->widget<QLabel>("lblIdnString")->text(), QString(state.idnString));
    QCOMPARE(m_bench->widget<QComboBox>("cboBitrate")->currentText(), QString("9600"));
    QCOMPARE(m_bench->widget<QComboBox>("cboStopbits")->currentText(), QString("1"));
    QCOMPARE(m_bench->widget<QComboBox>("cboFlowControl")->currentText(), QString("NONE"));
    QCOMPARE(m_bench->widget<QLineEdit>("txtIdnQuery")->text(), QString("*IDN?"));
    QVERIFY(!m_bench->widget<QCheckBox>("chkAutoSpoll")->isChecked());
    QVERIFY(m_bench->boxes.texts().isEmpty());
}

void TestMainWindow::choicesFollowTheRules_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("rules");
    QTest::addColumn<QString>("items");

    QStringList bitrates;
    for (const qint32 bitrate : rs232cBitrates())
        bitrates << QString::number(bitrate);
    QStringList stopbits;
    for (const quint8 count : rs232cStopbits())
        stopbits << QString::number(count);
    QStringList flowControls;
    for (const quint8 code : flowControlChoices())
        flowControls << flowControlName(code);
    QTest::newRow("bitrate") << "cboBitrate" << bitrates << "115200;57600;38400;19200;9600;4800;2400;1200";
    QTest::newRow("stop bits") << "cboStopbits" << stopbits << "2;1";
    QTest::newRow("flow control") << "cboFlowControl" << flowControls << "NONE;HARDWARE;SOFTWARE";
}

// The boxes offer what the rules take, in the order the window has always had.
void TestMainWindow::choicesFollowTheRules()
{
    QFETCH(QString, box);
    QFETCH(QStringList, rules);
    m_bench->startWindow();
    const auto *combo = m_bench->widget<QComboBox>(qPrintable(box));
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, rules);
    QTEST(items.join(';'), "items");
}

void TestMainWindow::questionListsChanges_data()
{
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<bool>("writtenBefore");
    QTest::addColumn<QString>("details");

    const QString rs232c = "action_Rs232cSync_To";
    const QString usbtmc = "action_UsbtmcSync_To";
    const QString module = "The ZORVEL on %1, USB serial number ZV0042";
    const QString same = module + ":\nNo setting differs from what the ZORVEL reported.";
    QTest::newRow("RS232C, no edit") << rs232c << QStringList() << false << same;
    QTest::newRow("bitrate and flow control")
        << rs232c << QStringList { "cboBitrate=19200", "cboFlowControl=HARDWARE" } << false
        << module + ":\nBitrate: 9600 → 19200\nFlow Control: NONE → HARDWARE";
    QTest::newRow("block transfer off, another terminator")
        << rs232c << QStringList { "chk4882Block", "txtTermcharCode=0x0d", "txtIdnQuery=ID?" } << false
        << module + ":\nTermchar Code: 0x0A → 0x0D\nSupport 488.2 Block Transfer: on → off\nIDN Query: *IDN? → ID?";
    QTest::newRow("PELTA on") << rs232c << QStringList { "chkPeltaSafu" } << false
                              << module + ":\nUse PELTA Protocol: off → on";
    QTest::newRow("polling") << usbtmc << QStringList { "chkAutoSpoll", "txtAutoSpollIntv=250" } << false
        << module + ":\nEnable Auto Serial Polling: off → on\nAuto Serial Polling Interval [ms]: 1000 → 250";
    QTest::newRow("an edit the module has confirmed") << usbtmc << QStringList { "txtAutoSpollIntv=250" } << true
                                                      << same;
    QTest::newRow("factory default") << "action_Factory_Default" << QStringList() << false << module + ".";
}

// The question stays as it was; its details name the module and list what
// the write changes against what the module last reported. Only Yes writes.
void TestMainWindow::questionListsChanges()
{
    QFETCH(QString, actionName);
    QFETCH(QStringList, edits);
    QFETCH(bool, writtenBefore);
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());
    m_bench->edit(edits);
    if (writtenBefore) {
        m_bench->action(qPrintable(actionName))->trigger();
        QTRY_COMPARE(m_bench->boxes.texts().size(), 2);
        m_bench->boxes.clear();
    }
    const int requestsBefore = m_bench->module.requests().size();

    m_bench->boxes.setAnswer(QMessageBox::No);
    m_bench->action(qPrintable(actionName))->trigger();
    QCOMPARE(m_bench->boxes.texts().size(), 1);
    QVERIFY(m_bench->boxes.texts().at(0).startsWith("Wish to "));
    QFETCH(QString, details);
    QCOMPARE(m_bench->boxes.informativeTexts().at(0), details.arg(m_bench->port.portName()));
    QCOMPARE(m_bench->module.requests().size(), requestsBefore);
}

void TestMainWindow::showsModuleInfo_data()
{
    QTest::addColumn<bool>("hostIsUsb");
    QTest::addColumn<bool>("customMode");
    QTest::addColumn<int>("gpibAddress");
    QTest::addColumn<QString>("ioType");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("custom");

    QTest::newRow("flags 0x40") << true << false << 0 << "USB" << "0" << "OFF";
    QTest::newRow("flags 0x3F") << false << true << 31 << "RS232C" << "31" << "ON";
}

void TestMainWindow::showsModuleInfo()
{
    QFETCH(bool, hostIsUsb);
    QFETCH(bool, customMode);
    QFETCH(int, gpibAddress);

    ModuleState state = m_bench->module.state();
    state.hostIsUsb = hostIsUsb;
    state.customMode = customMode;
    state.gpibAddress = gpibAddress;
    state.idnString = QByteArray("<b>MAKER</b>,MODEL 7,SN 1,2.0") + QByteArray(",  LONG OPTION LIST").repeated(5);
    m_bench->module.setState(state);
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());

    QTEST(m_bench->widget<QLabel>("lblIOType")->text(), "ioType");
    QTEST(m_bench->widget<QLabel>("lblGpibAddress")->text(), "address");
    QTEST(m_bench->widget<QLabel>("lblCustomMode")->text(), "custom");
    QCOMPARE(m_bench->widget<QLabel>("lblIdnString")->text(), QString(state.idnString));
    QCOMPARE(m_bench->widget<QLabel>("lblIdnString")->textFormat(), Qt::PlainText);

    // The tips show the long texts whole, as sent; the texts can be selected.
    for (const char *name : { "lblIdnString", "lblVersion" }) {
        const auto *label = m_bench->widget<QLabel>(name);
        QCOMPARE(tipText(label), label->text());
        QVERIFY(label->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        QVERIFY(label->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
    }
}

void TestMainWindow::showsRs232cSettings_data()
{
    QTest::addColumn<int>("bitrate");
    QTest::addColumn<int>("flowControl");
    QTest::addColumn<int>("termcharCode");
    QTest::addColumn<int>("block4882");
    QTest::addColumn<int>("peltaSafu");
    QTest::addColumn<QString>("bitrateShown");
    QTest::addColumn<QString>("flowShown");
    QTest::addColumn<QString>("termShown");
    QTest::addColumn<QString>("queryShown");
    QTest::addColumn<bool>("fieldsEnabled");
    QTest::addColumn<bool>("blockChecked");
    QTest::addColumn<bool>("blockEnabled");

    QTest::newRow("19200, SOFTWARE, 0x0D, both off")
        << 19200 << 1 << 13 << 0 << 0 << "19200" << "SOFTWARE" << "0x0D" << "*ID?" << true << false << true;
    QTest::newRow("unmatched bitrate and flow control show no item")
        << 250 << 3 << 0xAB << 0 << 0 << "" << "" << "0xAB" << "*ID?" << true << false << true;
    QTest::newRow("block transfer on forces terminator and query")
        << 9600 << 2 << 13 << 1 << 0 << "9600" << "HARDWARE" << "0x0A" << "*IDN?" << false << true << true;
    QTest::newRow("any non-zero byte turns block transfer on")
        << 9600 << 0 << 13 << 2 << 0 << "9600" << "NONE" << "0x0A" << "*IDN?" << false << true << true;
    QTest::newRow("PELTA on with block transfer off forces and locks all")
        << 1200 << 0 << 13 << 0 << 1 << "1200" << "NONE" << "0x0A" << "*IDN?" << false << true << false;
}

void TestMainWindow::showsRs232cSettings()
{
    QFETCH(int, bitrate);
    QFETCH(int, flowControl);
    QFETCH(int, termcharCode);
    QFETCH(int, block4882);
    QFETCH(int, peltaSafu);

    ModuleState state = m_bench->module.state();
    state.bitrate = bitrate;
    state.stopbits = 2;
    state.flowControl = quint8(flowControl);
    state.termcharCode = quint8(termcharCode);
    state.block4882 = quint8(block4882);
    state.idnQuery = "*ID?";
    state.peltaSafu = quint8(peltaSafu);
    m_bench->module.setState(state);
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());

    const auto *bitrateBox = m_bench->widget<QComboBox>("cboBitrate");
    QTEST(bitrateBox->currentText(), "bitrateShown");
    QCOMPARE(bitrateBox->currentIndex() < 0, bitrateBox->currentText().isEmpty());
    QCOMPARE(m_bench->widget<QComboBox>("cboStopbits")->currentText(), QString("2"));
    QTEST(m_bench->widget<QComboBox>("cboFlowControl")->currentText(), "flowShown");
    QTEST(m_bench->widget<QLineEdit>("txtTermcharCode")->text(), "termShown");
    QTEST(m_bench->widget<QLineEdit>("txtIdnQuery")->text(), "queryShown");
    QTEST(m_bench->widget<QLineEdit>("txtTermcharCode")->isEnabled(), "fieldsEnabled");
    QTEST(m_bench->widget<QLineEdit>("txtIdnQuery")->isEnabled(), "fieldsEnabled");
    QTEST(m_bench->widget<QCheckBox>("chk4882Block")->isChecked(), "blockChecked");
    QTEST(m_bench->widget<QCheckBox>("chk4882Block")->isEnabled(), "blockEnabled");
    QCOMPARE(m_bench->widget<QCheckBox>("chkPeltaSafu")->isChecked(), peltaSafu != 0);
}

// Rejected replies change nothing and leave the settings unread, though
// they end the reading. A burst of them leaves one debug line; the next
// line, a second later, counts the rest.
void TestMainWindow::rejectedRepliesChangeNothing()
{
    DebugLog log;
    m_bench->module.setShortReplies(true);
    m_bench->startWindow();
    QTRY_COMPARE(log.lines().filter("shorter than its layout").size(), 1);
    const QLabel *connection = m_bench->widget<QLabel>("lblConnectInfo");
    QTRY_VERIFY(connection->text().endsWith(", but its replies were too short to read"));
    QVERIFY(tipText(connection).endsWith(", but its replies were too short to read: its module information, its "
                                         "RS232C settings and its USBTMC settings"));

    QCOMPARE(m_bench->widget<QLabel>("lblVersion")->text(), QString("1"));
    QCOMPARE(m_bench->widget<QComboBox>("cboBitrate")->currentText(), QString("115200"));
    QCOMPARE(m_bench->widget<QLineEdit>("txtTermcharCode")->text(), QString());
    QCOMPARE(m_bench->widget<QLineEdit>("txtAutoSpollIntv")->text(), QString());

    m_bench->action("action_UsbtmcSync_To")->trigger();
    QCOMPARE(m_bench->boxes.texts().size(), 1);
    QVERIFY(m_bench->boxes.texts().at(0).endsWith("Use Device → Refresh first."));
    QCOMPARE(m_bench->module.received(), ReadBackRequests);

    QTest::qWait(1000);
    m_bench->module.sendRaw(hex("4d30050100"));
    QTRY_COMPARE(log.lines().size(), 2);
    QCOMPARE(log.lines().at(1), QString("Ignored a USBTMC settings reply shorter than its layout: 4d 30 05 01 00 "
                                        "(2 more rejected replies were not logged)"));
    QCOMPARE(m_bench->boxes.texts().size(), 1);
}

void TestMainWindow::faultyLineGivesSameResult_data()
{
    QTest::addColumn<int>("chunkSize");
    QTest::addColumn<bool>("unknownFrames");

    QTest::newRow("single bytes") << 1 << false;
    QTest::newRow("unknown frames between replies") << 0 << true;
    QTest::newRow("both") << 3 << true;
}

void TestMainWindow::faultyLineGivesSameResult()
{
    QFETCH(int, chunkSize);
    QFETCH(bool, unknownFrames);

    ModuleState state = m_bench->module.state();
    state.hostIsUsb = true;
    state.bitrate = 38400;
    state.flowControl = 2;
    state.block4882 = 0;
    state.termcharCode = 0x0D;
    state.idnQuery = "ID?";
    state.autoSpoll = 1;
    state.autoSpollIntv = 4321;
    m_bench->module.setState(state);
    m_bench->module.setChunkSize(chunkSize);
    m_bench->module.setUnknownFrames(unknownFrames);
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());

    QCOMPARE(m_bench->widget<QLabel>("lblVersion")->text(), QString(state.version));
    QCOMPARE(m_bench->widget<QLabel>("lblIOType")->text(), QString("USB"));
    QCOMPARE(m_bench->widget<QLabel>("lblIdnString")->text(), QString(state.idnString));
    QCOMPARE(m_bench->widget<QComboBox>("cboBitrate")->currentText(), QString("38400"));
    QCOMPARE(m_bench->widget<QComboBox>("cboFlowControl")->currentText(), QString("HARDWARE"));
    QCOMPARE(m_bench->widget<QLineEdit>("txtTermcharCode")->text(), QString("0x0D"));
    QCOMPARE(m_bench->widget<QLineEdit>("txtIdnQuery")->text(), QString("ID?"));
    QVERIFY(m_bench->widget<QCheckBox>("chkAutoSpoll")->isChecked());

    m_bench->action("action_Factory_Default")->trigger();
    QTRY_COMPARE(m_bench->boxes.texts().size(), 2);
    QVERIFY(m_bench->boxes.texts().at(1).startsWith("Factory Default complete!"));
}

void TestMainWindow::writesRs232cSettingsAndRefreshes()
{
    m_bench->startWindow();
    m_bench->window->show();
    QVERIFY(m_bench->waitForReadBack());

    m_bench->widget<QComboBox>("cboBitrate")->setCurrentText("115200");
    m_bench->widget<QComboBox>("cboStopbits")->setCurrentText("2");
    m_bench->widget<QComboBox>("cboFlowControl")->setCurrentText("SOFTWARE");
    QTest::mouseClick(m_bench->widget<QCheckBox>("chk4882Block"), Qt::LeftButton);
    QVERIFY(m_bench->widget<QLineEdit>("txtIdnQuery")->isEnabled());
    m_bench->widget<QLineEdit>("txtTermcharCode")->setText("0x0D");
    m_bench->widget<QLineEdit>("txtIdnQuery")->setText("ID?");
    QTest::mouseClick(m_bench->widget<QCommandLinkButton>("btnRs232cSyncTo"), Qt::LeftButton);

    QTRY_COMPARE(m_bench->boxes.texts().size(), 2);
    QCOMPARE(m_bench->boxes.texts().at(0), QString("Wish to synchronise RS232C settings to the ZORVEL?"));
    QCOMPARE(m_bench->boxes.texts().at(1), QString("RS232C setting sync complete!\n"
                                             "You need power-cycle the ZORVEL for the new settings to take effect."));
    QCOMPARE(m_bench->boxes.titles(), QStringList({ "ZORVEL", "ZORVEL" }));
    QCOMPARE(m_bench->module.requests().last().toHex(' '),
             hex("4d300219" "00c20100" "02" "01" "0d" "00" "49443f00000000000000000000000000" "00").toHex(' '));

    const ModuleState stored = m_bench->module.state();
    QCOMPARE(stored.bitrate, 115200);
    QCOMPARE(stored.flowControl, quint8(1));
    QCOMPARE(stored.idnQuery, QByteArray("ID?"));

    m_bench->widget<QComboBox>("cboBitrate")->setCurrentText("1200");
    m_bench->widget<QLineEdit>("txtIdnQuery")->setText("changed");
    QVERIFY(m_bench->refresh());
    QCOMPARE(m_bench->widget<QComboBox>("cboBitrate")->currentText(), QString("115200"));
    QCOMPARE(m_bench->widget<QComboBox>("cboFlowControl")->currentText(), QString("SOFTWARE"));
    QCOMPARE(m_bench->widget<QLineEdit>("txtIdnQuery")->text(), QString("ID?"));
}

void TestMainWindow::sendsTypedNumbers_data()
{
    QTest::addColumn<QString>("termchar");
    QTest::addColumn<QString>("interval");
    QTest::addColumn<QByteArray>("termByte");
    QTest::addColumn<QByteArray>("intervalBytes");

    QTest::newRow("0x0d, 0") << "0x0d" << "0" << hex("0d") << hex("00000000");
    QTest::newRow("1B, 250") << "1B" << "250" << hex("1b") << hex("fa000000");
    QTest::newRow("0xff, largest interval") << "0xff" << "2147483647" << hex("ff") << hex("ffffff7f");
    QTest::newRow("0X00, leading zeros") << "0X00" << "007" << hex("00") << hex("07000000");
}

void TestMainWindow::sendsTypedNumbers()
{
    QFETCH(QString, termchar);
    QFETCH(QString, interval);

    ModuleState state = m_bench->module.state();
    state.block4882 = 0;
    m_bench->module.setState(state);
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());

    m_bench->widget<QLineEdit>("txtTermcharCode")->setText(termchar);
    m_bench->widget<QLineEdit>("txtAutoSpollIntv")->setText(interval);
    m_bench->action("action_Rs232cSync_To")->trigger();
    QTRY_COMPARE(m_bench->boxes.texts().size(), 2);
    m_bench->action("action_UsbtmcSync_To")->trigger();
    QTRY_COMPARE(m_bench->boxes.texts().size(), 4);

    const QList<QByteArray> requests = m_bench->module.requests();
    QCOMPARE(requests.size(), 5);
    QTEST(requests.at(3).mid(10, 1), "termByte");
    QTEST(requests.at(4).mid(5, 4), "intervalBytes");
}

void TestMainWindow::refusedWriteSendsNothing_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QByteArray>("moduleQuery");
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("warning");

    const QString rs232c = "action_Rs232cSync_To";
    const QString usbtmc = "action_UsbtmcSync_To";
    const QString termchar = "txtTermcharCode";
    const QString interval = "txtAutoSpollIntv";
    const QString notRead = "have not been read from the ZORVEL yet.\nUse Device → Refresh first.";
    const QString badTermchar = "Termchar Code must be a hexadecimal number from 0x00 to 0xFF, for example 0x0A.";
    const QString badInterval = "Auto Serial Polling Interval [ms] must be a whole number from 0 to 2147483647, "
                                "for example 1000.";
    const QByteArray ascii = "ID?";

    QTest::newRow("silent module, RS232C") << true << ascii << rs232c << "" << "" << notRead;
    QTest::newRow("silent module, USBTMC") << true << ascii << usbtmc << "" << "" << notRead;
    QTest::newRow("termchar zz") << false << ascii << rs232c << termchar << "zz" << badTermchar;
    QTest::newRow("termchar empty") << false << ascii << rs232c << termchar << "" << badTermchar;
    QTest::newRow("termchar 0x1FF") << false << ascii << rs232c << termchar << "0x1FF" << badTermchar;
    QTest::newRow("termchar G") << false << ascii << rs232c << termchar << "G" << badTermchar;
    QTest::newRow("interval empty") << false << ascii << usbtmc << interval << "" << badInterval;
    QTest::newRow("interval abc") << false << ascii << usbtmc << interval << "abc" << badInterval;
    QTest::newRow("interval -5") << false << ascii << usbtmc << interval << "-5" << badInterval;
    QTest::newRow("interval 2147483648") << false << ascii << usbtmc << interval << "2147483648" << badInterval;
    QTest::newRow("query € from the module") << false << QByteArray("*ID\xE2\x82\xAC") << rs232c << "" << ""
        << "IDN Query must be at most 15 plain ASCII characters, for example *IDN?";
}

// The write would reach the module before the requests of the following
// refresh, so seeing only two read-backs proves nothing was sent.
void TestMainWindow::refusedWriteSendsNothing()
{
    QFETCH(bool, silent);
    QFETCH(QByteArray, moduleQuery);
    QFETCH(QString, actionName);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, warning);

    ModuleState state = m_bench->module.state();
    state.block4882 = 0;
    state.idnQuery = moduleQuery;
    m_bench->module.setState(state);
    m_bench->module.setSilent(silent);
    m_bench->startWindow();
    QTRY_COMPARE(m_bench->module.received(), ReadBackRequests);
    if (!silent)
        QVERIFY(m_bench->waitForReadBack());
    if (!field.isEmpty())
        m_bench->widget<QLineEdit>(qPrintable(field))->setText(typed);

    m_bench->action(qPrintable(actionName))->trigger();
    QCOMPARE(m_bench->boxes.texts().size(), 1);
    QVERIFY2(m_bench->boxes.texts().at(0).endsWith(warning), qPrintable(m_bench->boxes.texts().at(0)));
    QCOMPARE(m_bench->boxes.icons().at(0), QMessageBox::Warning);
    QCOMPARE(m_bench->boxes.titles().at(0), QString("ZORVEL"));

    m_bench->action("action_Refresh")->trigger();
    QTRY_COMPARE(m_bench->module.received(), ReadBackRequests.repeated(2));
    QCOMPARE(m_bench->module.state(), state);
}

void TestMainWindow::queryFieldTakesPrintableAscii()
{
    m_bench->startWindow();
    m_bench->window->show();
    auto *query = m_bench->widget<QLineEdit>("txtIdnQuery");
    for (const QChar c : QString("*id é€~?0123456789ABCDEF")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, c);
        QApplication::sendEvent(query, &press);
    }
    QCOMPARE(query->text(), QString("*id ~?012345678"));
}

void TestMainWindow::writesUsbtmcSettingsAndResets()
{
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());

    m_bench->widget<QCheckBox>("chkAutoSpoll")->setChecked(true);
    m_bench->widget<QLineEdit>("txtAutoSpollIntv")->setText("1000");
    QTest::mouseClick(m_bench->widget<QCommandLinkButton>("btnUsbtmcSyncTo"), Qt::LeftButton);
    QTRY_COMPARE(m_bench->boxes.texts().size(), 2);
    QCOMPARE(m_bench->boxes.texts().at(0), QString("Wish to synchronise USBTMC settings to the ZORVEL?"));
    QCOMPARE(m_bench->boxes.texts().at(1), QString("USBTMC setting sync complete!\n"
                                             "You need power-cycle the ZORVEL for the new settings to take effect."));
    QCOMPARE(m_bench->module.requests().last(), hex("4d30040501e8030000"));
    QCOMPARE(m_bench->module.state().autoSpoll, quint8(1));

    m_bench->action("action_Factory_Default")->trigger();
    QTRY_COMPARE(m_bench->boxes.texts().size(), 4);
    QCOMPARE(m_bench->boxes.texts().at(2), QString("Wish to initialise the ZORVEL to Factory Default?"));
    QCOMPARE(m_bench->boxes.texts().at(3), QString("Factory Default complete!\n"
                                             "You need power-cycle the ZORVEL for the new settings to take effect."));
    QCOMPARE(m_bench->module.requests().last(), hex("4d300900"));
    QVERIFY(m_bench->module.state() == SimulatedModule::factoryDefaults());
}

void TestMainWindow::declinedQuestionSendsNothing_data()
{
    QTest::addColumn<QString>("actionName");

    QTest::newRow("RS232C") << "action_Rs232cSync_To";
    QTest::newRow("USBTMC") << "action_UsbtmcSync_To";
    QTest::newRow("factory default") << "action_Factory_Default";
}

// The port delivers in order, so a write sent after No would reach the
// module before the read requests of the following refresh.
void TestMainWindow::declinedQuestionSendsNothing()
{
    QFETCH(QString, actionName);

    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());
    m_bench->boxes.setAnswer(QMessageBox::No);
    m_bench->action(qPrintable(actionName))->trigger();
    QCOMPARE(m_bench->boxes.texts().size(), 1);

    QVERIFY(m_bench->refresh());
    QCOMPARE(m_bench->module.received(), ReadBackRequests.repeated(2));
    QCOMPARE(m_bench->module.state(), SimulatedModule::factoryDefaults());
}

void TestMainWindow::unmatchedChoiceBlocksRs232cWrite()
{
    ModuleState state = m_bench->module.state();
    state.bitrate = 250;
    m_bench->module.setState(state);
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());

    m_bench->action("action_Rs232cSync_To")->trigger();
    QCOMPARE(m_bench->boxes.texts().size(), 1);
    QVERIFY(m_bench->boxes.texts().at(0).startsWith("The RS232C settings were not written."));
    QCOMPARE(m_bench->boxes.icons().at(0), QMessageBox::Warning);

    m_bench->widget<QComboBox>("cboBitrate")->setCurrentText("4800");
    m_bench->action("action_Rs232cSync_To")->trigger();
    QTRY_COMPARE(m_bench->boxes.texts().size(), 3);
    QCOMPARE(m_bench->module.state().bitrate, 4800);
}

void TestMainWindow::interlocksFollowCheckBoxes()
{
    ModuleState state = m_bench->module.state();
    state.block4882 = 0;
    state.peltaSafu = 1;
    m_bench->module.setState(state);
    m_bench->startWindow();
    m_bench->window->show();
    QVERIFY(m_bench->waitForReadBack());

    auto *pelta = m_bench->widget<QCheckBox>("chkPeltaSafu");
    auto *block = m_bench->widget<QCheckBox>("chk4882Block");
    auto *termchar = m_bench->widget<QLineEdit>("txtTermcharCode");
    auto *query = m_bench->widget<QLineEdit>("txtIdnQuery");
    QVERIFY(block->isChecked() && !block->isEnabled());

    QTest::mouseClick(pelta, Qt::LeftButton);
    QVERIFY(!pelta->isChecked());
    QVERIFY(block->isChecked() && block->isEnabled());
    QVERIFY(!termchar->isEnabled() && !query->isEnabled());

    QTest::mouseClick(block, Qt::LeftButton);
    QVERIFY(!block->isChecked());
    QVERIFY(termchar->isEnabled() && query->isEnabled());
    QCOMPARE(termchar->text(), QString("0x0A"));
    QCOMPARE(query->text(), QString("*IDN?"));

    termchar->setText("0x0D");
    QTest::mouseClick(pelta, Qt::LeftButton);
    QVERIFY(block->isChecked() && !block->isEnabled());
    QCOMPARE(termchar->text(), QString("0x0A"));
    QVERIFY(!termchar->isEnabled());
}

// While the first notice is open, the module sends a module information
// reply and another completion. Both must be handled once the notice
// closes, each once, without any further traffic on the line.
void TestMainWindow::repliesDuringNoticeAreHandledOnce()
{
    m_bench->startWindow();
    m_bench->window->show();
    QVERIFY(m_bench->waitForReadBack());
    const int requestsBefore = m_bench->module.requests().size();

    m_bench->boxes.setHook([this](QMessageBox *) {
        const QByteArray text = "LATER,";
        const QByteArray info = QByteArray("09.09.09").leftJustified(16, '\0') + char(0x05) + char(text.size()) + text;
        m_bench->module.sendRaw(hex("4d3001") + char(info.size()) + info);
        m_bench->module.sendRaw(hex("4d300400"));
        QVERIFY(m_bench->line.waitUntilDelivered());
    });
    m_bench->module.sendRaw(hex("4d300200"));

    QTRY_COMPARE(m_bench->widget<QLabel>("lblIdnString")->text(), QString("LATER,"));
    QTRY_COMPARE(m_bench->boxes.texts().size(), 2);
    QTest::qWait(100);
    QCOMPARE(m_bench->boxes.texts().size(), 2);
    QVERIFY(m_bench->boxes.texts().at(0).startsWith("RS232C setting sync complete!"));
    QVERIFY(m_bench->boxes.texts().at(1).startsWith("USBTMC setting sync complete!"));
    QCOMPARE(m_bench->widget<QLabel>("lblVersion")->text(), QString("09.09.09"));
    QCOMPARE(m_bench->module.requests().size(), requestsBefore);
}

void TestMainWindow::restartNoticeClosesPortThenWindow()
{
    m_bench->startWindow();
    m_bench->window->show();
    QVERIFY(m_bench->waitForReadBack());

    m_bench->module.sendRestartNotice(1);
    m_bench->module.sendRaw(hex("4d300400"));
    QTRY_COMPARE(m_bench->boxes.texts().size(), 1);
    QVERIFY(m_bench->port.isOpen());
    QVERIFY(m_bench->window->isVisible());

    bool openDuringNotice = true;
    m_bench->boxes.setHook([&](QMessageBox *) { openDuringNotice = m_bench->port.isOpen(); });
    m_bench->module.sendRestartNotice(0);
    QTRY_VERIFY(!m_bench->window->isVisible());
    QCOMPARE(m_bench->boxes.texts().last(), QString("The ZORVEL has been restarted. You also need to restart this app."));
    QVERIFY(!openDuringNotice);
    QVERIFY(!m_bench->port.isOpen());
}

void TestMainWindow::lostLineIsReportedOnce()
{
    m_bench->startWindow();
    m_bench->window->show();
    QVERIFY(m_bench->waitForReadBack());
    DebugLog log;

    m_bench->module.closeLine();
    QTRY_VERIFY(!m_bench->port.isOpen());
    QTest::qWait(200);

    QCOMPARE(log.lines().filter("SerialPortError = ").size(), 1);
    QCOMPARE(m_bench->widget<QLabel>("lblConnectInfo")->text(), QString("Disconnected from %1:").arg(m_bench->port.portName()));
    QVERIFY(!m_bench->action("action_Refresh")->isEnabled());
    QVERIFY(!m_bench->widget<QCommandLinkButton>("btnRs232cSyncTo")->isEnabled());
    QVERIFY(m_bench->boxes.texts().isEmpty());

    // An error signalled after the port was closed is logged as well.
    m_bench->port.close();
    QCOMPARE(log.lines().filter("SerialPortError = ").size(), 2);
    QCOMPARE(log.lines().last(), QString("SerialPortError = %1").arg(int(QSerialPort::NotOpenError)));
}

void TestMainWindow::interruptedQuestionSendsNothing_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("details");

    const QString reset = "action_Factory_Default";
    const QString lost = "Nothing was written: the connection to the ZORVEL was lost.\nReconnect the SERVICE PORT "
                         "and restart this app.";
    QTest::newRow("line lost, noticed before the answer") << "line lost, noticed" << reset << lost << "";
    QTest::newRow("line lost, found on the way out") << "line lost" << reset << lost << "";
    const QString restarted = "The ZORVEL has been restarted. You also need to restart this app.";
    const QString nothingWritten = "Nothing was written: the ZORVEL restarted before the write went out.";
    QTest::newRow("restart notice, RS232C") << "restart" << "action_Rs232cSync_To" << restarted << nothingWritten;
    QTest::newRow("restart notice, USBTMC") << "restart" << "action_UsbtmcSync_To" << restarted << nothingWritten;
    QTest::newRow("restart notice, factory default") << "restart" << reset << restarted << nothingWritten;
    QTest::newRow("restart notice read while asking") << "restart, noticed" << reset
        << nothingWritten + "\nRestart this app once the ZORVEL is back." << "";
}

// The module restarts, or the line goes, while the question is open; the
// answer is yes. Unless the window reads it while the question is open, the
// restart notice waits unread in the system when the question closes: the
// write must take it in before it goes out.
void TestMainWindow::interruptedQuestionSendsNothing()
{
    QFETCH(QString, event);
    QFETCH(QString, actionName);
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());
    const int requestsBefore = m_bench->module.requests().size();

    if (event.endsWith("noticed"))
        m_bench->boxes.setAnswerDelay(300);
    m_bench->boxes.setHook([this, event](QMessageBox *) {
        if (event.startsWith("restart")) {
            m_bench->module.sendRestartNotice();
            m_bench->line.waitUntilDelivered();
        } else {
            m_bench->module.closeLine();
        }
    });
    m_bench->action(qPrintable(actionName))->trigger();

    // A restart found as the request leaves is reported once the request's
    // call has returned.
    QFETCH(QString, text);
    QTRY_COMPARE(m_bench->boxes.texts().last(), text);
    QTEST(m_bench->boxes.informativeTexts().last(), "details");
    const bool warning = event.startsWith("line") || event.endsWith("noticed");
    QCOMPARE(m_bench->boxes.icons().last(), warning ? QMessageBox::Warning : QMessageBox::Information);
    QCOMPARE(m_bench->module.requests().size(), requestsBefore);
    QVERIFY(!m_bench->port.isOpen());
    if (event.startsWith("line"))
        QVERIFY(m_bench->widget<QLabel>("lblConnectInfo")->text().startsWith("Disconnected from "));
}

void TestMainWindow::writeWithoutItsReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("details");

    const QString question = "Wish to synchronise RS232C settings to the ZORVEL?";
    QTest::newRow("no reply") << "none"
        << QStringList { question, "The write of the RS232C settings went out to the ZORVEL, but no reply confirmed "
                                   "it within 3 seconds: whether the ZORVEL carried it out is unknown.\nChoose "
                                   "Device → Refresh to see what the ZORVEL holds." } << QString();
    QTest::newRow("a restart notice instead") << "restart"
        << QStringList { question, "The ZORVEL has been restarted. You also need to restart this app." }
        << "The write of the RS232C settings had gone out; whether the ZORVEL carried it out before it restarted "
           "is unknown.\nStart this app again to see what the ZORVEL holds.";
    // A second write, refused as the line fell out of step meanwhile, takes
    // nothing from the first one's wait.
    QTest::newRow("a refused write meanwhile") << "refused"
        << QStringList { question, "Wish to synchronise USBTMC settings to the ZORVEL?",
                         "Nothing was written: the ZORVEL sent bytes that are not a frame, so the line is out of "
                         "step and a restart notice among them could go unseen.\nChoose Device → Refresh to read "
                         "the ZORVEL again, then write.",
                         "The write of the RS232C settings went out to the ZORVEL, but no reply confirmed it within "
                         "3 seconds: whether the ZORVEL carried it out is unknown.\nChoose Device → Refresh to see "
                         "what the ZORVEL holds." } << QString();
    QTest::newRow("the reply twice") << "twice"
        << QStringList { question, "RS232C setting sync complete!\nYou need power-cycle the ZORVEL for the new "
                                   "settings to take effect." } << QString();
}

// A write that the module does not confirm is reported as a read-back that
// goes unanswered is; a reply that comes twice is one notice.
void TestMainWindow::writeWithoutItsReply()
{
    QFETCH(QString, reply);
    QFETCH(QStringList, texts);
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());
    m_bench->module.setSilent(reply != "twice");
    connect(&m_bench->module, &SimulatedModule::requestReceived, this, [&](const QByteArray &frame) {
        if (frame.at(2) != 2)
            return;
        if (reply == "restart")
            m_bench->module.sendRestartNotice();
        else if (reply == "refused")
            m_bench->module.sendRaw(QByteArray("\x01\x02garbage"));
        else if (reply == "twice")
            m_bench->module.sendRaw(hex("4d300200"));
    });
    m_bench->edit({ "cboBitrate=19200" });
    DebugLog log;
    QElapsedTimer clock;
    clock.start();
    m_bench->action("action_Rs232cSync_To")->trigger();
    if (reply == "refused") {
        QTRY_COMPARE(m_bench->module.requests().last().at(2), char(2));
        // The window may have taken the bytes in already.
        m_bench->line.waitUntilDelivered();
        m_bench->action("action_UsbtmcSync_To")->trigger();
    }

    QTRY_COMPARE_WITH_TIMEOUT(m_bench->boxes.texts().size(), texts.size(), 5000);
    QVERIFY(clock.elapsed() < 4500);
    if (reply == "twice")
        QTRY_COMPARE(log.lines().filter("repeats the one before").size(), 1);
    QCOMPARE(m_bench->boxes.texts(), texts);
    QTEST(m_bench->boxes.informativeTexts().last(), "details");
    if (reply == "none") {
        const QLabel *connection = m_bench->widget<QLabel>("lblConnectInfo");
        QVERIFY(connection->text().endsWith("but the ZORVEL did not confirm the write"));
        QVERIFY(tipText(connection).endsWith("but the ZORVEL did not confirm the write of the RS232C settings"));
    }
}

// Bytes that are not a frame hide what follows them under the length-byte
// rule, here a restart notice that comes while the question is open: the
// write is refused, until a read-back has brought the line back in step.
void TestMainWindow::lineOutOfStepWritesNothing()
{
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());
    const int requestsBefore = m_bench->module.requests().size();
    bool sent = false;
    m_bench->boxes.setHook([&](QMessageBox *) {
        if (std::exchange(sent, true))
            return;
        m_bench->module.sendRaw(QByteArray("\x01\x02garbage"));
        m_bench->module.sendRestartNotice();
        m_bench->line.waitUntilDelivered();
    });
    m_bench->action("action_Factory_Default")->trigger();
    QCOMPARE(m_bench->boxes.texts().last(),
             QString("Nothing was written: the ZORVEL sent bytes that are not a frame, so the line is out of step "
                     "and a restart notice among them could go unseen.\nChoose Device → Refresh to read the ZORVEL "
                     "again, then write."));
    QCOMPARE(m_bench->module.requests().size(), requestsBefore);

    QVERIFY(m_bench->refresh());
    m_bench->action("action_Factory_Default")->trigger();
    QTRY_COMPARE(m_bench->module.requests().last(), hex("4d300900"));
}

void TestMainWindow::helpOpensManualBesideProgram()
{
    QVERIFY(placeBesideProgram("help/manual.html"));
    m_bench->startWindow();
    UrlCatcher catcher;
    m_bench->action("action_Help_Contents")->trigger();

    QCOMPARE(catcher.urls, QList<QUrl>({ QUrl::fromLocalFile(besideProgram("help/manual.html")) }));
    QVERIFY(m_bench->boxes.texts().isEmpty());
}

void TestMainWindow::fieldsAreNamedAndExplained_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tipHolds");

    QTest::newRow("bitrate") << "cboBitrate" << "Bitrate" << "115200, 57600, 38400, 19200, 9600, 4800, 2400, 1200";
    QTest::newRow("stop bits") << "cboStopbits" << "Stopbits" << "2, 1";
    QTest::newRow("flow control") << "cboFlowControl" << "Flow Control" << "NONE, HARDWARE, SOFTWARE";
    QTest::newRow("terminator") << "txtTermcharCode" << "Termchar Code" << "0x00 to 0xFF";
    QTest::newRow("block transfer") << "chk4882Block" << "Support 488.2 Block Transfer" << "*IDN?";
    QTest::newRow("query") << "txtIdnQuery" << "IDN Query" << "at most 15 printable ASCII";
    QTest::newRow("PELTA") << "chkPeltaSafu" << "Use PELTA Protocol" << "488.2 Block Transfer";
    QTest::newRow("polling") << "chkAutoSpoll" << "Enable Auto Serial Polling" << "poll";
    QTest::newRow("interval") << "txtAutoSpollIntv" << "Auto Serial Polling Interval [ms]" << "0 to 2147483647";
}

// A screen reader names each field by its caption, not by its value: on
// Windows through the field's own name, on Linux through the label it is
// the buddy of. Every field says in its tip what it takes, and no widget
// that takes the focus goes unnamed.
void TestMainWindow::fieldsAreNamedAndExplained()
{
    QFETCH(QString, field);
    QFETCH(QString, caption);
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());

    auto *named = m_bench->widget<QWidget>(qPrintable(field));
    QCOMPARE(named->accessibleName(), caption);
    if (!qobject_cast<QCheckBox *>(named))
        QCOMPARE(labelTexts(named), QStringList(caption + ':'));
    QFETCH(QString, tipHolds);
    QVERIFY2(named->toolTip().contains(tipHolds), qPrintable(named->toolTip()));
    const QStringList unnamed = unnamedFocusableWidgets(m_bench->window.get());
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
    for (const char *button : { "btnRs232cSyncTo", "btnUsbtmcSyncTo" })
        QVERIFY(m_bench->widget<QCommandLinkButton>(button)->toolTip().contains("power-cycled"));
}

void TestMainWindow::tabVisitsFieldsTopToBottom_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("RS232C Host") << 1 << QStringList { "cboBitrate", "cboStopbits", "cboFlowControl", "txtTermcharCode",
                                                       "chk4882Block", "txtIdnQuery", "chkPeltaSafu", "btnRs232cSyncTo" };
    QTest::newRow("USBTMC Host") << 2 << QStringList { "chkAutoSpoll", "txtAutoSpollIntv", "btnUsbtmcSyncTo" };
}

// Tab goes from the tab's first field down to its Sync button.
void TestMainWindow::tabVisitsFieldsTopToBottom()
{
    QFETCH(int, tab);
    QFETCH(QStringList, order);
    ModuleState state = m_bench->module.state();
    state.block4882 = 0;
    m_bench->module.setState(state);
    m_bench->startWindow();
    m_bench->window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_bench->window.get()));
    QVERIFY(m_bench->waitForReadBack());

    m_bench->widget<QTabWidget>("tabWidget")->setCurrentIndex(tab);
    m_bench->widget<QWidget>(qPrintable(order.first()))->setFocus();
    QStringList visited { QApplication::focusWidget()->objectName() };
    for (int i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, order);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
