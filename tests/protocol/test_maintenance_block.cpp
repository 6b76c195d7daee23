// The high-speed flags in the order the device takes them, and the models
// that take only four.
#include "protocol/maintenance_block.h"

#include <QtTest>

using namespace kalmo;

class TestMaintenanceBlock : public QObject
{
    Q_OBJECT
private slots:
    void highSpeedFlags_data();
    void highSpeedFlags();
};

void TestMaintenanceBlock::highSpeedFlags_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QList<int>>("boxes");
    QTest::addColumn<QByteArray>("payload");
    // Six flags: DI22, DI23, DI21, DI20, Q0.0, Q0.1.
    QTest::newRow("six, DI21") << 8 << 0x2530 << QList<int>{4}
                               << QByteArray::fromHex("000001000000");
    QTest::newRow("six, DI20 and Q0.1")
        << 4 << 0x2529 << QList<int>{5, 3} << QByteArray::fromHex("000000010001");
    // Four flags: DI22, DI23, Q0.0, Q0.1; DI21 and DI20 are not sent.
    QTest::newRow("four, type 8 / 0x2529")
        << 8 << 0x2529 << QList<int>{2, 4, 5} << QByteArray::fromHex("00000100");
    QTest::newRow("four, type 10 / 0x1101")
        << 10 << 0x1101 << QList<int>{1, 3} << QByteArray::fromHex("00010001");
}

void TestMaintenanceBlock::highSpeedFlags()
{
    QFETCH(int, type);
    QFETCH(int, firmware);
    QFETCH(QList<int>, boxes);
    QFETCH(QByteArray, payload);
    HighSpeedFlags flags{};
    for (int b : boxes)
        flags[std::size_t(b)] = true;
    QCOMPARE(highSpeedIoPayload(flags, quint8(type), quint16(firmware)), payload);
    QCOMPARE(takesFourHighSpeedFlags(quint8(type), quint16(firmware)), payload.size() == 4);
}

QTEST_APPLESS_MAIN(TestMaintenanceBlock)
#include "test_maintenance_block.moc"
