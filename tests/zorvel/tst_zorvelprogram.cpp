#include "moduleline.h"

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

    const QString usage = "Usage: zorvel COMMAND [OPTIONS]\n";
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
    QTest::newRow("set without a terminal") << QStringList { "set", "pelta=true", "--port", "%1" } << 2 << QString()
                                            << "zorvel: Write RS232C settings to the ZORVEL on %1" + notConfirmed;
    QTest::newRow("reset without a terminal") << QStringList { "reset", "--port", "%1" } << 2 << QString()
        << "zorvel: Reset the ZORVEL on %1 to factory defaults" + notConfirmed;
}

// Help lines fit a terminal of 80 columns; without a terminal nothing is
// confirmed, so only read requests reach the module.
void TestZorvelProgram::run()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, errors);
    ModuleLine line;
    const ModuleState before = line.module.state();

    QProcess process;
    process.setProgram(qEnvironmentVariable("ZORVEL_PROGRAM"));
    process.setArguments(arguments.replaceInStrings("%1", line.path()));
    process.setStandardInputFile(QProcess::nullDevice());
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
    QCOMPARE(line.module.state(), before);
    for (const QByteArray &request : line.module.requests())
        QVERIFY2(request.at(2) % 2 == 1, request.toHex(' ').constData());
}

QTEST_GUILESS_MAIN(TestZorvelProgram)
#include "tst_zorvelprogram.moc"
