#include "settingsfields.h"

#include <QtTest>

class TestSettingsFields : public QObject {
    Q_OBJECT

private slots:
    void termcharCode_data();
    void termcharCode();
    void pollingInterval_data();
    void pollingInterval();
    void idnQuery_data();
    void idnQuery();
    void flowControlNames();
    void stopbits_data();
    void stopbits();
};

// -1 stands for a refused text.
void TestSettingsFields::termcharCode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");

    QTest::newRow("prefixed lower case") << "0x0d" << 13;
    QTest::newRow("bare upper case") << "1B" << 27;
    QTest::newRow("upper-case prefix") << "0X0A" << 10;
    QTest::newRow("highest") << "0xff" << 255;
    QTest::newRow("lowest") << "0x00" << 0;
    QTest::newRow("one digit") << "a" << 10;
    QTest::newRow("leading zeros") << "0x000A" << 10;
    QTest::newRow("surrounding blanks") << " 0x0A " << 10;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("prefix alone") << "0x" << -1;
    QTest::newRow("not hexadecimal") << "zz" << -1;
    QTest::newRow("letter past F") << "G" << -1;
    QTest::newRow("above a byte") << "0x1FF" << -1;
    QTest::newRow("two codes") << "0A0D" << -1;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("plus sign") << "+1" << -1;
    QTest::newRow("far too many digits") << "0x1000000000000000000" << -1;
    QTest::newRow("inner blank") << "0x0 A" << -1;
}

void TestSettingsFields::termcharCode()
{
    QFETCH(QString, text);
    QFETCH(int, code);
    const auto parsed = parseTermcharCode(text);
    QCOMPARE(parsed ? int(*parsed) : -1, code);
}

void TestSettingsFields::pollingInterval_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qlonglong>("interval");

    QTest::newRow("zero") << "0" << 0LL;
    QTest::newRow("usual") << "1000" << 1000LL;
    QTest::newRow("highest") << "2147483647" << 2147483647LL;
    QTest::newRow("leading zeros") << "000100" << 100LL;
    QTest::newRow("surrounding blanks") << " 250 " << 250LL;
    QTest::newRow("empty") << "" << -1LL;
    QTest::newRow("letters") << "abc" << -1LL;
    QTest::newRow("thousands separator") << "1,000" << -1LL;
    QTest::newRow("one past the highest") << "2147483648" << -1LL;
    QTest::newRow("negative") << "-5" << -1LL;
    QTest::newRow("hexadecimal") << "0x10" << -1LL;
    QTest::newRow("fraction") << "1.5" << -1LL;
}

void TestSettingsFields::pollingInterval()
{
    QFETCH(QString, text);
    QFETCH(qlonglong, interval);
    const auto parsed = parsePollingInterval(text);
    QCOMPARE(parsed ? qlonglong(*parsed) : -1LL, interval);
}

void TestSettingsFields::idnQuery_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("usual") << "*IDN?" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("fifteen characters") << "ABCDEFGHIJKLMNO" << true;
    QTest::newRow("space and tilde") << " ~" << true;
    QTest::newRow("sixteen characters") << "ABCDEFGHIJKLMNOP" << false;
    QTest::newRow("latin-1 letter") << QString::fromUtf8("\xc3\xa9") << false;
    QTest::newRow("euro sign") << QString::fromUtf8("\xe2\x82\xac") << false;
    QTest::newRow("control character") << "*IDN?\n" << false;
    QTest::newRow("delete") << "\x7f" << false;
}

void TestSettingsFields::idnQuery()
{
    QFETCH(QString, text);
    QTEST(isValidIdnQuery(text), "valid");
}

void TestSettingsFields::flowControlNames()
{
    for (quint8 code = 0; code < 3; ++code)
        QCOMPARE(flowControlCode(flowControlName(code)), std::optional<quint8>(code));
    QCOMPARE(flowControlName(3), QString());
    QCOMPARE(flowControlCode("none"), std::nullopt);
}

void TestSettingsFields::stopbits_data()
{
    QTest::addColumn<int>("stopbits");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("none") << 0 << false;
    QTest::newRow("one") << 1 << true;
    QTest::newRow("two") << 2 << true;
    QTest::newRow("one and a half, as sent by some hosts") << 3 << false;
    QTest::newRow("highest byte") << 255 << false;
}

void TestSettingsFields::stopbits()
{
    QFETCH(int, stopbits);
    QFETCH(bool, accepted);
    QCOMPARE(rs232cStopbits().contains(quint8(stopbits)), accepted);
}

QTEST_APPLESS_MAIN(TestSettingsFields)
#include "tst_settingsfields.moc"
