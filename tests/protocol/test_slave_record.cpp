// The slave record's layout, both ways; a short one is refused.
#include "protocol/slave_record.h"

#include "support/hex.h"

#include <QtTest>

using namespace kalmo;

class TestSlaveRecord : public QObject
{
    Q_OBJECT
private slots:
    void layout();
};

void TestSlaveRecord::layout()
{
    SlaveRecord r;
    r.number = 3;
    r.writeMarker = 1;
    r.address = 0x11;
    r.format = 2;        // ModbusASCII
    r.typeCode = 0x01FE; // both bytes in use
    r.scanPeriod = 1000;
    r.scanFunction = 4;
    const QByteArray bytes = hex("03 01 0000 11 02 fe01 e803 04 00");
    QCOMPARE(encodeSlaveRecord(r), bytes);
    QCOMPARE(decodeSlaveRecord(bytes), std::optional(r));
    // Bytes 2, 3 and 11 carry nothing; a longer buffer is read from its start.
    QCOMPARE(decodeSlaveRecord(hex("03 01 ffff 11 02 fe01 e803 04 ff aaaa")), std::optional(r));
    QCOMPARE(decodeSlaveRecord(bytes.first(11)), std::nullopt);
}

QTEST_MAIN(TestSlaveRecord)
#include "test_slave_record.moc"
