// The forwarding table's and the slave map's layouts, ports unsigned, the
// write as long as the count, and a table refused whole for a bad count or
// list byte.
#include "protocol/forwarding_block.h"

#include "support/hex.h"

#include <QtTest>

using namespace kalmo;

class TestForwardingBlock : public QObject
{
    Q_OBJECT
private slots:
    void layout();
    void refused_data();
    void refused();
    void slaveMapLayout();
};

void TestForwardingBlock::layout()
{
    ForwardingTable t;
    t.count = 2;
    t.reserved = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    // Modbus RTU on 串口1, station 7 over IP 192.168.1.5, to UDP on Ethernet.
    t.entries[0].source = {5, 2, {0xAB, 0xCD}, {7, 168, 1, 5}, 502, {0xEE, 0xFF}};
    t.entries[0].destination = {1, 0, {}, {192, 168, 1, 10}, 40000, {}};
    t.entries[1].destination = {6, 3, {}, {}, 65535, {}};
    t.entries[2].source.protocol = 4; // past the count: not written
    const QByteArray block = encodeForwarding(t);
    QCOMPARE(block, hex("0200 112233445566"
                        "05 02 abcd 07a80105 f601 eeff  01 00 0000 c0a8010a 409c 0000"
                        "00 00 0000 00000000 0000 0000  06 03 0000 00000000 ffff 0000"));

    QByteArray whole = block + QByteArray(kForwardingTableLength - block.size(), '\0');
    whole[8 + 48] = 4;
    const std::optional<ForwardingTable> read = decodeForwarding(whole);
    QVERIFY(read);
    QCOMPARE(*read, t);
    QCOMPARE(read->entries[0].destination.port, quint16(40000));

    t.count = 0;
    QCOMPARE(encodeForwarding(t), hex("0000 112233445566"));
}

void TestForwardingBlock::refused_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("field");
    QTest::newRow("count 21") << 0 << hex("1500") << "转发数目";
    QTest::newRow("count -1") << 0 << hex("ffff") << "转发数目";
    QTest::newRow("entry 1 source protocol 7") << 8 << hex("07") << "转发配置1源协议";
    QTest::newRow("entry 2 destination interface 4")
        << 8 + 24 + 13 << hex("04") << "转发配置2目的接口";
    QTest::newRow("short block") << 487 << QByteArray() << "转发配置";
}

void TestForwardingBlock::refused()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, field);
    QByteArray block(kForwardingTableLength, '\0');
    block[0] = 2;
    if (bytes.isEmpty())
        block.truncate(offset);
    else
        block.replace(offset, bytes.size(), bytes);
    QString bad;
    QVERIFY(!decodeForwarding(block, &bad));
    QCOMPARE(bad, field);

    // The same byte in an entry past the count is no fault.
    if (offset >= 8 && !bytes.isEmpty()) {
        block[0] = 0;
        QVERIFY(decodeForwarding(block));
    }
}

void TestForwardingBlock::slaveMapLayout()
{
    SlaveMap map;
    map[0] = {1, 0x1234};
    map[15] = {65535, 40000};
    const QByteArray block = encodeSlaveMap(map);
    QCOMPARE(block, hex("0100 3412") + QByteArray(56, '\0') + hex("ffff 409c"));
    QCOMPARE(decodeSlaveMap(block), std::optional(map));
    QVERIFY(!decodeSlaveMap(block.left(63)));
}

QTEST_MAIN(TestForwardingBlock)
#include "test_forwarding_block.moc"
