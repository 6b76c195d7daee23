// The virtual controller in-process: every serial function answers with the
// reply length of its function, writes read back, the system block and the
// DI/DO block sit at their offsets, and faults do what they say.
#include "core/codepage.h"
#include "protocol/crc.h"
#include "protocol/frames.h"
#include "sim/virtual_controller.h"
#include "sim_fixtures.h"

#include <QtTest>
#include <algorithm>

using namespace kalmo;
using namespace kalmo::sim;

namespace {

// Requests are framed by the tool's own frame builder; their payloads are
// literal.
QByteArray request(quint8 fn, const QByteArray &payload = {})
{
    return buildSerialFrame(fn, payload);
}

// The data between the function number and the CRC.
QByteArray dataOf(const QByteArray &reply)
{
    return reply.mid(3, reply.size() - 7);
}

// A controller whose clock only moves when the test says so.
struct Device
{
    qint64 now = 1000;
    VirtualController controller;
    explicit Device(const DeviceProfile &profile = DeviceProfile()) : controller(profile)
    {
        controller.setTickSource([this] { return now; });
    }
    QByteArray ask(quint8 fn, const QByteArray &payload = {})
    {
        return controller.answerSerial(request(fn, payload));
    }
};

DeviceProfile profileOf(quint8 type, quint16 firmware)
{
    DeviceProfile p;
    p.deviceType = type;
    p.firmwareVersion = firmware;
    return p;
}

} // namespace

class TestVirtualController : public QObject
{
    Q_OBJECT

private slots:
    void everyFunctionAnswers_data();
    void everyFunctionAnswers();
    void dioReplyLength_data();
    void dioReplyLength();
    void unsoundRequestsGetNoReply_data();
    void unsoundRequestsGetNoReply();

    void systemBlockAtItsOffsets();
    void writeImageReadsBack();
    void writeImageWithoutMarkerChangesNothing();
    void roundTrips_data();
    void roundTrips();
    void shortForwardingWriteKeepsLaterEntries();

    void clockRuns();
    void impossibleClockIsNotSet();
    void dioLayouts_data();
    void dioLayouts();
    void doWrite_data();
    void doWrite();

    void identityIsConsistent_data();
    void identityIsConsistent();
    void firmwareUpgradeStoresImage();
    void loader_data();
    void loader();
    void saveRestoreAndDefaults();
    void maintenanceCommands();

    void faults_data();
    void faults();
    void faultsAreReproducible();
};

// ---- Lengths --------------------------------------------------------------------

void TestVirtualController::everyFunctionAnswers_data()
{
    QTest::addColumn<int>("fn");
    QTest::addColumn<int>("requestLength");
    QTest::addColumn<int>("replyLength");
    const struct
    {
        int fn, n, r;
    } rows[] = {
        {1, 7, 111},  {4, 91, 91},  {13, 7, 23},  {14, 13, 13}, {19, 7, 15},  {20, 15, 15},
        {21, 7, 71},  {22, 71, 71}, {32, 9, 19},  {33, 19, 19}, {36, 13, 13}, {37, 7, 13},
        {40, 7, 8},   {43, 7, 7},   {44, 8, 8},   {45, 7, 7},   {46, 9, 9},   {47, 519, 7},
        {52, 7, 7},   {55, 7, 7},   {56, 7, 7},   {56, 10, 7},  {57, 7, 41},  {58, 13, 13},
        {58, 11, 11}, {59, 11, 11}, {64, 41, 41}, {65, 7, 9},   {66, 7, 71},  {67, 71, 7},
        {68, 7, 495}, {69, 15, 7},  {69, 39, 7},  {69, 495, 7}, {70, 7, 215}, {71, 215, 7},
        {73, 7, 519}, {74, 519, 7}, {75, 7, 249}, {76, 249, 7}, {77, 7, 15},  {78, 15, 7},
        {79, 7, 8},   {80, 8, 8},   {87, 9, 9},   {88, 7, 8},   {89, 7, 9},
    };
    for (const auto &row : rows)
        QTest::addRow("fn %d, %d bytes", row.fn, row.n) << row.fn << row.n << row.r;
}

void TestVirtualController::everyFunctionAnswers()
{
    QFETCH(int, fn);
    QFETCH(int, requestLength);
    QFETCH(int, replyLength);

    Device device(profileOf(8, 0x3305)); // DI/DO reply of 23 bytes
    QByteArray payload(requestLength - 7, '\0');
    if (fn == 4) {
        payload[45] = char(0x55); // end marker of the write image
        payload[46] = char(0xAA);
    }
    if (fn == 56 && requestLength == 10) payload = hex("55AA01");
    const QByteArray reply = device.ask(quint8(fn), payload);

    QCOMPARE(reply.size(), replyLength);
    QCOMPARE(quint8(reply[0]), quint8(0x55));
    QCOMPARE(quint8(reply[1]), quint8(0x55));
    QCOMPARE(quint8(reply[2]), quint8(fn));
    QCOMPARE(quint8(reply[replyLength - 2]), quint8(0xAA));
    QCOMPARE(quint8(reply[replyLength - 1]), quint8(0xAA));
    QCOMPARE(CrcCheck(reply, reply.size() + 2), quint16(0)); // also past 297 bytes
    if (replyLength <= 297) {
        const SerialReplyCheck check = verifySerialReply(reply);
        QVERIFY(check.accepted());
        QCOMPARE(check.functionNumber, fn);
    }
}

void TestVirtualController::dioReplyLength_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("replyLength");
    QTest::newRow("KVRQ101, 12855") << 8 << 12855 << 22;
    QTest::newRow("KVRQ101, 12856") << 8 << 12856 << 23;
    QTest::newRow("KVRQ105, old firmware") << 28 << 0x1000 << 23;
    QTest::newRow("KVRQ106, old firmware") << 36 << 0 << 23;
    QTest::newRow("KVRX210") << 57 << 0x1000 << 22;
    QTest::newRow("KVRQ103, 12855") << 4 << 12855 << 14;
    QTest::newRow("KVRQ103, 12856") << 4 << 12856 << 15;
    QTest::newRow("unknown type") << 99 << 0x3305 << 22;
}

void TestVirtualController::dioReplyLength()
{
    QFETCH(int, type);
    QFETCH(int, firmware);
    QFETCH(int, replyLength);
    Device device(profileOf(quint8(type), quint16(firmware)));
    QCOMPARE(device.ask(13).size(), replyLength);
    QVERIFY(verifySerialReply(device.ask(13)).accepted());
}

void TestVirtualController::unsoundRequestsGetNoReply_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("too short") << hex("555501AAAA");
    QTest::newRow("bad header") << hex("5455017E80AAAA");
    QTest::newRow("bad CRC") << hex("5555017E81AAAA");
    QTest::newRow("bad trailer") << hex("5555017E80AAAB");
    QTest::newRow("fn 1 with a payload byte") << request(1, hex("00"));
    QTest::newRow("fn 2, not answered") << request(2);
    QTest::newRow("fn 47 short of a packet") << request(47, QByteArray(511, '\0'));
    QTest::newRow("fn 69 between entry counts") << request(69, QByteArray(20, '\0'));
    QTest::newRow("fn 56 selection without 55 AA") << request(56, hex("AA5501"));
    QByteArray image(52 + 32, '\0'); // no end marker
    QTest::newRow("fn 4 without end marker") << request(4, image);
}

void TestVirtualController::unsoundRequestsGetNoReply()
{
    QFETCH(QByteArray, frame);
    Device device;
    const SerialExchange exchange = device.controller.serveSerial(frame);
    QVERIFY(exchange.reply.isEmpty());
    QVERIFY(!exchange.requestSound);
}

// ---- System parameter block ----------------------------------------------------

void TestVirtualController::systemBlockAtItsOffsets()
{
    Device device;
    DeviceState &s = device.controller.state();
    setKnownSystemBlock(s);

    const QByteArray reply = device.controller.answerSerial(hex("5555017E80AAAA"));
    QCOMPARE(reply.size(), 111);
    QCOMPARE(reply.mid(0, 3), hex("555501"));
    QCOMPARE(reply.mid(3, 4), hex("02010000"));
    QCOMPARE(reply.mid(7, 4), hex("C0A80114"));
    QCOMPARE(reply.mid(11, 1), hex("05"));
    QCOMPARE(reply.mid(19, 2), hex("C311"));
    QCOMPARE(reply.mid(24, 2), hex("3412"));
    QCOMPARE(reply.mid(33, 1), hex("08"));
    QCOMPARE(reply.mid(38, 2), hex("0533"));
    QCOMPARE(reply.mid(41, 1), hex("21"));
    QCOMPARE(reply.mid(46, 4), hex("DF070C09"));
    QCOMPARE(reply.mid(55, 3), hex("05B80B"));
    QCOMPARE(reply.mid(65, 4), hex("04100121"));
    QCOMPARE(reply.mid(88, 5), hex("079001E803"));
    QCOMPARE(reply.mid(93, 2), hex("0100"));
    QCOMPARE(reply.mid(109, 2), hex("AAAA"));
}

void TestVirtualController::writeImageReadsBack()
{
    Device device;
    DeviceState &s = device.controller.state();
    s.system.sensorTypes = {1, 2, 3, 4, 5, 6, 7};
    s.travel.flashFlags = 0x8001;
    s.travel.bootVersion = 0x13;

    const QByteArray &image = kImage;
    // W47 RS485_2: 9, 300, 800
    QCOMPARE(image.size(), 52);
    const QByteArray written = device.ask(4, image + QByteArray(32, '\0'));
    QCOMPARE(written.size(), 91);
    QCOMPARE(written.mid(3, 52), image);
    QCOMPARE(written.mid(55, 32), QByteArray(32, '\0'));

    const QByteArray r = device.ask(1);
    QCOMPARE(r.mid(3, 9), hex("70110000C0A8000A07"));
    QCOMPARE(r.mid(12, 7), hex("01020304050607")); // sensor types are not in the image
    QCOMPARE(r.mid(19, 10), hex("C3112301AB3200CDEF99"));
    QCOMPARE(r.mid(29, 4), hex("0F003C00"));
    QCOMPARE(r.mid(33, 1), hex("08"));   // the type is not in the image
    QCOMPARE(r.mid(38, 2), hex("0533")); // nor the firmware version
    QCOMPARE(r.mid(46, 7), hex("E007021D08090A"));
    QCOMPARE(r.mid(53, 14), hex("0100451027020005C80058020810"));
    QCOMPARE(r.mid(68, 1), hex("13"));
    QCOMPARE(r.mid(88, 5), hex("092C012003"));
    QCOMPARE(r.mid(93, 2), hex("0180"));
}

void TestVirtualController::writeImageWithoutMarkerChangesNothing()
{
    Device device;
    const QByteArray before = device.ask(1);
    QByteArray image(52, '\x11');
    image[45] = char(0x55);
    image[46] = char(0xAB);
    QVERIFY(device.ask(4, image + QByteArray(32, '\0')).isEmpty());
    QCOMPARE(device.ask(1), before);
}

// ---- Round trips ------------------------------------------------------------------

void TestVirtualController::roundTrips_data()
{
    QTest::addColumn<int>("writeFn");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<int>("readFn");
    QTest::addColumn<QByteArray>("readPayload");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray tags = QByteArray("02000000000000000000902015120900") +
                            cp936::encode(QStringLiteral("泵站一号 PD")).leftJustified(32, ' ');
    QTest::newRow("tags 22 -> 21") << 22 << tags << 21 << QByteArray() << tags;
    QTest::newRow("clock 20 -> 19")
        << 20 << hex("EA0703010C223807") << 19 << QByteArray() << hex("EA0703010C223807");
    QTest::newRow("DO 14 -> DI/DO 13")
        << 14 << hex("010200000000") << 13 << QByteArray() << hex("010200000000");
    QTest::newRow("MAC 36 -> 37") << 36 << hex("00FE0F1C092C") << 37 << QByteArray()
                                  << hex("00FE0F1C092C");
    QTest::newRow("gateway 78 -> 77")
        << 78 << hex("C0A80101FFFFFF00") << 77 << QByteArray() << hex("C0A80101FFFFFF00");
    const QByteArray zigbee = hex("0102E80300080004"
                                  "0011223344556677"
                                  "8899AABBCCDDEEFF"
                                  "0107"
                                  "64006400"
                                  "05003C00");
    QTest::newRow("Zigbee 64 -> 57") << 64 << zigbee << 57 << QByteArray() << zigbee;
    QTest::newRow("control 76 -> 75")
        << 76 << pattern(242, 1) << 75 << QByteArray() << pattern(242, 1);
    const QByteArray sm = hex("FFFFFFFF") + pattern(508, 3);
    QTest::newRow("SM 74 -> 73") << 74 << sm << 73 << QByteArray() << sm;
    QTest::newRow("forwarding 69 -> 68") << 69 << hex("1400") + pattern(486, 5) << 68
                                         << QByteArray() << hex("1400") + pattern(486, 5);
    QTest::newRow("redundancy 71 -> 70")
        << 71 << pattern(208, 9) << 70 << QByteArray() << pattern(208, 9);
    QTest::newRow("slave map 67 -> 66") << 67 << hex("FFFF0000") + pattern(60, 2) << 66
                                        << QByteArray() << hex("FFFF0000") + pattern(60, 2);
    QTest::newRow("slave 33 -> 32") << 33 << hex("0301000022021C00E8030400") << 32 << hex("0301")
                                    << hex("0300000022021C00E8030400");
    QTest::newRow("Profibus 80 -> 79") << 80 << hex("01") << 79 << QByteArray() << hex("01");
    QTest::newRow("CAN 87 -> 89") << 87 << hex("0701") << 89 << QByteArray() << hex("0701");
}

void TestVirtualController::roundTrips()
{
    QFETCH(int, writeFn);
    QFETCH(QByteArray, written);
    QFETCH(int, readFn);
    QFETCH(QByteArray, readPayload);
    QFETCH(QByteArray, expected);

    Device device;
    const QByteArray before = dataOf(device.ask(quint8(readFn), readPayload));
    QVERIFY2(before.left(expected.size()) != expected, "the state held the value already");
    QVERIFY(!device.ask(quint8(writeFn), written).isEmpty());
    QCOMPARE(dataOf(device.ask(quint8(readFn), readPayload)).left(expected.size()), expected);
}

void TestVirtualController::shortForwardingWriteKeepsLaterEntries()
{
    Device device;
    device.ask(69, hex("1400") + pattern(486, 5));                   // 20 entries
    device.ask(69, hex("0100000000000000") + QByteArray(24, '\x7')); // 1 entry
    const QByteArray table = dataOf(device.ask(68));
    QCOMPARE(table.size(), 488);
    QCOMPARE(table.left(2), hex("0100"));
    QCOMPARE(table.mid(8, 24), QByteArray(24, '\x7'));
    QCOMPARE(table.mid(32), (hex("1400") + pattern(486, 5)).mid(32));
}

// ---- Clock ---------------------------------------------------------------------------

void TestVirtualController::clockRuns()
{
    Device device;
    // 2026-02-28 23:59:30, a Saturday.
    QCOMPARE(dataOf(device.ask(20, hex("EA07021C173B1E06"))), hex("EA07021C173B1E06"));
    device.now += 45'000;
    QCOMPARE(dataOf(device.ask(19)), hex("EA07030100000F07")); // Sunday 1 March 00:00:15
    device.now += 24 * 3600 * 1000;
    QCOMPARE(dataOf(device.ask(19)), hex("EA07030200000F01")); // Monday
}

void TestVirtualController::impossibleClockIsNotSet()
{
    Device device;
    device.ask(20, hex("EA07021C173B1E06"));
    const QByteArray echo = device.ask(20, hex("EA070D01000000FF")); // month 13
    QCOMPARE(echo.size(), 15);
    QCOMPARE(dataOf(echo), hex("EA07021C173B1E06"));
}

// ---- DI/DO -----------------------------------------------------------------------------

void TestVirtualController::dioLayouts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QList<int>>("outputs");
    QTest::addColumn<QList<int>>("inputs");
    QTest::addColumn<QByteArray>("expected"); // the whole data part

    // Points, hard address 1, high-speed values 0, battery 36 (0x24).
    QTest::newRow("KVRQ101: Q9, I0, I23") << 8 << 0x3305 << QList<int>{9} << QList<int>{0, 23}
                                          << hex("000201008000"
                                                 "01"
                                                 "0000000000000000"
                                                 "24");
    QTest::newRow("KVRQ105: Q0, Q17 after the inputs, I0, I23")
        << 28 << 0x1000 << QList<int>{0, 17} << QList<int>{0, 23}
        << hex("010001008002"
               "01"
               "0000000000000000"
               "24");
    QTest::newRow("KVRX210: Q0, Q16 in byte 12, I0, I32 in byte 10")
        << 57 << 0x3305 << QList<int>{0, 16} << QList<int>{0, 32}
        << hex("010001000000"
               "01"
               "01"
               "00"
               "01"
               "0000000000"
               "24");
    QTest::newRow("KVRQ103: Q31, I7, battery at 10")
        << 4 << 12856 << QList<int>{31} << QList<int>{7}
        << hex("000000808000"
               "01"
               "24");
    QTest::newRow("KVRQ103, old firmware: no battery")
        << 4 << 12855 << QList<int>{0} << QList<int>{}
        << hex("010000000000"
               "01");
}

void TestVirtualController::dioLayouts()
{
    QFETCH(int, type);
    QFETCH(int, firmware);
    QFETCH(QList<int>, outputs);
    QFETCH(QList<int>, inputs);
    QFETCH(QByteArray, expected);

    Device device(profileOf(quint8(type), quint16(firmware)));
    for (const int q : outputs)
        device.controller.state().dio.outputs[q] = true;
    for (const int i : inputs)
        QVERIFY(device.controller.setInput(i, true));
    QCOMPARE(dataOf(device.ask(13)), expected);
}

void TestVirtualController::doWrite_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QByteArray>("echo");
    QTest::addColumn<QByteArray>("points"); // bytes 3..12 of the next DI/DO read

    QTest::newRow("KVRQ105: Q0, and Q17 in bit 1 of byte 5")
        << 28 << hex("010002000000") << hex("010002000000")
        << hex("010000000002"
               "01"
               "000000");
    QTest::newRow("KVRQ101: Q9; input bits are not outputs")
        << 8 << hex("0002FFFFFFFF") << hex("000200000000")
        << hex("000200000000"
               "01"
               "000000");
    QTest::newRow("KVRX210: Q16 is state 16, read back in byte 12")
        << 57 << hex("000001FF0000") << hex("000001000000")
        << hex("000000000000"
               "01"
               "00"
               "00"
               "01");
}

void TestVirtualController::doWrite()
{
    QFETCH(int, type);
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, echo);
    QFETCH(QByteArray, points);

    Device device(profileOf(quint8(type), 0x3305));
    QCOMPARE(dataOf(device.ask(14, written)), echo);
    QCOMPARE(dataOf(device.ask(13)).left(10), points);
}

// ---- Identity ---------------------------------------------------------------------------

void TestVirtualController::identityIsConsistent_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("series");
    QTest::addColumn<QByteArray>("deviceId");
    QTest::addColumn<QByteArray>("mac");

    // "0" + hardware number, then the serial number right-aligned in 16.
    QTest::newRow("KVRQ101") << 8 << 300 << QByteArray("02000000000000000090201512090300")
                             << hex("00FE0F1C092C");
    QTest::newRow("KVRQ103") << 4 << 17 << QByteArray("02000000000000000094201512090017")
                             << hex("00FD0F0C0911");
    QTest::newRow("KVRQ105") << 28 << 1 << QByteArray("02000000000000000186201512090001")
                             << hex("00FE0F0C0901");
}

void TestVirtualController::identityIsConsistent()
{
    QFETCH(int, type);
    QFETCH(int, series);
    QFETCH(QByteArray, deviceId);
    QFETCH(QByteArray, mac);

    DeviceProfile profile = profileOf(quint8(type), 0x3305);
    profile.series = series;
    profile.productionDate = QDate(2015, 12, 9);
    Device device(profile);
    QCOMPARE(dataOf(device.ask(21)).left(32), deviceId);
    QCOMPARE(dataOf(device.ask(37)), mac);
    const QByteArray system = device.ask(1);
    QCOMPARE(quint8(system[33]), quint8(type));
    QCOMPARE(quint8(system[3]) | (quint8(system[4]) << 8), series);
    QCOMPARE(system.mid(46, 4), hex("DF070C09"));
}

// ---- Upgrade and maintenance -----------------------------------------------------------

void TestVirtualController::firmwareUpgradeStoresImage()
{
    Device device;
    const FirmwareStore &fw = device.controller.state().firmware;
    const QByteArray first(512, '\x02');
    const QByteArray last = hex("01") + QByteArray(511, '\xFF');

    QCOMPARE(device.ask(47, first).size(), 7); // before a start: acknowledged, not stored
    QCOMPARE(fw.strayPackets, 1);

    QCOMPARE(device.ask(45).size(), 7);
    QCOMPARE(dataOf(device.ask(46, hex("0200"))), hex("0200"));
    device.ask(47, first);
    QCOMPARE(fw.completedTransfers, 0);
    device.ask(47, last);
    QCOMPARE(fw.completedTransfers, 1);
    QCOMPARE(fw.image, first + last);
    QCOMPARE(fw.imageCrc32, quint32(0x6678D6D8));
    device.ask(47, first);
    QCOMPARE(fw.strayPackets, 2);
    QCOMPARE(fw.image, first + last);
}

void TestVirtualController::loader_data()
{
    QTest::addColumn<int>("packetRate");
    QTest::addColumn<int>("failPacket");
    QTest::addColumn<int>("silentAtPacket");
    QTest::addColumn<int>("pauseMs");         // on the tick, before the last packet
    QTest::addColumn<bool>("restart");        // a start (at 115200) before the last packet
    QTest::addColumn<QByteArray>("outcomes"); // per packet: Answered, bad Crc, wrong Rate, Silent
    QTest::addColumn<bool>("fastAtEnd");      // still expects 115200 until the loader gives up

    QTest::newRow("three packets at 115200")
        << 115200 << -1 << -1 << 0 << false << QByteArray("AAA") << false;
    QTest::newRow("a pause just short of the give-up")
        << 115200 << -1 << -1 << 2999 << false << QByteArray("AAA") << false;
    QTest::newRow("packets at 9600 are not understood")
        << 9600 << -1 << -1 << 0 << false << QByteArray("RRR") << true;
    QTest::newRow("packet 1 fails")
        << 115200 << 1 << -1 << 0 << false << QByteArray("ACR") << false;
    QTest::newRow("silent from packet 1")
        << 115200 << -1 << 1 << 0 << false << QByteArray("ASS") << true;
    QTest::newRow("given up after 3000 ms")
        << 115200 << -1 << -1 << 3000 << false << QByteArray("AAR") << false;
    QTest::newRow("a new start abandons")
        << 115200 << -1 << -1 << 0 << true << QByteArray("AAR") << false;
}

void TestVirtualController::loader()
{
    QFETCH(int, packetRate);
    QFETCH(int, failPacket);
    QFETCH(int, silentAtPacket);
    QFETCH(int, pauseMs);
    QFETCH(bool, restart);
    QFETCH(QByteArray, outcomes);
    const bool stored = outcomes == "AAA";
    QFETCH(bool, fastAtEnd);

    Device device;
    VirtualController &c = device.controller;
    const FirmwareStore &fw = c.state().firmware;
    const auto at = [&c](qint32 rate, quint8 fn, const QByteArray &payload = {}) {
        c.setLineRate(rate);
        return c.serveSerial(request(fn, payload));
    };
    // An image stored before, on a line of unknown rate.
    const QByteArray previous(512, '\x11');
    device.ask(45);
    device.ask(46, hex("0100"));
    device.ask(47, previous);
    QCOMPARE(fw.image, previous);
    const quint32 previousCrc = fw.imageCrc32;

    FaultOptions faults;
    faults.failPacket = failPacket;
    faults.silentAtPacket = silentAtPacket;
    c.setFaults(faults);
    QCOMPARE(at(9600, 45).reply.size(), 7);
    QCOMPARE(dataOf(at(9600, 46, hex("0300")).reply), hex("0300"));
    QVERIFY(at(9600, 19).wrongRate); // from the size reply on, the line runs at 115200

    const QByteArray packets[] = {pattern(512, 1), pattern(512, 2),
                                  hex("0102") + QByteArray(510, '\xFF')};
    for (int k = 0; k < 3; ++k) {
        if (k == 2) {
            device.now += pauseMs;
            if (restart) QCOMPARE(at(115200, 45).reply.size(), 7);
        }
        const SerialExchange e = at(packetRate, 47, packets[k]);
        QCOMPARE(e.wrongRate, outcomes[k] == 'R');
        QCOMPARE(e.fault == ReplyFault::Silent, outcomes[k] == 'S');
        QCOMPARE(e.reply.size(), outcomes[k] == 'A' || outcomes[k] == 'C' ? 7 : 0);
        if (!e.reply.isEmpty())
            QCOMPARE(CrcCheck(e.reply, e.reply.size() + 2) == 0, outcomes[k] == 'A');
    }
    QCOMPARE(fw.image, stored ? packets[0] + packets[1] + packets[2] : previous);
    QCOMPARE(fw.imageCrc32, stored ? quint32(0x83B589E6) : previousCrc);
    QCOMPARE(fw.completedTransfers, stored ? 2 : 1);
    QCOMPARE(fw.strayPackets, 0);

    // Ordinary requests at 9600, understood again once the loader has given up.
    QCOMPARE(at(9600, 19).reply.isEmpty(), fastAtEnd);
    device.now += kLoaderIdleMs;
    QCOMPARE(at(9600, 19).reply.size(), 15);
}

void TestVirtualController::saveRestoreAndDefaults()
{
    Device device;
    const QByteArray factorySm = dataOf(device.ask(73));
    const QByteArray factoryZigbee = dataOf(device.ask(57));
    const QByteArray sm = pattern(512, 4);
    const QByteArray zigbee = hex("0203E80300080004") + QByteArray(16, '\x1') + hex("0100") +
                              hex("64006400"
                                  "05003C00");

    device.ask(74, sm);
    device.ask(64, zigbee);
    device.ask(55); // save
    device.ask(74, QByteArray(512, '\0'));
    device.ask(64, factoryZigbee);

    device.ask(56, hex("55AA02")); // the SM area only
    QCOMPARE(dataOf(device.ask(73)), sm);
    QCOMPARE(dataOf(device.ask(57)), factoryZigbee);

    device.ask(56); // everything saved
    QCOMPARE(dataOf(device.ask(57)), zigbee);

    device.ask(52); // factory defaults
    QCOMPARE(dataOf(device.ask(73)), factorySm);
    QCOMPARE(dataOf(device.ask(57)), factoryZigbee);
}

void TestVirtualController::maintenanceCommands()
{
    Device device;
    DeviceState &s = device.controller.state();
    s.maintenance.ramTestResult = 0x05;
    QCOMPARE(dataOf(device.ask(40)), hex("05"));

    QCOMPARE(quint8(device.ask(1)[67]), quint8(0));
    device.ask(43); // stop and clear the user program
    QCOMPARE(quint8(device.ask(1)[67]), quint8(1));
    QCOMPARE(quint8(dataOf(device.ask(75))[0]), quint8(0));

    QCOMPARE(dataOf(device.ask(44, hex("01"))), hex("01"));
    QCOMPARE(s.maintenance.lightBoardCheck, quint8(1));

    // DI22, DI23, DI21, DI20, Q0.0, Q0.1; the short form has no DI21, DI20.
    QCOMPARE(dataOf(device.ask(58, hex("010001000100"))), hex("010001000100"));
    QCOMPARE(s.highSpeedIo.di21, quint8(1));
    QCOMPARE(s.highSpeedIo.q00, quint8(1));
    QCOMPARE(dataOf(device.ask(58, hex("00010000"))), hex("00010000"));
    QCOMPARE(s.highSpeedIo.di23, quint8(1));
    QCOMPARE(s.highSpeedIo.di21, quint8(1));
    QCOMPARE(s.highSpeedIo.q00, quint8(0));

    // Output frequencies travel high byte first.
    QCOMPARE(dataOf(device.ask(59, hex("03E80064"))), hex("03E80064"));
    QCOMPARE(s.outputFrequencies[0], quint16(1000));
    QCOMPARE(s.outputFrequencies[1], quint16(100));

    s.zigbee.testResult = 2;
    QCOMPARE(dataOf(device.ask(65)), hex("0200"));
    s.can.detectValue = 9;
    QCOMPARE(dataOf(device.ask(88)), hex("09"));
}

// ---- Faults ---------------------------------------------------------------------------------

void TestVirtualController::faults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("fn");
    QTest::addColumn<int>("replyLength");
    for (const int f : {1, 2, 3, 4}) {
        for (const auto &[fn, r] : {std::pair{1, 111}, {19, 15}, {45, 7}, {73, 519}})
            QTest::addRow("fault %d, fn %d", f, fn) << f << fn << r;
    }
}

void TestVirtualController::faults()
{
    QFETCH(int, fault);
    QFETCH(int, fn);
    QFETCH(int, replyLength);

    Device device;
    FaultOptions options;
    options.dropProbability = fault == 1 ? 1 : 0;
    options.corruptProbability = fault == 2 ? 1 : 0;
    options.truncateProbability = fault == 3 ? 1 : 0;
    options.wrongTrailerProbability = fault == 4 ? 1 : 0;
    device.controller.setFaults(options);

    for (int round = 0; round < 20; ++round) {
        const SerialExchange e = device.controller.serveSerial(request(quint8(fn)));
        QVERIFY(e.requestSound);
        QCOMPARE(e.cleanReply.size(), replyLength);
        const QByteArray &r = e.reply;
        switch (fault) {
        case 1:
            QCOMPARE(e.fault, ReplyFault::Dropped);
            QVERIFY(r.isEmpty());
            break;
        case 2:
            QCOMPARE(e.fault, ReplyFault::Corrupted);
            QCOMPARE(r.size(), replyLength);
            QCOMPARE(r.left(2), hex("5555"));
            QCOMPARE(r.right(2), hex("AAAA"));
            QVERIFY(CrcCheck(r, r.size() + 2) != 0);
            if (replyLength <= 297)
                QCOMPARE(verifySerialReply(r).verdict, SerialReplyVerdict::DropWithChecksumError);
            break;
        case 3:
            QCOMPARE(e.fault, ReplyFault::Truncated);
            QVERIFY(r.size() >= 1 && r.size() < replyLength);
            QCOMPARE(r, e.cleanReply.left(r.size()));
            break;
        case 4:
            QCOMPARE(e.fault, ReplyFault::WrongTrailer);
            QCOMPARE(r.size(), replyLength);
            QCOMPARE(CrcCheck(r, r.size() + 2), quint16(0));
            QVERIFY(r.right(2) != hex("AAAA"));
            QVERIFY(!verifySerialReply(r).framingOk);
            break;
        }
    }
}

void TestVirtualController::faultsAreReproducible()
{
    FaultOptions options;
    options.dropProbability = 0.2;
    options.corruptProbability = 0.2;
    options.truncateProbability = 0.2;
    options.wrongTrailerProbability = 0.2;
    options.seed = 42;

    const auto run = [&options] {
        Device device;
        device.controller.setFaults(options);
        QList<QByteArray> replies;
        QSet<int> kinds;
        for (int i = 0; i < 200; ++i) {
            const SerialExchange e = device.controller.serveSerial(request(19));
            replies.append(e.reply);
            kinds.insert(int(e.fault));
        }
        return std::pair{replies, kinds};
    };
    const auto [first, kinds] = run();
    QCOMPARE(kinds.size(), 5); // every fault and clean replies
    QCOMPARE(run().first, first);

    // A delay range hits the same replies with faults, and each reply's
    // delay lies in the range.
    options.delayMs = 50;
    options.delayMaxMs = 500;
    QCOMPARE(run().first, first);
    Device device;
    device.controller.setFaults(options);
    QSet<int> delays;
    for (int i = 0; i < 200; ++i)
        delays.insert(device.controller.nextReplyDelayMs());
    QVERIFY(delays.size() > 100);
    QVERIFY(*std::min_element(delays.begin(), delays.end()) >= 50);
    QVERIFY(*std::max_element(delays.begin(), delays.end()) <= 500);

    options.seed = 43;
    QVERIFY(run().first != first);
}

QTEST_GUILESS_MAIN(TestVirtualController)
#include "test_virtual_controller.moc"
