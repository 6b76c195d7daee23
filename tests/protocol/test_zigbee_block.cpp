// The Zigbee block both ways at the serial and the network offset, and the
// channel mask.
#include "core/error_log.h"
#include "protocol/zigbee_block.h"

#include <QtTest>

using namespace kalmo;

class TestZigbeeBlock : public QObject
{
    Q_OBJECT
private slots:
    void blockAtBothOffsets_data();
    void blockAtBothOffsets();
    void shortBlockYieldsNothing();
    void channelMask();
};

void TestZigbeeBlock::blockAtBothOffsets_data()
{
    QTest::addColumn<int>("offset");
    QTest::newRow("serial function 57") << 3;
    QTest::newRow("network block 14000 type 1") << 12;
}

void TestZigbeeBlock::blockAtBothOffsets()
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

    QCOMPARE(zigbeeBlockBytes(z), block);
}

void TestZigbeeBlock::shortBlockYieldsNothing()
{
    // One byte short of the block.
    const QByteArray reply = QByteArray(3, '\x55') + QByteArray(33, '\x01');
    QVERIFY_THROWS_EXCEPTION(ProcedureError, splitZigbeeBlock(reply, 3));
    QVERIFY_THROWS_EXCEPTION(ProcedureError, splitZigbeeBlock(QByteArray(), 12));
}

void TestZigbeeBlock::channelMask()
{
    // Boxes 0 and 15: channels 11 and 26.
    QCOMPARE(withZigbeeChannels(0, 0x8001), quint32(0x04000800));
    // The bits no box shows are kept; the boxes' bits are replaced.
    QCOMPARE(withZigbeeChannels(0xFFFFFFFF, 0x0002), quint32(0xF80017FF));
    QVERIFY(zigbeeChannelOn(0x04000000, 15));
    QVERIFY(!zigbeeChannelOn(0x04000000, 14));
}

QTEST_GUILESS_MAIN(TestZigbeeBlock)
#include "test_zigbee_block.moc"
