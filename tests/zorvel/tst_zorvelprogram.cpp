#include "pseudoterminal.h"
#include "simulatedmodule.h"

#include <QtTest>

// The built program, run as a shell runs it, against a simulated module in
// this process. Its standard input is no terminal here.
class TestZorvelProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void help_data();
    void help();
    void usageErrors_data();
    void usageErrors();
    void refusesWithoutTerminal_data();
    void refusesWithoutTerminal();
    void showsJson();

private:
    int run(const QStringList &arguments);

    QString m_program;
    std::unique_ptr<PseudoTerminal> m_terminal;
    std::unique_ptr<SimulatedModule> m_module;
    QByteArray m_output;
    QByteArray m_errors;
};

void TestZorvelProgram::initTestCase()
{
    qRegisterMetaType<QProcess::ExitStatus>();
    m_program = qEnvironmentVariable("ZORVEL_PROGRAM");
    QVERIFY2(QFileInfo(m_program).isExecutable(), "set ZORVEL_PROGRAM to the program's path");
}

void TestZorvelProgram::init()
{
    m_module = std::make_unique<SimulatedModule>();
    m_terminal = std::make_unique<PseudoTerminal>();
    QVERIFY2(m_terminal->open(), qPrintable(m_terminal->errorString()));
    m_module->attach(m_terminal->master());
}

int TestZorvelProgram::run(const QStringList &arguments)
{
    QProcess process;
    process.setProgram(m_program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    QSignalSpy finished(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    process.start();
    // The module answers on this process's event loop while the program runs.
    if (!finished.wait(20000))
        qFatal("%s did not end", qPrintable(m_program));
    m_output = process.readAllStandardOutput();
    m_errors = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

void TestZorvelProgram::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("beginning");

    QTest::newRow("--help") << QStringList { "--help" } << "Usage: zorvel COMMAND [OPTIONS]\n";
    QTest::newRow("help") << QStringList { "help" } << "Usage: zorvel COMMAND [OPTIONS]\n";
    QTest::newRow("help apply") << QStringList { "help", "apply" }
                                << "Usage: zorvel apply FILE [PORTOPTS] [--dry-run] [--verify] [--yes]\n";
    QTest::newRow("apply --help") << QStringList { "apply", "--help" }
                                  << "Usage: zorvel apply FILE [PORTOPTS] [--dry-run] [--verify] [--yes]\n";
    QTest::newRow("set -h") << QStringList { "set", "-h" }
                            << "Usage: zorvel set KEY=VALUE... [PORTOPTS] [--dry-run] [--verify] [--yes]\n";
}

void TestZorvelProgram::help()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, beginning);
    QCOMPARE(run(arguments), 0);
    QVERIFY2(m_output.startsWith(beginning.toUtf8()), m_output.constData());
    QCOMPARE(m_errors, QByteArray());
    for (const QByteArray &line : m_output.split('\n'))
        QVERIFY2(line.size() <= 80, line.constData());
}

void TestZorvelProgram::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    QTest::newRow("no command") << QStringList() << "zorvel: no command given\nzorvel: see zorvel --help\n";
    QTest::newRow("unknown command") << QStringList { "write" }
                                     << "zorvel: unknown command \"write\"\nzorvel: see zorvel --help\n";
    // Arguments and messages in the locale's encoding, UTF-8 here.
    QTest::newRow("unknown command, not ASCII") << QStringList { "\u00e9crire" }
        << "zorvel: unknown command \"\u00e9crire\"\nzorvel: see zorvel --help\n";
    QTest::newRow("unknown option") << QStringList { "show", "--baud", "9600" }
                                    << "zorvel: Unknown option 'baud'.\nzorvel: see zorvel help show\n";
    QTest::newRow("missing file") << QStringList { "apply" }
        << "zorvel: expected: zorvel apply FILE [PORTOPTS] [--dry-run] [--verify] [--yes]\nzorvel: see zorvel help apply\n";
    QTest::newRow("export --all") << QStringList { "export", "--all" }
        << "zorvel: export writes the document of one module; choose it with --port or --serial\n"
           "zorvel: see zorvel help export\n";
}

void TestZorvelProgram::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    QCOMPARE(run(arguments), 2);
    QCOMPARE(QString::fromUtf8(m_errors), error);
    QCOMPARE(m_output, QByteArray());
}

void TestZorvelProgram::refusesWithoutTerminal_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("question");

    QTest::newRow("set") << QStringList { "set", "pelta=true" } << "Write RS232C settings to the ZORVEL on %1? [y/N]";
    QTest::newRow("set usbtmc") << QStringList { "set", "autoSerialPoll=true" }
                                << "Write USBTMC settings to the ZORVEL on %1? [y/N]";
    QTest::newRow("reset") << QStringList { "reset" } << "Reset the ZORVEL on %1 to factory defaults? [y/N]";
}

void TestZorvelProgram::refusesWithoutTerminal()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, question);
    const ModuleState before = m_module->state();
    QCOMPARE(run(arguments + QStringList { "--port", m_terminal->slavePath() }), 2);
    QCOMPARE(QString::fromUtf8(m_errors),
             "zorvel: " + question.arg(m_terminal->slavePath())
                 + "\nnot confirmed: standard input is not a terminal; give --yes to write without asking\n");
    QCOMPARE(m_module->state(), before);
    for (const QByteArray &request : m_module->requests())
        QVERIFY2(request.at(2) % 2 == 1, request.toHex(' ').constData());
}

void TestZorvelProgram::showsJson()
{
    QCOMPARE(run({ "show", "--json", "--port", m_terminal->slavePath() }), 0);
    const QJsonObject document = QJsonDocument::fromJson(m_output).object();
    QCOMPARE(document["format"].toString(), QString("zorvel-settings/1"));
    QCOMPARE(document["module"]["idn"].toString(), QString("SIMULATED,GPIB INSTRUMENT,SN000001,1.00"));
    QCOMPARE(document["rs232c"]["bitrate"].toInt(), 9600);
    QCOMPARE(m_module->requests(),
             (QList<QByteArray> { QByteArray::fromHex("4d300100"), QByteArray::fromHex("4d300300"),
                                  QByteArray::fromHex("4d300500") }));
}

QTEST_GUILESS_MAIN(TestZorvelProgram)
#include "tst_zorvelprogram.moc"
