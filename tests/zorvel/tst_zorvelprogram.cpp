#include "frametrace.h"
#include "simulatedline.h"
#include "testhelpers.h"

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The built program, run as a shell runs it, against a simulated module in
// this process. Its standard input is no terminal here.
class TestZorvelProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void run_data();
    void run();
    void terminal_data();
    void terminal();
    void verboseTraceMatchesTheModule();
    void oneModuleThroughTwoNames_data();
    void oneModuleThroughTwoNames();
    void closedStandardStreams();
    void interruptedWrite_data();
    void interruptedWrite();
    void exportIntoPipeLetsGoOfThePort();

private:
    QProcess *start(QProcess &process, const QStringList &arguments);
    bool waitForQuestion(QProcess &process, QByteArray &errors);
};

void TestZorvelProgram::initTestCase()
{
    qRegisterMetaType<QProcess::ExitStatus>();
    QVERIFY2(QFileInfo(qEnvironmentVariable("ZORVEL_PROGRAM")).isExecutable(),
             "set ZORVEL_PROGRAM to the program's path");
}

// The output is compared up to its length; "%1" is the module's port.
void TestZorvelProgram::run_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("errors");

    const QString usage = "Usage: zorvel [-v|-q] COMMAND [OPTIONS]\n";
    const QString applyUsage = "zorvel apply FILE [PORTOPTS] [--dry-run] [--verify] [--yes] [--json]";
    // Without a terminal a write is refused before any module is read.
    const QString notConfirmed = "zorvel: not confirmed: standard input is not a terminal, so no question can be "
                                 "asked; give --yes to write without asking, or --dry-run to see what would be "
                                 "written; no module was read or written\n";
    QTest::newRow("--help") << QStringList { "--help" } << 0 << usage << QString();
    QTest::newRow("help") << QStringList { "help" } << 0 << usage << QString();
    QTest::newRow("help apply") << QStringList { "help", "apply" } << 0 << "Usage: " + applyUsage + "\n" << QString();
    QTest::newRow("apply --help") << QStringList { "apply", "--help" } << 0 << "Usage: " + applyUsage + "\n"
                                  << QString();
    QTest::newRow("no command") << QStringList() << 2 << QString()
                                << "zorvel: no command given\nzorvel: see zorvel --help\n";
    QTest::newRow("unknown command") << QStringList { "write" } << 2 << QString()
                                     << "zorvel: unknown command \"write\"\nzorvel: see zorvel --help\n";
    // Arguments and messages in the locale's encoding, UTF-8 here.
    QTest::newRow("unknown command, not ASCII") << QStringList { "\u00e9crire" } << 2 << QString()
        << "zorvel: unknown command \"\u00e9crire\"\nzorvel: see zorvel --help\n";
    QTest::newRow("unknown option") << QStringList { "show", "--baud", "9600" } << 2 << QString()
                                    << "zorvel: Unknown option 'baud'.\nzorvel: see zorvel help show\n";
    QTest::newRow("missing file") << QStringList { "apply" } << 2 << QString()
                                  << "zorvel: expected: " + applyUsage + "\nzorvel: see zorvel help apply\n";
    QTest::newRow("export --all") << QStringList { "export", "--all" } << 2 << QString()
        << "zorvel: export writes the document of one module; choose it with --port or --serial\n"
           "zorvel: see zorvel help export\n";
    QTest::newRow("set without a terminal") << QStringList { "set", "pelta=true", "--port", "%1" } << 2
        << QString() << notConfirmed;
    QTest::newRow("reset without a terminal") << QStringList { "reset", "--port", "%1" } << 2 << QString()
                                              << notConfirmed;
    const QString fullDisk = "zorvel: cannot write standard output: No space left on device\n";
    QTest::newRow("output on a full disk") << QStringList { "show", "--json", "--port", "%1" } << 2 << QString()
        << fullDisk;
    QTest::newRow("output on a full disk, --version") << QStringList { "--version" } << 2 << QString() << fullDisk;
    QTest::newRow("output on a full disk, --help") << QStringList { "--help" } << 2 << QString() << fullDisk;
    QTest::newRow("version") << QStringList { "--version" } << 0 << "zorvel " + qEnvironmentVariable("ZORVEL_VERSION") + "\n"
                             << QString();
    QTest::newRow("a device that is no serial port") << QStringList { "show", "--port", "/dev/null" } << 3
        << QString() << "zorvel: cannot open /dev/null: /dev/null is not a serial port.\n";
    QTest::newRow("a choice in another case") << QStringList { "set", "flowControl=hardware", "--dry-run", "--port", "%1" }
        << 0 << "rs232c.flowControl: \"NONE\" -> \"HARDWARE\"\n" << QString();
    QTest::newRow("a mistyped key") << QStringList { "set", "flowcontrol=HARDWARE", "--port", "%1" } << 2
        << QString() << "zorvel: flowcontrol = \"HARDWARE\": unknown key; did you mean flowControl? the keys are "
                        "bitrate, stopbits, flowControl, termchar, block4882, idnQuery, pelta, autoSerialPoll, "
                        "autoSerialPollInterval\n";
}

// Help lines fit a terminal of 80 columns; without a terminal nothing is
// confirmed, so only read requests reach the module.
void TestZorvelProgram::run()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, errors);
    SimulatedLine line;
    QVERIFY(line.open());
    const ModuleState before = line.module().state();

    QProcess process;
    process.setProgram(qEnvironmentVariable("ZORVEL_PROGRAM"));
    process.setArguments(arguments.replaceInStrings("%1", line.path()));
    process.setStandardInputFile(QProcess::nullDevice());
    if (QString(QTest::currentDataTag()).startsWith("output on a full disk"))
        process.setStandardOutputFile("/dev/full");
    QSignalSpy finished(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    process.start();
    // The module answers on this process's event loop while the program runs.
    QVERIFY(finished.wait(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QString printed = QString::fromUtf8(process.readAllStandardOutput());
    QCOMPARE(printed.left(output.size()), output);
    QCOMPARE(printed.isEmpty(), output.isEmpty());
    for (const QString &text : printed.split('\n'))
        QVERIFY2(text.size() <= 80, qPrintable(text));
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), errors.replace("%1", line.path()));
    QCOMPARE(line.module().state(), before);
    for (const QByteArray &request : line.module().requests())
        QVERIFY2(request.at(2) % 2 == 1, request.toHex(' ').constData());
    if (QString(QTest::currentDataTag()).endsWith("without a terminal"))
        QVERIFY(line.module().requests().isEmpty());
}

QProcess *TestZorvelProgram::start(QProcess &process, const QStringList &arguments)
{
    process.setProgram(qEnvironmentVariable("ZORVEL_PROGRAM"));
    process.setArguments(arguments);
    process.start();
    return &process;
}

// Collects what the program writes on standard error until it asks its
// question; the module answers on this process's event loop meanwhile.
bool TestZorvelProgram::waitForQuestion(QProcess &process, QByteArray &errors)
{
    return QTest::qWaitFor([&] { return (errors += process.readAllStandardError()).endsWith("[y/N] "); }, 10000);
}

// Standard input is a terminal: the plan, then one question, answered yes,
// no, or not at all when the terminal goes away. A restart notice that the
// module sends while the question waits stops the write or the reset.
void TestZorvelProgram::terminal_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<bool>("restart");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<int>("writes");

    const QStringList set { "set", "pelta=true" };
    const QString plan = "rs232c.pelta: false -> true\n";
    const QString refusal = "zorvel: %1: not confirmed: nothing was written to this module\n";
    const QString restarted = "zorvel: %1: the ZORVEL has restarted; wait until it is back and run the command "
                              "again\nzorvel: %1: nothing was written to this module\n";
    QTest::newRow("yes") << set << false << QByteArray("y\n") << 0
        << plan + "wrote the rs232c settings\nPower-cycle the ZORVEL for the new settings to take effect.\n"
        << QString() << 1;
    QTest::newRow("no") << set << false << QByteArray("n\n") << 2 << plan << refusal << 0;
    QTest::newRow("none") << set << false << QByteArray() << 2 << plan << refusal << 0;
    QTest::newRow("restart notice while asking, set") << set << true << QByteArray("y\n") << 3 << plan << restarted
                                                      << 0;
    QTest::newRow("restart notice while asking, reset") << QStringList { "reset" } << true << QByteArray("y\n") << 3
        << "reset: every setting returns to its factory default\n" << restarted << 0;
}

void TestZorvelProgram::terminal()
{
    QFETCH(QStringList, command);
    QFETCH(QByteArray, answer);
    QFETCH(QString, refusal);
    SimulatedLine line;
    QVERIFY(line.open());
    PseudoTerminal input;
    QVERIFY(input.open());
    QProcess process;
    QSignalSpy finished(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    process.setStandardInputFile(input.slavePath());
    start(process, command + QStringList { "--port", line.path() });

    QByteArray errors;
    QTRY_VERIFY((errors += process.readAllStandardError()).endsWith("[y/N] "));
    QFETCH(bool, restart);
    if (restart) {
        line.module().sendRestartNotice();
        QVERIFY(line.waitUntilDelivered());
    }
    if (answer.isEmpty())
        input.master()->close();
    else
        input.master()->write(answer);
    QVERIFY(finished.wait(20000));
    QTEST(process.exitCode(), "exitCode");
    QTEST(QString::fromUtf8(process.readAllStandardOutput()), "output");
    errors += process.readAllStandardError();
    const QString question = command.first() == "reset"
        ? "Reset the ZORVEL on %1 (no serial number) to factory defaults? [y/N] "
        : "Write the rs232c settings to the ZORVEL on %1 (no serial number)? [y/N] ";
    QCOMPARE(QString::fromUtf8(errors), QString(question + refusal).arg(line.path()));
    int written = 0;
    for (const QByteArray &request : line.module().requests())
        written += request.at(2) == 2 || request.at(2) == 4 || request.at(2) == 9 ? 1 : 0;
    QTEST(written, "writes");
}

// Each trace line, but for its time, is the line the simulated module's
// own log gives the same frame.
void TestZorvelProgram::verboseTraceMatchesTheModule()
{
    SimulatedLine line;
    QVERIFY(line.open());
    QStringList logged;
    const auto log = [&](FrameDirection direction) {
        return [&logged, &line, direction](const QByteArray &frame) {
            logged << frameTraceLine(0, line.path(), direction, frame).section(" ms  ", 1);
        };
    };
    connect(&line.module(), &SimulatedModule::requestReceived, this, log(FrameDirection::ToModule));
    connect(&line.module(), &SimulatedModule::replySent, this, log(FrameDirection::FromModule));
    QProcess process;
    QSignalSpy finished(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    start(process, { "-v", "show", "--json", "--port", line.path() });
    QVERIFY(finished.wait(20000));
    QCOMPARE(process.exitCode(), 0);

    QStringList traced;
    for (const QString &text : QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts)) {
        QVERIFY2(QRegularExpression("^ *\\d+ ms  ").match(text).hasMatch(), qPrintable(text));
        traced << text.section(" ms  ", 1);
    }
    QCOMPARE(traced.size(), 6);
    QCOMPARE(traced, logged);
}

void TestZorvelProgram::oneModuleThroughTwoNames_data()
{
    QTest::addColumn<bool>("byZorvel");
    QTest::addColumn<QString>("name");

    QTest::newRow("zorvel holds it, the other names a link") << true << "link";
    QTest::newRow("zorvel holds it, the other doubles the slashes") << true << "slashes";
    QTest::newRow("another program locks the device") << false << "link";
}

// While one program holds the module, a second one that names the same
// device another way is refused, naming the holder, and writes nothing; the
// first then writes, and nothing of the second is lost or written over.
void TestZorvelProgram::oneModuleThroughTwoNames()
{
    QFETCH(bool, byZorvel);
    QFETCH(QString, name);
    SimulatedLine line;
    QVERIFY(line.open());
    QTemporaryDir folder;
    const QString other = name == "link" ? folder.filePath("zorvel-SN1") : '/' + QString(line.path()).replace('/', "//");
    if (name == "link")
        QVERIFY(QFile::link(line.path(), other));

    PseudoTerminal input;
    QVERIFY(input.open());
    QProcess first;
    QSignalSpy firstFinished(&first, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    int locked = -1;
    QString holder;
    if (byZorvel) {
        first.setStandardInputFile(input.slavePath());
        start(first, { "set", "bitrate=2400", "--port", line.path() });
        QByteArray question;
        QVERIFY(waitForQuestion(first, question));
        holder = QString("zorvel (process %1)").arg(first.processId());
    } else {
        locked = ::open(QFile::encodeName(line.path()).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(locked >= 0 && ::flock(locked, LOCK_EX) == 0);
        holder = QString("%1 (process %2)").arg(QString(contents("/proc/self/comm")).trimmed())
                     .arg(QCoreApplication::applicationPid());
    }

    QProcess second;
    QSignalSpy secondFinished(&second, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    start(second, { "set", "flowControl=HARDWARE", "--yes", "--port", other });
    QVERIFY(secondFinished.wait(20000));
    QCOMPARE(second.exitCode(), 3);
    const QString refusal = QString::fromUtf8(second.readAllStandardError());
    QVERIFY2(refusal.startsWith("zorvel: cannot open " + other + ": "), qPrintable(refusal));
    QVERIFY2(refusal.contains("The port is in use by " + holder + ": close it, then try again."), qPrintable(refusal));

    if (byZorvel) {
        input.master()->write("y\n");
        QVERIFY(firstFinished.wait(20000));
        QCOMPARE(first.exitCode(), 0);
    } else {
        ::close(locked);
    }
    const ModuleState state = line.module().state();
    QCOMPARE(state.bitrate, byZorvel ? 2400 : 9600);
    QCOMPARE(state.flowControl, quint8(0));
    int written = 0;
    for (const QByteArray &request : line.module().requests())
        written += request.at(2) == 2 ? 1 : 0;
    QCOMPARE(written, byZorvel ? 1 : 0);
}

// With standard input, output and error closed, the program's own text
// must not go to the module: only whole requests reach it, and it answers
// the next run. Output that cannot be written is an error, as it was.
void TestZorvelProgram::closedStandardStreams()
{
    SimulatedLine line;
    QVERIFY(line.open());
    QProcess shell;
    QSignalSpy finished(&shell, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    shell.start("/bin/sh", { "-c", "exec \"$0\" -v show --port \"$1\" <&- >&- 2>&-",
                             qEnvironmentVariable("ZORVEL_PROGRAM"), line.path() });
    QVERIFY(finished.wait(20000));
    QCOMPARE(shell.exitCode(), 2);
    QCOMPARE(line.module().received().toHex(' '), hex("4d300100" "4d300300" "4d300500").toHex(' '));

    QProcess next;
    QSignalSpy nextFinished(&next, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    start(next, { "show", "--json", "--port", line.path() });
    QVERIFY(nextFinished.wait(20000));
    QCOMPARE(next.exitCode(), 0);
    QVERIFY(!QJsonDocument::fromJson(next.readAllStandardOutput()).isNull());

}

void TestZorvelProgram::interruptedWrite_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("moment");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("writes");
    QTest::addColumn<bool>("ignored");

    const QString sent = "zorvel: %1: the rs232c settings had been sent; what the module made of them is unknown "
                         "until it is read again (zorvel show)\n";
    QTest::newRow("SIGINT before the write's reply") << int(SIGINT) << "write" << 130
        << "zorvel: %1: interrupted by SIGINT\n" + sent << 1 << false;
    QTest::newRow("SIGTERM before the write's reply") << int(SIGTERM) << "write" << 143
        << "zorvel: %1: interrupted by SIGTERM\n" + sent << 1 << false;
    QTest::newRow("SIGHUP before the write's reply") << int(SIGHUP) << "write" << 129
        << "zorvel: %1: interrupted by SIGHUP\n" + sent << 1 << false;
    QTest::newRow("SIGINT at the question") << int(SIGINT) << "question" << 130
        << "zorvel: %1: interrupted by SIGINT\nzorvel: %1: nothing was written to this module\n" << 0 << false;
    QTest::newRow("SIGTERM while the write is read back") << int(SIGTERM) << "verify" << 143
        << "zorvel: %1: interrupted by SIGTERM\nzorvel: %1: the rs232c settings were written; reading them back "
           "did not finish\n" << 1 << false;
    // As nohup and a script's trap '' leave them: the write goes on.
    QTest::newRow("SIGHUP ignored by the caller") << int(SIGHUP) << "write" << 0 << QString() << 1 << true;
    QTest::newRow("SIGINT ignored by the caller") << int(SIGINT) << "write" << 0 << QString() << 1 << true;
}

// A signal ends the program as a lost line does: it says what had been
// sent, lets go of the port, Qt's lock file included, and exits with 128
// and the signal's number.
void TestZorvelProgram::interruptedWrite()
{
    QFETCH(int, signal);
    QFETCH(QString, moment);
    QFETCH(QString, message);
    QFETCH(bool, ignored);
    SimulatedLine line;
    QVERIFY(line.open());
    PseudoTerminal input;
    QVERIFY(input.open());
    QProcess process;
    QSignalSpy finished(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    SimulatedModule &module = line.module();
    int reads = 0;
    connect(&module, &SimulatedModule::requestReceived, this, [&](const QByteArray &frame) {
        reads += frame.at(2) == 3 ? 1 : 0;
        if ((moment == "write" && frame.at(2) == 2) || (moment == "verify" && reads == 2)) {
            module.setSilent(!ignored);
            ::kill(pid_t(process.processId()), signal);
        }
    });
    QStringList arguments { "set", "bitrate=1200", "--verify", "--timeout", "10000", "--port", line.path() };
    if (moment == "question")
        process.setStandardInputFile(input.slavePath());
    else
        arguments << "--yes";
    if (ignored) {
        const QString trap = QString("trap '' %1; exec \"$0\" \"$@\"").arg(signal == SIGHUP ? "HUP" : "INT");
        process.start("/bin/sh", QStringList { "-c", trap, qEnvironmentVariable("ZORVEL_PROGRAM") } + arguments);
    } else {
        start(process, arguments);
    }
    QByteArray errors;
    if (moment == "question") {
        QVERIFY(waitForQuestion(process, errors));
        ::kill(pid_t(process.processId()), signal);
    }

    QVERIFY(finished.wait(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QTEST(process.exitCode(), "exitCode");
    errors += process.readAllStandardError();
    QVERIFY2(errors.endsWith(message.arg(line.path()).toUtf8()), errors.constData());
    int written = 0;
    for (const QByteArray &request : module.requests())
        written += request.at(2) == 2 ? 1 : 0;
    QTEST(written, "writes");
    QVERIFY(!QFile::exists("/var/lock/LCK.." + line.path().mid(int(qstrlen("/dev/"))).replace('/', '_')));
}

// A pipe that nobody reads holds up export, not the module: the port is let
// go before the document is written, and a signal still ends the program.
void TestZorvelProgram::exportIntoPipeLetsGoOfThePort()
{
    SimulatedLine line;
    QVERIFY(line.open());
    QTemporaryDir folder;
    const QString pipe = folder.filePath("pipe.json");
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0644) == 0);
    QProcess exporting;
    QSignalSpy exported(&exporting, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    start(exporting, { "export", "-o", pipe, "--port", line.path() });
    QTRY_COMPARE(line.module().requests().size(), 3);

    QProcess showing;
    QSignalSpy shown(&showing, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    QTest::qWait(100);
    start(showing, { "show", "--port", line.path() });
    QVERIFY(shown.wait(20000));
    QCOMPARE(showing.exitCode(), 0);

    ::kill(pid_t(exporting.processId()), SIGTERM);
    QVERIFY(exported.wait(20000));
    QCOMPARE(exporting.exitStatus(), QProcess::CrashExit);
}

QTEST_GUILESS_MAIN(TestZorvelProgram)
#include "tst_zorvelprogram.moc"
