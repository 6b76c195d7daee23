// The SM area's layout: 128 signed 32-bit values, little-endian, in order.
#include "protocol/sm_block.h"

#include "support/hex.h"

#include <QtTest>

using namespace kalmo;

class TestSmBlock : public QObject
{
    Q_OBJECT
private slots:
    void layout()
    {
        SmValues values{};
        values[0] = -1;
        values[1] = 0x01020304;
        values[127] = -2147483647 - 1;
        const QByteArray block = encodeSmBlock(values);
        QCOMPARE(block.size(), 512);
        QCOMPARE(block.first(8), hex("ffffffff 04030201"));
        QCOMPARE(block.sliced(8, 500), QByteArray(500, '\0'));
        QCOMPARE(block.last(4), hex("00000080"));
        QCOMPARE(decodeSmBlock(block + "tail"), std::optional(values));
    }
    void shortBlockGivesNothing() { QVERIFY(!decodeSmBlock(QByteArray(511, '\0'))); }
    void labels()
    {
        QCOMPARE(smLabel(0), QStringLiteral("SMD256"));
        QCOMPARE(smLabel(127), QStringLiteral("SMD510"));
    }
};

QTEST_MAIN(TestSmBlock)
#include "test_sm_block.moc"
