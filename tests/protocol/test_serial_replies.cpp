// The Zigbee block as the receive handlers split it, at the serial and the
// network offset.
#include "protocol/serial_replies.h"
#include "core/error_log.h"

#include <QtTest>

using namespace kalmo;

class TestSerialReplies : public QObject
{
    Q_OBJECT
private slots:
    void zigbeeBlockAtBothOffsets_data();
    void zigbeeBlockAtBothOffsets();
    void shortZigbeeBlockYieldsNothing();
};

void TestSerialReplies::zigbeeBlockAtBothOffsets_data()
{
    QTest::addColumn<int>("offset");
    QTest::newRow("serial function 57") << 3;
    QTest::newRow("network block 14000 type 1") << 12;
}

void TestSerialReplies::zigbeeBlockAtBothOffsets()
{
    QFETCH(int, offset);
    // logic 1, type 4, number 0x0102, channels 11 and 26, MAC, EXPANID,
    // enabled, chain 255, intervals 50 and 0xFFFF, wait 1, self check 0x0100
    const QByteArray block = QByteArray::fromHex("01 04 0201 00080004"
                                                 "a0a1a2a3a4a5a6a7 b0b1b2b3b4b5b6b7"
                                                 "01 ff 3200 ffff 0100 0001");
    QCOMPARE(block.size(), 34);
    const QByteArray reply = QByteArray(offset, '\x55') + block + QByteArray(4, '\xAA');

    const ZigbeeRecord z = splitZigbeeBlock(reply, offset);
    QCOMPARE(z.deviceLogic, quint8(1));
    QCOMPARE(z.networkType, quint8(4));
    QCOMPARE(z.deviceNumber, quint16(0x0102));
    QCOMPARE(z.channelMask, quint32(0x04000800));
    QCOMPARE(z.mac, (std::array<quint8, 8>{0xa0, 0xa1, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7}));
    QCOMPARE(z.extendedPanId,
             (std::array<quint8, 8>{0xb0, 0xb1, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7}));
    QCOMPARE(z.enabled, quint8(1));
    QCOMPARE(z.chainAddress, quint8(255));
    QCOMPARE(z.readInterval, quint16(50));
    QCOMPARE(z.writeInterval, quint16(0xFFFF));
    QCOMPARE(z.maxWaitCount, quint16(1));
    QCOMPARE(z.selfCheckTime, quint16(0x0100));
}

void TestSerialReplies::shortZigbeeBlockYieldsNothing()
{
    // One byte short of the block.
    const QByteArray reply = QByteArray(3, '\x55') + QByteArray(33, '\x01');
    QVERIFY_THROWS_EXCEPTION(ProcedureError, splitZigbeeBlock(reply, 3));
    QVERIFY_THROWS_EXCEPTION(ProcedureError, splitZigbeeBlock(QByteArray(), 12));
}

QTEST_GUILESS_MAIN(TestSerialReplies)
#include "test_serial_replies.moc"
