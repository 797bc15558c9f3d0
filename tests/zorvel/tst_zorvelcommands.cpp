#include "commandbench.h"
#include "testhelpers.h"

#include <QtTest>

#include <sys/stat.h>

#include <memory>

namespace {

const QString PowerCycle = "Power-cycle the ZORVEL for the new settings to take effect.\n";
const QString Silent = "no reply within 200 ms; check that the SERVICE PORT cable is plugged in, that the ZORVEL "
                       "is switched on and that this is its port";
const QByteArray PollingOn = "4d 30 04 05 01 e8 03 00 00";

} // namespace

// The commands run in this process against simulated modules on
// pseudo-terminals, which answer while the commands wait for replies.
class TestZorvelCommands : public QObject {
    Q_OBJECT

private slots:
    void init();
    void list_data();
    void list();
    void showAndExport();
    void document_data();
    void document();
    void setWithInterlocks_data();
    void setWithInterlocks();
    void confirmation_data();
    void confirmation();
    void verifyReadsBack();
    void restartNotice_data();
    void restartNotice();
    void portSelection_data();
    void portSelection();
    void allWithOneSilent();
    void sharedSerialNumberIsRefused();
    void relativePortNameIsThatPath();
    void writeResults_data();
    void writeResults();
    void jsonAndStandardInput_data();
    void jsonAndStandardInput();

private:
    QString writeDocument(const QByteArray &json);

    std::unique_ptr<CommandBench> m_bench;
    QTemporaryDir m_dir;
};

void TestZorvelCommands::init()
{
    m_bench = std::make_unique<CommandBench>();
}

QString TestZorvelCommands::writeDocument(const QByteArray &json)
{
    const QString name = m_dir.filePath("settings.json");
    writeFile(name, json);
    return name;
}

void TestZorvelCommands::list_data()
{
    QTest::addColumn<bool>("windows");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("output");

    QTest::newRow("service ports") << false << QStringList()
        << "ttyACM0  ZORVEL Service Port    SN1  /dev/ttyACM0\n"
           "ttyACM7  ZORVEL Service Port 2  -    /dev/ttyACM7\n";
    QTest::newRow("every port") << false << QStringList { "--all-ports" }
        << "   ttyS0    -                      -    /dev/ttyS0\n"
           "*  ttyACM0  ZORVEL Service Port    SN1  /dev/ttyACM0\n"
           "   ttyUSB0  zorvel look-alike      SN9  /dev/ttyUSB0\n"
           "*  ttyACM7  ZORVEL Service Port 2  -    /dev/ttyACM7\n";
    QTest::newRow("Windows names, backslashes as they are") << true << QStringList()
        << "COM3  ZORVEL Service Port  SN3  \\\\.\\COM3\n";
    QTest::newRow("JSON") << false << QStringList { "--json" }
        << "[\n  {\n    \"port\": \"ttyACM0\",\n    \"description\": \"ZORVEL Service Port\",\n"
           "    \"serialNumber\": \"SN1\",\n    \"systemLocation\": \"/dev/ttyACM0\"\n  },\n"
           "  {\n    \"port\": \"ttyACM7\",\n    \"description\": \"ZORVEL Service Port 2\",\n"
           "    \"serialNumber\": \"\",\n    \"systemLocation\": \"/dev/ttyACM7\"\n  }\n]\n";
}

void TestZorvelCommands::list()
{
    QFETCH(bool, windows);
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    m_bench->systemPorts = { { "ttyS0", QString(), QString(), "/dev/ttyS0", QString() },
                             { "ttyACM0", "ZORVEL Service Port", "SN1", "/dev/ttyACM0", "ZORVEL" },
                             { "ttyUSB0", "zorvel look-alike", "SN9", "/dev/ttyUSB0", QString() },
                             { "ttyACM7", "ZORVEL Service Port 2", QString(), "/dev/ttyACM7", "ZORVEL" } };
    if (windows)
        m_bench->systemPorts = { { "COM3", "ZORVEL Service Port", "SN3", "\\\\.\\COM3", "ZORVEL" } };
    QCOMPARE(m_bench->run(QStringList { "list" } + arguments), 0);
    QCOMPARE(m_bench->output, output);
}

// Show reads the module once; export writes the same document as show
// --json. A bitrate off the list is shown and exported as the number, but a
// document can only keep it, not set it.
void TestZorvelCommands::showAndExport()
{
    ModuleState state = SimulatedModule::factoryDefaults();
    state.version = "02.00.01";
    state.hostIsUsb = true;
    state.customMode = true;
    state.gpibAddress = 17;
    state.idnString = "MAKER,\"MODEL\",42,0.9";
    state.bitrate = 250;
    state.stopbits = 2;
    state.flowControl = 1;
    state.termcharCode = 0x0D;
    state.block4882 = 0;
    state.idnQuery = "ID?";
    state.autoSpoll = 1;
    state.autoSpollIntv = 250;
    m_bench->module().setState(state);

    QCOMPARE(m_bench->run({ "show" }), 0);
    QCOMPARE(m_bench->output, QString("module.port                    %1\n"
                               "module.serialNumber            SN1\n"
                               "module.version                 02.00.01\n"
                               "module.hostInterface           USB\n"
                               "module.gpibAddress             17\n"
                               "module.customMode              true\n"
                               "module.idn                     MAKER,\"MODEL\",42,0.9\n"
                               "rs232c.bitrate                 250\n"
                               "rs232c.stopbits                2\n"
                               "rs232c.flowControl             SOFTWARE\n"
                               "rs232c.termchar                0x0D\n"
                               "rs232c.block4882               false\n"
                               "rs232c.idnQuery                ID?\n"
                               "rs232c.pelta                   false\n"
                               "usbtmc.autoSerialPoll          true\n"
                               "usbtmc.autoSerialPollInterval  250\n").arg(m_bench->path()));
    QCOMPARE(m_bench->module().requests(), (QList<QByteArray> { QByteArray::fromHex("4d300100"), QByteArray::fromHex("4d300300"),
                                                      QByteArray::fromHex("4d300500") }));

    const QString expected = QString(R"({
  "format": "zorvel-settings/1",
  "module": {
    "port": "%1",
    "serialNumber": "SN1",
    "version": "02.00.01",
    "hostInterface": "USB",
    "gpibAddress": 17,
    "customMode": true,
    "idn": "MAKER,\"MODEL\",42,0.9"
  },
  "rs232c": {
    "bitrate": 250,
    "stopbits": 2,
    "flowControl": "SOFTWARE",
    "termchar": "0x0D",
    "block4882": false,
    "idnQuery": "ID?",
    "pelta": false
  },
  "usbtmc": {
    "autoSerialPoll": true,
    "autoSerialPollInterval": 250
  }
}
)").arg(m_bench->path());
    QCOMPARE(m_bench->run({ "show", "--json" }), 0);
    QCOMPARE(m_bench->output, expected);
    QCOMPARE(m_bench->run({ "export" }), 0);
    QCOMPARE(m_bench->output, expected);
    const QString file = m_dir.filePath("exported.json");
    QCOMPARE(m_bench->run({ "export", "-o", file }), 0);
    QFile exported(file);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(exported.readAll()), expected);

    QCOMPARE(m_bench->run({ "apply", file, "--yes" }), 2);
    QCOMPARE(m_bench->errors, "zorvel: " + file + ": rs232c.bitrate = 250: expected one of 115200, 57600, 38400, 19200, "
                                           "9600, 4800, 2400, 1200\n");
    QCOMPARE(m_bench->run({ "apply", writeDocument(expected.toUtf8().replace("\"bitrate\": 250,", "")), "--yes" }), 0);
    QCOMPARE(m_bench->output, QString("nothing to write\n"));
    QCOMPARE(m_bench->writes(), QList<QByteArray>());
}

// Diff prints what apply would write; apply writes only the groups that
// differ, and a second apply of the same document writes nothing. A refused
// document is refused before the port is opened.
void TestZorvelCommands::document_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("diffExit");
    QTest::addColumn<QString>("changes");
    QTest::addColumn<int>("errors");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QString>("written");

    QTest::newRow("values the module holds, module group ignored")
        << QByteArray(R"({"format": "zorvel-settings/1", "module": {"version": "0"}, "rs232c": {"bitrate": 9600}, "usbtmc": {}})") << 0 << QString()
        << 0 << QList<QByteArray>() << QString();
    QTest::newRow("usbtmc only") << QByteArray(R"({"format": "zorvel-settings/1", "usbtmc": {"autoSerialPoll": true}})") << 1
                                 << "usbtmc.autoSerialPoll: false -> true\n" << 0 << QList<QByteArray> { PollingOn }
                                 << "usbtmc";
    QTest::newRow("rs232c only") << QByteArray(R"({"format": "zorvel-settings/1", "rs232c": {"bitrate": 115200, "flowControl": "HARDWARE"}})") << 1
        << "rs232c.bitrate: 9600 -> 115200\nrs232c.flowControl: \"NONE\" -> \"HARDWARE\"\n" << 0
        << QList<QByteArray> { "4d 30 02 19 00 c2 01 00 01 02 0a 01 2a 49 44 4e 3f 00 00 00 00 00 00 00 00 00 00 00 00" }
        << "rs232c";
    QTest::newRow("pelta, its interlocks met") << QByteArray(R"({"format": "zorvel-settings/1", "rs232c": {"pelta": true}})") << 1
        << "rs232c.pelta: false -> true\n" << 0
        << QList<QByteArray> { "4d 30 02 19 80 25 00 00 01 00 0a 01 2a 49 44 4e 3f 00 00 00 00 00 00 00 00 00 00 00 01" }
        << "rs232c";
    QTest::newRow("refused") << QByteArray(R"({"format": "zorvel-settings/1", "rs232c": {"bitrate": 14400, "stopbits": 3}, "extra": 1})") << 2
                             << QString() << 3 << QList<QByteArray>() << QString();
    QTest::newRow("unreadable") << QByteArray("{") << 2 << QString() << 1 << QList<QByteArray>() << QString();
}

void TestZorvelCommands::document()
{
    QFETCH(QByteArray, json);
    QFETCH(int, diffExit);
    QFETCH(QString, changes);
    QFETCH(int, errors);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QString, written);
    const QString file = writeDocument(json);

    QCOMPARE(m_bench->run({ "diff", file, "--port", m_bench->path() }), diffExit);
    // A module that holds the document's values is named all the same.
    QCOMPARE(m_bench->output, diffExit == 0 ? m_bench->path() + " (no serial number): no differences\n" : changes);
    QCOMPARE(m_bench->run({ "apply", file, "--port", m_bench->path(), "--yes" }), diffExit == 2 ? 2 : 0);
    QCOMPARE(m_bench->errors.count("zorvel: " + file + ": "), errors);
    QCOMPARE(m_bench->writes(), frames);
    if (diffExit == 2) {
        QCOMPARE(m_bench->module().received(), QByteArray());
        return;
    }
    QCOMPARE(m_bench->output, frames.isEmpty() ? QString("nothing to write\n")
                                        : changes + "wrote the " + written + " settings\n" + PowerCycle);
    QCOMPARE(m_bench->run({ "apply", file, "--port", m_bench->path(), "--yes" }), 0);
    QCOMPARE(m_bench->output, QString("nothing to write\n"));
    QCOMPARE(m_bench->writes(), frames);
}

// An empty list of frames means the assignments are refused (exit 2).
void TestZorvelCommands::setWithInterlocks_data()
{
    QTest::addColumn<bool>("modulePelta");
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QList<QByteArray>>("frames");

    QTest::newRow("pelta and block transfer off free terminator and query")
        << true << QStringList { "pelta=false", "block4882=false", "termchar=0x0D", "idnQuery=ID?" }
        << QList<QByteArray> { "4d 30 02 19 80 25 00 00 01 00 0d 00 49 44 3f 00 00 00 00 00 00 00 00 00 00 00 00 00 00" };
    QTest::newRow("pelta off keeps block transfer") << true << QStringList { "pelta=false" }
        << QList<QByteArray> { "4d 30 02 19 80 25 00 00 01 00 0a 01 2a 49 44 4e 3f 00 00 00 00 00 00 00 00 00 00 00 00" };
    QTest::newRow("terminator against block transfer")
        << false << QStringList { "termchar=0x0D" } << QList<QByteArray>();
    QTest::newRow("block transfer off against the module's pelta")
        << true << QStringList { "block4882=false" } << QList<QByteArray>();
    QTest::newRow("unknown key") << false << QStringList { "parity=NONE" } << QList<QByteArray>();
}

void TestZorvelCommands::setWithInterlocks()
{
    QFETCH(bool, modulePelta);
    QFETCH(QStringList, assignments);
    QFETCH(QList<QByteArray>, frames);
    ModuleState state = m_bench->module().state();
    state.peltaSafu = modulePelta;
    m_bench->module().setState(state);

    const int exitCode = frames.isEmpty() ? 2 : 0;
    QCOMPARE(m_bench->run(QStringList { "set" } + assignments + QStringList { "--yes", "--port", m_bench->path() }), exitCode);
    QCOMPARE(m_bench->writes(), frames);
}

// The plan first, then one question for the module; a refusal says that
// nothing was written.
void TestZorvelCommands::confirmation_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("answers");
    QTest::addColumn<QString>("errors");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QList<QByteArray>>("frames");

    const QString question = "Write the rs232c and usbtmc settings to the ZORVEL on %1 (no serial number)? [y/N] ";
    const QString refused = question + "zorvel: %1: not confirmed: nothing was written to this module\n";
    const QStringList both { "set", "bitrate=1200", "autoSerialPoll=true" };
    const QList<QByteArray> none;
    QTest::newRow("answered yes") << both << QByteArray("y\n") << question << 0
        << QList<QByteArray> { "4d 30 02 19 b0 04 00 00 01 00 0a 01 2a 49 44 4e 3f 00 00 00 00 00 00 00 00 00 00 00 00",
                               PollingOn };
    QTest::newRow("answered no") << both << QByteArray("n\n") << refused << 2 << none;
    QTest::newRow("empty answer is no") << both << QByteArray("\n") << refused << 2 << none;
    QTest::newRow("end of input is no") << both << QByteArray() << refused << 2 << none;
    QTest::newRow("dry run asks nothing")
        << both + QStringList { "--dry-run" } << QByteArray() << QString() << 0 << none;
    QTest::newRow("reset") << QStringList { "reset" } << QByteArray("Y\n")
        << "Reset the ZORVEL on %1 (no serial number) to factory defaults? [y/N] " << 0
        << QList<QByteArray> { "4d 30 09 00" };
}

void TestZorvelCommands::confirmation()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, answers);
    QFETCH(QString, errors);
    QFETCH(int, exitCode);
    QFETCH(QList<QByteArray>, frames);

    QCOMPARE(m_bench->run(arguments + QStringList { "--port", m_bench->path() }, answers, true), exitCode);
    QCOMPARE(m_bench->errors, errors.replace("%1", m_bench->path()));
    QCOMPARE(m_bench->writes(), frames);
    const QString plan = arguments.first() == "reset" ? "reset: every setting returns to its factory default\n"
                                                      : "rs232c.bitrate: 9600 -> 1200\nusbtmc.autoSerialPoll: false -> true\n";
    QVERIFY2(m_bench->output.startsWith(plan), qPrintable(m_bench->output));
    QCOMPARE(m_bench->output.endsWith(PowerCycle), !frames.isEmpty());
}

void TestZorvelCommands::verifyReadsBack()
{
    QCOMPARE(m_bench->run({ "set", "bitrate=1200", "--verify", "--yes", "--port", m_bench->path() }), 0);

    // A module that keeps reporting its active settings until power-cycled.
    const ModuleState active = m_bench->module().state();
    connect(&m_bench->module(), &SimulatedModule::replySent, this, [&](const QByteArray &frame) {
        if (frame.at(2) == 2)
            m_bench->module().setState(active);
    });
    QCOMPARE(m_bench->run({ "set", "bitrate=2400", "--yes", "--port", m_bench->path() }), 0);
    QCOMPARE(m_bench->run({ "set", "bitrate=2400", "--verify", "--yes", "--port", m_bench->path() }), 4);
    QVERIFY2(m_bench->errors.contains(m_bench->path() + ": rs232c.bitrate: 1200 -> 2400"), qPrintable(m_bench->errors));
}

void TestZorvelCommands::restartNotice_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("restartAt");
    QTest::addColumn<int>("requests");

    QTest::newRow("show, at the first read") << QStringList { "show" } << 1 << 1;
    QTest::newRow("show, at the last read") << QStringList { "show" } << 5 << 3;
    QTest::newRow("set, at the write") << QStringList { "set", "bitrate=1200", "--yes", "--verify" } << 2 << 3;
    QTest::newRow("reset") << QStringList { "reset", "--yes" } << 9 << 1;
}

void TestZorvelCommands::restartNotice()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, restartAt);
    QFETCH(int, requests);
    connect(&m_bench->module(), &SimulatedModule::requestReceived, this, [&](const QByteArray &frame) {
        if (frame.at(2) == restartAt)
            m_bench->module().sendRestartNotice();
    });
    QCOMPARE(m_bench->run(arguments + QStringList { "--port", m_bench->path() }), 3);
    QVERIFY2(m_bench->errors.contains(m_bench->path() + ": the ZORVEL has restarted"), qPrintable(m_bench->errors));
    QVERIFY(!m_bench->output.contains("Power-cycle"));
    QCOMPARE(m_bench->module().requests().size(), requests);
}

void TestZorvelCommands::portSelection_data()
{
    QTest::addColumn<int>("modules");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");

    QTest::newRow("the one found") << 1 << QStringList() << 0 << QString();
    QTest::newRow("none found") << 0 << QStringList() << 3 << "zorvel: no ZORVEL service port found\n";
    QTest::newRow("several found") << 2 << QStringList() << 2 << "SN1), %2 (ZORVEL Service Port, serial number SN2)";
    QTest::newRow("all, one found") << 1 << QStringList { "--all" } << 0 << QString();
    QTest::newRow("by serial number") << 2 << QStringList { "--serial", "SN2" } << 0 << QString();
    QTest::newRow("by two serial numbers") << 2 << QStringList { "--serial", "SN2", "--serial", "SN1" } << 0 << QString();
    QTest::newRow("a serial number twice") << 2 << QStringList { "--serial", "SN1", "--serial", "SN1" } << 2
                                           << "--serial names SN1 twice";
    QTest::newRow("serial number not found") << 2 << QStringList { "--serial", "SN9" } << 3
                                             << "no ZORVEL service port has the serial number SN9; found: %1";
    QTest::newRow("two choices") << 1 << QStringList { "--all", "--port", "x" } << 2
                                 << "choose one of --port, --serial and --all";
    QTest::newRow("all, none found") << 0 << QStringList { "--all" } << 3 << "zorvel: no ZORVEL service port found\n";
    QTest::newRow("port not there") << 1 << QStringList { "--port", "/dev/zorvel-none" } << 3
                                    << "zorvel: cannot open /dev/zorvel-none: No such port.\n";
    QTest::newRow("5000 characters, no port") << 1 << QStringList { "--port", QString(5000, 'x') } << 3
                                              << ": No such port.\n";
    QTest::newRow("timeout not a number") << 1 << QStringList { "--timeout", "soon" } << 2
                                          << "--timeout takes a number of milliseconds above 0";
}

void TestZorvelCommands::portSelection()
{
    QFETCH(int, modules);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    while (int(m_bench->lines.size()) < modules)
        m_bench->addLine();
    m_bench->systemPorts = m_bench->servicePorts().mid(0, modules);
    m_bench->systemPorts << PortEntry { "ttyS0", "Built-in serial port", QString(), "/dev/ttyS0", QString() };

    QCOMPARE(m_bench->run(QStringList { "show", "--json" } + arguments), exitCode);
    error.replace("%1", m_bench->path(0)).replace("%2", modules > 1 ? m_bench->path(1) : QString());
    QVERIFY2(m_bench->errors.contains(error), qPrintable(m_bench->errors));
    if (exitCode == 0) {
        QVERIFY(m_bench->output.contains(arguments.contains("SN2") ? m_bench->path(1) : m_bench->path(0)));
        const QJsonDocument json = QJsonDocument::fromJson(m_bench->output.toUtf8());
        QCOMPARE(json.isArray(), arguments.contains("--all") || arguments.count("--serial") > 1);
        if (arguments.count("--serial") > 1)
            QCOMPARE(json.array().at(0)["module"]["port"].toString(), m_bench->path(1));
    }
    // With --all, every module of none is an empty array; one module that
    // is not there is an object that says why.
    if (exitCode == 3 && arguments.contains("--all")) {
        QCOMPARE(m_bench->output, QString("[]\n"));
    } else if (exitCode == 3) {
        const QJsonObject failure = QJsonDocument::fromJson(m_bench->output.toUtf8()).object();
        QCOMPARE(failure.value("exitStatus").toInt(), 3);
        const QString message = error.remove(QRegularExpression("^zorvel: ")).trimmed();
        QVERIFY2(failure.value("message").toString().contains(message), qPrintable(m_bench->output));
    }
    QVERIFY2(!m_bench->errors.contains("Install"), qPrintable(m_bench->errors));
}

// Two modules that share a serial number are not told apart by it.
void TestZorvelCommands::sharedSerialNumberIsRefused()
{
    m_bench->addLine();
    m_bench->systemPorts = m_bench->servicePorts();
    m_bench->systemPorts[1].serialNumber = "SN1";

    QCOMPARE(m_bench->run({ "set", "bitrate=19200", "--yes", "--serial", "SN1" }), 2);
    QVERIFY2(m_bench->errors.contains("the serial number SN1 is not one module's; found: "), qPrintable(m_bench->errors));
    QCOMPARE(m_bench->writes(0) + m_bench->writes(1), QList<QByteArray>());
}

// A silent module is asked once and given up after the timeout; the other
// is served all the same, and the exit status is the worst.
void TestZorvelCommands::allWithOneSilent()
{
    m_bench->addLine();
    m_bench->systemPorts = m_bench->servicePorts();
    m_bench->module(0).setSilent(true);

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_bench->run({ "set", "autoSerialPoll=true", "--all", "--yes", "--timeout", "200" }), 3);
    QVERIFY(clock.elapsed() >= 200);
    QCOMPARE(m_bench->errors, QString("zorvel: %1: %2\n").arg(m_bench->path(0), Silent));
    QCOMPARE(m_bench->module(0).requests().size(), 1);
    QCOMPARE(m_bench->output, QString("%1: usbtmc.autoSerialPoll: false -> true\n%1: wrote the usbtmc settings\n%1: ")
                           .arg(m_bench->path(1)) + PowerCycle);
    QCOMPARE(m_bench->writes(1), QList<QByteArray> { PollingOn });

    const QString file = writeDocument(R"({"format": "zorvel-settings/1", "usbtmc": {"autoSerialPoll": false}})");
    QCOMPARE(m_bench->run({ "diff", file, "--all", "--timeout", "200" }), 3);
    QCOMPARE(m_bench->output, m_bench->path(1) + ": usbtmc.autoSerialPoll: true -> false\n");

    m_bench->module(0).setSilent(false);
    QCOMPARE(m_bench->run({ "show", "--json", "--all" }), 0);
    const QJsonArray documents = QJsonDocument::fromJson(m_bench->output.toUtf8()).array();
    QCOMPARE(documents.size(), 2);
    QCOMPARE(documents.at(0)["module"]["port"].toString(), m_bench->path(0));
    QCOMPARE(documents.at(1)["usbtmc"]["autoSerialPoll"].toBool(), true);
}

// A name such as ./pts/3 is that path from the working folder, even where
// /dev/pts/3 is another module's port.
void TestZorvelCommands::relativePortNameIsThatPath()
{
    m_bench->addLine();
    const QString name = "./pts/" + QFileInfo(m_bench->path(0)).fileName();
    QVERIFY(QDir(m_dir.path()).mkpath("pts"));
    QVERIFY(QFile::link(m_bench->path(1), m_dir.filePath(name)));
    const QString before = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    const int code = m_bench->run({ "set", "autoSerialPoll=true", "--yes", "--port", name });
    QDir::setCurrent(before);

    QCOMPARE(code, 0);
    QCOMPARE(m_bench->writes(0), QList<QByteArray>());
    QCOMPARE(m_bench->writes(1), QList<QByteArray> { PollingOn });
}

// What a script reads: every module in the array, a silent one as its
// failure; documents from standard input, which then answers no question.
void TestZorvelCommands::jsonAndStandardInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");

    const QByteArray document = R"({"format": "zorvel-settings/1", "rs232c": {"bitrate": 1200}})";
    const QString failed = R"({"port": "%1", "serialNumber": "SN1", "message": ")" + Silent + R"(", )"
                           R"("exitStatus": 3})";
    QTest::newRow("diff --json") << QStringList { "diff", "-", "--json", "--port", "%2" } << document << 1
        << R"([
  {"group": "rs232c", "key": "bitrate", "module": 9600, "file": 1200}
])";
    QTest::newRow("diff --json, no difference") << QStringList { "diff", "-", "--json", "--port", "%2" }
        << QByteArray(R"({"format": "zorvel-settings/1"})") << 0 << "[]";
    QTest::newRow("diff --json --all, one silent") << QStringList { "diff", "-", "--json", "--all" } << document << 3
        << "[\n  " + failed + R"(,
  {"port": "%2", "serialNumber": "SN2", "differences": [
    {"group": "rs232c", "key": "bitrate", "module": 9600, "file": 1200}
  ]}
])";
    QTest::newRow("show --json --all, one silent") << QStringList { "show", "--json", "--all" } << QByteArray() << 3
        << "[\n  " + failed + ",\n  {\n    \"format\": \"zorvel-settings/1\",\n    \"module\": {\n      \"port\": \"%2\"";
    QTest::newRow("apply - --yes") << QStringList { "apply", "-", "--yes", "--port", "%2" } << document << 0
        << "rs232c.bitrate: 9600 -> 1200\nwrote the rs232c settings\n" + PowerCycle;
    QTest::newRow("apply - asks no question") << QStringList { "apply", "-", "--port", "%2" } << document << 2
        << QString();
}

void TestZorvelCommands::jsonAndStandardInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QString, output);
    m_bench->addLine();
    m_bench->systemPorts = m_bench->servicePorts();
    m_bench->module(0).setSilent(true);

    QTEST(m_bench->run(arguments.replaceInStrings("%2", m_bench->path(1)) + QStringList { "--timeout", "200" }, input, true), "exitCode");
    output.replace("%1", m_bench->path(0)).replace("%2", m_bench->path(1));
    QVERIFY2(m_bench->output.startsWith(output), qPrintable(m_bench->output));
    if (arguments.contains("--json"))
        QVERIFY(!QJsonDocument::fromJson(m_bench->output.toUtf8()).isNull());
    if (arguments.first() == "apply" && !arguments.contains("--yes")) {
        QVERIFY2(m_bench->errors.contains("not confirmed: standard input held the document"), qPrintable(m_bench->errors));
        QVERIFY(m_bench->module(1).requests().isEmpty());
    }
}

// What apply, set and reset did, one object a module, on the ports named,
// and the frames each module received. %1 and %2 are the two modules'
// ports; the second one is silent in rows that say so.
void TestZorvelCommands::writeResults_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("secondSilent");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QList<int>>("writes");

    const QByteArray bitrate = R"({"group": "rs232c", "key": "bitrate", "module": 9600, "file": 19200})";
    const QByteArray polling = R"({"group": "usbtmc", "key": "autoSerialPoll", "module": false, "file": true})";
    const QByteArray wrote = R"("exitStatus": 0, "message": "wrote the %3 settings; power-cycle the ZORVEL for them to take effect"})";
    QTest::newRow("set on one module") << QStringList { "set", "bitrate=19200", "--port", "%1" } << false << 0
        << R"({"port": "%1", "serialNumber": "", "changes": [)" + bitrate + R"(], "written": ["rs232c"],
              "verified": null, )" + QByteArray(wrote).replace("%3", "rs232c") << QList<int> { 1, 0 };
    QTest::newRow("verified on two named modules")
        << QStringList { "set", "autoSerialPoll=true", "--verify", "--port", "%1", "--port", "%2" } << false << 0
        << QByteArray("[") + R"({"port": "%1", "serialNumber": "", "changes": [)" + polling + R"(], "written": ["usbtmc"],
              "verified": true, )" + QByteArray(wrote).replace("%3", "usbtmc") + ", "
              + R"({"port": "%2", "serialNumber": "", "changes": [)" + polling + R"(], "written": ["usbtmc"],
              "verified": true, )" + QByteArray(wrote).replace("%3", "usbtmc") + "]" << QList<int> { 1, 1 };
    QTest::newRow("dry run") << QStringList { "set", "bitrate=19200", "--dry-run", "--port", "%1" } << false << 0
        << R"({"port": "%1", "serialNumber": "", "changes": [)" + bitrate + R"(], "written": [], "verified": null,
              "exitStatus": 0, "message": "dry run: would write rs232c; nothing written"})" << QList<int> { 0, 0 };
    QTest::newRow("nothing to write") << QStringList { "set", "bitrate=9600", "--port", "%1" } << false << 0
        << QByteArray(R"({"port": "%1", "serialNumber": "", "changes": [], "written": [], "verified": null,
              "exitStatus": 0, "message": "nothing to write"})") << QList<int> { 0, 0 };
    QTest::newRow("the second silent") << QStringList { "set", "bitrate=19200", "--port", "%1", "--port", "%2" } << true
        << 3 << QByteArray("[") + R"({"port": "%1", "serialNumber": "", "changes": [)" + bitrate + R"(], "written": ["rs232c"],
              "verified": null, )" + QByteArray(wrote).replace("%3", "rs232c") + ", "
              + R"({"port": "%2", "serialNumber": "", "changes": [], "written": [], "verified": null,
              "exitStatus": 3, "message": ")" + Silent.toUtf8() + R"("}])" << QList<int> { 1, 0 };
    QTest::newRow("reset") << QStringList { "reset", "--port", "%1" } << false << 0
        << QByteArray(R"({"port": "%1", "serialNumber": "", "changes": [], "written": ["reset"], "verified": null,
              "exitStatus": 0, "message": "reset to factory defaults; power-cycle the ZORVEL for them to take effect"})")
        << QList<int> { 1, 0 };
    QTest::newRow("one module named twice") << QStringList { "set", "bitrate=19200", "--port", "%1", "--port", "%1" }
        << false << 2 << QByteArray("[]") << QList<int> { 0, 0 };
    // As through a bind mount: another path to the same device.
    QTest::newRow("one module through a second node") << QStringList { "set", "bitrate=19200", "--port", "%1",
                                                                       "--port", "%node" }
        << false << 2 << QByteArray("[]") << QList<int> { 0, 0 };
}

void TestZorvelCommands::writeResults()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, json);
    QFETCH(QList<int>, writes);
    m_bench->addLine();
    QFETCH(bool, secondSilent);
    m_bench->module(1).setSilent(secondSilent);
    arguments.replaceInStrings("%1", m_bench->path(0)).replaceInStrings("%2", m_bench->path(1));
    if (arguments.contains("%node")) {
        struct stat device;
        const QString node = m_dir.filePath("node");
        QFile::remove(node);
        QVERIFY(::stat(QFile::encodeName(m_bench->path(0)).constData(), &device) == 0);
        if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0600, device.st_rdev) != 0)
            QSKIP("making a device node needs root");
        arguments.replaceInStrings("%node", node);
    }

    QTEST(m_bench->run(arguments + QStringList { "--yes", "--json", "--timeout", "200" }), "exitCode");
    json.replace("%1", m_bench->path(0).toUtf8()).replace("%2", m_bench->path(1).toUtf8());
    QCOMPARE(QJsonDocument::fromJson(m_bench->output.toUtf8()), QJsonDocument::fromJson(json));
    QCOMPARE(m_bench->output.isEmpty(), json.isEmpty());
    QCOMPARE(QList<int>({ int(m_bench->writes(0).size()), int(m_bench->writes(1).size()) }), writes);
}

QTEST_GUILESS_MAIN(TestZorvelCommands)
#include "tst_zorvelcommands.moc"
