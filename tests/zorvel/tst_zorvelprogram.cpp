#include "frametrace.h"
#include "simulatedline.h"

#include <QtTest>

#include <memory>

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

private:
    QProcess *start(QProcess &process, const QStringList &arguments);
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
    const QString applyUsage = "zorvel apply FILE [PORTOPTS] [--dry-run] [--verify] [--yes]";
    const QString notConfirmed = "? [y/N]\nnot confirmed: standard input is not a terminal; give --yes to write "
                                 "without asking\n";
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
    const QString refused = "zorvel: %1: not confirmed: nothing was written to this module\n";
    QTest::newRow("set without a terminal") << QStringList { "set", "pelta=true", "--port", "%1" } << 2
        << "rs232c.pelta: false -> true\n"
        << "zorvel: Write the rs232c settings to the ZORVEL on %1 (no serial number)" + notConfirmed + refused;
    QTest::newRow("reset without a terminal") << QStringList { "reset", "--port", "%1" } << 2
        << "reset: every setting returns to its factory default\n"
        << "zorvel: Reset the ZORVEL on %1 (no serial number) to factory defaults" + notConfirmed + refused;
    QTest::newRow("output on a full disk") << QStringList { "show", "--json", "--port", "%1" } << 2 << QString()
        << "zorvel: cannot write standard output: No space left on device\n";
    QTest::newRow("version") << QStringList { "--version" } << 0 << "zorvel " + qEnvironmentVariable("ZORVEL_VERSION") + "\n"
                             << QString();
    QTest::newRow("quiet leaves out the plan") << QStringList { "-q", "set", "pelta=true", "--port", "%1" } << 2
        << QString() << "zorvel: Write the rs232c settings to the ZORVEL on %1 (no serial number)" + notConfirmed + refused;
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
    if (QString(QTest::currentDataTag()) == "output on a full disk")
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
}

QProcess *TestZorvelProgram::start(QProcess &process, const QStringList &arguments)
{
    process.setProgram(qEnvironmentVariable("ZORVEL_PROGRAM"));
    process.setArguments(arguments);
    process.start();
    return &process;
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

QTEST_GUILESS_MAIN(TestZorvelProgram)
#include "tst_zorvelprogram.moc"
