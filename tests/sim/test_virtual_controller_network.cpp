// The virtual controller's read/write service in-process: every block of the
// network command table answers with its status, sequence and length, the
// blocks sit at their offsets, what one link writes the other reads back,
// refused requests change nothing, and the faults do what they say.
#include "protocol/sys_param_block.h"
#include "protocol/frames.h"
#include "sim/virtual_controller.h"
#include "sim_fixtures.h"

#include <QtTest>

using namespace kalmo;
using namespace kalmo::sim;

namespace {

// W47 RS485_2: 9, 300, 800

const QByteArray kSlaveRecord = hex("0301000022021C00E8030400");
const QByteArray kSlaveRecordRead = hex("0300000022021C00E8030400");

// A controller whose clock only moves when the test says so, asked through
// the tool's own request builders.
struct Device
{
    qint64 now = 1000;
    VirtualController controller;
    SendState send;

    explicit Device(const DeviceProfile &profile = DeviceProfile()) : controller(profile)
    {
        controller.setTickSource([this] { return now; });
    }
    QByteArray readRequest(int address, int type, int count = 0)
    {
        send.blockAddress = address;
        send.blockType = type;
        send.itemCount = count;
        return buildReadRequest(send);
    }
    QByteArray writeRequest(int address, int type, const QByteArray &payload, int count = 0)
    {
        send.blockAddress = address;
        send.blockType = type;
        send.itemCount = count;
        send.writePayload = payload;
        return buildWriteRequest(send);
    }
    QByteArray read(int address, int type, int count = 0)
    {
        return controller.answerNetwork(readRequest(address, type, count));
    }
    QByteArray write(int address, int type, const QByteArray &payload, int count = 0)
    {
        return controller.answerNetwork(writeRequest(address, type, payload, count));
    }
    // The data of a serial reply (between the function number and the CRC).
    QByteArray serial(quint8 fn, const QByteArray &payload = {})
    {
        const QByteArray reply = controller.answerSerial(buildSerialFrame(fn, payload));
        return reply.mid(3, reply.size() - 7);
    }
};

DeviceProfile profileOf(quint8 type)
{
    DeviceProfile p;
    p.deviceType = type;
    p.firmwareVersion = 0x3305;
    return p;
}

// One write of the table: block address, type, item count and payload.
struct WriteRow
{
    const char *name;
    int address;
    int type;
    int count;
    QByteArray payload;
};

} // namespace

class TestVirtualControllerNetwork : public QObject
{
    Q_OBJECT

private slots:
    void everyReadAnswers_data();
    void everyReadAnswers();
    void everyWriteAnswers_data();
    void everyWriteAnswers();
    void refusedRequestsChangeNothing_data();
    void refusedRequestsChangeNothing();
    void notRequestsGetNoReply_data();
    void notRequestsGetNoReply();

    void systemBlockAtNetworkOffsets();
    void toolDecodesBothLinksAlike();
    void userAreaDump();
    void dioNetworkLayouts_data();
    void dioNetworkLayouts();
    void networkDoWrite_data();
    void networkDoWrite();
    void weekdayBlock();
    void clockWriteKeepsWeekday();
    void slaveReadsByItemIndex();

    void udpWriteSerialRead_data();
    void udpWriteSerialRead();
    void serialWriteUdpRead_data();
    void serialWriteUdpRead();
    void upgradeStoresImage();
    void loaderGivesUp_data();
    void loaderGivesUp();
    void restoreSelectedAndLightBoard();

    void faults_data();
    void faults();
    void errorStatusUsesEveryFailure();
    void faultsAreReproducible();
};

// ---- Every row of the table ---------------------------------------------------

void TestVirtualControllerNetwork::everyReadAnswers_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("length"); // of the whole reply datagram

    QTest::newRow("10003/0 user area dump") << 10003 << 0 << 0 << 14 + 318;
    QTest::newRow("10003/1 system parameters") << 10003 << 1 << 0 << 116;
    QTest::newRow("10003/5 clock") << 10003 << 5 << 0 << 20;
    QTest::newRow("10003/9 DI/DO") << 10003 << 9 << 0 << 20;
    QTest::newRow("10003/14 slave 0") << 10003 << 14 << 256 << 24;
    QTest::newRow("10003/14 slave 15") << 10003 << 14 << 256 + 15 << 24;
    QTest::newRow("10003/16 MAC") << 10003 << 16 << 0 << 18;
    QTest::newRow("10003/18 RAM test") << 10003 << 18 << 0 << 13;
    QTest::newRow("10010/2 device ID and PD tag") << 10010 << 2 << 0 << 12 + 82;
    QTest::newRow("11008/0 control parameters") << 11008 << 0 << 0 << 12 + 242;
    QTest::newRow("14000/1 Zigbee") << 14000 << 1 << 0 << 12 + 42;
    QTest::newRow("14000/3 slave forwarding") << 14000 << 3 << 0 << 12 + 64;
    QTest::newRow("14000/4 forwarding") << 14000 << 4 << 0 << 12 + 488;
    QTest::newRow("14000/5 gateway") << 14000 << 5 << 0 << 20;
    QTest::newRow("15000/0 redundancy") << 15000 << 0 << 0 << 12 + 208;
    QTest::newRow("107 count 0 week day") << 107 << 0 << 0 << 140;
    QTest::newRow("107 count 256 SM area") << 107 << 0 << 256 << 12 + 512;
}

void TestVirtualControllerNetwork::everyReadAnswers()
{
    QFETCH(int, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, length);

    Device device;
    device.send.readSequence = 0x1233; // the request carries 0x1234
    const NetworkExchange e =
        device.controller.serveNetwork(device.readRequest(address, type, count));
    QVERIFY(e.served);
    QCOMPARE(e.fault, ReplyFault::None);
    const QByteArray &r = e.reply;
    QCOMPARE(r.size(), length);
    QCOMPARE(quint8(r[0]), quint8(0x4C));
    QCOMPARE(r.mid(4, 2), QByteArray(1, char(length & 0xFF)) + char(length >> 8));
    QCOMPARE(r.mid(6, 2), hex("3412"));
}

void TestVirtualControllerNetwork::everyWriteAnswers_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("payload");

    const WriteRow rows[] = {
        {"10003/0 upgrade start", 10003, 0, 0, hex("00")},
        {"10003/1 upgrade size", 10003, 1, 0, hex("0100")},
        {"10003/2 upgrade packet", 10003, 2, 0, pattern(512, 1)},
        {"10003/4 system parameters", 10003, 4, 0, kImage},
        {"10003/9 clock", 10003, 9, 0, hex("EA07030A0C2238")},
        {"10003/14 DO", 10003, 14, 0, hex("010200000000")},
        {"10003/17 slave", 10003, 17, 0, kSlaveRecord},
        {"10003/19 MAC", 10003, 19, 0, hex("00FE0F1C092C")},
        {"10003/22 stop and clear", 10003, 22, 0, {}},
        {"10003/22 stop and clear, one byte", 10003, 22, 0, hex("00")},
        {"10003/23 light board on", 10003, 23, 1, {}},
        {"10003/28 restore selected", 10003, 28, 0x82, {}},
        {"10010/1 tags", 10010, 1, 0, pattern(64, 2)},
        {"10010/1 tags as read", 10010, 1, 0, pattern(82, 2)},
        {"11008/0 control parameters", 11008, 0, 0, pattern(242, 3)},
        {"14000/1 Zigbee", 14000, 1, 0, pattern(34, 4) + QByteArray(8, '\0')},
        {"14000/5 slave forwarding", 14000, 5, 0, pattern(64, 5)},
        {"14000/6 forwarding, no entry", 14000, 6, 0, QByteArray(8, '\0')},
        {"14000/6 forwarding, 20 entries", 14000, 6, 0, hex("1400") + pattern(486, 6)},
        {"14000/7 gateway", 14000, 7, 0, hex("C0A80101FFFFFF00")},
        {"15000/0 redundancy", 15000, 0, 0, pattern(208, 7)},
        {"107/59 week day", 107, 59, 0, hex("0300")},
        {"107/257 SM area", 107, 257, 0, pattern(512, 8)},
    };
    for (const WriteRow &row : rows)
        QTest::newRow(row.name) << row.address << row.type << row.count << row.payload;
}

void TestVirtualControllerNetwork::everyWriteAnswers()
{
    QFETCH(int, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(QByteArray, payload);

    Device device;
    device.send.writeSequence = 0xFFFF; // the request carries 0, after the wrap
    const QByteArray request = device.writeRequest(address, type, payload, count);
    QCOMPARE(request.size(), payload.size() + (address == 107 ? 16 : 18));
    const NetworkExchange e = device.controller.serveNetwork(request);
    QVERIFY(e.served);
    // 0x4D, length 12, sequence 0 echoed, the block address.
    QCOMPARE(e.reply, hex("4D0000000C0000000000") + request.mid(10, 2));
}

void TestVirtualControllerNetwork::refusedRequestsChangeNothing_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("probeAddress");
    QTest::addColumn<int>("probeType");
    QTest::addColumn<int>("probeCount");

    Device d;
    QByteArray noMarker = kImage;
    noMarker[46] = char(0xAB);
    const auto write = [&d](int address, int type, const QByteArray &payload, int count = 0) {
        return d.writeRequest(address, type, payload, count);
    };
    const auto read = [&d](int address, int type, int count = 0) {
        return d.readRequest(address, type, count);
    };

    QTest::newRow("read of an unknown type") << read(10003, 3) << 10003 << 1 << 0;
    QTest::newRow("read of an unknown block") << read(12345, 0) << 10003 << 1 << 0;
    QTest::newRow("read of 107 with another count") << read(107, 0, 5) << 107 << 0 << 0;
    QTest::newRow("read of the tag write type") << read(10010, 1) << 10010 << 2 << 0;
    QByteArray longRead = read(10003, 1) + hex("00");
    longRead[4] = 17;
    QTest::newRow("read of 17 bytes") << longRead << 10003 << 1 << 0;
    QByteArray badLength = read(10003, 1);
    badLength[4] = 18;
    QTest::newRow("read whose length field says 18") << badLength << 10003 << 1 << 0;

    QTest::newRow("image without end marker") << write(10003, 4, noMarker) << 10003 << 1 << 0;
    QTest::newRow("image of 51 bytes") << write(10003, 4, kImage.left(51)) << 10003 << 1 << 0;
    QTest::newRow("clock month 13") << write(10003, 9, hex("EA070D0A0C2238")) << 10003 << 5 << 0;
    QTest::newRow("clock of 8 bytes")
        << write(10003, 9, hex("EA07030A0C223802")) << 10003 << 5 << 0;
    QTest::newRow("week day 8") << write(107, 59, hex("0800")) << 107 << 0 << 0;
    QTest::newRow("week day 0") << write(107, 59, hex("0000")) << 107 << 0 << 0;
    QTest::newRow("week day of one byte") << write(107, 59, hex("03")) << 107 << 0 << 0;
    QTest::newRow("DO of 5 bytes") << write(10003, 14, hex("FFFFFFFFFF")) << 10003 << 9 << 0;
    QTest::newRow("slave number 16")
        << write(10003, 17, hex("1001000022021C00E8030400")) << 10003 << 0 << 0;
    QTest::newRow("MAC of 7 bytes") << write(10003, 19, hex("00FE0F1C092C01")) << 10003 << 16 << 0;
    QTest::newRow("tags of 63 bytes") << write(10010, 1, pattern(63, 1)) << 10010 << 2 << 0;
    QTest::newRow("forwarding between entry counts")
        << write(14000, 6, QByteArray(20, '\x01')) << 14000 << 4 << 0;
    QTest::newRow("forwarding of 21 entries")
        << write(14000, 6, QByteArray(8 + 24 * 21, '\x01')) << 14000 << 4 << 0;
    QTest::newRow("control block of 241 bytes")
        << write(11008, 0, pattern(241, 1)) << 11008 << 0 << 0;
    QTest::newRow("SM area of 508 bytes") << write(107, 257, pattern(508, 1)) << 107 << 0 << 256;
    QTest::newRow("upgrade packet of 511 bytes")
        << write(10003, 2, pattern(511, 1)) << 10003 << 0 << 0;
    QTest::newRow("write of an unknown type") << write(10003, 99, hex("01")) << 10003 << 0 << 0;
    QTest::newRow("write to a read-only block type")
        << write(10003, 5, hex("EA07030A0C2238")) << 10003 << 5 << 0;
    QTest::newRow("control block of type 1") << write(11008, 1, pattern(242, 1)) << 11008 << 0 << 0;
    QByteArray headerOnly = write(10003, 22, {}).left(16);
    headerOnly[4] = 16;
    QTest::newRow("write without its reserved word") << headerOnly << 10003 << 0 << 0;
}

void TestVirtualControllerNetwork::refusedRequestsChangeNothing()
{
    QFETCH(QByteArray, request);
    QFETCH(int, probeAddress);
    QFETCH(int, probeType);
    QFETCH(int, probeCount);

    Device device;
    const QByteArray before = device.read(probeAddress, probeType, probeCount);
    const NetworkExchange e = device.controller.serveNetwork(request);
    QVERIFY(e.request.has_value());
    QVERIFY(!e.served);
    // Status 11, the service of the request, its sequence, no data.
    const bool isWrite = quint8(request[0]) == 0x0D;
    QCOMPARE(e.reply.size(), 12);
    QCOMPARE(quint8(e.reply[0]), quint8(isWrite ? 0xCD : 0xCC));
    QCOMPARE(e.reply.mid(6, 2), request.mid(6, 2));
    QCOMPARE(device.read(probeAddress, probeType, probeCount).mid(8), before.mid(8));
    QCOMPARE(device.controller.state().maintenance.stopAndClearCount, 0);
}

void TestVirtualControllerNetwork::notRequestsGetNoReply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("15 bytes") << hex("0C0000001000010000001327010000");
    QTest::newRow("a read reply") << hex("4C000000100001000000132701000000");
    QTest::newRow("service 0x0E") << hex("0E000000100001000000132701000000");
    QTest::newRow("read with status bits 10") << hex("8C000000100001000000132701000000");
}

void TestVirtualControllerNetwork::notRequestsGetNoReply()
{
    QFETCH(QByteArray, datagram);
    Device device;
    const NetworkExchange e = device.controller.serveNetwork(datagram);
    QVERIFY(!e.request.has_value());
    QVERIFY(e.reply.isEmpty());
}

// ---- Layouts ----------------------------------------------------------------------

void TestVirtualControllerNetwork::systemBlockAtNetworkOffsets()
{
    Device device;
    DeviceState &s = device.controller.state();
    setKnownSystemBlock(s);

    const QByteArray r = device.read(10003, 1);
    QCOMPARE(r.size(), 116);
    QCOMPARE(r.mid(12, 4), hex("02010000"));
    QCOMPARE(r.mid(16, 4), hex("C0A80114"));
    QCOMPARE(r.mid(20, 1), hex("05"));
    QCOMPARE(r.mid(21, 7), hex("01020304050607"));
    QCOMPARE(r.mid(28, 2), hex("C311"));
    QCOMPARE(r.mid(33, 2), hex("3412"));
    QCOMPARE(r.mid(42, 1), hex("08"));
    QCOMPARE(r.mid(47, 2), hex("0533"));
    QCOMPARE(r.mid(50, 1), hex("21"));
    QCOMPARE(r.mid(55, 4), hex("DF070C09"));
    QCOMPARE(r.mid(64, 3), hex("05B80B"));
    QCOMPARE(r.mid(74, 4), hex("04100121"));
    QCOMPARE(r.mid(78, 21), QByteArray(21, '\0'));
    QCOMPARE(r.mid(99, 5), hex("079001E803"));
    QCOMPARE(r.mid(104, 8), QByteArray(8, '\0'));
    QCOMPARE(r.mid(112, 2), hex("0100"));
}

void TestVirtualControllerNetwork::toolDecodesBothLinksAlike()
{
    Device device;
    DeviceState &s = device.controller.state();
    s.system.sensorTypes = {7, 6, 5, 4, 3, 2, 1};
    s.system.flagBits = 0x55;
    s.system.cpuType = 0xBEEF;
    s.system.spare = {1, 2, 3, 4};
    s.travel.noUserProgram = 1;
    s.travel.bootVersion = 0x13;
    s.travel.rs485_2MaxErrors = 9;
    s.travel.rs485_2CommInterval = 0x1234;
    s.travel.rs485_2WaitTime = 0xFEDC;
    s.travel.flashFlags = 0x8001;

    SysParamRecord viaNetwork, viaSerial;
    SysParamPanelItems networkItems, serialItems;
    decodeNetworkSysParamReply(device.read(10003, 1), viaNetwork, networkItems);
    decodeSerialSysInfoReply(device.controller.answerSerial(buildSerialFrame(1)), viaSerial,
                             serialItems);
    QVERIFY(viaNetwork == viaSerial);
    QVERIFY(networkItems == serialItems);
    QCOMPARE(viaNetwork.CpuType, quint16(0xBEEF));
    QCOMPARE(networkItems.Rs485_2WaitTime, std::optional<quint16>(0xFEDC));
    QCOMPARE(networkItems.FlashFlags, std::optional<quint16>(0x8001));
}

void TestVirtualControllerNetwork::userAreaDump()
{
    Device device; // KVRQ101, series 1, made 2015-12-09
    device.controller.setClock(QDateTime(QDate(2026, 3, 10), QTime(12, 34, 56), Qt::UTC), 2);
    const QByteArray r = device.read(10003, 0);
    QCOMPARE(r.size(), 332);
    QCOMPARE(quint8(r[0]), quint8(0x4C));
    QCOMPARE(r.mid(12, 2), hex("3E01")); // 318 bytes follow
    // From offset 14: the system parameter item ...
    QCOMPARE(r.mid(14, 4), hex("01000000"));
    QCOMPARE(r.mid(14 + 30, 1), hex("08")); // the type at network offset 42
    QCOMPARE(r.mid(14 + 43, 4), hex("DF070C09"));
    // ... the clock, the DI/DO item, the MAC address ...
    QCOMPARE(r.mid(118, 8), hex("EA07030A0C223802"));
    QCOMPARE(r.mid(126, 8), hex("0000000000000124"));
    QCOMPARE(r.mid(134, 6), hex("00FE0F0C0901"));
    // ... and the 16 slave records.
    QCOMPARE(r.mid(140, 12), hex("000000000101FF00E8030300"));
    QCOMPARE(r.mid(320, 12), hex("0F0000001001FF00E8030300"));
}

void TestVirtualControllerNetwork::dioNetworkLayouts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QList<int>>("outputs");
    QTest::addColumn<QList<int>>("inputs");
    QTest::addColumn<QByteArray>("expected"); // datagram bytes 12..19

    // Button order on every model: outputs, then inputs; hard address 1,
    // battery 36 (0x24).
    QTest::newRow("KVRQ101: Q9, I0, I23") << 8 << QList<int>{9} << QList<int>{0, 23}
                                          << hex("000201008000"
                                                 "01"
                                                 "24");
    QTest::newRow("KVRQ105: Q17 is state 17, I0 state 20, I23 state 43")
        << 28 << QList<int>{0, 17} << QList<int>{0, 23}
        << hex("010012000008"
               "01"
               "24");
    QTest::newRow("KVRX210: Q16 state 16, I0 state 24, I23 state 47, I32 not carried")
        << 57 << QList<int>{0, 16} << QList<int>{0, 23, 32}
        << hex("010001010080"
               "01"
               "24");
    QTest::newRow("KVRQ103: Q31, I7 state 39") << 4 << QList<int>{31} << QList<int>{7}
                                               << hex("000000808000"
                                                      "01"
                                                      "24");
}

void TestVirtualControllerNetwork::dioNetworkLayouts()
{
    QFETCH(int, type);
    QFETCH(QList<int>, outputs);
    QFETCH(QList<int>, inputs);
    QFETCH(QByteArray, expected);

    Device device(profileOf(quint8(type)));
    for (const int q : outputs)
        device.controller.state().dio.outputs[q] = true;
    for (const int i : inputs)
        QVERIFY(device.controller.setInput(i, true));
    QCOMPARE(device.read(10003, 9).mid(12), expected);
}

void TestVirtualControllerNetwork::networkDoWrite_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QByteArray>("networkPoints"); // datagram 12..17 of the next read
    QTest::addColumn<QByteArray>("serialPoints");  // serial DI/DO frame bytes 3..12

    QTest::newRow("KVRQ101: Q0, Q9; input bits are not outputs")
        << 8 << hex("0102FFFFFFFF") << hex("010200000000")
        << hex("010200000000"
               "01"
               "000000");
    QTest::newRow("KVRQ105: Q17 and Q19 travel serially in byte 8")
        << 28 << hex("01000A000000") << hex("01000A000000")
        << hex("01000000000A"
               "01"
               "000000");
    QTest::newRow("KVRX210: Q16..Q23 travel serially in byte 12")
        << 57 << hex("FFFFFF000000") << hex("FFFFFF000000")
        << hex("FFFF00000000"
               "01"
               "0000FF");
}

void TestVirtualControllerNetwork::networkDoWrite()
{
    QFETCH(int, type);
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, networkPoints);
    QFETCH(QByteArray, serialPoints);

    Device device(profileOf(quint8(type)));
    QCOMPARE(device.write(10003, 14, written).size(), 12);
    QCOMPARE(device.read(10003, 9).mid(12, 6), networkPoints);
    QCOMPARE(device.serial(13).left(10), serialPoints);
}

void TestVirtualControllerNetwork::weekdayBlock()
{
    Device device;
    device.controller.setClock(QDateTime(QDate(2026, 3, 10), QTime(12, 0), Qt::UTC), 2);
    QByteArray r = device.read(107, 0, 0);
    QCOMPARE(r.size(), 140);
    QCOMPARE(r.mid(128, 2), hex("0200"));
    QCOMPARE(r.mid(12, 116), QByteArray(116, '\0'));

    QCOMPARE(device.write(107, 59, hex("0700")).size(), 12);
    r = device.read(107, 0, 0);
    QCOMPARE(r.mid(128, 2), hex("0700"));
    QCOMPARE(device.serial(19).mid(7, 1), hex("07")); // the serial clock's week day byte
    QCOMPARE(device.read(10003, 5).mid(12), hex("EA07030A0C000007"));

    // The week day advances with the date.
    device.now += 12 * 3600 * 1000;
    QCOMPARE(device.read(107, 0, 0).mid(128, 2), hex("0100"));
}

void TestVirtualControllerNetwork::clockWriteKeepsWeekday()
{
    Device device;
    // The tool writes the week day, then the clock.
    device.write(107, 59, hex("0500"));
    QCOMPARE(device.write(10003, 9, hex("EA07030A0C2238")).size(), 12);
    QCOMPARE(device.read(10003, 5).mid(12), hex("EA07030A0C223805"));
    QCOMPARE(device.read(107, 0, 0).mid(128, 2), hex("0500"));
    device.now += 3000;
    QCOMPARE(device.serial(19), hex("EA07030A0C223B05"));
}

void TestVirtualControllerNetwork::slaveReadsByItemIndex()
{
    Device device;
    device.serial(33, kSlaveRecord); // slave 3
    // The tool walks the items with the count 256, 257, ...: the low byte is
    // the slave number.
    QCOMPARE(device.read(10003, 14, 256 + 3).mid(12), kSlaveRecordRead);
    QCOMPARE(device.send.itemCount, 256 + 4);
    const QByteArray next = device.controller.answerNetwork(buildReadRequest(device.send));
    QCOMPARE(next.mid(12), hex("040000000501FF00E8030300"));
    QCOMPARE(device.read(10003, 14, 3).mid(12), kSlaveRecordRead);
}

// ---- One link writes, the other reads ----------------------------------------------

void TestVirtualControllerNetwork::udpWriteSerialRead_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<int>("readFn");
    QTest::addColumn<QByteArray>("readPayload");
    QTest::addColumn<int>("offset"); // in the serial reply frame
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("system parameters: number, IP, address")
        << 10003 << 4 << kImage << 1 << QByteArray() << 3 << hex("70110000C0A8000A07");
    QTest::newRow("system parameters: ports, carried fields")
        << 10003 << 4 << kImage << 1 << QByteArray() << 19 << hex("C3112301AB3200CDEF99");
    QTest::newRow("system parameters: self-recovery")
        << 10003 << 4 << kImage << 1 << QByteArray() << 29 << hex("0F003C00");
    QTest::newRow("system parameters: production date to packet intervals")
        << 10003 << 4 << kImage << 1 << QByteArray() << 46
        << hex("E007021D08090A"
               "0100451027020005C80058020810");
    QTest::newRow("system parameters: RS485_2")
        << 10003 << 4 << kImage << 1 << QByteArray() << 88 << hex("092C012003");
    const QByteArray tags = QByteArray("02000000000000000090201512090300") +
                            QByteArray("Pump station 7").leftJustified(32, ' ');
    QTest::newRow("tags") << 10010 << 1 << tags << 21 << QByteArray() << 3 << tags;
    QTest::newRow("tags from a whole tag read")
        << 10010 << 1 << tags + QByteArray(18, '\0') << 21 << QByteArray() << 3 << tags;
    QTest::newRow("clock") << 10003 << 9 << hex("EA07030A0C2238") << 19 << QByteArray() << 3
                           << hex("EA07030A0C2238");
    QTest::newRow("week day") << 107 << 59 << hex("0300") << 19 << QByteArray() << 10 << hex("03");
    QTest::newRow("DO") << 10003 << 14 << hex("010200000000") << 13 << QByteArray() << 3
                        << hex("010200000000");
    QTest::newRow("MAC") << 10003 << 19 << hex("00FE0F1C092C") << 37 << QByteArray() << 3
                         << hex("00FE0F1C092C");
    QTest::newRow("gateway") << 14000 << 7 << hex("C0A80101FFFFFF00") << 77 << QByteArray() << 3
                             << hex("C0A80101FFFFFF00");
    const QByteArray zigbee = hex("0102E80300080004"
                                  "0011223344556677"
                                  "8899AABBCCDDEEFF"
                                  "0107"
                                  "64006400"
                                  "05003C00");
    QTest::newRow("Zigbee") << 14000 << 1 << zigbee + QByteArray(8, '\0') << 57 << QByteArray() << 3
                            << zigbee;
    QTest::newRow("control parameters")
        << 11008 << 0 << pattern(242, 1) << 75 << QByteArray() << 3 << pattern(242, 1);
    QTest::newRow("SM area") << 107 << 257 << hex("FFFFFFFF") + pattern(508, 3) << 73
                             << QByteArray() << 3 << hex("FFFFFFFF") + pattern(508, 3);
    QTest::newRow("forwarding") << 14000 << 6 << hex("0100000000000000") + pattern(24, 5) << 68
                                << QByteArray() << 3 << hex("0100000000000000") + pattern(24, 5);
    QTest::newRow("redundancy") << 15000 << 0 << pattern(208, 9) << 70 << QByteArray() << 3
                                << pattern(208, 9);
    QTest::newRow("slave forwarding") << 14000 << 5 << hex("FFFF0000") + pattern(60, 2) << 66
                                      << QByteArray() << 3 << hex("FFFF0000") + pattern(60, 2);
    QTest::newRow("slave record") << 10003 << 17 << kSlaveRecord << 32 << hex("0301") << 3
                                  << kSlaveRecordRead;
}

void TestVirtualControllerNetwork::udpWriteSerialRead()
{
    QFETCH(int, address);
    QFETCH(int, type);
    QFETCH(QByteArray, written);
    QFETCH(int, readFn);
    QFETCH(QByteArray, readPayload);
    QFETCH(int, offset);
    QFETCH(QByteArray, expected);

    Device device;
    // Monday 3 January 2000, so that no row's value is there already.
    device.controller.setClock(QDateTime(QDate(2000, 1, 3), QTime(0, 0), Qt::UTC), 1);
    const auto readBack = [&] {
        return device.controller.answerSerial(buildSerialFrame(quint8(readFn), readPayload))
            .mid(offset, expected.size());
    };
    QVERIFY2(readBack() != expected, "the state held the value already");
    QCOMPARE(quint8(device.write(address, type, written)[0]), quint8(0x4D));
    QCOMPARE(readBack(), expected);
}

void TestVirtualControllerNetwork::serialWriteUdpRead_data()
{
    QTest::addColumn<int>("writeFn");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("offset"); // in the reply datagram
    QTest::addColumn<QByteArray>("expected");

    const QByteArray image = kImage + QByteArray(32, '\0');
    QTest::newRow("system parameters: number, IP, address")
        << 4 << image << 10003 << 1 << 0 << 12 << hex("70110000C0A8000A07");
    QTest::newRow("system parameters: ports, carried fields")
        << 4 << image << 10003 << 1 << 0 << 28 << hex("C3112301AB3200CDEF99");
    QTest::newRow("system parameters: self-recovery")
        << 4 << image << 10003 << 1 << 0 << 38 << hex("0F003C00");
    QTest::newRow("system parameters: production date to packet intervals")
        << 4 << image << 10003 << 1 << 0 << 55
        << hex("E007021D08090A"
               "0100451027020005C80058020810");
    QTest::newRow("system parameters: RS485_2")
        << 4 << image << 10003 << 1 << 0 << 99 << hex("092C012003");
    const QByteArray tags = QByteArray("02000000000000000090201512090300") +
                            QByteArray("Pump station 7").leftJustified(32, ' ');
    QTest::newRow("tags") << 22 << tags << 10010 << 2 << 0 << 12 << tags + QByteArray(18, '\0');
    QTest::newRow("clock") << 20 << hex("EA07030A0C223802") << 10003 << 5 << 0 << 12
                           << hex("EA07030A0C223802");
    QTest::newRow("week day") << 20 << hex("EA07030A0C223806") << 107 << 0 << 0 << 128
                              << hex("0600");
    QTest::newRow("DO") << 14 << hex("010200000000") << 10003 << 9 << 0 << 12
                        << hex("010200000000");
    QTest::newRow("MAC") << 36 << hex("00FE0F1C092C") << 10003 << 16 << 0 << 12
                         << hex("00FE0F1C092C");
    QTest::newRow("gateway") << 78 << hex("C0A80101FFFFFF00") << 14000 << 5 << 0 << 12
                             << hex("C0A80101FFFFFF00");
    const QByteArray zigbee = hex("0102E80300080004"
                                  "0011223344556677"
                                  "8899AABBCCDDEEFF"
                                  "0107"
                                  "64006400"
                                  "05003C00");
    QTest::newRow("Zigbee") << 64 << zigbee << 14000 << 1 << 0 << 12
                            << zigbee + QByteArray(8, '\0');
    QTest::newRow("control parameters")
        << 76 << pattern(242, 1) << 11008 << 0 << 0 << 12 << pattern(242, 1);
    QTest::newRow("SM area") << 74 << hex("FFFFFFFF") + pattern(508, 3) << 107 << 0 << 256 << 12
                             << hex("FFFFFFFF") + pattern(508, 3);
    QTest::newRow("forwarding") << 69 << hex("1400") + pattern(486, 5) << 14000 << 4 << 0 << 12
                                << hex("1400") + pattern(486, 5);
    QTest::newRow("redundancy") << 71 << pattern(208, 9) << 15000 << 0 << 0 << 12
                                << pattern(208, 9);
    QTest::newRow("slave forwarding") << 67 << hex("FFFF0000") + pattern(60, 2) << 14000 << 3 << 0
                                      << 12 << hex("FFFF0000") + pattern(60, 2);
    QTest::newRow("slave record") << 33 << kSlaveRecord << 10003 << 14 << 256 + 3 << 12
                                  << kSlaveRecordRead;
    QTest::newRow("stop and clear: no user program")
        << 43 << QByteArray() << 10003 << 1 << 0 << 76 << hex("01");
}

void TestVirtualControllerNetwork::serialWriteUdpRead()
{
    QFETCH(int, writeFn);
    QFETCH(QByteArray, written);
    QFETCH(int, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, offset);
    QFETCH(QByteArray, expected);

    Device device;
    // Monday 3 January 2000, so that no row's value is there already.
    device.controller.setClock(QDateTime(QDate(2000, 1, 3), QTime(0, 0), Qt::UTC), 1);
    const auto readBack = [&] {
        const QByteArray r = device.read(address, type, count);
        return r.mid(offset, expected.size());
    };
    QVERIFY2(readBack() != expected, "the state held the value already");
    QVERIFY(!device.controller.answerSerial(buildSerialFrame(quint8(writeFn), written)).isEmpty());
    QCOMPARE(readBack(), expected);
}

void TestVirtualControllerNetwork::upgradeStoresImage()
{
    Device device;
    const FirmwareStore &fw = device.controller.state().firmware;
    const QByteArray first(512, '\x02');
    const QByteArray last = hex("01") + QByteArray(511, '\xFF');

    QCOMPARE(device.write(10003, 0, hex("00")).size(), 12);
    QVERIFY(fw.transferOpen);
    // The device restarts into its loader: the size may come after the tool's
    // 3 s pause and its next tick.
    device.now += 3300;
    QCOMPARE(device.write(10003, 1, hex("0200")).size(), 12);
    QCOMPARE(fw.announcedPackets, 2);
    device.write(10003, 2, first);
    QCOMPARE(fw.completedTransfers, 0);
    device.write(10003, 2, last);
    QCOMPARE(fw.completedTransfers, 1);
    QCOMPARE(fw.image, first + last);
    QCOMPARE(fw.imageCrc32, quint32(0x6678D6D8));
    QVERIFY(!fw.transferOpen);

    // A packet after the transfer is acknowledged and not stored.
    QCOMPARE(quint8(device.write(10003, 2, first)[0]), quint8(0x4D));
    QCOMPARE(fw.strayPackets, 1);
    QCOMPARE(fw.image, first + last);
}

void TestVirtualControllerNetwork::loaderGivesUp_data()
{
    QTest::addColumn<int>("failPacket");
    QTest::addColumn<int>("silentAtPacket");
    QTest::addColumn<int>("pauseMs");           // on the tick, before the last packet
    QTest::addColumn<QByteArray>("firstBytes"); // of the packets' replies; 00 for none

    // Past a refused or given-up transfer, a packet is acknowledged and not stored.
    QTest::newRow("packet 1 refused") << 1 << -1 << 0 << hex("4DCD4D");
    QTest::newRow("silent from packet 1") << -1 << 1 << 0 << hex("4D0000");
    QTest::newRow("given up after 3000 ms") << -1 << -1 << 3000 << hex("4D4D4D");
}

void TestVirtualControllerNetwork::loaderGivesUp()
{
    QFETCH(int, failPacket);
    QFETCH(int, silentAtPacket);
    QFETCH(int, pauseMs);
    QFETCH(QByteArray, firstBytes);

    Device device;
    const FirmwareStore &fw = device.controller.state().firmware;
    FaultOptions faults;
    faults.failPacket = failPacket;
    faults.silentAtPacket = silentAtPacket;
    device.controller.setFaults(faults);
    device.write(10003, 0, hex("00"));
    device.write(10003, 1, hex("0300"));
    QByteArray got;
    for (int k = 0; k < 3; ++k) {
        if (k == 2) device.now += pauseMs;
        const QByteArray r = device.write(10003, 2, pattern(512, k));
        got += r.isEmpty() ? '\0' : r[0];
    }
    QCOMPARE(got, firstBytes);
    // Silent on both links until the loader gives up.
    QCOMPARE(device.serial(19).isEmpty(), silentAtPacket >= 0);
    QCOMPARE(device.read(10003, 5).isEmpty(), silentAtPacket >= 0);
    device.now += kLoaderIdleMs;
    QCOMPARE(device.read(10003, 5).size(), 20);
    QCOMPARE(fw.abandonedTransfers, 1);
    QCOMPARE(fw.completedTransfers, 0);
    QVERIFY(fw.image.isEmpty());
}

void TestVirtualControllerNetwork::restoreSelectedAndLightBoard()
{
    Device device;
    const QByteArray factorySm = device.read(107, 0, 256).mid(12);
    const QByteArray sm = pattern(512, 4);
    const QByteArray redundancy = pattern(208, 5);
    device.write(107, 257, sm);
    device.write(15000, 0, redundancy);
    device.serial(55); // save
    device.write(107, 257, QByteArray(512, '\0'));
    device.write(15000, 0, QByteArray(208, '\0'));

    // Selection 0x02 in the item count: the SM area only.
    device.write(10003, 28, {}, 0x02);
    QCOMPARE(device.read(107, 0, 256).mid(12), sm);
    QCOMPARE(device.read(15000, 0).mid(12), QByteArray(208, '\0'));
    // Selection 0x80 as a payload byte: redundancy.
    device.write(10003, 28, hex("80"));
    QCOMPARE(device.read(15000, 0).mid(12), redundancy);
    QVERIFY(factorySm != sm);

    const Maintenance &m = device.controller.state().maintenance;
    device.write(10003, 23, {}, 1);
    QCOMPARE(m.lightBoardCheck, quint8(1));
    device.write(10003, 23, {}, 0);
    QCOMPARE(m.lightBoardCheck, quint8(0));
    device.write(10003, 22, {});
    QCOMPARE(m.stopAndClearCount, 1);
    QVERIFY(!m.programRunning);
}

// ---- Faults ---------------------------------------------------------------------------

void TestVirtualControllerNetwork::faults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("isWrite");
    const struct
    {
        ReplyFault fault;
        const char *name;
    } kinds[] = {
        {ReplyFault::Dropped, "drop"},
        {ReplyFault::ErrorStatus, "error status"},
        {ReplyFault::WrongSequence, "wrong sequence"},
        {ReplyFault::Corrupted, "corrupt"},
        {ReplyFault::Truncated, "truncate"},
    };
    for (const auto &kind : kinds) {
        QTest::addRow("%s, read", kind.name) << int(kind.fault) << false;
        QTest::addRow("%s, write", kind.name) << int(kind.fault) << true;
    }
}

void TestVirtualControllerNetwork::faults()
{
    QFETCH(int, fault);
    QFETCH(bool, isWrite);
    const auto kind = ReplyFault(fault);

    Device device;
    FaultOptions options;
    options.dropProbability = kind == ReplyFault::Dropped ? 1 : 0;
    options.errorStatusProbability = kind == ReplyFault::ErrorStatus ? 1 : 0;
    options.wrongSequenceProbability = kind == ReplyFault::WrongSequence ? 1 : 0;
    options.corruptProbability = kind == ReplyFault::Corrupted ? 1 : 0;
    options.truncateProbability = kind == ReplyFault::Truncated ? 1 : 0;
    options.wrongTrailerProbability = 1; // not a network fault
    device.controller.setFaults(options);

    for (int round = 0; round < 20; ++round) {
        const QByteArray mac = QByteArray(1, char(0x40 + round)) + hex("FE0F1C092C");
        const QByteArray request =
            isWrite ? device.writeRequest(10003, 19, mac) : device.readRequest(10003, 1);
        const NetworkExchange e = device.controller.serveNetwork(request);
        const QByteArray &r = e.reply;
        const QByteArray &clean = e.cleanReply;
        const quint8 service = isWrite ? 0x0D : 0x0C;
        const bool macWritten = device.controller.state().network.mac[0] == 0x40 + round;

        // A write reply has no data to flip a bit in: corrupt passes it clean.
        if (kind == ReplyFault::Corrupted && isWrite) {
            QCOMPARE(e.fault, ReplyFault::None);
            QCOMPARE(r, clean);
            QVERIFY(macWritten);
            continue;
        }
        QCOMPARE(e.fault, kind);
        switch (kind) {
        case ReplyFault::Dropped:
            QVERIFY(r.isEmpty());
            QVERIFY(e.served);
            if (isWrite) QVERIFY(macWritten); // carried out, only the reply is lost
            break;
        case ReplyFault::ErrorStatus:
            QVERIFY(!e.served);
            QVERIFY(clean.isEmpty());
            QCOMPARE(r.size(), 12);
            QCOMPARE(quint8(r[0]) & 0x3F, service);
            QVERIFY((quint8(r[0]) & 0xC0) != 0x40);
            QCOMPARE(r.mid(6, 2), request.mid(6, 2));
            if (isWrite) QVERIFY(!macWritten); // a failure reported is no change
            break;
        case ReplyFault::WrongSequence:
            QCOMPARE(r.size(), clean.size());
            QCOMPARE(quint8(r[0]), quint8(service | 0x40));
            QCOMPARE(clean.mid(6, 2), request.mid(6, 2));
            QVERIFY(r.mid(6, 2) != request.mid(6, 2));
            QCOMPARE(r.left(6) + r.mid(8), clean.left(6) + clean.mid(8));
            if (isWrite) QVERIFY(macWritten);
            break;
        case ReplyFault::Corrupted: {
            QCOMPARE(r.size(), clean.size());
            QCOMPARE(r.left(12), clean.left(12));
            int flipped = 0;
            for (qsizetype i = 12; i < r.size(); ++i)
                flipped += qPopulationCount(quint8(r[i] ^ clean[i]));
            QCOMPARE(flipped, 1);
            break;
        }
        case ReplyFault::Truncated:
            QVERIFY(r.size() >= 1 && r.size() < clean.size());
            QCOMPARE(r, clean.left(r.size()));
            break;
        default:
            QFAIL("no such row");
        }
    }
}

void TestVirtualControllerNetwork::errorStatusUsesEveryFailure()
{
    Device device;
    FaultOptions options;
    options.errorStatusProbability = 1;
    device.controller.setFaults(options);
    QSet<int> statuses;
    for (int i = 0; i < 60; ++i)
        statuses.insert(quint8(device.read(10003, 5)[0]));
    QCOMPARE(statuses, (QSet<int>{0x0C, 0x8C, 0xCC}));
}

void TestVirtualControllerNetwork::faultsAreReproducible()
{
    FaultOptions options;
    options.dropProbability = 0.15;
    options.errorStatusProbability = 0.15;
    options.wrongSequenceProbability = 0.15;
    options.corruptProbability = 0.15;
    options.truncateProbability = 0.15;
    options.seed = 42;

    const auto run = [&options] {
        Device device;
        device.controller.setFaults(options);
        QList<QByteArray> replies;
        QSet<int> kinds;
        for (int i = 0; i < 300; ++i) {
            const NetworkExchange e = device.controller.serveNetwork(device.readRequest(10003, 5));
            replies.append(e.reply);
            kinds.insert(int(e.fault));
        }
        return std::pair{replies, kinds};
    };
    const auto [first, kinds] = run();
    QCOMPARE(kinds.size(), 6); // every network fault and clean replies
    QCOMPARE(run().first, first);
    options.seed = 43;
    QVERIFY(run().first != first);
}

QTEST_GUILESS_MAIN(TestVirtualControllerNetwork)
#include "test_virtual_controller_network.moc"
