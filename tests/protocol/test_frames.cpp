// Request frames of both links, serial reply checking and Hex2Bin, pinned
// with bytes worked out by hand from the frame layouts.
#include "protocol/frames.h"
#include "session/session.h"
#include "core/codepage.h"
#include "core/error_log.h"
#include "support/hex.h"
#include "support/scratch_dir.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace kalmo;

namespace {

// A 297- or 298-byte reply to function 1: header, the data bytes 0, 1, 2, ...
// (wrapping at 256), then the given CRC bytes and the trailer.
QByteArray longReply(qsizetype length, quint8 crcLow, quint8 crcHigh)
{
    QByteArray reply = hex("555501");
    for (qsizetype i = 0; i < length - 7; ++i)
        reply.append(static_cast<char>(i & 0xFF));
    reply.append(static_cast<char>(crcLow));
    reply.append(static_cast<char>(crcHigh));
    reply.append(hex("AAAA"));
    return reply;
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void serialFrame_data();
    void serialFrame();
    void completePreparedFrame_data();
    void completePreparedFrame();
    void longestSerialFrame();
    void shortSerialFrame_data();
    void shortSerialFrame();
    void shortSerialFrameIsLogged();
    void receiveTimeouts_data();
    void receiveTimeouts();

    void readRequest_data();
    void readRequest();
    void sequenceNumbers();
    void itemWalk();
    void writeRequest_data();
    void writeRequest();
    void longWritePayload();

    void serialReply_data();
    void serialReply();
    void everyFlippedBitIsCaught();

    void hex2Bin_data();
    void hex2Bin();
};

// ---- Serial request frames -------------------------------------------------

void TestFrames::serialFrame_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("bare read fn 1") << 1 << QByteArray() << hex("5555017E80AAAA");
    QTest::newRow("fn 4, 2 bytes") << 4 << hex("1234") << hex("55550412343D76AAAA");
    QTest::newRow("fn 10, 1 byte") << 10 << hex("00") << hex("55550A000710AAAA");
    QTest::newRow("fn 11, 3 bytes") << 11 << hex("FF0080") << hex("55550BFF00803390AAAA");
    QTest::newRow("fn 7, 8 bytes")
        << 7 << hex("0102030405060708") << hex("5555070102030405060708DC04AAAA");
}

void TestFrames::serialFrame()
{
    QFETCH(int, function);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    QCOMPARE(buildSerialFrame(quint8(function), payload).toHex(' '), frame.toHex(' '));
}

void TestFrames::completePreparedFrame_data()
{
    // As a builder leaves it: sized, function number and payload filled, the
    // rest holding whatever was there before.
    QTest::addColumn<QByteArray>("prepared");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("zeros around fn 1") << hex("00000100000000") << hex("5555017E80AAAA");
    QTest::newRow("stale bytes around fn 4")
        << hex("EEEE041234EEEEEEEE") << hex("55550412343D76AAAA");
    QTest::newRow("previous frame's header kept")
        << hex("55550BFF0080FFFFAAAA") << hex("55550BFF00803390AAAA");
}

void TestFrames::completePreparedFrame()
{
    QFETCH(QByteArray, prepared);
    QFETCH(QByteArray, frame);
    completeSerialFrame(prepared);
    QCOMPARE(prepared.toHex(' '), frame.toHex(' '));
}

void TestFrames::longestSerialFrame()
{
    // 512-byte block transfer: payload 00 01 .. FF 00 01 .. FF.
    QByteArray payload;
    for (int i = 0; i < 512; ++i)
        payload.append(static_cast<char>(i & 0xFF));
    const QByteArray frame = buildSerialFrame(0x0E, payload);
    QCOMPARE(frame.size(), 519);
    QCOMPARE(frame.first(3), hex("55550E"));
    QCOMPARE(frame.sliced(3, 512), payload);
    QCOMPARE(frame.last(4), hex("6615AAAA"));
}

void TestFrames::shortSerialFrame_data()
{
    QTest::addColumn<int>("size");
    for (int size = 0; size < 7; ++size)
        QTest::addRow("%d bytes", size) << size;
}

void TestFrames::shortSerialFrame()
{
    QFETCH(int, size);
    QByteArray frame(size, '\x01');
    const QByteArray before = frame;
    try {
        completeSerialFrame(frame);
        QFAIL("a frame too short for header, CRC and trailer was completed");
    } catch (const ProcedureError &e) {
        QCOMPARE(e.description(), QStringLiteral("下标越界"));
    }
    QCOMPARE(frame, before);
}

void TestFrames::shortSerialFrameIsLogged()
{
    ScratchWorkingDir dir;
    QVERIFY(dir.isValid());

    QByteArray frame = hex("000001000000"); // a builder sized it one byte short
    bool sent = false;
    const bool completed = runLogged("SendCommand(Form1)", [&] {
        completeSerialFrame(frame);
        sent = true;
    });

    QFile log(QStringLiteral("TAVG501ErrorLog.ini"));
    const bool opened = log.open(QIODevice::ReadOnly);
    const QString text = opened ? cp936::decode(log.readAll()) : QString();
    log.close();

    QVERIFY(!completed);
    QVERIFY(!sent);
    QVERIFY(opened);
    QCOMPARE(text.count(QStringLiteral("\r\n")), 1);
    QVERIFY(text.contains(QStringLiteral("\"下标越界\"")));
    QVERIFY(text.contains(QStringLiteral("\"SendCommand(Form1)\"")));
}

void TestFrames::receiveTimeouts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("serialMs");
    QTest::addColumn<int>("udpWriteMs");
    // Current interval 3000 ms in every row.
    QTest::newRow("1") << 1 << 3000 << 3000;
    QTest::newRow("4") << 4 << 5000 << 10000;
    QTest::newRow("5") << 5 << 3000 << 3000;
    QTest::newRow("10") << 10 << 5000 << 10000;
    QTest::newRow("11") << 11 << 5000 << 10000;
    QTest::newRow("12") << 12 << 3000 << 3000;
    QTest::newRow("14") << 14 << 3000 << 3000;
}

void TestFrames::receiveTimeouts()
{
    QFETCH(int, code);
    QFETCH(int, serialMs);
    QFETCH(int, udpWriteMs);
    QCOMPARE(serialReceiveTimeoutMs(code, 3000), serialMs);
    QCOMPARE(udpWriteTimeoutMs(code, 3000), udpWriteMs);
}

// ---- UDP requests ------------------------------------------------------------

void TestFrames::readRequest_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("lastSequence");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("system parameters, first read")
        << 10003 << 1 << 0 << 0 << hex("0C000000100001000000132701000000");
    QTest::newRow("sequence 0x1234")
        << 10010 << 0 << 3 << 0x1233 << hex("0C0000001000341200001A2700000300");
    QTest::newRow("low 16 bits of each field")
        << 0x12345 << -1 << 65536 << 0 << hex("0C0000001000010000004523FFFF0000");
    QTest::newRow("wrap after 65535")
        << 14000 << 0 << 0 << 65535 << hex("0C000000100000000000B03600000000");
    QTest::newRow("stored sequence beyond range wraps")
        << 107 << 0 << 0 << 70000 << hex("0C0000001000000000006B0000000000");
}

void TestFrames::readRequest()
{
    QFETCH(int, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, lastSequence);
    QFETCH(QByteArray, frame);
    SendState state;
    state.blockAddress = address;
    state.blockType = type;
    state.itemCount = count;
    state.readSequence = lastSequence;
    QCOMPARE(buildReadRequest(state).toHex(' '), frame.toHex(' '));
    QCOMPARE(state.itemCount, count);
    QCOMPARE(state.blockAddress, address);
}

void TestFrames::sequenceNumbers()
{
    SendState state;
    state.blockAddress = 10003;
    state.blockType = 1;
    state.writePayload = hex("00");
    auto sequenceOf = [](const QByteArray &frame) {
        return int(quint8(frame[6])) | int(quint8(frame[7])) << 8;
    };

    QCOMPARE(sequenceOf(buildReadRequest(state)), 1);
    QCOMPARE(sequenceOf(buildReadRequest(state)), 2);
    QCOMPARE(sequenceOf(buildWriteRequest(state)), 1);
    QCOMPARE(sequenceOf(buildReadRequest(state)), 3);
    QCOMPARE(sequenceOf(buildWriteRequest(state)), 2);
    QCOMPARE(state.readSequence, 3);
    QCOMPARE(state.writeSequence, 2);

    state.readSequence = 65534;
    QCOMPARE(sequenceOf(buildReadRequest(state)), 65535);
    QCOMPARE(sequenceOf(buildReadRequest(state)), 0);
    QCOMPARE(sequenceOf(buildReadRequest(state)), 1);
    QCOMPARE(state.writeSequence, 2);

    state.writeSequence = 65535;
    QCOMPARE(sequenceOf(buildWriteRequest(state)), 0);
    QCOMPARE(state.writeSequence, 0);
    QCOMPARE(state.readSequence, 1);
}

void TestFrames::itemWalk()
{
    SendState state;
    state.blockAddress = 11008;
    state.blockType = 14;
    state.itemCount = 5;
    QCOMPARE(buildReadRequest(state), hex("0C000000100001000000002B0E000500"));
    QCOMPARE(state.itemCount, 6);
    QCOMPARE(buildReadRequest(state), hex("0C000000100002000000002B0E000600"));
    QCOMPARE(state.itemCount, 7);

    // Writes of type 14 and reads of other types leave the count alone.
    state.writePayload = hex("01");
    buildWriteRequest(state);
    QCOMPARE(state.itemCount, 7);
    state.blockType = 1;
    buildReadRequest(state);
    QCOMPARE(state.itemCount, 7);
}

void TestFrames::writeRequest_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("lastSequence");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("block 107, 1 byte: 17 bytes") << 107 << 0 << 1 << 0 << hex("5A")
                                                 << hex("0D000000110001000000"
                                                        "6B00"
                                                        "0000"
                                                        "0100"
                                                        "5A");
    QTest::newRow("block 10003, 1 byte: 19 bytes") << 10003 << 4 << 0 << 0 << hex("5A")
                                                   << hex("0D000000130001000000"
                                                          "1327"
                                                          "0400"
                                                          "0000"
                                                          "0000"
                                                          "5A");
    QTest::newRow("block 107, no payload")
        << 107 << 0 << 0 << 0 << QByteArray() << hex("0D0000001000010000006B0000000000");
    QTest::newRow("block 107, payload at 16") << 107 << 2 << 0 << 9 << hex("ABCD")
                                              << hex("0D00000012000A000000"
                                                     "6B00"
                                                     "0200"
                                                     "0000"
                                                     "ABCD");
    QTest::newRow("block 15000, payload at 18, sequence wraps")
        << 15000 << 11 << 0x0102 << 65535 << hex("010203")
        << hex("0D000000150000000000983A0B0002010000010203");
    QTest::newRow("low 16 bits of each field") << 0x1006B << 0x10004 << -2 << 0 << hex("77")
                                               << hex("0D000000130001000000"
                                                      "6B00"
                                                      "0400"
                                                      "FEFF"
                                                      "0000"
                                                      "77");
}

void TestFrames::writeRequest()
{
    QFETCH(int, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, lastSequence);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    SendState state;
    state.blockAddress = address;
    state.blockType = type;
    state.itemCount = count;
    state.writeSequence = lastSequence;
    state.writePayload = payload;
    QCOMPARE(buildWriteRequest(state).toHex(' '), frame.toHex(' '));
    QCOMPARE(state.readSequence, 0);
    QCOMPARE(state.writePayload, payload);
}

void TestFrames::longWritePayload()
{
    SendState state;
    state.blockAddress = 15000;
    state.blockType = 0;
    for (int i = 0; i < 512; ++i)
        state.writePayload.append(static_cast<char>(255 - (i & 0xFF)));
    const QByteArray frame = buildWriteRequest(state);
    QCOMPARE(frame.size(), 530);
    QCOMPARE(frame.first(18), hex("0D000000120201000000983A000000000000"));
    QCOMPARE(frame.sliced(18), state.writePayload);
}

// ---- Serial replies ------------------------------------------------------------

void TestFrames::serialReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("tested");
    QTest::addColumn<bool>("crcBad");
    QTest::addColumn<bool>("framed");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<int>("function");
    const int accept = int(SerialReplyVerdict::Accept);
    const int crcError = int(SerialReplyVerdict::DropWithChecksumError);
    const int silent = int(SerialReplyVerdict::DropSilently);

    QTest::newRow("sound") << hex("55550110203019C9AAAA") << true << false << true << accept << 1;
    QTest::newRow("sound bare fn 1")
        << hex("5555017E80AAAA") << true << false << true << accept << 1;
    QTest::newRow("data bit flipped")
        << hex("55550110203119C9AAAA") << true << true << true << crcError << -1;
    QTest::newRow("CRC byte wrong")
        << hex("55550110203019C8AAAA") << true << true << true << crcError << -1;
    QTest::newRow("bad header") << hex("55540110203019C9AAAA") << true << false << false << silent
                                << -1;
    QTest::newRow("bad first header byte")
        << hex("45550110203019C9AAAA") << true << false << false << silent << -1;
    QTest::newRow("bad trailer") << hex("55550110203019C9AAAB") << true << false << false << silent
                                 << -1;
    QTest::newRow("bad first trailer byte")
        << hex("55550110203019C9ABAA") << true << false << false << silent << -1;
    QTest::newRow("bad CRC and bad trailer")
        << hex("55550110203119C9AA00") << true << true << false << crcError << -1;
    QTest::newRow("297 bytes, sound")
        << longReply(297, 0xE0, 0x85) << true << false << true << accept << 1;
    QTest::newRow("297 bytes, CRC zeroed")
        << longReply(297, 0x00, 0x00) << true << true << true << crcError << -1;
    QTest::newRow("298 bytes, CRC not tested")
        << longReply(298, 0x00, 0x00) << false << false << true << accept << 1;
    QTest::newRow("600 bytes, bad trailer") << longReply(600, 0, 0).chopped(1).append('\x00')
                                            << false << false << false << silent << -1;
    // Too short to carry a function number: the checksum range is empty and
    // the register keeps 0xFFFF.
    QTest::newRow("header and trailer only")
        << hex("5555AAAA") << true << true << true << crcError << -1;
    QTest::newRow("3 bytes") << hex("55AAAA") << true << true << false << crcError << -1;
    QTest::newRow("1 byte") << hex("55") << true << true << false << crcError << -1;
    QTest::newRow("empty") << QByteArray() << true << true << false << crcError << -1;
}

void TestFrames::serialReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, tested);
    QFETCH(bool, crcBad);
    QFETCH(bool, framed);
    QFETCH(int, verdict);
    QFETCH(int, function);
    const SerialReplyCheck check = verifySerialReply(reply);
    QCOMPARE(check.checksumTested, tested);
    QCOMPARE(check.checksumFailed, crcBad);
    QCOMPARE(check.framingOk, framed);
    QCOMPARE(int(check.verdict), verdict);
    QCOMPARE(check.accepted(), verdict == int(SerialReplyVerdict::Accept));
    QCOMPARE(check.functionNumber, function);
    if (tested && !crcBad) QCOMPARE(check.checksumRegister, quint16(0));
    QCOMPARE(kCrcErrorText, QStringLiteral("CRC 校验错误"));
}

void TestFrames::everyFlippedBitIsCaught()
{
    // Sound reply to fn 4 with ten data bytes, its CRC worked out by hand.
    const QByteArray reply = hex("55550412345601020304050607") + hex("562DAAAA");
    QVERIFY(verifySerialReply(reply).accepted());
    for (qsizetype i = 2; i < reply.size() - 2; ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            QByteArray broken = reply;
            broken[i] = static_cast<char>(broken[i] ^ (1 << bit));
            const SerialReplyCheck check = verifySerialReply(broken);
            QVERIFY2(check.verdict == SerialReplyVerdict::DropWithChecksumError,
                     qPrintable(QStringLiteral("byte %1 bit %2").arg(i).arg(bit)));
            QVERIFY(check.framingOk);
        }
    }
}

// ---- Hex2Bin ---------------------------------------------------------------------

void TestFrames::hex2Bin_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("bits");
    QTest::newRow("A5") << "A5"
                        << "10100101";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("lower case") << "a5"
                                << "10100101";
    QTest::newRow("0F") << "0F"
                        << "00001111";
    QTest::newRow("all digits")
        << "0123456789ABCDEF"
        << "0000000100100011010001010110011110001001101010111100110111101111";
    QTest::newRow("space") << " "
                           << "0000";
    QTest::newRow("g") << "g"
                       << "0000";
    QTest::newRow("mixed") << "1 Zf"
                           << "0001000000001111";
    QTest::newRow("sign") << "-1"
                          << "00000001";
    QTest::newRow("euro") << "€9"
                          << "00001001";
    QTest::newRow("arabic-indic three") << "\u0663"
                                        << "0000";
    QTest::newRow("full-width A") << "\uFF21"
                                  << "0000";
}

void TestFrames::hex2Bin()
{
    QFETCH(QString, input);
    QFETCH(QString, bits);
    QCOMPARE(Hex2Bin(input), bits);
}

QTEST_APPLESS_MAIN(TestFrames)
#include "test_frames.moc"
