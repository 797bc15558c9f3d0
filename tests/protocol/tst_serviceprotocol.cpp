#include "serviceprotocol.h"
#include "testhelpers.h"

#include <QtTest>

namespace {

// A type-1 reply: version field, flags, L, then the text bytes as given.
QByteArray moduleInfoFrame(const QByteArray &version, quint8 flags, quint8 length,
                           const QByteArray &text, int payload = -1)
{
    QByteArray frame = hex("4d3001") + char(0) + version.leftJustified(16, '\0', true);
    frame += char(flags);
    frame += char(length);
    frame += text;
    frame[3] = char(payload < 0 ? frame.size() - 4 : payload);
    return frame;
}

QByteArray rs232cReply(const char *payloadHex)
{
    return hex("4d300319") + hex(payloadHex);
}

} // namespace

class TestServiceProtocol : public QObject {
    Q_OBJECT

private slots:
    void encodes_data();
    void encodes();
    void reassembles_data();
    void reassembles();
    void reassemblesOneByteAtATime();
    void reassemblesLongBurst();
    void decodesModuleInfo_data();
    void decodesModuleInfo();
    void decodesRs232cSettings_data();
    void decodesRs232cSettings();
    void decodesUsbtmcSettings_data();
    void decodesUsbtmcSettings();
    void rejectsFramesOfOtherLayout_data();
    void rejectsFramesOfOtherLayout();
    void recognisesRestartNotice_data();
    void recognisesRestartNotice();
};

void TestServiceProtocol::encodes_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("module info request") << encodeRequest(FrameType::ModuleInfo) << hex("4d300100");
    QTest::newRow("rs232c read request") << encodeRequest(FrameType::Rs232cSyncFrom) << hex("4d300300");
    QTest::newRow("usbtmc read request") << encodeRequest(FrameType::UsbtmcSyncFrom) << hex("4d300500");
    QTest::newRow("factory default") << encodeRequest(FrameType::FactoryDefault) << hex("4d300900");

    Rs232cSettings rs;
    rs.bitrate = 9600;
    rs.stopbits = 1;
    rs.flowControl = 0;
    rs.termcharCode = 0x0A;
    rs.block4882 = true;
    rs.idnQuery = "*IDN?";
    rs.peltaSafu = false;
    QTest::newRow("rs232c 9600 8N1")
        << encodeRs232cSettings(rs)
        << hex("4d300219" "80250000" "01" "00" "0a" "01" "2a49444e3f" "0000000000000000000000" "00");

    rs.bitrate = 115200;
    rs.stopbits = 2;
    rs.flowControl = 2;
    rs.termcharCode = 0xFF;
    rs.block4882 = false;
    rs.idnQuery = "ABCDEFGHIJKLMNO";
    rs.peltaSafu = true;
    QTest::newRow("rs232c 15-character query keeps its zero at offset 27")
        << encodeRs232cSettings(rs)
        << hex("4d300219" "00c20100" "02" "02" "ff" "00" "4142434445464748494a4b4c4d4e4f" "00" "01");

    rs.idnQuery = "ABCDEFGHIJKLMNOPQRSTU";
    QTest::newRow("rs232c longer query is cut to 15 bytes")
        << encodeRs232cSettings(rs)
        << hex("4d300219" "00c20100" "02" "02" "ff" "00" "4142434445464748494a4b4c4d4e4f" "00" "01");

    rs.bitrate = -1;
    rs.idnQuery = QString::fromUtf8("\xc2\xb5" "A");
    QTest::newRow("rs232c query is sent as Latin-1, negative bitrate two's complement")
        << encodeRs232cSettings(rs)
        << hex("4d300219" "ffffffff" "02" "02" "ff" "00" "b541" "0000000000000000000000000000" "01");

    UsbtmcSettings usb;
    usb.autoSpoll = true;
    usb.autoSpollIntv = 1000;
    QTest::newRow("usbtmc 1000 ms") << encodeUsbtmcSettings(usb) << hex("4d30040501e8030000");

    usb.autoSpoll = false;
    usb.autoSpollIntv = 0x12345678;
    QTest::newRow("usbtmc off, interval little-endian at offset 5")
        << encodeUsbtmcSettings(usb) << hex("4d30040500" "78563412");
}

void TestServiceProtocol::encodes()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

// Each row feeds its chunks in turn; after each chunk every complete frame
// is taken and compared with the expected frames for that step.
void TestServiceProtocol::reassembles_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QList<QByteArray>>>("framesPerChunk");
    QTest::addColumn<int>("leftOver");

    using Frames = QList<QByteArray>;
    const QByteArray reply29 = rs232cReply("80250000010000012a49444e3f0000000000000000000000" "00");

    QTest::newRow("three bytes wait") << QList<QByteArray>{ hex("4d3001") }
                                      << QList<Frames>{ {} } << 3;
    QTest::newRow("four bytes with N = 0") << QList<QByteArray>{ hex("4d300900") }
                                           << QList<Frames>{ { hex("4d300900") } } << 0;
    QTest::newRow("two frames and the head of a third, then its tail")
        << QList<QByteArray>{ hex("4d300200") + hex("4d30040101") + reply29.left(10), reply29.mid(10) }
        << QList<Frames>{ { hex("4d300200"), hex("4d30040101") }, { reply29 } } << 0;
    QTest::newRow("sync bytes are not examined")
        << QList<QByteArray>{ hex("0000090100") }
        << QList<Frames>{ { hex("0000090100") } } << 0;
    QTest::newRow("unknown type between replies is consumed")
        << QList<QByteArray>{ hex("4d300200") + hex("4d300703aabbcc") + hex("4d300400") }
        << QList<Frames>{ { hex("4d300200"), hex("4d300703aabbcc"), hex("4d300400") } } << 0;

    const QByteArray longFrame = hex("4d3007ff") + QByteArray(255, 'x');
    QTest::newRow("N = 255 completes at 259 bytes")
        << QList<QByteArray>{ longFrame.left(258), longFrame.right(1) + hex("4d30") }
        << QList<Frames>{ {}, { longFrame } } << 2;
}

void TestServiceProtocol::reassembles()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QList<QByteArray>>, framesPerChunk);
    QFETCH(int, leftOver);

    FrameBuffer buffer;
    for (int i = 0; i < chunks.size(); ++i) {
        buffer.append(chunks.at(i));
        QList<QByteArray> taken;
        while (const auto frame = buffer.takeFrame())
            taken << *frame;
        QCOMPARE(taken, framesPerChunk.at(i));
    }
    QCOMPARE(buffer.size(), leftOver);
}

void TestServiceProtocol::reassemblesOneByteAtATime()
{
    const QList<QByteArray> frames = {
        moduleInfoFrame("V1.2.3", 0x65, 5, "ACME,"),
        rs232cReply("00c2010002020d00" "2a49444e3f0000000000000000000000" "01"),
        hex("4d3005050101000000"),
        hex("4d30080100"),
    };
    const QByteArray stream = frames.join();

    FrameBuffer buffer;
    QList<QByteArray> taken;
    for (char byte : stream) {
        buffer.append(QByteArray(1, byte));
        while (const auto frame = buffer.takeFrame())
            taken << *frame;
    }
    QCOMPARE(taken, frames);
    QCOMPARE(buffer.size(), 0);
}

void TestServiceProtocol::reassemblesLongBurst()
{
    const QByteArray reply = rs232cReply("80250000010000012a49444e3f0000000000000000000000" "00");
    const int count = 20000;
    FrameBuffer buffer;
    buffer.append(reply.repeated(count) + reply.left(7));

    int taken = 0;
    while (const auto frame = buffer.takeFrame()) {
        QCOMPARE(*frame, reply);
        ++taken;
    }
    QCOMPARE(taken, count);
    QCOMPARE(buffer.size(), 7);

    buffer.append(reply.mid(7));
    QCOMPARE(buffer.takeFrame().value_or(QByteArray()), reply);
    QCOMPARE(buffer.size(), 0);
}

void TestServiceProtocol::decodesModuleInfo_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("hostIsUsb");
    QTest::addColumn<bool>("customMode");
    QTest::addColumn<int>("gpibAddress");
    QTest::addColumn<QString>("idnString");

    QTest::newRow("flags 0x65")
        << moduleInfoFrame("1.00", 0x65, 8, "ACME,123") << "1.00" << true << true << 5 << "ACME,123";
    QTest::newRow("flags 0x40, address 0")
        << moduleInfoFrame("1.00", 0x40, 0, "") << "1.00" << true << false << 0 << "";
    QTest::newRow("flags 0x3F")
        << moduleInfoFrame("1.00", 0x3F, 0, "") << "1.00" << false << true << 31 << "";
    QTest::newRow("bit 7 carries nothing")
        << moduleInfoFrame("1.00", 0x80, 0, "") << "1.00" << false << false << 0 << "";
    QTest::newRow("version fills its field without a zero")
        << moduleInfoFrame("0123456789ABCDEF", 0, 0, "") << "0123456789ABCDEF" << false << false << 0 << "";
    QTest::newRow("version text is UTF-8")
        << moduleInfoFrame("V\xc3\xa9", 0, 0, "") << QString::fromUtf8("V\xc3\xa9") << false << false << 0 << "";
    QTest::newRow("text ends at its first zero byte")
        << moduleInfoFrame("1.00", 0, 7, QByteArray("ABC\0DEF", 7)) << "1.00" << false << false << 0 << "ABC";
    QTest::newRow("L longer than the payload is cut to the payload")
        << moduleInfoFrame("1.00", 0, 200, "ABCDEF") << "1.00" << false << false << 0 << "ABCDEF";
    QTest::newRow("L beyond the length byte is cut to N - 18")
        << moduleInfoFrame("1.00", 0, 6, "ABCDEF", 21) << "1.00" << false << false << 0 << "ABC";
    QTest::newRow("text of 200 bytes is held to 127")
        << moduleInfoFrame("1.00", 0, 200, QByteArray(200, 'x')) << "1.00" << false << false << 0
        << QString(127, 'x');
}

void TestServiceProtocol::decodesModuleInfo()
{
    QFETCH(QByteArray, frame);
    const auto info = decodeModuleInfo(frame);
    QVERIFY(info);
    QTEST(info->version, "version");
    QTEST(info->hostIsUsb, "hostIsUsb");
    QTEST(info->customMode, "customMode");
    QTEST(info->gpibAddress, "gpibAddress");
    QTEST(info->idnString, "idnString");
}

void TestServiceProtocol::decodesRs232cSettings_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("bitrate");
    QTest::addColumn<int>("stopbits");
    QTest::addColumn<int>("flowControl");
    QTest::addColumn<int>("termcharCode");
    QTest::addColumn<bool>("block4882");
    QTest::addColumn<QString>("idnQuery");
    QTest::addColumn<bool>("peltaSafu");

    QTest::newRow("9600, 1, NONE, 0x0A, 488.2 on")
        << rs232cReply("80250000" "01" "00" "0a" "01" "2a49444e3f0000000000000000000000" "00")
        << 9600 << 1 << 0 << 0x0A << true << "*IDN?" << false;
    QTest::newRow("115200, 2, SOFTWARE, 0x0D, PELTA on")
        << rs232cReply("00c20100" "02" "01" "0d" "00" "3f000000000000000000000000000000" "01")
        << 115200 << 2 << 1 << 0x0D << false << "?" << true;
    QTest::newRow("any non-zero flag byte means on, raw flow byte kept")
        << rs232cReply("ffffffff" "ff" "07" "ff" "80" "41424344454647484950515253545556" "40")
        << -1 << 255 << 7 << 0xFF << true << "ABCDEFGHIPQRSTUV" << true;
}

void TestServiceProtocol::decodesRs232cSettings()
{
    QFETCH(QByteArray, frame);
    const auto settings = decodeRs232cSettings(frame);
    QVERIFY(settings);
    QTEST(int(settings->bitrate), "bitrate");
    QTEST(int(settings->stopbits), "stopbits");
    QTEST(int(settings->flowControl), "flowControl");
    QTEST(int(settings->termcharCode), "termcharCode");
    QTEST(settings->block4882, "block4882");
    QTEST(settings->idnQuery, "idnQuery");
    QTEST(settings->peltaSafu, "peltaSafu");
}

void TestServiceProtocol::decodesUsbtmcSettings_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("autoSpoll");
    QTest::addColumn<int>("autoSpollIntv");

    QTest::newRow("on, 1000 ms") << hex("4d30050501e8030000") << true << 1000;
    QTest::newRow("off, 0 ms") << hex("4d30050500" "00000000") << false << 0;
    QTest::newRow("flag 0x02, negative interval") << hex("4d30050502" "feffffff") << true << -2;
    QTest::newRow("longer payload") << hex("4d30050701" "10000000" "aabb") << true << 16;
}

void TestServiceProtocol::decodesUsbtmcSettings()
{
    QFETCH(QByteArray, frame);
    const auto settings = decodeUsbtmcSettings(frame);
    QVERIFY(settings);
    QTEST(settings->autoSpoll, "autoSpoll");
    QTEST(int(settings->autoSpollIntv), "autoSpollIntv");
}

// No decoder may accept a frame of another type, one whose length byte is
// shorter than its layout, or one whose bytes end before its layout does.
void TestServiceProtocol::rejectsFramesOfOtherLayout_data()
{
    QTest::addColumn<QByteArray>("frame");

    const QByteArray info = moduleInfoFrame("1.00", 0x65, 3, "ABC");
    const QByteArray rs = rs232cReply("80250000010000012a49444e3f0000000000000000000000" "00");
    const QByteArray usb = hex("4d30050501e8030000");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header only") << hex("4d300100");
    QTest::newRow("type 1 with N = 17") << QByteArray(info).replace(3, 1, QByteArray(1, 17));
    QTest::newRow("type 1 cut after 21 bytes") << info.left(21);
    QTest::newRow("type 3 with N = 24") << QByteArray(rs).replace(3, 1, QByteArray(1, 24));
    QTest::newRow("type 3 cut after 28 bytes") << rs.left(28);
    QTest::newRow("type 5 with N = 4") << QByteArray(usb).replace(3, 1, QByteArray(1, 4));
    QTest::newRow("type 5 cut after 8 bytes") << usb.left(8);
    QTest::newRow("type 2 with an rs232c payload") << QByteArray(rs).replace(2, 1, QByteArray(1, 2));
    QTest::newRow("type 4 with a usbtmc payload") << QByteArray(usb).replace(2, 1, QByteArray(1, 4));
}

void TestServiceProtocol::rejectsFramesOfOtherLayout()
{
    QFETCH(QByteArray, frame);
    QVERIFY(!decodeModuleInfo(frame));
    QVERIFY(!decodeRs232cSettings(frame));
    QVERIFY(!decodeUsbtmcSettings(frame));
    QVERIFY(!isRestartNotice(frame));
}

void TestServiceProtocol::recognisesRestartNotice_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("restarted");

    QTest::newRow("status 0") << hex("4d30080100") << true;
    QTest::newRow("status 0 with more payload") << hex("4d3008020001") << true;
    QTest::newRow("status 1") << hex("4d30080101") << false;
    QTest::newRow("N = 0") << hex("4d300800") << false;
    QTest::newRow("N = 1 but cut short") << hex("4d300801") << false;
    QTest::newRow("other type") << hex("4d30090100") << false;
}

void TestServiceProtocol::recognisesRestartNotice()
{
    QFETCH(QByteArray, frame);
    QTEST(isRestartNotice(frame), "restarted");
}

QTEST_APPLESS_MAIN(TestServiceProtocol)
#include "tst_serviceprotocol.moc"
