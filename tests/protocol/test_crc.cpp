// CRC-16/MODBUS: known values, the table against the bitwise reference, and
// the frame checksum range with its bounds; CRC-32 known values.
#include "protocol/crc.h"
#include "core/error_log.h"

#include <QRandomGenerator>
#include <QTest>

using namespace kalmo;

class TestCrc : public QObject
{
    Q_OBJECT

private slots:
    void knownValues_data();
    void knownValues();
    void tableEntries_data();
    void tableEntries();
    void tableMatchesBitwise_data();
    void tableMatchesBitwise();
    void frameRange_data();
    void frameRange();
    void frameRangeOutOfBounds_data();
    void frameRangeOutOfBounds();
    void crc32Values_data();
    void crc32Values();
};

void TestCrc::knownValues_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("crc");
    QTest::newRow("check string") << QByteArray("123456789") << 0x4B37;
    QTest::newRow("empty") << QByteArray() << 0xFFFF;
    QTest::newRow("01") << QByteArray::fromHex("01") << 0x807E;
    QTest::newRow("00") << QByteArray::fromHex("00") << 0x40BF;
    QTest::newRow("FF") << QByteArray::fromHex("FF") << 0x00FF;
    QTest::newRow("01 02 03") << QByteArray::fromHex("010203") << 0x6161;
    QTest::newRow("fn 4 + 12 34") << QByteArray::fromHex("041234") << 0x763D;
}

void TestCrc::knownValues()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, crc);
    QCOMPARE(crc16Modbus(bytes), quint16(crc));
    QCOMPARE(crc16ModbusBitwise(bytes), quint16(crc));
}

void TestCrc::tableEntries_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("entry");
    QTest::newRow("0") << 0 << 0x0000;
    QTest::newRow("1") << 1 << 0xC0C1;
    QTest::newRow("2") << 2 << 0xC181;
    QTest::newRow("3") << 3 << 0x0140;
    QTest::newRow("0x80") << 0x80 << 0xA001;
    QTest::newRow("0xFF") << 0xFF << 0x4040;
}

void TestCrc::tableEntries()
{
    QFETCH(int, index);
    QFETCH(int, entry);
    QCOMPARE(kCrc16ModbusTable[size_t(index)], quint16(entry));
}

void TestCrc::tableMatchesBitwise_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<quint32>("seed");
    for (int length : {1, 2, 7, 111, 297, 519, 4099})
        QTest::addRow("%d bytes", length) << length << quint32(length * 7919 + 1);
}

void TestCrc::tableMatchesBitwise()
{
    QFETCH(int, length);
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    for (int round = 0; round < 20; ++round) {
        QByteArray data(length, '\0');
        for (char &c : data)
            c = static_cast<char>(random.bounded(256));
        const quint16 whole = crc16ModbusBitwise(data);
        QCOMPARE(crc16Modbus(data), whole);

        // Fed in two pieces, the register carries over.
        const qsizetype cut = random.bounded(length + 1);
        const QByteArrayView view(data);
        QCOMPARE(crc16Modbus(view.sliced(cut), crc16Modbus(view.first(cut))), whole);

        // A run over the data and its own CRC, low byte first, ends at 0.
        QByteArray withCrc = data;
        withCrc.append(static_cast<char>(whole & 0xFF));
        withCrc.append(static_cast<char>(whole >> 8));
        QCOMPARE(crc16Modbus(withCrc), quint16(0));
    }
}

void TestCrc::frameRange_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("checksumLength");
    QTest::addColumn<int>("crc");
    const QByteArray bare = QByteArray::fromHex("5555017E80AAAA");
    QTest::newRow("request: fn only") << bare << 7 << 0x807E;
    QTest::newRow("reply: fn and its CRC") << bare << 9 << 0;
    QTest::newRow("fn and CRC low byte") << bare << 8 << 0x0080;
    QTest::newRow("empty range") << bare << 6 << 0xFFFF;
    QTest::newRow("length 0") << bare << 0 << 0xFFFF;
    QTest::newRow("negative length") << bare << -100 << 0xFFFF;
    QTest::newRow("empty buffer, empty range") << QByteArray() << 6 << 0xFFFF;
    QTest::newRow("whole buffer after header") << QByteArray::fromHex("5555010203") << 9 << 0x6161;
    QTest::newRow("payload frame") << QByteArray::fromHex("555504123400000000") << 9 << 0x763D;
}

void TestCrc::frameRange()
{
    QFETCH(QByteArray, buffer);
    QFETCH(int, checksumLength);
    QFETCH(int, crc);
    QCOMPARE(CrcCheck(buffer, checksumLength), quint16(crc));
}

void TestCrc::frameRangeOutOfBounds_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("checksumLength");
    const QByteArray bare = QByteArray::fromHex("5555017E80AAAA");
    QTest::newRow("one past the end") << bare << 12;
    QTest::newRow("far past the end") << bare << 100000;
    QTest::newRow("empty buffer") << QByteArray() << 7;
    QTest::newRow("header only") << QByteArray::fromHex("5555") << 7;
}

void TestCrc::frameRangeOutOfBounds()
{
    QFETCH(QByteArray, buffer);
    QFETCH(int, checksumLength);
    try {
        CrcCheck(buffer, checksumLength);
        QFAIL("no failure for a range past the buffer");
    } catch (const ProcedureError &e) {
        QCOMPARE(e.description(), QStringLiteral("下标越界"));
    }
}

void TestCrc::crc32Values_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<quint32>("crc");
    QTest::newRow("check string") << QByteArray("123456789") << 0xCBF43926u;
    QTest::newRow("empty") << QByteArray() << 0x00000000u;
    // One byte b gives 0xFF000000 ^ table[0xFF ^ b]: table[0] = 0,
    // table[0x80] = the polynomial, table[0xFF] = 0x2D02EF8D.
    QTest::newRow("FF") << QByteArray::fromHex("FF") << 0xFF000000u;
    QTest::newRow("7F") << QByteArray::fromHex("7F") << 0x12B88320u;
    QTest::newRow("00") << QByteArray::fromHex("00") << 0xD202EF8Du;
}

void TestCrc::crc32Values()
{
    QFETCH(QByteArray, bytes);
    QFETCH(quint32, crc);
    QCOMPARE(crc32(bytes), crc);
}

QTEST_APPLESS_MAIN(TestCrc)
#include "test_crc.moc"
