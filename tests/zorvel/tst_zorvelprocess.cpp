#include "simulatedline.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

// The built program as a process among others, against simulated modules
// in this process: standard output that fails while modules are written,
// several programs after one module at once, and a port path that is no
// UTF-8.
class TestZorvelProcess : public QObject {
    Q_OBJECT

private slots:
    void failedOutputLeavesNoWorkUndone_data();
    void failedOutputLeavesNoWorkUndone();
    void everyRefusalNamesTheHolder();
    void portPathThatIsNoUtf8_data();
    void portPathThatIsNoUtf8();

private:
    // zorvel with the arguments, through the shell with the redirection
    // given; its exit status is the program's.
    static void startInShell(QProcess &process, const QString &redirection, const QStringList &arguments);
};

void TestZorvelProcess::startInShell(QProcess &process, const QString &redirection, const QStringList &arguments)
{
    process.start("/bin/bash", QStringList { "-c", redirection, qEnvironmentVariable("ZORVEL_PROGRAM") } + arguments);
}

void TestZorvelProcess::failedOutputLeavesNoWorkUndone_data()
{
    QTest::addColumn<QString>("redirection");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<int>("exitCode");

    // The reader is gone before the program starts.
    const QString closedPipe = R"({ sleep 0.3; exec "$0" "$@"; } | true; exit "${PIPESTATUS[0]}")";
    const QString fullDisk = R"(exec "$0" "$@" > /dev/full)";
    QTest::newRow("closed pipe, a verified write to two modules") << closedPipe
        << QStringList { "set", "bitrate=19200", "--yes", "--verify", "--port", "%1", "--port", "%2" } << "Broken pipe"
        << QStringList { "%1 (no serial number): wrote the rs232c settings",
                         "%2 (no serial number): wrote the rs232c settings" } << 6;
    QTest::newRow("full disk, a reset") << fullDisk << QStringList { "reset", "--yes", "--port", "%1" }
        << "No space left on device" << QStringList { "%1 (no serial number): reset to factory defaults" } << 6;
    QTest::newRow("full disk, a verified write") << fullDisk
        << QStringList { "set", "autoSerialPoll=true", "--yes", "--verify", "--port", "%1" }
        << "No space left on device" << QStringList { "%1 (no serial number): wrote the usbtmc settings" } << 6;
    // The module confirms the write but keeps what it held: the read-back's
    // status stands.
    QTest::newRow("full disk, a write that reads back different") << fullDisk
        << QStringList { "set", "autoSerialPoll=true", "--yes", "--verify", "--port", "%1" }
        << "No space left on device"
        << QStringList { "%1 (no serial number): wrote the usbtmc settings; reading them back found them different" }
        << 4;
}

// Every module asked for is written, standard error says which, and the
// exit status is neither success nor "nothing done".
void TestZorvelProcess::failedOutputLeavesNoWorkUndone()
{
    QFETCH(QString, redirection);
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    QFETCH(QStringList, written);
    QFETCH(int, exitCode);
    SimulatedLine first;
    SimulatedLine second;
    QVERIFY(first.open() && second.open());
    arguments.replaceInStrings("%1", first.path()).replaceInStrings("%2", second.path());
    const bool forgets = exitCode == 4;
    connect(&first.module(), &SimulatedModule::replySent, this, [&](const QByteArray &reply) {
        if (forgets && reply.at(2) == 4)
            first.module().setState(SimulatedModule::factoryDefaults());
    });

    QProcess process;
    QSignalSpy finished(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    startInShell(process, redirection, arguments);
    QVERIFY(finished.wait(20000));
    QCOMPARE(process.exitCode(), exitCode);
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(errors.contains("zorvel: cannot write standard output: " + reason + '\n'), qPrintable(errors));
    for (QString line : written)
        QVERIFY2(errors.contains("zorvel: " + line.replace("%1", first.path()).replace("%2", second.path())),
                 qPrintable(errors));
    QCOMPARE(first.module().state() == SimulatedModule::factoryDefaults(), arguments.first() == "reset" || forgets);
    QCOMPARE(second.module().state() == SimulatedModule::factoryDefaults(), written.size() < 2);
}

// Six writers at once, three times: each one either writes, or is refused
// with the name and process number of the one that holds the module,
// whichever lock it met first. Replies a byte a millisecond keep each one
// long on the line. As a user who is not root, as most are, a writer also
// meets the exclusive mode that the holder's open sets on the terminal.
void TestZorvelProcess::everyRefusalNamesTheHolder()
{
    SimulatedLine line;
    QVERIFY(line.open());
    line.module().setChunkSize(1);
    QTemporaryDir folder;
    QStringList asUser;
    QString program = qEnvironmentVariable("ZORVEL_PROGRAM");
    if (::geteuid() == 0) {
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                         | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QFile::copy(program, folder.filePath("zorvel")));
        program = folder.filePath("zorvel");
        QVERIFY(::chmod(QFile::encodeName(line.path()).constData(), 0666) == 0);
        asUser = QStringList { "--reuid=nobody", "--regid=nogroup", "--clear-groups", program };
        program = "setpriv";
    }
    int refusals = 0;
    for (int round = 0; round < 3; ++round) {
        std::vector<std::unique_ptr<QProcess>> writers;
        for (int i = 0; i < 6; ++i) {
            writers.push_back(std::make_unique<QProcess>());
            writers.back()->start(program, asUser + QStringList { "set", QString("bitrate=%1").arg(i % 2 ? 19200 : 9600),
                                                                  "--yes", "--port", line.path() });
        }
        for (const auto &writer : writers) {
            QVERIFY(QTest::qWaitFor([&] { return writer->state() == QProcess::NotRunning; }, 20000));
            const QString errors = QString::fromUtf8(writer->readAllStandardError());
            if (writer->exitCode() == 0)
                continue;
            ++refusals;
            QCOMPARE(writer->exitCode(), 3);
            static const QRegularExpression holder("^zorvel: cannot open \\S+: The port is in use by zorvel "
                                                   "\\(process \\d+\\): close it, then try again\\.\n$");
            QVERIFY2(holder.match(errors).hasMatch(), qPrintable(errors));
        }
    }
    QVERIFY(refusals > 0);
}

void TestZorvelProcess::portPathThatIsNoUtf8_data()
{
    QTest::addColumn<QString>("locale");

    QTest::newRow("UTF-8 locale") << "C.UTF-8";
    // As under cron and systemd.
    QTest::newRow("C locale") << "C";
}

void TestZorvelProcess::portPathThatIsNoUtf8()
{
    QFETCH(QString, locale);
    SimulatedLine line;
    QVERIFY(line.open());
    QTemporaryDir folder;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LC_ALL", locale);
    process.setProcessEnvironment(environment);
    QSignalSpy finished(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    startInShell(process, R"(link="$1/z$(printf '\366')rvel"; ln -s "$2" "$link" && exec "$0" show --port "$link")",
                 { folder.path(), line.path() });
    QVERIFY(finished.wait(20000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(process.readAllStandardOutput().contains("module.port                    " + folder.path().toUtf8()
                                                     + "/z\xf6rvel\n"));
}

QTEST_GUILESS_MAIN(TestZorvelProcess)
#include "tst_zorvelprocess.moc"
