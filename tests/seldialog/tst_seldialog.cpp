// The selection dialog. It runs from a folder of its own, so that each test
// decides whether the manual and the driver launcher are beside the program.

#include "accessiblenames.h"
#include "debuglog.h"
#include "modalanswerer.h"
#include "programfolder.h"
#include "seldialog.h"
#include "serviceport.h"
#include "urlcatcher.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

const QString Manual = "help/manual.html";
const QString Launcher = "usbdrv/Tarnwick.exe";

bool machineHasServicePort()
{
    const auto ports = QSerialPortInfo::availablePorts();
    return std::any_of(ports.cbegin(), ports.cend(),
                       [](const QSerialPortInfo &port) { return isServicePort(port.description()); });
}

} // namespace

class TestSelDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void filtersOnDescription_data();
    void filtersOnDescription();
    void logsEveryPort();
    void offersDriverWithoutPort_data();
    void offersDriverWithoutPort();
    void helpLeavesDialogOpen_data();
    void helpLeavesDialogOpen();
    void driverButtonLooksBesideProgram_data();
    void driverButtonLooksBesideProgram();
    void driverButtonExplainsLinuxAndStaysOpen();
    void entriesTellModulesApart();

private:
    template<typename T> T *child(const SelDialog &dialog, const char *name) const;
    bool openAfterPresses(SelDialog &dialog, const char *button, int presses);
};

void TestSelDialog::init()
{
    removeBesideProgram(Manual);
    removeBesideProgram(Launcher);
}

template<typename T>
T *TestSelDialog::child(const SelDialog &dialog, const char *name) const
{
    return dialog.findChild<T *>(name);
}

// Presses the button while the dialog runs modally, then tells whether the
// dialog was still open, and closes it.
bool TestSelDialog::openAfterPresses(SelDialog &dialog, const char *button, int presses)
{
    bool open = false;
    QTimer::singleShot(0, &dialog, [&] {
        for (int i = 0; i < presses; ++i)
            child<QPushButton>(dialog, button)->click();
        open = dialog.isVisible();
        dialog.close();
    });
    dialog.exec();
    return open;
}

void TestSelDialog::filtersOnDescription_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("listed");

    QTest::newRow("the module's word alone") << "ZORVEL" << true;
    QTest::newRow("within a longer text") << "USB Serial (ZORVEL Service Port)" << true;
    QTest::newRow("run into other letters") << "XZORVELX" << true;
    QTest::newRow("other letter case") << "Zorvel Service Port" << false;
    QTest::newRow("lower case") << "zorvel" << false;
    QTest::newRow("another device") << "Communications Port" << false;
    QTest::newRow("empty") << "" << false;
}

void TestSelDialog::filtersOnDescription()
{
    QFETCH(QString, description);
    QTEST(isServicePort(description), "listed");
    QCOMPARE(SelDialog::itemText("COM3", description), "COM3:" + description);
}

// Each enumerated port leaves six lines, listed or not, so a user can see
// why a port is missing from the list.
void TestSelDialog::logsEveryPort()
{
    QStringList lines;
    {
        DebugLog log;
        SelDialog dialog(nullptr);
        lines = log.lines();
    }

    const auto ports = QSerialPortInfo::availablePorts();
    QCOMPARE(lines.size(), 6 * ports.size());
    for (int i = 0; i < ports.size(); ++i) {
        const QStringList block = lines.mid(6 * i, 6);
        QCOMPARE(block.at(0), QString("\nPort: \"%1\"").arg(ports.at(i).portName()));
        QVERIFY(block.at(1).startsWith("Location:"));
        QVERIFY(block.at(2).startsWith("Description:"));
        QVERIFY(block.at(3).startsWith("Manufacturer:"));
        QVERIFY(block.at(4).startsWith("Vendor Identifier:"));
        QVERIFY(block.at(5).startsWith("Product Identifier:"));
    }
}

void TestSelDialog::offersDriverWithoutPort_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("closes");

    QTest::newRow("Quit") << "cmdQuit" << true;
    QTest::newRow("Start To Edit is disabled") << "cmdStart" << false;
    QTest::newRow("window closed") << "" << true;
}

void TestSelDialog::offersDriverWithoutPort()
{
    if (machineHasServicePort())
        QSKIP("This machine has a ZORVEL service port");
    QFETCH(QString, button);
    QFETCH(bool, closes);

    UrlCatcher catcher;
    SelDialog dialog(nullptr);
    QCOMPARE(child<QLabel>(dialog, "lblMessage")->text(), QString("No ZORVEL Service Port is found"));
    QVERIFY(!child<QPushButton>(dialog, "cmdStart")->isEnabled());
    QVERIFY(child<QComboBox>(dialog, "cboServicePort")->isHidden());
    QVERIFY(!child<QPushButton>(dialog, "cmdDriverWizard")->isHidden());
    QVERIFY(!child<QPushButton>(dialog, "cmdHelp")->isHidden());
    QCOMPARE(dialog.minimumSize(), QSize(465, 138));
    QCOMPARE(dialog.maximumSize(), QSize(465, 138));

    bool closed = false;
    QTimer::singleShot(0, &dialog, [&] {
        if (button.isEmpty())
            dialog.close();
        else
            QTest::mouseClick(child<QPushButton>(dialog, qPrintable(button)), Qt::LeftButton);
        closed = !dialog.isVisible();
        dialog.close();
    });
    dialog.exec();

    QCOMPARE(closed, closes);
    QVERIFY(dialog.selectedPort.portName().isEmpty());
    QVERIFY(catcher.urls.isEmpty());
}

void TestSelDialog::helpLeavesDialogOpen_data()
{
    QTest::addColumn<bool>("manualThere");

    QTest::newRow("manual beside the program") << true;
    QTest::newRow("manual missing") << false;
}

void TestSelDialog::helpLeavesDialogOpen()
{
    QFETCH(bool, manualThere);
    if (manualThere)
        QVERIFY(placeBesideProgram(Manual));
    UrlCatcher catcher;
    ModalAnswerer boxes;
    SelDialog dialog(nullptr);
    QVERIFY(openAfterPresses(dialog, "cmdHelp", 2));

    const QString manual = besideProgram(Manual);
    if (manualThere) {
        QCOMPARE(catcher.urls, QList<QUrl>({ QUrl::fromLocalFile(manual), QUrl::fromLocalFile(manual) }));
        QVERIFY(boxes.texts().isEmpty());
    } else {
        QVERIFY(catcher.urls.isEmpty());
        const QString warning = manual + " could not be opend\n"
                                         "Reinstall the program if the file is missing, or open it with your web browser.";
        QCOMPARE(boxes.texts(), QStringList({ warning, warning }));
        QCOMPARE(boxes.titles(), QStringList({ "ZORVEL", "ZORVEL" }));
        QCOMPARE(boxes.icons().at(0), QMessageBox::Warning);
    }
}

// Found beside the program, the launcher goes to the desktop and the dialog
// closes; otherwise a warning names the missing file and the dialog stays.
// A launcher in the working folder is not used.
void TestSelDialog::driverButtonLooksBesideProgram_data()
{
    QTest::addColumn<bool>("launcherThere");

    QTest::newRow("beside the program") << true;
    QTest::newRow("only in the working folder") << false;
}

void TestSelDialog::driverButtonLooksBesideProgram()
{
#ifdef Q_OS_LINUX
    QSKIP("On Linux the driver button explains instead (driverButtonExplainsLinuxAndStaysOpen)");
#endif
    QFETCH(bool, launcherThere);
    if (launcherThere)
        QVERIFY(placeBesideProgram(Launcher));
    QTemporaryDir workingFolder;
    QVERIFY(QDir(workingFolder.path()).mkpath("usbdrv"));
    QVERIFY(QFile(workingFolder.filePath(Launcher)).open(QIODevice::WriteOnly));
    const QString previousFolder = QDir::currentPath();
    QDir::setCurrent(workingFolder.path());
    UrlCatcher catcher;
    ModalAnswerer boxes;
    SelDialog dialog(nullptr);
    const bool open = openAfterPresses(dialog, "cmdDriverWizard", 1);
    QDir::setCurrent(previousFolder);

    const QString launcher = besideProgram(Launcher);
    QCOMPARE(open, !launcherThere);
    QVERIFY(dialog.selectedPort.portName().isEmpty());
    QCOMPARE(catcher.urls, launcherThere ? QList<QUrl>({ QUrl::fromLocalFile(launcher) }) : QList<QUrl>());
    QCOMPARE(boxes.texts(), launcherThere ? QStringList()
                                          : QStringList(launcher + " could not be started.\n"
                                                                   "Reinstall the program, then try again."));
    QCOMPARE(boxes.titles(), launcherThere ? QStringList() : QStringList("ZORVEL"));
}

// One information box, pressed twice; the dialog stays open for Help and
// Quit, and nothing goes to the desktop.
void TestSelDialog::driverButtonExplainsLinuxAndStaysOpen()
{
    UrlCatcher catcher;
    ModalAnswerer answerer;
    SelDialog dialog(nullptr);
    QVERIFY(openAfterPresses(dialog, "cmdDriverWizard", 2));

    QVERIFY(catcher.urls.isEmpty());
    QVERIFY(dialog.selectedPort.portName().isEmpty());
    QCOMPARE(answerer.titles(), QStringList({ "ZORVEL", "ZORVEL" }));
    QCOMPARE(answerer.icons().value(0), QMessageBox::Information);
    const QString text = answerer.texts().value(0);
    for (const char *hint : { "Linux needs no driver", "udev rule", "/dev/zorvel-", "zorvel list --all-ports" })
        QVERIFY2(text.contains(hint), qPrintable(text));
}

// Two modules look alike in the list; each entry's tip tells them apart by
// the port's USB serial number, maker and location. A screen reader names
// the list by its caption, and every button by its text.
void TestSelDialog::entriesTellModulesApart()
{
    SelDialog dialog({ { "ttyS0", "Built-in serial port", QString(), "/dev/ttyS0", QString() },
                       { "ttyACM0", "ZORVEL Service Port", "ZV0001", "/dev/ttyACM0", "ZORVEL" },
                       { "ttyACM1", "ZORVEL Service Port", QString(), "/dev/ttyACM1", QString() } },
                     nullptr);
    auto *box = child<QComboBox>(dialog, "cboServicePort");
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->itemText(0), QString("ttyACM0:ZORVEL Service Port"));
    QCOMPARE(box->itemData(0, Qt::ToolTipRole).toString(),
             QString("USB serial number: ZV0001\nManufacturer: ZORVEL\nLocation: /dev/ttyACM0"));
    QCOMPARE(box->itemData(1, Qt::ToolTipRole).toString(),
             QString("USB serial number: none\nManufacturer: none\nLocation: /dev/ttyACM1"));
    QCOMPARE(box->toolTip(), box->itemData(0, Qt::ToolTipRole).toString());
    box->setCurrentIndex(1);
    QCOMPARE(box->toolTip(), box->itemData(1, Qt::ToolTipRole).toString());

    QCOMPARE(box->accessibleName(), QString("Select a ZORVEL Service Port"));
    QCOMPARE(labelTexts(box), QStringList("Select a ZORVEL Service Port:"));
    const QStringList unnamed = unnamedFocusableWidgets(&dialog);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
}

QTEST_MAIN(TestSelDialog)
#include "tst_seldialog.moc"
