// The redundancy block's layout, the slave lists read from the flag and port
// bytes, and the bytes no list decides kept.
#include "protocol/redundancy_block.h"

#include "support/hex.h"

#include <QtTest>

using namespace kalmo;

class TestRedundancyBlock : public QObject
{
    Q_OBJECT
private slots:
    void layout();
    void slaveChoices_data();
    void slaveChoices();
    void outOfListRefused_data();
    void outOfListRefused();
};

void TestRedundancyBlock::layout()
{
    RedundancyRecord r;
    r.started = 1;
    r.type = 2;
    r.role = 1;
    r.level = 3;
    r.maskA = 0x007FFFFF;
    r.maskB = 0x00007FFF;
    r.reserved = {0xDD, 0xCC, 0xBB, 0xAA};
    r.slaves[0] = {0x1F, 0x11, 0x0102, -2, 0x7FFF, {1, 2, 3, 4}};
    r.slaves[15] = {0x01, 0x00, 5, 6, 7, {}};
    const QByteArray block = encodeRedundancy(r);
    QCOMPARE(block.size(), 208);
    QCOMPARE(block.first(28), hex("01020103 ffff7f00 ff7f0000 ddccbbaa"
                                  "1f11 0201 feff ff7f 01020304"));
    QCOMPARE(block.sliced(28, 168), QByteArray(168, '\0'));
    QCOMPARE(block.last(12), hex("0100 0500 0600 0700 00000000"));
    QCOMPARE(decodeRedundancy(block), std::optional(r));
}

void TestRedundancyBlock::slaveChoices_data()
{
    QTest::addColumn<quint8>("flags");
    QTest::addColumn<quint8>("ports");
    QTest::addColumn<QList<int>>(
        "choices"); // start, active serial, wireless, backup serial, wireless
    QTest::newRow("all off") << quint8(0) << quint8(0) << QList<int>{0, 0, 0, 0, 0};
    QTest::newRow("active COM1") << quint8(0x02) << quint8(0x01) << QList<int>{0, 2, 0, 0, 0};
    QTest::newRow("active COM0") << quint8(0x02) << quint8(0x00) << QList<int>{0, 1, 0, 0, 0};
    QTest::newRow("backup COM1, wireless both")
        << quint8(0x1D) << quint8(0x10) << QList<int>{1, 0, 1, 2, 1};
    QTest::newRow("port bit without its flag")
        << quint8(0) << quint8(0x01) << QList<int>{0, 0, 0, 0, 0};
}

void TestRedundancyBlock::slaveChoices()
{
    QFETCH(quint8, flags);
    QFETCH(quint8, ports);
    QFETCH(QList<int>, choices);
    RedundancySlave slave{flags, ports, 0, 0, 0, {}};
    const auto shown = slave.choices();
    QCOMPARE(QList<int>(shown.begin(), shown.end()), choices);

    // Written back from the lists over bits no list decides, which are kept.
    RedundancySlave written{quint8(flags | 0xE0), quint8(ports | 0xEE), 0, 0, 0, {}};
    written.setChoices(shown);
    QCOMPARE(written.flags, quint8(flags | 0xE0));
    QCOMPARE(written.ports, quint8(ports | 0xEE));
}

void TestRedundancyBlock::outOfListRefused_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<quint8>("value");
    QTest::addColumn<QString>("field");
    QTest::newRow("type 3") << 1 << quint8(3) << "冗余类型";
    QTest::newRow("role 3") << 2 << quint8(3) << "设备角色";
    QTest::newRow("level 4") << 3 << quint8(4) << "容错级别";
}

void TestRedundancyBlock::outOfListRefused()
{
    QFETCH(int, offset);
    QFETCH(quint8, value);
    QFETCH(QString, field);
    QByteArray block(208, '\0');
    block[offset] = char(value);
    QString bad;
    QVERIFY(!decodeRedundancy(block, &bad));
    QCOMPARE(bad, field);
    QVERIFY(!decodeRedundancy(QByteArray(207, '\0')));
}

QTEST_MAIN(TestRedundancyBlock)
#include "test_redundancy_block.moc"
