// Saving and loading settings documents in the main window, on a simulated
// module over a pseudo-terminal, checked against the command line, which
// runs in this process on the same line once the window has let go of it.

#include "commandbench.h"
#include "testhelpers.h"
#include "windowbench.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Every field of both tabs as the user reads it, and whether it can be edited.
QStringList fieldStates(const MainWindow &window)
{
    QStringList states;
    for (const auto *box : window.findChildren<QComboBox *>())
        states << box->objectName() + '=' + box->currentText();
    for (const auto *edit : window.findChildren<QLineEdit *>())
        states << edit->objectName() + '=' + edit->text() + (edit->isEnabled() ? "" : " (fixed)");
    for (const auto *check : window.findChildren<QCheckBox *>())
        states << check->objectName() + '=' + (check->isChecked() ? "on" : "off") + (check->isEnabled() ? "" : " (fixed)");
    return states;
}

// The frames of the given types the module received, in hex.
QList<QByteArray> framesOf(const SimulatedModule &module, const QList<int> &types, int from = 0)
{
    QList<QByteArray> frames;
    for (const QByteArray &request : module.requests().mid(from)) {
        if (types.contains(quint8(request.at(2))))
            frames << request.toHex(' ');
    }
    return frames;
}

// A FIFO that nobody has open, where opening it to read or to write would
// wait for the other end. Should the window wait, the guard opens that end
// after two seconds, so that the test fails rather than hangs.
class PipeGuard
{
public:
    explicit PipeGuard(const QString &path)
        : m_path(QFile::encodeName(path))
    {
        if (::mkfifo(m_path.constData(), 0644) != 0)
            qFatal("cannot make the FIFO %s", m_path.constData());
        m_thread = std::thread([this] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_finished.wait_for(lock, std::chrono::seconds(2), [this] { return m_done; }))
                return;
            m_released = true;
            ::close(::open(m_path.constData(), O_RDWR | O_NONBLOCK));
        });
    }

    ~PipeGuard() { finish(); }

    // Whether the window got through without the guard's help.
    bool finish()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_finished.notify_one();
        if (m_thread.joinable())
            m_thread.join();
        return !m_released;
    }

private:
    QByteArray m_path;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    std::atomic<bool> m_released { false };
};

} // namespace

class TestWindowDocuments : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void savedDocumentServesBothPrograms_data();
    void savedDocumentServesBothPrograms();
    void badDocumentChangesNoField_data();
    void badDocumentChangesNoField();
    void refusedSaveLeavesNoFile_data();
    void refusedSaveLeavesNoFile();

private:
    void startAndRead();
    int runZorvel(const QStringList &arguments);
    QString writeDocument(const QByteArray &content);

    std::unique_ptr<WindowBench> m_bench;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_output;
};

void TestWindowDocuments::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_bench = std::make_unique<WindowBench>();
    QVERIFY2(m_bench->open(), qPrintable(m_bench->errorString()));
}

void TestWindowDocuments::cleanup()
{
    m_bench.reset();
}

void TestWindowDocuments::startAndRead()
{
    m_bench->startWindow();
    QVERIFY(m_bench->waitForReadBack());
}

// The command line in this process, on the window's line.
int TestWindowDocuments::runZorvel(const QStringList &arguments)
{
    CommandBench zorvel(0);
    const int code = zorvel.run(arguments + QStringList { "--port", m_bench->line.path() });
    m_output = zorvel.output + zorvel.errors;
    return code;
}

QString TestWindowDocuments::writeDocument(const QByteArray &content)
{
    const QString path = m_dir->filePath("document.json");
    writeFile(path, content);
    return path;
}

void TestWindowDocuments::savedDocumentServesBothPrograms_data()
{
    QTest::addColumn<bool>("modulePelta");
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QString>("differences");

    QTest::newRow("as read") << false << QStringList() << QString();
    QTest::newRow("PELTA as read") << true << QStringList() << QString();
    QTest::newRow("both tabs edited") << false
        << QStringList { "cboBitrate=19200", "cboFlowControl=HARDWARE", "txtAutoSpollIntv=250", "chkAutoSpoll" }
        << "rs232c.bitrate: 9600 -> 19200\nrs232c.flowControl: \"NONE\" -> \"HARDWARE\"\n"
           "usbtmc.autoSerialPoll: false -> true\nusbtmc.autoSerialPollInterval: 1000 -> 250\n";
    QTest::newRow("block transfer off frees the terminator") << false
        << QStringList { "chk4882Block", "txtTermcharCode=0x0D", "txtIdnQuery=ID?" }
        << "rs232c.termchar: \"0x0A\" -> \"0x0D\"\nrs232c.block4882: true -> false\n"
           "rs232c.idnQuery: \"*IDN?\" -> \"ID?\"\n";
}

// The window saves what its fields show; the command line finds exactly
// the edits in it and writes them. The window, loading the same document
// into a fresh read-back, shows the same fields and writes the same bytes.
void TestWindowDocuments::savedDocumentServesBothPrograms()
{
    QFETCH(bool, modulePelta);
    QFETCH(QStringList, edits);
    QFETCH(QString, differences);
    ModuleState state = m_bench->module.state();
    state.peltaSafu = modulePelta;
    m_bench->module.setState(state);
    startAndRead();
    m_bench->edit(edits);
    const QStringList saved = fieldStates(*m_bench->window);
    const QString path = m_dir->filePath("saved.json");
    m_bench->boxes.setFileAnswer(path);
    m_bench->widget<QAction>("action_Save_Settings")->trigger();
    QCOMPARE(QFileInfo(m_bench->boxes.proposedFiles().value(0)).fileName(), QString("zorvel-settings-ZV0042.json"));
    QVERIFY2(m_bench->boxes.texts().isEmpty(), qPrintable(m_bench->boxes.texts().join('\n')));

    m_bench->window.reset();
    m_bench->port.close();
    QCOMPARE(runZorvel({ "diff", path }), differences.isEmpty() ? 0 : 1);
    QCOMPARE(m_output, differences.isEmpty() ? m_bench->line.path() + " (no serial number): no differences\n"
                                             : differences);
    const int before = m_bench->module.requests().size();
    QCOMPARE(runZorvel({ "apply", path, "--yes" }), 0);
    const QList<QByteArray> byZorvel = framesOf(m_bench->module, { 2, 4 }, before);

    m_bench->module.setState(state);
    QVERIFY(m_bench->port.open(QIODevice::ReadWrite));
    startAndRead();
    m_bench->boxes.setFileAnswer(path);
    m_bench->widget<QAction>("action_Load_Settings")->trigger();
    QCOMPARE(fieldStates(*m_bench->window), saved);
    const int windowFrom = m_bench->module.requests().size();
    m_bench->widget<QAction>("action_Rs232cSync_To")->trigger();
    m_bench->widget<QAction>("action_UsbtmcSync_To")->trigger();
    QTRY_COMPARE(framesOf(m_bench->module, { 2, 4 }, windowFrom).size(), 2);
    const QList<QByteArray> byWindow = framesOf(m_bench->module, { 2, 4 }, windowFrom);
    for (const QByteArray &frame : byZorvel)
        QVERIFY2(byWindow.contains(frame), frame.constData());
}

void TestWindowDocuments::badDocumentChangesNoField_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("problem");

    QTest::newRow("unreadable") << QByteArray("{\"rs232c\": {") << "line 1, column ";
    const QByteArray format = R"({"format": "zorvel-settings/1", )";
    QTest::newRow("bitrate off the list") << format + R"("rs232c": {"bitrate": 14400, "stopbits": 2}})"
                                          << "rs232c.bitrate = 14400: expected one of 115200";
    QTest::newRow("unknown key") << format + R"("usbtmc": {"interval": 5}})" << "usbtmc.interval = 5: unknown key";
    QTest::newRow("terminator against the module's block transfer")
        << format + R"("rs232c": {"termchar": "0x0D"}, "usbtmc": {"autoSerialPoll": true}})"
        << R"(rs232c.termchar = "0x0D": expected "0x0A" while rs232c.block4882 is true)";
    QTest::newRow("a pipe, which nothing writes into") << QByteArray() << "not a regular file";
}

void TestWindowDocuments::badDocumentChangesNoField()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, problem);
    startAndRead();
    m_bench->widget<QComboBox>("cboBitrate")->setCurrentText("4800");
    const QStringList before = fieldStates(*m_bench->window);
    const QString path = document.isEmpty() ? m_dir->filePath("pipe.json") : writeDocument(document);
    std::unique_ptr<PipeGuard> pipe(document.isEmpty() ? new PipeGuard(path) : nullptr);

    m_bench->boxes.setFileAnswer(path);
    m_bench->widget<QAction>("action_Load_Settings")->trigger();
    QVERIFY2(!pipe || pipe->finish(), "the window waited for the pipe's other end");
    QCOMPARE(m_bench->boxes.texts().size(), 1);
    QCOMPARE(m_bench->boxes.icons().at(0), QMessageBox::Warning);
    const QString warning = m_bench->boxes.texts().at(0);
    QVERIFY2(warning.startsWith("No settings were loaded from " + QDir::toNativeSeparators(path) + ":\n"),
             qPrintable(warning));
    QVERIFY2(warning.contains(problem), qPrintable(warning));
    QCOMPARE(fieldStates(*m_bench->window), before);
}

void TestWindowDocuments::refusedSaveLeavesNoFile_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("warning");

    QTest::newRow("not read") << true << "settings.json"
        << "The settings were not saved: they have not been read from the ZORVEL yet.\nUse Device → Refresh first.";
    QTest::newRow("folder missing") << false << "missing/settings.json"
        << "The settings were not saved to %1:\n";
    QTest::newRow("a pipe, which nothing reads") << false << "pipe.json"
        << "The settings were not saved to %1:\nnot a regular file";
}

void TestWindowDocuments::refusedSaveLeavesNoFile()
{
    QFETCH(bool, silent);
    QFETCH(QString, file);
    QFETCH(QString, warning);
    m_bench->module.setSilent(silent);
    writeDocument("{}");
    if (silent)
        m_bench->startWindow();
    else
        startAndRead();
    const QString path = m_dir->filePath(file);
    std::unique_ptr<PipeGuard> pipe(file == "pipe.json" ? new PipeGuard(path) : nullptr);

    m_bench->boxes.setFileAnswer(path);
    m_bench->widget<QAction>("action_Save_Settings")->trigger();
    QVERIFY2(!pipe || pipe->finish(), "the window waited for the pipe's other end");
    // The file dialog itself asks first whether to replace the pipe.
    QCOMPARE(m_bench->boxes.texts().size(), pipe ? 2 : 1);
    QVERIFY2(m_bench->boxes.texts().last().startsWith(warning.replace("%1", QDir::toNativeSeparators(path))),
             qPrintable(m_bench->boxes.texts().last()));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList { "document.json" });
}

QTEST_MAIN(TestWindowDocuments)
#include "tst_windowdocuments.moc"
