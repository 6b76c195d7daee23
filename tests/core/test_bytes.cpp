// Byte access: fields read and written low byte first, and every index
// outside the buffer a "subscript out of range" failure.
#include "core/bytes.h"
#include "core/error_log.h"
#include "support/hex.h"

#include <QtTest>

using namespace kalmo;

namespace {

// The description of the failure `body` throws, or nothing when it throws none.
template <typename Body> QString failureOf(Body &&body)
{
    try {
        body();
    } catch (const ProcedureError &e) {
        return e.description();
    }
    return {};
}

} // namespace

class TestBytes : public QObject
{
    Q_OBJECT
private slots:
    void reads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("byte");
        QTest::addColumn<uint>("le16");
        QTest::addColumn<uint>("le32");
        QTest::newRow("at 0") << hex("78 56 34 12") << 0 << 0x78 << 0x5678u << 0x12345678u;
        QTest::newRow("at 1") << hex("00 CD AB 89 67 EF") << 1 << 0xCD << 0xABCDu << 0x6789ABCDu;
        QTest::newRow("high bits") << hex("FF FF FF FF") << 0 << 0xFF << 0xFFFFu << 0xFFFFFFFFu;
    }
    void reads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, at);
        QFETCH(int, byte);
        QFETCH(uint, le16);
        QFETCH(uint, le32);
        QCOMPARE(byteAt(bytes, at), quint8(byte));
        QCOMPARE(le16At(bytes, at), quint16(le16));
        QCOMPARE(le32At(bytes, at), quint32(le32));
        QCOMPARE(le16At(QByteArrayView(bytes), at), quint16(le16));
    }

    void readOutsideFails_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("width");
        QTest::newRow("byte, empty") << QByteArray() << 0 << 1;
        QTest::newRow("byte, negative") << hex("01 02") << -1 << 1;
        QTest::newRow("byte, at the end") << hex("01 02") << 2 << 1;
        QTest::newRow("16 bits, high byte missing") << hex("01 02") << 1 << 2;
        QTest::newRow("16 bits, negative") << hex("01 02") << -1 << 2;
        QTest::newRow("32 bits, last byte missing") << hex("01 02 03 04") << 1 << 4;
        QTest::newRow("32 bits, only two bytes") << hex("01 02") << 0 << 4;
    }
    void readOutsideFails()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, at);
        QFETCH(int, width);
        const QString failure = failureOf([&] {
            if (width == 1) byteAt(bytes, at);
            if (width == 2) le16At(bytes, at);
            if (width == 4) le32At(bytes, at);
        });
        QCOMPARE(failure, QStringLiteral("下标越界"));
    }

    void writes_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("width");
        QTest::addColumn<uint>("value");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("byte") << 2 << 1 << 0xA5u << hex("EE EE A5 EE EE EE");
        QTest::newRow("16 bits at 0") << 0 << 2 << 0x1234u << hex("34 12 EE EE EE EE");
        QTest::newRow("16 bits at the end") << 4 << 2 << 0xBEEFu << hex("EE EE EE EE EF BE");
        QTest::newRow("32 bits at 1") << 1 << 4 << 0x12345678u << hex("EE 78 56 34 12 EE");
        QTest::newRow("32 bits at the end") << 2 << 4 << 0xFFFF0001u << hex("EE EE 01 00 FF FF");
    }
    void writes()
    {
        QFETCH(int, at);
        QFETCH(int, width);
        QFETCH(uint, value);
        QFETCH(QByteArray, expected);
        QByteArray bytes(6, char(0xEE));
        if (width == 1) setByteAt(bytes, at, quint8(value));
        if (width == 2) setLe16At(bytes, at, quint16(value));
        if (width == 4) setLe32At(bytes, at, quint32(value));
        QCOMPARE(bytes, expected);
    }

    // A field that runs past the end fails after its bytes inside the buffer
    // have been written, low byte first.
    void writeOutsideFails_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("width");
        QTest::addColumn<QByteArray>("left");
        QTest::newRow("byte, negative") << -1 << 1 << hex("EE EE EE EE");
        QTest::newRow("byte, at the end") << 4 << 1 << hex("EE EE EE EE");
        QTest::newRow("16 bits, negative") << -1 << 2 << hex("EE EE EE EE");
        QTest::newRow("16 bits, high byte outside") << 3 << 2 << hex("EE EE EE 44");
        QTest::newRow("32 bits, one byte outside") << 1 << 4 << hex("EE 44 33 22");
        QTest::newRow("32 bits, three bytes outside") << 3 << 4 << hex("EE EE EE 44");
    }
    void writeOutsideFails()
    {
        QFETCH(int, at);
        QFETCH(int, width);
        QFETCH(QByteArray, left);
        QByteArray bytes(4, char(0xEE));
        const QString failure = failureOf([&] {
            if (width == 1) setByteAt(bytes, at, 0x44);
            if (width == 2) setLe16At(bytes, at, 0x1144);
            if (width == 4) setLe32At(bytes, at, 0x11223344);
        });
        QCOMPARE(failure, QStringLiteral("下标越界"));
        QCOMPARE(bytes, left);
    }
};

QTEST_GUILESS_MAIN(TestBytes)
#include "test_bytes.moc"
