// The command line under faults: output files that are not plain files or
// that cannot be written, a line lost while waiting, modules that send what
// is not a frame or values outside the rules, a write cut short, and
// documents and arguments that leave something to guess.

#include "commandbench.h"
#include "testhelpers.h"

#include <QtTest>

#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const QByteArray Format = R"("format": "zorvel-settings/1")";

QString fileType(const QString &path)
{
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return "missing";
    if (S_ISLNK(status.st_mode))
        return "link";
    if (S_ISFIFO(status.st_mode))
        return "fifo";
    if (S_ISCHR(status.st_mode))
        return "device";
    return QString("file %1").arg(status.st_mode & 0777, 0, 8);
}

} // namespace

class TestZorvelFaults : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void outputFile_data();
    void outputFile();
    void lostLineEndsTheWait();
    void strictReplies_data();
    void strictReplies();
    void planNamesWhatTheModuleHolds_data();
    void planNamesWhatTheModuleHolds();
    void showNamesWhatTheInterlocksChange();
    void interruptedWrite_data();
    void interruptedWrite();
    void documentsAndArguments_data();
    void documentsAndArguments();
    void moduleTextIsEscaped();

private:
    std::unique_ptr<CommandBench> m_bench;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_mounted;
};

void TestZorvelFaults::init()
{
    m_bench = std::make_unique<CommandBench>();
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestZorvelFaults::cleanup()
{
    if (!m_mounted.isEmpty())
        ::umount(QFile::encodeName(m_mounted).constData());
    m_mounted.clear();
    m_dir.reset();
    m_bench.reset();
}

// Where the document should land: "document" or "old" (the file before).
void TestZorvelFaults::outputFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("typeAfter");
    QTest::addColumn<QString>("contentAfter");

    QTest::newRow("new file") << "new" << 0 << "file" << "document";
    QTest::newRow("regular file keeps its mode") << "regular" << 0 << "file 640" << "document";
    QTest::newRow("read-only file keeps its mode") << "read-only" << 0 << "file 444" << "document";
    QTest::newRow("link to a regular file stays a link") << "link to regular" << 0 << "link" << "document";
    QTest::newRow("link to /dev/null stays a link") << "link to null" << 0 << "link" << "";
    QTest::newRow("FIFO is written into") << "fifo" << 0 << "fifo" << "read";
    QTest::newRow("device that is always full") << "full device" << 2 << "device" << "";
    QTest::newRow("full file system keeps the old file") << "full file system" << 2 << "file" << "old";
}

void TestZorvelFaults::outputFile()
{
    QFETCH(QString, target);
    QFETCH(int, exitCode);
    QString path = m_dir->filePath("out.json");
    QProcess reader;
    if (target == "regular" || target == "read-only") {
        writeFile(path, "old");
        QFile::setPermissions(path, target == "regular" ? QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                        : QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    } else if (target == "link to regular") {
        writeFile(m_dir->filePath("real.json"), "old");
        QFile::link("real.json", path);
    } else if (target == "link to null") {
        QFile::link("/dev/null", path);
    } else if (target == "fifo") {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0644) == 0);
        reader.start("cat", { path });
        QVERIFY(reader.waitForStarted());
    } else if (target == "full device") {
        if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0644, makedev(1, 7)) != 0)
            QSKIP("making a device node needs root");
    } else if (target == "full file system") {
        const QString mountPoint = m_dir->filePath("small");
        QDir().mkdir(mountPoint);
        if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=16k") != 0)
            QSKIP("mounting a small tmpfs needs root");
        m_mounted = mountPoint;
        path = mountPoint + "/out.json";
        writeFile(path, "old");
        QFile filler(mountPoint + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(512, 'x')) > 0) {
        }
    }

    QCOMPARE(m_bench->run({ "export", "--port", m_bench->path() }), 0);
    const QString document = m_bench->output;
    QCOMPARE(m_bench->run({ "export", "--port", m_bench->path(), "-o", path }), exitCode);
    if (exitCode != 0)
        QVERIFY2(m_bench->errors.startsWith("zorvel: cannot write " + path + ": "), qPrintable(m_bench->errors));
    QFETCH(QString, typeAfter);
    QVERIFY2(fileType(path).startsWith(typeAfter), qPrintable(fileType(path)));
    QFETCH(QString, contentAfter);
    if (contentAfter == "read") {
        QVERIFY(reader.waitForFinished());
        QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()), document);
    } else if (target != "full device" && target != "link to null") {
        QCOMPARE(QString::fromUtf8(contents(path)), contentAfter == "document" ? document : contentAfter);
    }
    QCOMPARE(fileType("/dev/null"), QString("device"));
    const QStringList left = QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    QVERIFY2(left.filter(".json.").isEmpty(), qPrintable(left.join(' ')));
}

// The module goes while a reply is awaited: the wait ends at once, without
// spinning on the dead line, and says what happened.
void TestZorvelFaults::lostLineEndsTheWait()
{
    connect(&m_bench->module(), &SimulatedModule::requestReceived, this, [this] { m_bench->module().closeLine(); });
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = processCpuSeconds();
    QCOMPARE(m_bench->run({ "set", "stopbits=2", "--yes", "--timeout", "6000", "--port", m_bench->path() }), 3);
    const double cpuSeconds = processCpuSeconds() - cpuBefore;
    qInfo("wait ended after %lld ms, with %.3f s of CPU time", clock.elapsed(), cpuSeconds);
    QVERIFY2(m_bench->errors.startsWith("zorvel: " + m_bench->path() + ": the line to the module was lost "),
             qPrintable(m_bench->errors));
    QVERIFY(clock.elapsed() < 3000);
    QVERIFY(cpuSeconds < 1.0);
}

// What the module holds is shown as it is, but never written back from a
// reply that is not a frame or from values outside the rules.
void TestZorvelFaults::strictReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("trailing");
    QTest::addColumn<qint64>("bitrate");
    QTest::addColumn<int>("flowControl");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QList<QByteArray>>("frames");

    const QStringList stopbits { "set", "stopbits=2", "--yes" };
    const QList<QByteArray> none;
    const QByteArray nothing;
    QTest::newRow("bytes that are not frames") << QByteArray("\x13\x07\x01\x02garbage!", 12) << nothing << 9600LL
        << 0 << stopbits << 3 << "the module sent bytes that are not a frame: 13 07 01 02 67 61" << none;
    QTest::newRow("stray bytes behind the last reply") << nothing << QByteArray("\xff\xfe") << 9600LL << 0
        << stopbits << 3 << "the module sent bytes that are not a frame: ff fe" << none;
    QTest::newRow("bitrate outside the rules") << nothing << nothing << -1884653908LL << 0 << stopbits << 2
        << "the module reports rs232c.bitrate = -1884653908: expected one of 115200" << none;
    QTest::newRow("flow control outside the rules") << nothing << nothing << 9600LL << 112 << stopbits << 2
        << "the module reports rs232c.flowControl = 112: expected" << none;
    QTest::newRow("the other group is written") << nothing << nothing << 250LL << 0
        << QStringList { "set", "autoSerialPoll=true", "--yes" } << 0 << QString()
        << QList<QByteArray> { "4d 30 04 05 01 e8 03 00 00" };
    QTest::newRow("the document gives the value") << nothing << nothing << 250LL << 0
        << QStringList { "set", "bitrate=1200", "--yes" } << 0 << QString()
        << QList<QByteArray> { "4d 30 02 19 b0 04 00 00 01 00 0a 01 2a 49 44 4e 3f 00 00 00 00 00 00 00 00 00 00 00 00" };
    QTest::newRow("show still shows it") << nothing << nothing << -1884653908LL << 112 << QStringList { "show" } << 0
                                         << QString() << none;
}

void TestZorvelFaults::strictReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, trailing);
    QFETCH(qint64, bitrate);
    QFETCH(int, flowControl);
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    SimulatedModule &module = m_bench->module();
    ModuleState state = module.state();
    state.bitrate = qint32(bitrate);
    state.flowControl = quint8(flowControl);
    module.setState(state);
    if (!reply.isEmpty()) {
        module.setSilent(true);
        connect(&module, &SimulatedModule::requestReceived, this, [&module, reply] { module.sendRaw(reply); });
    }
    connect(&module, &SimulatedModule::replySent, this, [&module, trailing](const QByteArray &frame) {
        if (frame.at(2) == 5 && !trailing.isEmpty())
            module.sendRaw(trailing);
    });

    QTEST(m_bench->run(arguments + QStringList { "--port", m_bench->path() }), "exitCode");
    QVERIFY2(m_bench->errors.contains(error), qPrintable(m_bench->errors));
    QTEST(m_bench->writes(), "frames");
    if (arguments.first() == "show")
        QVERIFY(m_bench->output.contains(QRegularExpression("rs232c.bitrate +-1884653908\nrs232c.stopbits +1\n"
                                                           "rs232c.flowControl +112\n")));
}

// A plan names every setting the write changes in the module, also those an
// interlock changes, which show gives as the window shows them.
void TestZorvelFaults::planNamesWhatTheModuleHolds_data()
{
    QTest::addColumn<int>("block4882");
    QTest::addColumn<int>("pelta");
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QString>("plan");

    QTest::newRow("block transfer with another terminator and query") << 1 << 0 << QStringList { "bitrate=1200" }
        << "rs232c.bitrate: 9600 -> 1200\nrs232c.termchar: \"0x0D\" -> \"0x0A\"\n"
           "rs232c.idnQuery: \"AB\" -> \"*IDN?\"\n";
    QTest::newRow("PELTA without block transfer") << 0 << 1 << QStringList { "bitrate=9600" }
        << "rs232c.termchar: \"0x0D\" -> \"0x0A\"\nrs232c.block4882: false -> true\n"
           "rs232c.idnQuery: \"AB\" -> \"*IDN?\"\n";
}

void TestZorvelFaults::planNamesWhatTheModuleHolds()
{
    QFETCH(int, block4882);
    QFETCH(int, pelta);
    QFETCH(QStringList, assignments);
    QFETCH(QString, plan);
    ModuleState state = m_bench->module().state();
    state.block4882 = quint8(block4882);
    state.peltaSafu = quint8(pelta);
    state.termcharCode = 0x0D;
    state.idnQuery = "AB";
    m_bench->module().setState(state);

    QCOMPARE(m_bench->run(QStringList { "set" } + assignments + QStringList { "--dry-run", "--port", m_bench->path() }), 0);
    QCOMPARE(m_bench->output, plan + "dry run: would write rs232c; nothing written\n");
}

// Show and export give the settings as the window shows them; standard error
// names each key the module holds otherwise, and the JSON stays as it is.
void TestZorvelFaults::showNamesWhatTheInterlocksChange()
{
    ModuleState state = m_bench->module().state();
    state.block4882 = 0;
    state.peltaSafu = 1;
    state.termcharCode = 0x0D;
    state.idnQuery = "AB";
    m_bench->module().setState(state);
    const QString path = m_bench->path();
    const QString held = "zorvel: %1: the module holds rs232c.%2, which its interlocks do not allow; shown is %3, "
                         "which a write stores\n";
    const QString notes = held.arg(path, "termchar = \"0x0D\"", "\"0x0A\"")
        + held.arg(path, "block4882 = false", "true") + held.arg(path, "idnQuery = \"AB\"", "\"*IDN?\"");

    for (const QStringList &arguments : { QStringList { "show" }, QStringList { "show", "--json" },
                                          QStringList { "export" } }) {
        QCOMPARE(m_bench->run(arguments + QStringList { "--port", path }), 0);
        QCOMPARE(m_bench->errors, notes);
    }
    const QJsonObject rs232c = QJsonDocument::fromJson(m_bench->output.toUtf8()).object()["rs232c"].toObject();
    QCOMPARE(rs232c.keys(), QStringList({ "bitrate", "block4882", "flowControl", "idnQuery", "pelta", "stopbits",
                                          "termchar" }));
    QCOMPARE(rs232c["termchar"].toString(), QString("0x0A"));
    QCOMPARE(m_bench->run({ "show", "-q", "--port", path }), 0);
    QCOMPARE(m_bench->errors, QString());
}

// A restart notice or a silence after a write says which groups had gone
// out, as their effect is unknown.
void TestZorvelFaults::interruptedWrite_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("afterReply");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("writes");

    const QStringList both { "set", "bitrate=1200", "autoSerialPoll=true", "--yes" };
    QTest::newRow("restart after the first of two writes") << both << true << 2
        << "the rs232c settings had been sent; what the module made of them is unknown" << 1;
    QTest::newRow("restart at the second write") << both << false << 4
        << "the rs232c and usbtmc settings had been sent; what the module made of them is unknown" << 2;
    QTest::newRow("silence at the first write") << both << false << 2 << "the rs232c settings had been sent" << 1;
    QTest::newRow("silence at a reset") << QStringList { "reset", "--yes" } << false << 9
        << "the factory reset had been sent; whether the module carried it out is unknown" << 1;
}

void TestZorvelFaults::interruptedWrite()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, afterReply);
    QFETCH(int, type);
    QFETCH(QString, message);
    SimulatedModule &module = m_bench->module();
    const bool restart = QString(QTest::currentDataTag()).startsWith("restart");
    const auto act = [&module, type, restart](const QByteArray &frame) {
        if (frame.at(2) != type)
            return;
        if (restart)
            module.sendRestartNotice();
        else
            module.setSilent(true);
    };
    if (afterReply)
        connect(&module, &SimulatedModule::replySent, this, act);
    else
        connect(&module, &SimulatedModule::requestReceived, this, act);

    QCOMPARE(m_bench->run(arguments + QStringList { "--timeout", "300", "--port", m_bench->path() }), 3);
    QVERIFY2(m_bench->errors.contains(m_bench->path() + ": " + message), qPrintable(m_bench->errors));
    QTEST(int(m_bench->writes().size()), "writes");
    QVERIFY(!m_bench->output.contains("Power-cycle"));
}

// Each is refused as a usage error, exit 2, before anything is written.
void TestZorvelFaults::documentsAndArguments_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    const QStringList noArguments;
    QTest::newRow("group given twice") << "{" + Format + R"(, "usbtmc": {}, "usbtmc": {"autoSerialPoll": true}})"
                                       << noArguments << "usbtmc: given more than once";
    QTest::newRow("key given twice") << "{" + Format + R"(, "rs232c": {"bitrate": 1200, "bitrate": 2400}})"
                                     << noArguments << "rs232c.bitrate: given more than once";
    QTest::newRow("key given twice, once escaped")
        << "{" + Format + R"(, "rs232c": {"bitrate": 1200, "bit\u0072ate": 2400}})" << noArguments
        << "rs232c.bitrate: given more than once";
    QTest::newRow("no format") << QByteArray(R"({"rs232c": {"bitrate": 1200}})") << noArguments
                               << R"(format: missing; expected "format": "zorvel-settings/1")";
    QTest::newRow("termchar as a string without 0x")
        << "{" + Format + R"(, "rs232c": {"block4882": false, "termchar": "13"}})" << noArguments
        << R"(rs232c.termchar = "13": expected a byte)";
    QTest::newRow("document larger than 64 KiB") << "{" + Format + ", \"pad\": \"" + QByteArray(70000, ' ') + "\"}"
                                                  << noArguments << "larger than 64 KiB";
    QTest::newRow("set key twice") << QByteArray() << QStringList { "set", "bitrate=9600", "bitrate=19200" }
                                   << "bitrate=19200: rs232c.bitrate is given more than once";
    QTest::newRow("one port named twice") << QByteArray() << QStringList { "show", "--port", "a", "--port", "/dev/a" }
                                          << "--port names one port twice: a and /dev/a are /dev/a";
    QTest::newRow("output twice") << QByteArray() << QStringList { "export", "-o", "a", "--output", "b" }
                                  << "--output is given more than once";
    QTest::newRow("empty port") << QByteArray() << QStringList { "show", "--port", "" } << "--port needs a value";
    QTest::newRow("escapes in a key, shown escaped") << "{" + Format + ", \"rs232c\": {\"\\u001b[31mred\": 1}}"
                                                    << noArguments << "rs232c.\\x1b[31mred = 1: unknown key";
}

void TestZorvelFaults::documentsAndArguments()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    if (!document.isEmpty()) {
        const QString path = m_dir->filePath("settings.json");
        writeFile(path, document);
        arguments = QStringList { "apply", path, "--yes", "--port", m_bench->path() };
    }

    QCOMPARE(m_bench->run(arguments), 2);
    QVERIFY2(m_bench->errors.contains(error), qPrintable(m_bench->errors));
    QCOMPARE(m_bench->writes(), QList<QByteArray>());
}

// Text from the module reaches the terminal with its control characters
// escaped; JSON carries it exactly.
void TestZorvelFaults::moduleTextIsEscaped()
{
    ModuleState state = m_bench->module().state();
    state.version = "1.0\x1b[2J";
    state.idnString = "MAKER\\MODEL\r\n\x07";
    m_bench->module().setState(state);

    QCOMPARE(m_bench->run({ "show", "--port", m_bench->path() }), 0);
    QVERIFY2(m_bench->output.contains("module.version                 1.0\\x1b[2J\n"), qPrintable(m_bench->output));
    QVERIFY2(m_bench->output.contains("module.idn                     MAKER\\MODEL\\x0d\\x0a\\x07\n"),
             qPrintable(m_bench->output));
    QCOMPARE(m_bench->run({ "show", "--json", "--port", m_bench->path() }), 0);
    const QJsonObject module = QJsonDocument::fromJson(m_bench->output.toUtf8()).object()["module"].toObject();
    QCOMPARE(module["version"].toString(), QString("1.0\x1b[2J"));
    QCOMPARE(module["idn"].toString(), QString("MAKER\\MODEL\r\n\x07"));
}

QTEST_GUILESS_MAIN(TestZorvelFaults)
#include "tst_zorvelfaults.moc"
