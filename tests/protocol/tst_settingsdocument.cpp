#include "settingsdocument.h"

#include <QtTest>

class TestSettingsDocument : public QObject {
    Q_OBJECT

private slots:
    void refusedDocument_data();
    void refusedDocument();
    void assignments_data();
    void assignments();
};

// Each refusal names the key, the value and what is accepted.
void TestSettingsDocument::refusedDocument_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");
    const auto row = [](const char *name, const char *json, const char *error) {
        QTest::newRow(name) << QByteArray(json) << QString(error);
    };

    row("unreadable", "{\n  \"rs232c\": {\n    \"bitrate\": 9600,\n  }\n}", "line 4, column 4: ");
    row("not an object", "[1]", "not a JSON object");
    row("other format", R"({"format": "zorvel-settings/2"})",
        R"(format = "zorvel-settings/2": expected "zorvel-settings/1")");
    row("unknown group", R"({"gpib": {}})", "gpib = {}: unknown group");
    row("group not an object", R"({"rs232c": 5})", "rs232c = 5: expected an object");
    row("unknown key", R"({"rs232c": {"baud": 9600}})",
        "rs232c.baud = 9600: unknown key; the rs232c keys are bitrate, stopbits");
    row("key of the other group", R"({"usbtmc": {"pelta": true}})", "usbtmc.pelta = true: unknown key");
    row("bitrate off the list", R"({"rs232c": {"bitrate": 14400}})",
        "rs232c.bitrate = 14400: expected one of 115200, 57600, 38400, 19200, 9600, 4800, 2400, 1200");
    row("bitrate as text", R"({"rs232c": {"bitrate": "9600"}})", R"(rs232c.bitrate = "9600": expected one of)");
    row("stop bits 0", R"({"rs232c": {"stopbits": 0}})", "rs232c.stopbits = 0: expected 1 or 2");
    row("stop bits 1.5", R"({"rs232c": {"stopbits": 1.5}})", "rs232c.stopbits = 1.5: expected 1 or 2");
    row("flow control misspelt", R"({"rs232c": {"flowControl": "hardwear"}})",
        R"(rs232c.flowControl = "hardwear": expected "NONE", "SOFTWARE" or "HARDWARE", in any case)");
    row("key mistyped", R"({"rs232c": {"bitrat": 9600}})", "unknown key; did you mean rs232c.bitrate?");
    row("flow control as its code", R"({"rs232c": {"flowControl": 2}})", "rs232c.flowControl = 2: expected");
    row("termchar above a byte", R"({"rs232c": {"termchar": "0x100"}})",
        R"(rs232c.termchar = "0x100": expected a byte: a string "0x00" to "0xFF" or a number 0 to 255)");
    row("termchar number above a byte", R"({"rs232c": {"termchar": 256}})", "rs232c.termchar = 256: expected a byte");
    row("idn query of 16 characters", R"({"rs232c": {"idnQuery": "*IDN?*IDN?*IDN?X"}})",
        R"(rs232c.idnQuery = "*IDN?*IDN?*IDN?X": expected printable ASCII of at most 15 characters)");
    row("idn query not ASCII", R"({"rs232c": {"idnQuery": "ID\u00e9"}})", "expected printable ASCII");
    row("block transfer as a number", R"({"rs232c": {"block4882": 1}})",
        "rs232c.block4882 = 1: expected true or false");
    row("pelta as text", R"({"rs232c": {"pelta": "true"}})", R"(rs232c.pelta = "true": expected true or false)");
    row("polling as text", R"({"usbtmc": {"autoSerialPoll": "on"}})",
        R"(usbtmc.autoSerialPoll = "on": expected true or false)");
    row("interval negative", R"({"usbtmc": {"autoSerialPollInterval": -1}})",
        "usbtmc.autoSerialPollInterval = -1: expected a whole number of milliseconds, 0 to 2147483647");
    row("interval above 32 bits", R"({"usbtmc": {"autoSerialPollInterval": 2147483648}})",
        "usbtmc.autoSerialPollInterval = 2147483648: expected");
    row("pelta without block transfer", R"({"rs232c": {"pelta": true, "block4882": false}})",
        "rs232c.pelta = true: needs rs232c.block4882 true");
    row("block transfer with another terminator", R"({"rs232c": {"block4882": true, "termchar": "0x0D"}})",
        R"(rs232c.termchar = "0x0D": expected "0x0A" while rs232c.block4882 is true)");
    row("block transfer with another query", R"({"rs232c": {"block4882": true, "idnQuery": "ID?"}})",
        R"(rs232c.idnQuery = "ID?": expected "*IDN?" while rs232c.block4882 is true)");
    row("pelta with another terminator, block transfer left out", R"({"rs232c": {"pelta": true, "termchar": 13}})",
        R"(rs232c.termchar = "0x0D": expected "0x0A")");
}

void TestSettingsDocument::refusedDocument()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);
    QStringList errors;
    QVERIFY(!SettingsDocument::parse(json, &errors));
    QVERIFY2(errors.join('\n').contains(error), qPrintable(errors.join('\n')));
}

// A value that is no JSON is a string; what the assignments leave out keeps
// the module's value or takes the one an interlock sets.
void TestSettingsDocument::assignments_data()
{
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QStringList>("changes");

    QTest::newRow("a choice in any case, stored as the window shows it")
        << QStringList { "flowControl=hardware" } << QStringList { R"(rs232c.flowControl: "NONE" -> "HARDWARE")" };
    QTest::newRow("bare words are text") << QStringList { "flowControl=HARDWARE", "idnQuery=ID2?" }
        << QStringList { "rs232c.flowControl: \"NONE\" -> \"HARDWARE\"", "rs232c.idnQuery: \"ID?\" -> \"ID2?\"" };
    QTest::newRow("termchar as a number") << QStringList { "termchar=27" }
                                          << QStringList { "rs232c.termchar: \"0x0D\" -> \"0x1B\"" };
    QTest::newRow("JSON values and group names") << QStringList { "usbtmc.autoSerialPoll=true", "bitrate=1200" }
        << QStringList { "rs232c.bitrate: 9600 -> 1200", "usbtmc.autoSerialPoll: false -> true" };
    QTest::newRow("quoted text") << QStringList { R"(idnQuery="12")" }
                                 << QStringList { "rs232c.idnQuery: \"ID?\" -> \"12\"" };
    QTest::newRow("a key given twice") << QStringList { "bitrate=1200", "rs232c.bitrate=2400" }
                                       << QStringList { "refused" };
    QTest::newRow("pelta forces the rest") << QStringList { "pelta=true" }
        << QStringList { "rs232c.termchar: \"0x0D\" -> \"0x0A\"", "rs232c.block4882: false -> true",
                         "rs232c.idnQuery: \"ID?\" -> \"*IDN?\"", "rs232c.pelta: false -> true" };
    QTest::newRow("no value") << QStringList { "pelta" } << QStringList { "refused" };
    QTest::newRow("boolean as a word") << QStringList { "pelta=yes" } << QStringList { "refused" };
    QTest::newRow("interlocked pair") << QStringList { "pelta=true", "block4882=false" } << QStringList { "refused" };
}

void TestSettingsDocument::assignments()
{
    QFETCH(QStringList, assignments);
    QFETCH(QStringList, changes);
    ModuleSettings module;
    module.rs232c = { 9600, 1, 0, 0x0D, false, "ID?", false };
    module.usbtmc = { false, 1000 };
    QStringList errors;
    const auto document = SettingsDocument::fromAssignments(assignments, &errors);
    const auto merged = document ? document->mergedOver(module, &errors) : std::nullopt;
    if (changes == QStringList { "refused" }) {
        QVERIFY(!merged);
        QVERIFY(!errors.isEmpty());
        return;
    }
    QVERIFY2(merged, qPrintable(errors.join('\n')));
    QStringList lines;
    for (const auto &change : SettingsDocument::changes(module, *merged))
        lines << change.line();
    QCOMPARE(lines, changes);
}

QTEST_APPLESS_MAIN(TestSettingsDocument)
#include "tst_settingsdocument.moc"
