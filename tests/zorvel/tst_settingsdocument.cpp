#include "settingsdocument.h"

#include <QtTest>

class TestSettingsDocument : public QObject {
    Q_OBJECT

private slots:
    void refusedDocument_data();
    void refusedDocument();
    void merged_data();
    void merged();
    void assignments_data();
    void assignments();
    void exportedKeepsOrderAndReadsBack();
};

namespace {

ModuleSettings moduleSettings()
{
    ModuleSettings settings;
    settings.rs232c = { 9600, 1, 0, 0x0D, false, "ID?", false };
    settings.usbtmc = { false, 1000 };
    return settings;
}

} // namespace

// Each refusal names the key, the value and what is accepted.
void TestSettingsDocument::refusedDocument_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");

    QTest::newRow("unreadable") << QByteArray("{\n  \"rs232c\": {\n    \"bitrate\": 9600,\n  }\n}")
                                << "line 4, column 4: ";
    QTest::newRow("not an object") << QByteArray("[1]") << "not a JSON object";
    QTest::newRow("other format") << QByteArray(R"({"format": "zorvel-settings/2"})")
                                  << "format = \"zorvel-settings/2\": expected \"zorvel-settings/1\"";
    QTest::newRow("unknown group") << QByteArray(R"({"gpib": {}})") << "gpib = {}: unknown group";
    QTest::newRow("group not an object") << QByteArray(R"({"rs232c": 5})") << "rs232c = 5: expected an object";
    QTest::newRow("unknown key") << QByteArray(R"({"rs232c": {"baud": 9600}})")
                                 << "rs232c.baud = 9600: unknown key; the rs232c keys are bitrate, stopbits";
    QTest::newRow("key of the other group") << QByteArray(R"({"usbtmc": {"pelta": true}})")
                                            << "usbtmc.pelta = true: unknown key";
    QTest::newRow("bitrate off the list") << QByteArray(R"({"rs232c": {"bitrate": 14400}})")
        << "rs232c.bitrate = 14400: expected one of 115200, 57600, 38400, 19200, 9600, 4800, 2400, 1200";
    QTest::newRow("bitrate as text") << QByteArray(R"({"rs232c": {"bitrate": "9600"}})")
                                     << "rs232c.bitrate = \"9600\": expected one of";
    QTest::newRow("bitrate with a fraction") << QByteArray(R"({"rs232c": {"bitrate": 9600.5}})")
                                             << "rs232c.bitrate = 9600.5: expected one of";
    QTest::newRow("stop bits 0") << QByteArray(R"({"rs232c": {"stopbits": 0}})")
                                 << "rs232c.stopbits = 0: expected 1 or 2";
    QTest::newRow("stop bits 1.5") << QByteArray(R"({"rs232c": {"stopbits": 1.5}})")
                                   << "rs232c.stopbits = 1.5: expected 1 or 2";
    QTest::newRow("flow control in lower case") << QByteArray(R"({"rs232c": {"flowControl": "hardware"}})")
        << "rs232c.flowControl = \"hardware\": expected \"NONE\", \"SOFTWARE\" or \"HARDWARE\"";
    QTest::newRow("flow control as its code") << QByteArray(R"({"rs232c": {"flowControl": 2}})")
                                              << "rs232c.flowControl = 2: expected";
    QTest::newRow("termchar above a byte") << QByteArray(R"({"rs232c": {"termchar": "0x100"}})")
        << "rs232c.termchar = \"0x100\": expected a byte: a string \"0x00\" to \"0xFF\" or a number 0 to 255";
    QTest::newRow("termchar number above a byte") << QByteArray(R"({"rs232c": {"termchar": 256}})")
                                                  << "rs232c.termchar = 256: expected a byte";
    QTest::newRow("termchar negative") << QByteArray(R"({"rs232c": {"termchar": -1}})")
                                       << "rs232c.termchar = -1: expected a byte";
    QTest::newRow("termchar not hex") << QByteArray(R"({"rs232c": {"termchar": "CR"}})")
                                      << "rs232c.termchar = \"CR\": expected a byte";
    QTest::newRow("idn query of 16 characters") << QByteArray(R"({"rs232c": {"idnQuery": "*IDN?*IDN?*IDN?X"}})")
        << "rs232c.idnQuery = \"*IDN?*IDN?*IDN?X\": expected printable ASCII of at most 15 characters";
    QTest::newRow("idn query with a line end") << QByteArray(R"({"rs232c": {"idnQuery": "ID?\n"}})")
                                               << "rs232c.idnQuery = \"ID?\\n\": expected printable ASCII";
    QTest::newRow("idn query not ASCII") << QByteArray(R"({"rs232c": {"idnQuery": "ID\u00e9"}})")
                                         << "expected printable ASCII";
    QTest::newRow("block transfer as a number") << QByteArray(R"({"rs232c": {"block4882": 1}})")
                                                << "rs232c.block4882 = 1: expected true or false";
    QTest::newRow("pelta as text") << QByteArray(R"({"rs232c": {"pelta": "true"}})")
                                   << "rs232c.pelta = \"true\": expected true or false";
    QTest::newRow("polling as text") << QByteArray(R"({"usbtmc": {"autoSerialPoll": "on"}})")
                                     << "usbtmc.autoSerialPoll = \"on\": expected true or false";
    QTest::newRow("interval negative") << QByteArray(R"({"usbtmc": {"autoSerialPollInterval": -1}})")
        << "usbtmc.autoSerialPollInterval = -1: expected a whole number of milliseconds, 0 to 2147483647";
    QTest::newRow("interval above 32 bits") << QByteArray(R"({"usbtmc": {"autoSerialPollInterval": 2147483648}})")
                                            << "usbtmc.autoSerialPollInterval = 2147483648: expected";
    QTest::newRow("pelta without block transfer")
        << QByteArray(R"({"rs232c": {"pelta": true, "block4882": false}})")
        << "rs232c.pelta = true: needs rs232c.block4882 true";
    QTest::newRow("block transfer with another terminator")
        << QByteArray(R"({"rs232c": {"block4882": true, "termchar": "0x0D"}})")
        << "rs232c.termchar = \"0x0D\": expected \"0x0A\" while rs232c.block4882 is true";
    QTest::newRow("block transfer with another query")
        << QByteArray(R"({"rs232c": {"block4882": true, "idnQuery": "ID?"}})")
        << "rs232c.idnQuery = \"ID?\": expected \"*IDN?\" while rs232c.block4882 is true";
    QTest::newRow("pelta with another terminator, block transfer left out")
        << QByteArray(R"({"rs232c": {"pelta": true, "termchar": 13}})")
        << "rs232c.termchar = \"0x0D\": expected \"0x0A\"";
}

void TestSettingsDocument::refusedDocument()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);
    QStringList errors;
    QVERIFY(!SettingsDocument::parse(json, &errors));
    QVERIFY2(errors.join('\n').contains(error), qPrintable(errors.join('\n')));
}

// What the document leaves out keeps the module's value, or takes the value
// an interlock sets; a key set against the module's interlock is refused.
void TestSettingsDocument::merged_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("modulePelta");
    QTest::addColumn<QStringList>("changes");

    QTest::newRow("empty document") << QByteArray("{}") << false << QStringList();
    QTest::newRow("module group ignored") << QByteArray(R"({"module": {"version": "9"}, "format": "zorvel-settings/1"})")
                                          << false << QStringList();
    QTest::newRow("one key") << QByteArray(R"({"rs232c": {"bitrate": 115200}})") << false
                             << QStringList { "rs232c.bitrate: 9600 -> 115200" };
    QTest::newRow("termchar as a number") << QByteArray(R"({"rs232c": {"termchar": 27}})") << false
                                          << QStringList { "rs232c.termchar: \"0x0D\" -> \"0x1B\"" };
    QTest::newRow("pelta forces the rest") << QByteArray(R"({"rs232c": {"pelta": true}})") << false
        << QStringList { "rs232c.termchar: \"0x0D\" -> \"0x0A\"", "rs232c.block4882: false -> true",
                         "rs232c.idnQuery: \"ID?\" -> \"*IDN?\"", "rs232c.pelta: false -> true" };
    QTest::newRow("block transfer forces terminator and query") << QByteArray(R"({"rs232c": {"block4882": true}})")
        << false << QStringList { "rs232c.termchar: \"0x0D\" -> \"0x0A\"", "rs232c.block4882: false -> true",
                                  "rs232c.idnQuery: \"ID?\" -> \"*IDN?\"" };
    QTest::newRow("terminator against the module's pelta") << QByteArray(R"({"rs232c": {"termchar": "0x0D"}})")
                                                           << true << QStringList { "refused" };
    QTest::newRow("block transfer off against the module's pelta")
        << QByteArray(R"({"rs232c": {"block4882": false}})") << true << QStringList { "refused" };
    QTest::newRow("pelta off keeps block transfer") << QByteArray(R"({"rs232c": {"pelta": false}})") << true
                                                    << QStringList { "rs232c.pelta: true -> false" };
    QTest::newRow("both off frees the terminator")
        << QByteArray(R"({"rs232c": {"pelta": false, "block4882": false, "termchar": "0x0D"}})") << true
        << QStringList { "rs232c.termchar: \"0x0A\" -> \"0x0D\"", "rs232c.block4882: true -> false",
                         "rs232c.pelta: true -> false" };
    QTest::newRow("usbtmc") << QByteArray(R"({"usbtmc": {"autoSerialPoll": true, "autoSerialPollInterval": 0}})")
        << false << QStringList { "usbtmc.autoSerialPoll: false -> true", "usbtmc.autoSerialPollInterval: 1000 -> 0" };
}

void TestSettingsDocument::merged()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, modulePelta);
    QFETCH(QStringList, changes);
    QStringList errors;
    const auto document = SettingsDocument::parse(json, &errors);
    QVERIFY2(document, qPrintable(errors.join('\n')));
    ModuleSettings module = moduleSettings();
    module.rs232c.peltaSafu = modulePelta;
    const auto merged = document->mergedOver(module, &errors);
    if (changes == QStringList { "refused" }) {
        QVERIFY(!merged);
        QCOMPARE(errors.size(), 1);
        return;
    }
    QVERIFY2(merged, qPrintable(errors.join('\n')));
    QCOMPARE(SettingsDocument::differences(SettingsDocument::interlocked(module), *merged), changes);
}

void TestSettingsDocument::assignments_data()
{
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QStringList>("changes");

    QTest::newRow("bare words are text") << QStringList { "flowControl=HARDWARE", "idnQuery=ID2?" }
        << QStringList { "rs232c.flowControl: \"NONE\" -> \"HARDWARE\"", "rs232c.idnQuery: \"ID?\" -> \"ID2?\"" };
    QTest::newRow("termchar in hex") << QStringList { "termchar=0x1b" }
                                     << QStringList { "rs232c.termchar: \"0x0D\" -> \"0x1B\"" };
    QTest::newRow("JSON values and group names") << QStringList { "usbtmc.autoSerialPoll=true", "bitrate=1200" }
        << QStringList { "rs232c.bitrate: 9600 -> 1200", "usbtmc.autoSerialPoll: false -> true" };
    QTest::newRow("quoted text") << QStringList { R"(idnQuery="12")" }
                                 << QStringList { "rs232c.idnQuery: \"ID?\" -> \"12\"" };
    QTest::newRow("the last of one key wins") << QStringList { "bitrate=1200", "bitrate=2400" }
                                              << QStringList { "rs232c.bitrate: 9600 -> 2400" };
    QTest::newRow("unknown key") << QStringList { "baud=9600" } << QStringList { "refused" };
    QTest::newRow("no value") << QStringList { "pelta" } << QStringList { "refused" };
    QTest::newRow("boolean as a word") << QStringList { "pelta=yes" } << QStringList { "refused" };
    QTest::newRow("interlocked pair") << QStringList { "pelta=true", "block4882=false" } << QStringList { "refused" };
}

void TestSettingsDocument::assignments()
{
    QFETCH(QStringList, assignments);
    QFETCH(QStringList, changes);
    QStringList errors;
    const auto document = SettingsDocument::fromAssignments(assignments, &errors);
    if (changes == QStringList { "refused" }) {
        QVERIFY(!document);
        QVERIFY(!errors.isEmpty());
        return;
    }
    QVERIFY2(document, qPrintable(errors.join('\n')));
    const auto merged = document->mergedOver(moduleSettings(), &errors);
    QVERIFY(merged);
    QCOMPARE(SettingsDocument::differences(moduleSettings(), *merged), changes);
}

void TestSettingsDocument::exportedKeepsOrderAndReadsBack()
{
    ModuleInfo info { "01.02.07", true, true, 31, "MAKER,\"MODEL\",1" };
    ModuleSettings settings = moduleSettings();
    settings.rs232c.bitrate = 250;
    const QByteArray json = SettingsDocument::toJson(SettingsDocument::entries("ttyACM0", info, settings));
    QCOMPARE(json, QByteArray(R"({
  "format": "zorvel-settings/1",
  "module": {
    "port": "ttyACM0",
    "version": "01.02.07",
    "hostInterface": "USB",
    "gpibAddress": 31,
    "customMode": true,
    "idn": "MAKER,\"MODEL\",1"
  },
  "rs232c": {
    "bitrate": 250,
    "stopbits": 1,
    "flowControl": "NONE",
    "termchar": "0x0D",
    "block4882": false,
    "idnQuery": "ID?",
    "pelta": false
  },
  "usbtmc": {
    "autoSerialPoll": false,
    "autoSerialPollInterval": 1000
  }
})"));
    // A bitrate off the list cannot be set from a document, only kept.
    QStringList errors;
    QVERIFY(!SettingsDocument::parse(json, &errors));
    QCOMPARE(errors, QStringList { "rs232c.bitrate = 250: expected one of 115200, 57600, 38400, 19200, 9600, "
                                   "4800, 2400, 1200" });
    const QByteArray withoutBitrate = QByteArray(json).replace("\"bitrate\": 250,", "");
    errors.clear();
    const auto document = SettingsDocument::parse(withoutBitrate, &errors);
    QVERIFY2(document, qPrintable(errors.join('\n')));
    const auto merged = document->mergedOver(settings, &errors);
    QVERIFY(merged);
    QCOMPARE(SettingsDocument::differences(settings, *merged), QStringList());
}

QTEST_APPLESS_MAIN(TestSettingsDocument)
#include "tst_settingsdocument.moc"
