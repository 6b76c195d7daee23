// The announcement datagram, pinned with bytes laid out by hand: which
// datagrams count, where each field sits, the service port read unsigned, the
// type codes that discovery lists, and the encoder the virtual controller uses.
#include "protocol/announcement.h"
#include "protocol/device_catalogue.h"
#include "support/hex.h"

#include <QTest>

using namespace kalmo;

namespace {

QByteArray zeros(qsizetype count)
{
    return QByteArray(count, '\0');
}

// 192.168.0.7, service port 40000, type code "079", PD tag "站1"; the bytes
// that are not interpreted are non-zero.
QByteArray sample()
{
    return hex("04") + hex("01020304050607") +
           // device ID "01234567890123456" "079" "ABCDEFGHIJKL"
           hex("3031323334353637383930313233343536") + hex("303739") +
           hex("4142434445464748494A4B4C") +
           // PD tag "站1" in code page 936
           hex("D5BE31") + zeros(29) +
           // 192.168.0.7
           hex("C0A80007") + hex("EEEEEEEEEEEEEEEEEEEEEE") +
           // port 0x9C40 low byte first
           hex("409C") + hex("FFFF");
}

QByteArray patched(QByteArray datagram, qsizetype offset, const QByteArray &bytes)
{
    datagram.replace(offset, bytes.size(), bytes);
    return datagram;
}

} // namespace

class TestAnnouncement : public QObject
{
    Q_OBJECT

private slots:
    void sampleIsLaidOut()
    {
        // The sample itself: 91 bytes with the address at 72 and the port at 87.
        const QByteArray d = sample();
        QCOMPARE(d.size(), 91);
        QCOMPARE(d.mid(25, 3), QByteArray("079"));
        QCOMPARE(d.mid(72, 4), hex("C0A80007"));
        QCOMPARE(d.mid(87, 2), hex("409C"));
    }

    void fields()
    {
        const auto a = parseAnnouncement(sample());
        QVERIFY(a.has_value());
        QCOMPARE(a->deviceId, QByteArray("01234567890123456079ABCDEFGHIJKL"));
        QCOMPARE(a->pdTag, hex("D5BE31") + zeros(29));
        QCOMPARE(dottedAddress(a->address), QStringLiteral("192.168.0.7"));
        QCOMPARE(a->typeCode(), QByteArray("079"));
        QCOMPARE(a->servicePort, quint16(40000));
    }

    void rejected_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one byte 4") << hex("04");
        QTest::newRow("90 bytes") << sample().left(90);
        QTest::newRow("92 bytes") << sample() + hex("00");
        QTest::newRow("kind 3") << patched(sample(), 0, hex("03"));
        QTest::newRow("kind 5") << patched(sample(), 0, hex("05"));
        QTest::newRow("kind 0x84") << patched(sample(), 0, hex("84"));
        QTest::newRow("kind 0") << zeros(91);
    }

    void rejected()
    {
        QFETCH(QByteArray, datagram);
        QVERIFY(!parseAnnouncement(datagram).has_value());
    }

    void servicePort_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("port");
        QTest::newRow("40000") << hex("409C") << 40000;
        QTest::newRow("3000") << hex("B80B") << 3000;
        QTest::newRow("32768") << hex("0080") << 32768;
        QTest::newRow("65535") << hex("FFFF") << 65535;
        QTest::newRow("1, low byte first") << hex("0100") << 1;
        QTest::newRow("256") << hex("0001") << 256;
    }

    void servicePort()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, port);
        const auto a = parseAnnouncement(patched(sample(), 87, bytes));
        QVERIFY(a.has_value());
        QCOMPARE(int(a->servicePort), port);
    }

    void address_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero octet") << hex("C0A80007") << "192.168.0.7";
        QTest::newRow("first octet first") << hex("0A000105") << "10.0.1.5";
        QTest::newRow("all 255") << hex("FFFFFFFF") << "255.255.255.255";
        QTest::newRow("loopback 2") << hex("7F000002") << "127.0.0.2";
        QTest::newRow("no address") << hex("00000000") << "0.0.0.0";
    }

    void address()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const auto a = parseAnnouncement(patched(sample(), 72, bytes));
        QVERIFY(a.has_value());
        QCOMPARE(dottedAddress(a->address), text);
    }

    void typeCodes_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<bool>("accepted");
        for (const char *code : {"079", "090", "094", "118", "127", "131", "133", "134", "135",
                                 "185", "186", "190", "197", "198", "199"})
            QTest::addRow("%s", code) << QByteArray(code) << true;
        QTest::newRow("never programmed FF FF FF") << hex("FFFFFF") << true;
        for (const char *code : {"120", "122", "132", "136", "160", "000", "097"})
            QTest::addRow("%s refused", code) << QByteArray(code) << false;
        QTest::newRow("FF FF 00") << hex("FFFF00") << false;
        QTest::newRow("00 00 00") << hex("000000") << false;
    }

    void typeCodes()
    {
        QFETCH(QByteArray, code);
        QFETCH(bool, accepted);
        QCOMPARE(acceptedByDiscovery(code), accepted);
        // The code sits in the datagram at offsets 25..27.
        const auto a = parseAnnouncement(patched(sample(), 25, code));
        QVERIFY(a.has_value());
        QCOMPARE(a->typeCode(), code);
        QCOMPARE(acceptedByDiscovery(a->typeCode()), accepted);
    }

    void shortOrLongCodesRefused()
    {
        QVERIFY(!acceptedByDiscovery(QByteArray("79")));
        QVERIFY(!acceptedByDiscovery(QByteArray("0790")));
        QVERIFY(!acceptedByDiscovery(hex("FFFF")));
        QVERIFY(!acceptedByDiscovery(QByteArray()));
    }

    void encode_data()
    {
        QTest::addColumn<QByteArray>("deviceId");
        QTest::addColumn<QByteArray>("pdTag");
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("datagram");

        QTest::newRow("short texts padded")
            << QByteArray("ABCDEFGHIJKLMNOPQ199") << hex("BAC5") << hex("0A000005") << 3000
            << hex("04") + zeros(7) + hex("4142434445464748494A4B4C4D4E4F5051") + hex("313939") +
                   zeros(12) + hex("BAC5") + zeros(30) + hex("0A000005") + zeros(11) + hex("B80B") +
                   zeros(2);
        QTest::newRow("long ID cut, port 40000")
            << QByteArray("0123456789ABCDEF0FF_0123456789ABCDEF") << QByteArray() << hex("7F000002")
            << 40000
            << hex("04") + zeros(7) +
                   hex("303132333435363738394142434445463046465F303132333435363738394142") +
                   zeros(32) + hex("7F000002") + zeros(11) + hex("409C") + zeros(2);
    }

    void encode()
    {
        QFETCH(QByteArray, deviceId);
        QFETCH(QByteArray, pdTag);
        QFETCH(QByteArray, address);
        QFETCH(int, port);
        QFETCH(QByteArray, datagram);
        Announcement a;
        a.deviceId = deviceId;
        a.pdTag = pdTag;
        for (int i = 0; i < 4; ++i)
            a.address[size_t(i)] = quint8(address[i]);
        a.servicePort = quint16(port);
        QCOMPARE(encodeAnnouncement(a).toHex(' '), datagram.toHex(' '));
    }

    void everyLength()
    {
        // Datagrams of every length, of the right kind and of a wrong one.
        for (int length = 0; length <= 600; ++length) {
            for (const char kind : {'\x04', '\x03', '\xFF'}) {
                QByteArray d(length, '\x5A');
                if (length > 0) d[0] = kind;
                const auto a = parseAnnouncement(d);
                QCOMPARE(a.has_value(), length == 91 && kind == '\x04');
                if (a) QCOMPARE(a->servicePort, quint16(0x5A5A));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestAnnouncement)
#include "test_announcement.moc"
