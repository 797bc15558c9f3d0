#include "commandbench.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(LineSettings)

namespace {

// A module's settings as "bitrate stopbits flow termchar block4882 query".
ModuleState withHostSide(const QString &settings)
{
    const QStringList fields = settings.split(' ');
    ModuleState state = SimulatedModule::factoryDefaults();
    state.bitrate = fields.at(0).toInt();
    state.stopbits = quint8(fields.at(1).toInt());
    state.flowControl = quint8(fields.at(2).toInt());
    state.termcharCode = quint8(fields.at(3).toInt(nullptr, 16));
    state.block4882 = quint8(fields.at(4).toInt());
    state.idnQuery = fields.at(5).toLatin1();
    return state;
}

LineSettings line(qint32 bitrate, int stopBits, bool rtsCts, bool xonXoff)
{
    LineSettings settings;
    settings.bitrate = bitrate;
    settings.stopBits = stopBits;
    settings.rtsCts = rtsCts;
    settings.xonXoff = xonXoff;
    return settings;
}

} // namespace

// zorvel check-host against a simulated module whose host side, with an
// instrument behind it, is a second pseudo-terminal. The line settings come
// back from that pseudo-terminal as the program set them.
class TestHostLink : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void answers_data();
    void answers();
    void writtenSettingsNeedAPowerCycle();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void jsonResult();
    void lostHostLine();
    void oneModuleOnly();

private:
    int checkHost(const QStringList &more = QStringList());

    std::unique_ptr<CommandBench> m_bench;
    // The writes a test made itself, before it checked the host link.
    QList<QByteArray> m_writes;
    QTemporaryDir m_dir;
};

void TestHostLink::init()
{
    m_bench = std::make_unique<CommandBench>();
}

// Whatever check-host did, the module received read requests only.
void TestHostLink::cleanup()
{
    QCOMPARE(m_bench->writes(), m_writes);
    m_writes.clear();
}

int TestHostLink::checkHost(const QStringList &more)
{
    return m_bench->run(QStringList { "check-host", m_bench->host().path(), "--port", m_bench->path() } + more);
}

void TestHostLink::answers_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QByteArray>("instrument");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<LineSettings>("line");
    QTest::addColumn<QStringList>("said");

    const QString answered = "The instrument answered through the ZORVEL as its settings say.";
    QTest::newRow("factory settings") << "9600 1 0 0A 1 *IDN?" << QByteArray() << QStringList() << 0
        << QByteArray("*IDN?\n") << line(9600, 1, false, false)
        << QStringList { "Line settings: 9600 bit/s, 8 data bits, no parity, 1 stop bit, no flow control, "
                         "terminator 0x0A", "Received: SIMULATED,GPIB INSTRUMENT,SN000001,1.00\\x0a", answered };
    QTest::newRow("RTS/CTS and 2 stop bits") << "19200 2 2 0A 1 *IDN?" << QByteArray() << QStringList() << 0
        << QByteArray("*IDN?\n") << line(19200, 2, true, false)
        << QStringList { "19200 bit/s, 8 data bits, no parity, 2 stop bits, RTS/CTS, terminator 0x0A", answered };
    QTest::newRow("XON/XOFF") << "115200 1 1 0A 1 *IDN?" << QByteArray() << QStringList() << 0
        << QByteArray("*IDN?\n") << line(115200, 1, false, true) << QStringList { "XON/XOFF", answered };
    QTest::newRow("block transfer forces *IDN? and LF") << "9600 1 0 0D 1 ID?" << QByteArray() << QStringList()
        << 0 << QByteArray("*IDN?\n") << line(9600, 1, false, false) << QStringList { "terminator 0x0A", answered };
    QTest::newRow("the module's own query and terminator") << "9600 1 0 0D 0 ID?" << QByteArray() << QStringList()
        << 0 << QByteArray("ID?\r") << line(9600, 1, false, false)
        << QStringList { "Sent: ID?\\x0d", "terminator 0x0D", answered };
    QTest::newRow("a control character as terminator") << "9600 1 0 04 0 *IDN?" << QByteArray() << QStringList()
        << 0 << QByteArray("*IDN?\x04") << line(9600, 1, false, false) << QStringList { "terminator 0x04", answered };
    QTest::newRow("a printable terminator") << "9600 1 0 3B 0 *IDN?" << QByteArray() << QStringList() << 0
        << QByteArray("*IDN?;") << line(9600, 1, false, false) << QStringList { "Received: SIMULATED", answered };
    QTest::newRow("trailing CR and blanks left aside") << "9600 1 0 0A 1 *IDN?"
        << QByteArray("SIMULATED,GPIB INSTRUMENT,SN000001,1.00 \r") << QStringList() << 0 << QByteArray("*IDN?\n")
        << line(9600, 1, false, false) << QStringList { answered };
    QTest::newRow("another instrument") << "9600 1 0 0A 1 *IDN?" << QByteArray("OTHER MAKER,METER,7,2.0")
        << QStringList() << 5 << QByteArray("*IDN?\n") << line(9600, 1, false, false)
        << QStringList { "Received: OTHER MAKER,METER,7,2.0\\x0a",
                         "Expected: SIMULATED,GPIB INSTRUMENT,SN000001,1.00",
                         "The answer is not the *IDN text the ZORVEL read from its instrument." };
    QTest::newRow("silent host link") << "9600 1 0 0A 1 *IDN?" << QByteArray() << QStringList { "--timeout", "300" }
        << 5 << QByteArray("*IDN?\n") << line(9600, 1, false, false)
        << QStringList { "Received: nothing", "No answer within 300 ms.", "Check that the instrument is switched on" };
    QTest::newRow("no *IDN text to compare") << "9600 1 0 0A 1 *IDN?" << QByteArray("SOME,INSTRUMENT")
        << QStringList() << 0 << QByteArray("*IDN?\n") << line(9600, 1, false, false)
        << QStringList { "Expected: the ZORVEL reports no *IDN text",
                         "the ZORVEL reports no *IDN text to compare it with" };
}

void TestHostLink::answers()
{
    QFETCH(QString, settings);
    QFETCH(QByteArray, instrument);
    QFETCH(QStringList, options);
    QFETCH(int, exitStatus);
    QFETCH(QByteArray, sent);
    QFETCH(LineSettings, line);
    QFETCH(QStringList, said);
    ModuleState state = withHostSide(settings);
    const bool silent = options.contains("--timeout");
    if (QByteArray(QTest::currentDataTag()).startsWith("no *IDN"))
        state.idnString.clear();
    m_bench->module().setState(state);
    m_bench->host().setSilent(silent);
    if (!instrument.isEmpty())
        m_bench->host().setIdnText(instrument);

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(checkHost(options), exitStatus);
    QCOMPARE(m_bench->host().received(), sent);
    QVERIFY(m_bench->host().queryLineSettings() == line);
    for (const QString &text : said)
        QVERIFY2((m_bench->output + m_bench->errors).contains(text), qPrintable(m_bench->output + m_bench->errors));
    if (silent)
        QVERIFY2(clock.elapsed() >= 300 && clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
}

// A write takes effect on the host side only once the module restarts.
void TestHostLink::writtenSettingsNeedAPowerCycle()
{
    QCOMPARE(m_bench->run({ "set", "bitrate=19200", "--yes", "--port", m_bench->path() }), 0);
    m_writes = m_bench->writes();
    QCOMPARE(m_writes.size(), 1);
    QCOMPARE(checkHost(), 5);
    QVERIFY(m_bench->output.contains("Line settings: 19200 bit/s"));
    QVERIFY2(m_bench->errors.contains("take effect only after the next power cycle: power-cycle it, then check again"),
             qPrintable(m_bench->errors));

    m_bench->module().sendRestartNotice();
    QVERIFY(m_bench->lines.front()->waitUntilDelivered());
    QCOMPARE(checkHost(), 0);
}

void TestHostLink::refusedBeforeSending_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("pelta");
    QTest::addColumn<bool>("usb");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<QString>("said");

    QTest::newRow("PELTA on") << QString() << true << false << 2 << "PELTA is on";
    QTest::newRow("the service port") << "service" << false << false << 2 << "is the ZORVEL's service port";
    QTest::newRow("the service port by a link") << "link" << false << false << 2 << "is the ZORVEL's service port";
    QTest::newRow("USB host, no USBTMC device") << QString() << false << true << 2
        << "this check needs the instrument's USBTMC device file";
    QTest::newRow("no such port") << "missing" << false << false << 3 << "No such port.";
}

void TestHostLink::refusedBeforeSending()
{
    QFETCH(QString, host);
    QFETCH(bool, pelta);
    QFETCH(bool, usb);
    QFETCH(int, exitStatus);
    QFETCH(QString, said);
    ModuleState state = SimulatedModule::factoryDefaults();
    state.peltaSafu = pelta;
    state.hostIsUsb = usb;
    m_bench->module().setState(state);
    const QString link = m_dir.filePath("zorvel-link");
    QFile::remove(link);
    QVERIFY(QFile::link(m_bench->path(), link));
    const QString hostPort = host == "service" ? m_bench->path()
                           : host == "link"    ? link
                           : host == "missing" ? m_dir.filePath("ttyUSB9")
                                               : m_bench->host().path();

    QCOMPARE(m_bench->run({ "check-host", hostPort, "--port", m_bench->path() }), exitStatus);
    QVERIFY2(m_bench->errors.contains(said), qPrintable(m_bench->errors));
    QVERIFY(m_bench->host().received().isEmpty());
    QVERIFY(m_bench->output.contains("Sent: nothing"));
}

void TestHostLink::jsonResult()
{
    ModuleState state = withHostSide("19200 2 2 0A 1 *IDN?");
    m_bench->module().setState(state);
    m_bench->host().setIdnText("OTHER\r");
    QCOMPARE(checkHost({ "--json" }), 5);
    const QJsonObject result = QJsonDocument::fromJson(m_bench->output.toUtf8()).object();
    QCOMPARE(result.value("port").toString(), m_bench->path());
    QCOMPARE(result.value("hostPort").toString(), m_bench->host().path());
    QCOMPARE(result.value("line").toString(),
             QString("19200 bit/s, 8 data bits, no parity, 2 stop bits, RTS/CTS, terminator 0x0A"));
    QCOMPARE(result.value("bitrate").toInt(), 19200);
    QCOMPARE(result.value("stopbits").toInt(), 2);
    QCOMPARE(result.value("flowControl").toString(), QString("HARDWARE"));
    QCOMPARE(result.value("sent").toString(), QString("*IDN?\n"));
    QCOMPARE(result.value("received").toString(), QString("OTHER\r\n"));
    QCOMPARE(result.value("receivedHex").toString(), QString("4f 54 48 45 52 0d 0a"));
    QCOMPARE(result.value("expected").toString(), QString("SIMULATED,GPIB INSTRUMENT,SN000001,1.00"));
    QCOMPARE(result.value("match").toBool(true), false);
    QCOMPARE(result.value("exitStatus").toInt(), 5);
    QVERIFY(result.value("message").toString().contains("power-cycle"));
}

// An adapter unplugged after the query: the line's failure is told, not
// taken for silence.
void TestHostLink::lostHostLine()
{
    m_bench->host().setHangsUp(true);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(checkHost(), 3);
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(m_bench->host().received(), QByteArray("*IDN?\n"));
    QVERIFY2(m_bench->errors.contains("failed while waiting for the answer"), qPrintable(m_bench->errors));
}

void TestHostLink::oneModuleOnly()
{
    m_bench->addLine();
    QCOMPARE(m_bench->run({ "check-host", "/dev/ttyUSB0", "--port", m_bench->path(0), "--port", m_bench->path(1) }),
             2);
    QVERIFY(m_bench->errors.contains("check-host tries the host link of one module"));
}

QTEST_GUILESS_MAIN(TestHostLink)
#include "tst_hostlink.moc"
