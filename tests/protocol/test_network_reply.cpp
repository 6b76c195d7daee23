// Acceptance of a datagram on the read/write service socket: status bits,
// the service in the low six bits, the sequence number at bytes 6..7 low byte
// first, and datagrams too short to carry them.
#include "protocol/network_reply.h"
#include "support/hex.h"

#include <QTest>

using namespace kalmo;

namespace {

constexpr int kRead = 0x1234;  // outstanding read sequence number
constexpr int kWrite = 0x0101; // outstanding write sequence number

} // namespace

Q_DECLARE_METATYPE(NetworkReplyKind)
Q_DECLARE_METATYPE(IgnoredBecause)

class TestNetworkReply : public QObject
{
    Q_OBJECT

private slots:
    void classify_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("readSequence");
        QTest::addColumn<int>("writeSequence");
        QTest::addColumn<NetworkReplyKind>("kind");
        QTest::addColumn<IgnoredBecause>("because");
        QTest::addColumn<QString>("text");

        using K = NetworkReplyKind;
        using B = IgnoredBecause;
        const QString none;
        const QString readError = QStringLiteral("读服务响应错误");
        const QString writeFailed = QStringLiteral("写服务失败");

        // Reads: sequence 0x1234 travels as 34 12.
        QTest::newRow("read 4C, right sequence") << hex("4C0000000000341200000000AABBCC") << kRead
                                                 << kWrite << K::ReadReply << B::Nothing << none;
        QTest::newRow("read 4C, bytes not examined are ignored")
            << hex("4CFFFFFFFFFF3412FFFFFFFF") << kRead << kWrite << K::ReadReply << B::Nothing
            << none;
        QTest::newRow("read 0C: status 00") << hex("0C0000000000341200000000") << kRead << kWrite
                                            << K::ReadError << B::Nothing << readError;
        QTest::newRow("read 8C: status 10") << hex("8C0000000000341200000000") << kRead << kWrite
                                            << K::ReadError << B::Nothing << readError;
        QTest::newRow("read CC: status 11") << hex("CC0000000000341200000000") << kRead << kWrite
                                            << K::ReadError << B::Nothing << readError;
        QTest::newRow("read error whatever its sequence")
            << hex("0C0000000000FFFF00000000") << kRead << kWrite << K::ReadError << B::Nothing
            << readError;
        QTest::newRow("read 4C, wrong sequence")
            << hex("4C0000000000351200000000") << kRead << kWrite << K::Ignored << B::WrongSequence
            << none;
        QTest::newRow("read 4C, sequence bytes swapped")
            << hex("4C0000000000123400000000") << kRead << kWrite << K::Ignored << B::WrongSequence
            << none;
        QTest::newRow("read 4C carrying the write's sequence")
            << hex("4C0000000000010100000000") << kRead << kWrite << K::Ignored << B::WrongSequence
            << none;
        QTest::newRow("read 4C, sequence 65535 unsigned")
            << hex("4C0000000000FFFF00000000") << 65535 << kWrite << K::ReadReply << B::Nothing
            << none;
        QTest::newRow("read 4C, sequence 0")
            << hex("4C0000000000000000000000") << 0 << kWrite << K::ReadReply << B::Nothing << none;

        // Writes: sequence 0x0101 travels as 01 01.
        QTest::newRow("write 4D, right sequence, 12 bytes")
            << hex("4D0000000000010100000000") << kRead << kWrite << K::WriteReply << B::Nothing
            << none;
        QTest::newRow("write 4D, 8 bytes are enough")
            << hex("4D00000000000101") << kRead << kWrite << K::WriteReply << B::Nothing << none;
        QTest::newRow("write 0D") << hex("0D0000000000010100000000") << kRead << kWrite
                                  << K::WriteError << B::Nothing << writeFailed;
        QTest::newRow("write 8D") << hex("8D0000000000010100000000") << kRead << kWrite
                                  << K::WriteError << B::Nothing << writeFailed;
        QTest::newRow("write CD") << hex("CD0000000000010100000000") << kRead << kWrite
                                  << K::WriteError << B::Nothing << writeFailed;
        QTest::newRow("write 4D, wrong sequence")
            << hex("4D0000000000020100000000") << kRead << kWrite << K::Ignored << B::WrongSequence
            << none;
        QTest::newRow("write 4D carrying the read's sequence")
            << hex("4D0000000000341200000000") << kRead << kWrite << K::Ignored << B::WrongSequence
            << none;
        QTest::newRow("both counters equal, write reply is a write")
            << hex("4D0000000000050000000000") << 5 << 5 << K::WriteReply << B::Nothing << none;

        // Other services.
        QTest::newRow("4E") << hex("4E0000000000341200000000") << kRead << kWrite << K::Ignored
                            << B::UnknownKind << none;
        QTest::newRow("40") << hex("400000000000341200000000") << kRead << kWrite << K::Ignored
                            << B::UnknownKind << none;
        QTest::newRow("0E error bits, unknown service")
            << hex("0E0000000000341200000000") << kRead << kWrite << K::Ignored << B::UnknownKind
            << none;
        QTest::newRow("one byte 4C")
            << hex("4C") << kRead << kWrite << K::Ignored << B::TooShort << none;

        // Short datagrams.
        QTest::newRow("empty") << QByteArray() << kRead << kWrite << K::Ignored << B::Empty << none;
        QTest::newRow("one byte 0C")
            << hex("0C") << kRead << kWrite << K::ReadError << B::Nothing << readError;
        QTest::newRow("one byte CD")
            << hex("CD") << kRead << kWrite << K::WriteError << B::Nothing << writeFailed;
        QTest::newRow("7 bytes 4C")
            << hex("4C000000000034") << kRead << kWrite << K::Ignored << B::TooShort << none;
        QTest::newRow("7 bytes 4D")
            << hex("4D000000000001") << kRead << kWrite << K::Ignored << B::TooShort << none;
        QTest::newRow("7 bytes 00")
            << hex("00000000000000") << kRead << kWrite << K::Ignored << B::UnknownKind << none;
    }

    void classify()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, readSequence);
        QFETCH(int, writeSequence);
        QFETCH(NetworkReplyKind, kind);
        QFETCH(IgnoredBecause, because);
        QFETCH(QString, text);
        const NetworkReplyVerdict v = classifyNetworkReply(datagram, readSequence, writeSequence);
        QCOMPARE(v.kind, kind);
        QCOMPARE(v.ignoredBecause, because);
        QCOMPARE(v.statusText(), text);
        QCOMPARE(v.routed(),
                 kind == NetworkReplyKind::ReadReply || kind == NetworkReplyKind::WriteReply);
    }

    void sequenceIsReported()
    {
        // The number found at bytes 6..7, for the caller's own checks.
        QCOMPARE(classifyNetworkReply(hex("4C0000000000CDAB"), 1, 2).sequence, 0xABCD);
        QCOMPARE(classifyNetworkReply(hex("4C00000000CD"), 1, 2).sequence, -1);
    }

    void everyLength()
    {
        // Every length up to 600 with every first byte that means something:
        // nothing is read outside the datagram (the sanitizers watch) and a
        // reply is only routed when it is long enough to carry its number.
        for (int length = 0; length <= 600; ++length) {
            for (const char first : {'\x4C', '\x4D', '\x0C', '\xCD', '\x00', '\xFF'}) {
                QByteArray d(length, '\x01');
                if (length > 0) d[0] = first;
                const NetworkReplyVerdict v = classifyNetworkReply(d, 0x0101, 0x0101);
                QCOMPARE(v.routed(), length >= 8 && (first == '\x4C' || first == '\x4D'));
                QCOMPARE(v.sequence, length >= 8 ? 0x0101 : -1);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestNetworkReply)
#include "test_network_reply.moc"
