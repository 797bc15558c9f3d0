#include "utf8localecodec.h"

#include <QtTest>

// The codec must convert UTF-8 exactly as Qt's UTF-8 codec does, whole or in
// parts, and give back bytes that are no UTF-8 as they came.
class TestUtf8LocaleCodec : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void convertsAsQt_data();
    void convertsAsQt();
    void keepsBytesThatAreNoUtf8_data();
    void keepsBytesThatAreNoUtf8();
    void leavesLookUpsToQt();

private:
    QTextCodec *m_qtCodec = nullptr;
    QTextCodec *m_codec = nullptr;
};

namespace {

QStringList decodedInParts(const QTextCodec *codec, const QByteArray &bytes, int split)
{
    const std::unique_ptr<QTextDecoder> decoder(codec->makeDecoder());
    const QString first = decoder->toUnicode(bytes.left(split));
    return { first, decoder->toUnicode(bytes.mid(split)) };
}

} // namespace

void TestUtf8LocaleCodec::initTestCase()
{
    m_qtCodec = QTextCodec::codecForMib(106);
    m_codec = new Utf8LocaleCodec;
}

void TestUtf8LocaleCodec::convertsAsQt_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ASCII") << QByteArray("ttyACM0");
    QTest::newRow("two, three and four bytes") << QByteArray("M\xc3\xbcller \xe2\x82\xac \xf0\x9f\x98\x80");
    QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbfx");
}

void TestUtf8LocaleCodec::convertsAsQt()
{
    QFETCH(QByteArray, bytes);
    const QString text = m_qtCodec->toUnicode(bytes);
    QCOMPARE(m_codec->toUnicode(bytes), text);
    QCOMPARE(m_codec->fromUnicode(text), m_qtCodec->fromUnicode(text));
    for (int split = 1; split < bytes.size(); ++split)
        QCOMPARE(decodedInParts(m_codec, bytes, split), decodedInParts(m_qtCodec, bytes, split));
}

void TestUtf8LocaleCodec::keepsBytesThatAreNoUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("a path in Latin-1") << QByteArray("/tmp/z\xf6rvel-\xff");
    QTest::newRow("cut, overlong and surrogate sequences") << QByteArray("a\xc3(b\xe2\x82 \xc0\xaf \xed\xa0\x80 \xf4\x90");
}

// Decoded in parts, as a stream is, such bytes still become U+FFFD.
void TestUtf8LocaleCodec::keepsBytesThatAreNoUtf8()
{
    QFETCH(QByteArray, bytes);
    const QString text = m_codec->toUnicode(bytes);
    QCOMPARE(m_codec->fromUnicode(text), bytes);
    QVERIFY(!text.contains(QChar::ReplacementCharacter));
    QCOMPARE(decodedInParts(m_codec, bytes, 2), decodedInParts(m_qtCodec, bytes, 2));
}

void TestUtf8LocaleCodec::leavesLookUpsToQt()
{
    QCOMPARE(QTextCodec::codecForMib(106), m_qtCodec);
    QCOMPARE(QTextCodec::codecForName("UTF-8"), m_qtCodec);
}

QTEST_APPLESS_MAIN(TestUtf8LocaleCodec)
#include "tst_utf8localecodec.moc"
