// The identity tags: the hardware number shown from the device ID, the read
// replies of both links, short replies, and the write of both links with
// Chinese PD tags in code page 936.
#include "protocol/tag_block.h"

#include "protocol/sys_param_block.h"
#include "core/error_log.h"
#include "support/hex.h"

#include <QtTest>

using namespace kalmo;

namespace {

// "泵站一号" in code page 936, worked out with iconv -t CP936.
const QByteArray kPumpStationBytes = hex("B1 C3 D5 BE D2 BB BA C5");
const QString kPumpStation = QStringLiteral("泵站一号");

const QByteArray kDeviceIdBytes = "00123456789012345000133201306150";

QByteArray spaces(int n)
{
    return QByteArray(n, ' ');
}

// A 71-byte serial tag reply with the given texts.
QByteArray serialReply(const QByteArray &deviceId, const QByteArray &pdTag)
{
    QByteArray b = hex("55 55 15") + deviceId + pdTag + hex("00 00 AA AA");
    Q_ASSERT(b.size() == 71);
    return b;
}

} // namespace

class TestTagBlock : public QObject
{
    Q_OBJECT

private slots:
    void hardwareNumber_data();
    void hardwareNumber();
    void serialReply();
    void networkReply();
    void tagBlock();
    void writeEcho();
    void shortReplies();
    void encodePdTag_data();
    void encodePdTag();
    void tooLongPdTagIsRefused_data();
    void tooLongPdTagIsRefused();
    void encodeDeviceId_data();
    void encodeDeviceId();
    void writtenTagReadsBack_data();
    void writtenTagReadsBack();
    void serialWriteFrame();
    void networkPayload();
    void readFrame();
};

void TestTagBlock::hardwareNumber_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("hardwareNumber");
    QTest::newRow("15 characters") << "012345678901234567890123456789AB"
                                   << "123456789012345";
    QTest::newRow("second character 0: 14") << "00123456789012345000133201306150"
                                            << "12345678901234";
    QTest::newRow("shown by the display") << "02000000000000000133201306150001"
                                          << "200000000000000";
    QTest::newRow("short text") << "0A"
                                << "A";
    QTest::newRow("empty") << ""
                           << "";
}

void TestTagBlock::hardwareNumber()
{
    QFETCH(QString, deviceId);
    QTEST(hardwareNumberText(deviceId), "hardwareNumber");
}

void TestTagBlock::serialReply()
{
    TagReading r;
    decodeSerialTagReply(::serialReply(kDeviceIdBytes, kPumpStationBytes + spaces(24)), r);
    QCOMPARE(r.deviceId, std::optional<QString>(QString::fromLatin1(kDeviceIdBytes)));
    QCOMPARE(r.hardwareNumber, std::optional<QString>(QStringLiteral("12345678901234")));
    QCOMPARE(r.pdTag, std::optional<QString>(kPumpStation + QString(24, u' ')));
}

void TestTagBlock::networkReply()
{
    // 12-byte header, device ID at 12..43, PD tag at 44..75, 18 unused bytes.
    const QByteArray datagram = hex("4C 00 00 00 00 00 07 00 00 00 00 00") +
                                "01234567890123456000079201306150" + "KVRX201" + spaces(25) +
                                QByteArray(18, char(0xEE));
    QCOMPARE(datagram.size(), 94);
    TagReading r;
    decodeNetworkTagReply(datagram, r);
    QCOMPARE(r.hardwareNumber, std::optional<QString>(QStringLiteral("123456789012345")));
    QCOMPARE(r.pdTag, std::optional<QString>(QStringLiteral("KVRX201") + QString(25, u' ')));
}

void TestTagBlock::tagBlock()
{
    const QByteArray block =
        kDeviceIdBytes + hex("B1 C3 31 32") + QByteArray(28, '\0') + QByteArray(18, char(0xEE));
    TagReading r;
    decodeTagBlock(block, r);
    QCOMPARE(r.deviceId, std::optional<QString>(QString::fromLatin1(kDeviceIdBytes)));
    // The text ends at the first NUL, as the device list shows it.
    QCOMPARE(r.pdTag, std::optional<QString>(QStringLiteral("泵12")));
}

void TestTagBlock::writeEcho()
{
    QCOMPARE(decodeSerialTagWriteEcho(::serialReply(kDeviceIdBytes, "AB" + spaces(30))),
             QStringLiteral("AB") + QString(30, u' '));
}

void TestTagBlock::shortReplies()
{
    {
        // Ends inside the PD tag: the device ID stays, the PD tag is not shown.
        TagReading r;
        const QByteArray reply = ::serialReply(kDeviceIdBytes, spaces(32)).left(60);
        QVERIFY_THROWS_EXCEPTION(ProcedureError, decodeSerialTagReply(reply, r));
        QVERIFY(r.hardwareNumber.has_value());
        QVERIFY(!r.pdTag.has_value());
    }
    {
        // Ends inside the device ID: nothing.
        TagReading r;
        const QByteArray datagram(40, '0');
        QVERIFY_THROWS_EXCEPTION(ProcedureError, decodeNetworkTagReply(datagram, r));
        QCOMPARE(r, TagReading{});
    }
    QVERIFY_THROWS_EXCEPTION(ProcedureError, decodeSerialTagWriteEcho(QByteArray(66, ' ')));
}

void TestTagBlock::encodePdTag_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty: 32 spaces") << "" << spaces(32);
    QTest::newRow("ASCII") << "KVRQ101" << QByteArray("KVRQ101") + spaces(25);
    QTest::newRow("Chinese, lead byte first") << kPumpStation << kPumpStationBytes + spaces(24);
    QTest::newRow("mixed") << QStringLiteral("AB泵1") << hex("41 42 B1 C3 31") + spaces(27);
    QTest::newRow("euro is one byte") << QStringLiteral("€5") << hex("80 35") + spaces(30);
    QTest::newRow("degree sign in code page 936")
        << QStringLiteral("25°C") << hex("32 35 A1 E3 43") + spaces(27);
    QTest::newRow("16 Chinese characters fill it")
        << kPumpStation.repeated(4) << kPumpStationBytes.repeated(4);
    QTest::newRow("32 ASCII fill it") << QString(32, u'x') << QByteArray(32, 'x');
}

void TestTagBlock::encodePdTag()
{
    QFETCH(QString, text);
    QTEST(kalmo::encodePdTag(text), "bytes");
}

void TestTagBlock::tooLongPdTagIsRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("33 ASCII") << QString(33, u'x');
    QTest::newRow("17 Chinese") << kPumpStation.repeated(4) + QStringLiteral("泵");
    QTest::newRow("31 ASCII and one Chinese") << QString(31, u'x') + QStringLiteral("泵");
}

void TestTagBlock::tooLongPdTagIsRefused()
{
    QFETCH(QString, text);
    try {
        kalmo::encodePdTag(text);
        QFAIL("a PD tag of more than 32 bytes was encoded");
    } catch (const FieldConversionError &e) {
        QCOMPARE(e.control(), QStringLiteral("txtPD_Tag"));
        QCOMPARE(e.label(), QStringLiteral("PD_TAG"));
        QCOMPARE(e.description(), QStringLiteral("下标越界"));
    }
    QVERIFY_THROWS_EXCEPTION(FieldConversionError, storePdTagPayload(QString(), text));
    QVERIFY_THROWS_EXCEPTION(FieldConversionError, setPdtagFrame(QString(), text));
}

void TestTagBlock::encodeDeviceId_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty: 32 zeros") << "" << QByteArray(32, '0');
    QTest::newRow("short") << "0212" << QByteArray("0212") + QByteArray(28, '0');
    QTest::newRow("at most 32 characters")
        << QString(32, u'1') + QStringLiteral("99") << QByteArray(32, '1');
    QTest::newRow("low byte of the UTF-16 code")
        << QStringLiteral("中A") << hex("2D 41") + QByteArray(30, '0');
}

void TestTagBlock::encodeDeviceId()
{
    QFETCH(QString, text);
    QTEST(kalmo::encodeDeviceId(text), "bytes");
}

void TestTagBlock::writtenTagReadsBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("Chinese") << kPumpStation;
    QTest::newRow("mixed") << QStringLiteral("1号泵 KVRQ101 ×2 25°C");
    QTest::newRow("full") << kPumpStation.repeated(4);
}

void TestTagBlock::writtenTagReadsBack()
{
    QFETCH(QString, text);
    const QByteArray payload = storePdTagPayload(QStringLiteral("02"), text);
    TagReading r;
    decodeTagBlock(payload + QByteArray(18, '\0'), r);
    QVERIFY(r.pdTag.has_value());
    QCOMPARE(r.pdTag->trimmed(), text);
}

void TestTagBlock::serialWriteFrame()
{
    // CRC-16/MODBUS over 16, 32 × "0", B1 C3 D5 BE D2 BB BA C5, 24 spaces: 0xF057.
    const QByteArray expected =
        hex("55 55 16") + QByteArray(32, '0') + kPumpStationBytes + spaces(24) + hex("57 F0 AA AA");
    QCOMPARE(setPdtagFrame(QString(), kPumpStation), expected);
    QCOMPARE(expected.size(), 71);
}

void TestTagBlock::networkPayload()
{
    QCOMPARE(storePdTagPayload(QString(), QString()), QByteArray(32, '0') + spaces(32));
    const QByteArray payload = storePdTagPayload(QString::fromLatin1(kDeviceIdBytes), kPumpStation);
    QCOMPARE(payload, kDeviceIdBytes + kPumpStationBytes + spaces(24));
}

void TestTagBlock::readFrame()
{
    const QByteArray frame = getPdtagFrame();
    QCOMPARE(frame.size(), 7);
    QCOMPARE(frame.left(3), hex("55 55 15"));
    QCOMPARE(frame.right(2), hex("AA AA"));
}

QTEST_APPLESS_MAIN(TestTagBlock)
#include "test_tag_block.moc"
