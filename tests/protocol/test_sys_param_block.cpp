// The system parameter block: both read layouts, the write image, the port
// bytes, the display texts and the collection of the panel into the record.
#include "protocol/sys_param_block.h"

#include "support/scratch_dir.h"

#include <QtTest>

#include <initializer_list>
#include <limits>

using namespace kalmo;

namespace {

struct Put
{
    int at;
    const char *hex;
};

// A buffer of `size` bytes of 0xEE (so a read at a wrong offset shows) with
// the given hex bytes placed at their offsets.
QByteArray bytesAt(int size, std::initializer_list<Put> puts)
{
    QByteArray b(size, char(0xEE));
    for (const Put &p : puts) {
        const QByteArray v = QByteArray::fromHex(p.hex);
        b.replace(p.at, v.size(), v);
    }
    return b;
}

// The serial reply to function 1, 111 bytes.
QByteArray serialReply()
{
    return bytesAt(111, {
                            {0, "55 55 01"},              // header, function number 1
                            {3, "F0 DE BC 8A"},           // SerialNumber 0x8ABCDEF0
                            {7, "C0 A8 01 64"},           // IpAddress 192.168.1.100
                            {11, "11"},                   // SoftAddress 17
                            {12, "21 22 23 24 25 26 27"}, // SensorTypes
                            {19, "C3 11"},                // Port1Line, Port1Protocol
                            {21, "54 05"},                // Port2Line, Port2Protocol
                            {23, "31"},                   // CarriedByte1
                            {24, "2C 01"},                // DiDebounce 300
                            {26, "33 34"},                // CarriedWord 0x3433
                            {28, "35"},                   // CarriedByte2
                            {29, "FF FF"},                // SelfRecoveryControl 65535
                            {31, "10 27"},                // SelfRecoveryInterval 10000
                            {33, "08"},                   // DeviceType 8
                            {34, "41 42"},                // VersionWord1 0x4241
                            {36, "43 44"},                // VersionWord2 0x4443
                            {38, "34 12"},                // FirmwareVersion 0x1234
                            {40, "99"},                   // not read
                            {41, "21"},                   // Version
                            {42, "51 52 53 54"},          // spare
                            {46, "DE 07"},                // ProductionYear 2014
                            {48, "03 05 0D 2D 3B"},       // 3-5, 13:45:59
                            {53, "01 00"},                // Port1Role, Port2Role
                            {55, "85"},                   // FlagBits
                            {56, "E0 2E"},                // UdpPort 12000
                            {58, "02 01"},                // CpuType 258
                            {60, "03"},                   // SlaveMaxErrors
                            {61, "F4 01"},                // SlaveCommInterval 500
                            {63, "B8 0B"},                // SlaveMaxWait 3000
                            {65, "0A 14"},                // packet intervals 10, 20
                            {67, "01"},                   // NoUserProgram
                            {68, "12"},                   // BootVersion
                            {88, "07"},                   // Rs485_2MaxErrors
                            {89, "64 00"},                // Rs485_2CommInterval 100
                            {91, "18 FC"},                // Rs485_2WaitTime 64536
                            {93, "01 80"},                // FlashFlags 0x8001
                            {107, "00 00 AA AA"},         // CRC (not checked here), trailer
                        });
}

// The same values in a network reply to block 10003 type 1: the serial
// offsets + 9 up to BootVersion, then + 11, + 11, + 11 and + 19.
QByteArray networkReply()
{
    // clang-format off
    return bytesAt(120, {
        {0, "4C 00 00 00 00 00 01 00 00 00 00 00"}, // header
        {12, "F0 DE BC 8A"}, {16, "C0 A8 01 64"}, {20, "11"}, {21, "21 22 23 24 25 26 27"},
        {28, "C3 11"}, {30, "54 05"}, {32, "31"}, {33, "2C 01"}, {35, "33 34"}, {37, "35"},
        {38, "FF FF"}, {40, "10 27"}, {42, "08"}, {43, "41 42"}, {45, "43 44"}, {47, "34 12"},
        {49, "99"}, {50, "21"}, {51, "51 52 53 54"}, {55, "DE 07"}, {57, "03 05 0D 2D 3B"},
        {62, "01 00"}, {64, "85"}, {65, "E0 2E"}, {67, "02 01"}, {69, "03"}, {70, "F4 01"},
        {72, "B8 0B"}, {74, "0A 14"},
        {76, "01"},     // NoUserProgram
        {77, "12"},     // BootVersion
        {99, "07"},     // Rs485_2MaxErrors
        {100, "64 00"}, // Rs485_2CommInterval
        {102, "18 FC"}, // Rs485_2WaitTime
        {112, "01 80"}, // FlashFlags
    });
    // clang-format on
}

// What both replies hold.
SysParamRecord expectedRecord()
{
    SysParamRecord r;
    r.SerialNumber = -1967333648; // 0x8ABCDEF0 as signed 32
    r.IpAddress = {192, 168, 1, 100};
    r.SoftAddress = 17;
    r.SensorTypes = {0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27};
    r.Port1Line = 0xC3;
    r.Port1Protocol = 0x11;
    r.Port2Line = 0x54;
    r.Port2Protocol = 0x05;
    r.CarriedByte1 = 0x31;
    r.DiDebounce = 300;
    r.CarriedWord = 0x3433;
    r.CarriedByte2 = 0x35;
    r.SelfRecoveryControl = 65535;
    r.SelfRecoveryInterval = 10000;
    r.DeviceType = 8;
    r.VersionWord1 = 0x4241;
    r.VersionWord2 = 0x4443;
    r.FirmwareVersion = 0x1234;
    r.Version = 0x21;
    r.Spare = {0x51, 0x52, 0x53, 0x54};
    r.ProductionYear = 2014;
    r.ProductionMonth = 3;
    r.ProductionDay = 5;
    r.ProductionHour = 13;
    r.ProductionMinute = 45;
    r.ProductionSecond = 59;
    r.Port1Role = 1;
    r.Port2Role = 0;
    r.FlagBits = {true, false, true, false, false, false, false};
    r.UdpPort = 12000;
    r.CpuType = 258;
    r.SlaveMaxErrors = 3;
    r.SlaveCommInterval = 500;
    r.SlaveMaxWait = 3000;
    r.Port1PacketInterval = 10;
    r.Port2PacketInterval = 20;
    return r;
}

template <typename T, std::size_t N> QList<int> list(const std::array<T, N> &a)
{
    return QList<int>(a.begin(), a.end());
}

void compareRecords(const SysParamRecord &a, const SysParamRecord &e)
{
#define CMP(f) QCOMPARE(int(a.f), int(e.f))
#define CMPA(f) QCOMPARE(list(a.f), list(e.f))
    CMP(SerialNumber);
    CMPA(IpAddress);
    CMP(SoftAddress);
    CMPA(SensorTypes);
    CMP(Port1Line);
    CMP(Port1Protocol);
    CMP(Port2Line);
    CMP(Port2Protocol);
    CMP(CarriedByte1);
    CMP(DiDebounce);
    CMP(CarriedWord);
    CMP(CarriedByte2);
    CMP(SelfRecoveryControl);
    CMP(SelfRecoveryInterval);
    CMP(DeviceType);
    CMP(VersionWord1);
    CMP(VersionWord2);
    CMP(FirmwareVersion);
    CMP(Version);
    CMPA(Spare);
    CMP(ProductionYear);
    CMP(ProductionMonth);
    CMP(ProductionDay);
    CMP(ProductionHour);
    CMP(ProductionMinute);
    CMP(ProductionSecond);
    CMP(Port1Role);
    CMP(Port2Role);
    CMPA(FlagBits);
    CMP(UdpPort);
    CMP(CpuType);
    CMP(SlaveMaxErrors);
    CMP(SlaveCommInterval);
    CMP(SlaveMaxWait);
    CMP(Port1PacketInterval);
    CMP(Port2PacketInterval);
#undef CMP
#undef CMPA
    QVERIFY(a == e);
}

enum class Link { Serial, Network };

// Runs a decoder; returns the failure description, empty on success.
QString decode(Link link, const QByteArray &reply, SysParamRecord &record,
               SysParamPanelItems &items)
{
    try {
        if (link == Link::Serial)
            decodeSerialSysInfoReply(reply, record, items);
        else
            decodeNetworkSysParamReply(reply, record, items);
    } catch (const ProcedureError &e) {
        return e.description();
    }
    return {};
}

// A record as it stood before the panel was collected into it.
SysParamRecord oldRecord()
{
    SysParamRecord r;
    r.SerialNumber = 1;
    r.IpAddress = {1, 2, 3, 4};
    r.SoftAddress = 99;
    r.Port1Line = 0x00;
    r.Port1Protocol = 0x00;
    r.Port2Line = 0x00;
    r.Port2Protocol = 0x00;
    r.CarriedByte1 = 0x31;
    r.DiDebounce = 300;
    r.CarriedWord = 0x3433;
    r.CarriedByte2 = 0x35;
    r.ProductionYear = 2000;
    r.ProductionMonth = 1;
    r.ProductionDay = 1;
    r.ProductionHour = 1;
    r.ProductionMinute = 1;
    r.ProductionSecond = 1;
    r.Port1Role = 0;
    r.Port2Role = 1;
    r.FlagBits = {true, false, true, false, false, false, false};
    r.UdpPort = 1;
    r.CpuType = 2;
    r.SlaveCommInterval = 3;
    r.SlaveMaxWait = 4;
    r.SelfRecoveryControl = 5;
    r.SelfRecoveryInterval = 6;
    r.SlaveMaxErrors = 7;
    r.Port1PacketInterval = 8;
    r.Port2PacketInterval = 9;
    return r;
}

SysParamPanelInput validPanel()
{
    SysParamPanelInput p;
    p.txtModuleAddr = QStringLiteral("17");
    p.txtSeries = QStringLiteral("70000");
    p.txtIp = {QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("7")};
    p.ports[0] = {4, 0, 0, 3, 1}; // Mark, 8, 1, 9600, ModbusRTU
    p.ports[1] = {3, 1, 1, 9, 6}; // space, 7, 2, 1M, OMRON
    p.year = 0;
    p.month = 3;
    p.day = 5;
    p.hour = 13;
    p.minute = 45;
    p.second = 59;
    p.ComboMS = {1, 0};
    p.uPortTxt = QStringLiteral("12000");
    p.cpuTxt = QStringLiteral("258");
    p.txtSubcommIntv = QStringLiteral("500");
    p.txtSubWaitTime = QStringLiteral("3000");
    p.ScanCtrl = QStringLiteral("65535");
    p.ScanInterval = QStringLiteral("10000");
    p.txtSubErr = QStringLiteral("3");
    p.txt_RSDataTime = {QStringLiteral("10"), QStringLiteral("20")};
    return p;
}

// Puts one control's value into the panel: a text, or a list index as text.
void setControl(SysParamPanelInput &p, const QString &control, const QString &value)
{
    const int index = control.section(u'_', -1).toInt();
    if (control == u"txtModuleAddr")
        p.txtModuleAddr = value;
    else if (control == u"txtSeries")
        p.txtSeries = value;
    else if (control.startsWith(u"txtIp_"))
        p.txtIp[index] = value;
    else if (control.startsWith(u"Combo9_"))
        p.ports[index].baud = value.toInt();
    else if (control.startsWith(u"Combo10_"))
        p.ports[index].protocol = value.toInt();
    else if (control.startsWith(u"Combo6_"))
        p.ports[index].parity = value.toInt();
    else if (control.startsWith(u"ComboMS_"))
        p.ComboMS[index] = value.toInt();
    else if (control.startsWith(u"txt_RSDataTime_"))
        p.txt_RSDataTime[index] = value;
    else if (control == u"uPortTxt")
        p.uPortTxt = value;
    else if (control == u"cpuTxt")
        p.cpuTxt = value;
    else if (control == u"txtSubcommIntv")
        p.txtSubcommIntv = value;
    else if (control == u"txtSubWaitTime")
        p.txtSubWaitTime = value;
    else if (control == u"ScanCtrl")
        p.ScanCtrl = value;
    else if (control == u"ScanInterval")
        p.ScanInterval = value;
    else if (control == u"txtSubErr")
        p.txtSubErr = value;
    else
        QFAIL(qPrintable(QStringLiteral("unknown control ") + control));
}

int boxField(const SysParamRecord &r, const QString &control)
{
    if (control == u"uPortTxt") return r.UdpPort;
    if (control == u"cpuTxt") return r.CpuType;
    if (control == u"txtSubcommIntv") return r.SlaveCommInterval;
    if (control == u"txtSubWaitTime") return r.SlaveMaxWait;
    if (control == u"ScanCtrl") return r.SelfRecoveryControl;
    if (control == u"ScanInterval") return r.SelfRecoveryInterval;
    if (control == u"txtSubErr") return r.SlaveMaxErrors;
    return -1;
}

} // namespace

class TestSysParamBlock : public QObject
{
    Q_OBJECT
private slots:
    void decodeReply_data()
    {
        QTest::addColumn<int>("link");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("serial function 1") << int(Link::Serial) << serialReply();
        QTest::newRow("network 10003/1") << int(Link::Network) << networkReply();
    }
    void decodeReply()
    {
        QFETCH(int, link);
        QFETCH(QByteArray, reply);
        SysParamRecord record;
        SysParamPanelItems items;
        QCOMPARE(decode(Link(link), reply, record, items), QString());
        compareRecords(record, expectedRecord());
        QCOMPARE(items.NoUserProgram, std::optional<quint8>(1));
        QCOMPARE(items.BootVersion, std::optional<quint8>(0x12));
        QCOMPARE(items.Rs485_2MaxErrors, std::optional<quint8>(7));
        QCOMPARE(items.Rs485_2CommInterval, std::optional<quint16>(100));
        QCOMPARE(items.Rs485_2WaitTime, std::optional<quint16>(64536));
        QCOMPARE(items.FlashFlags, std::optional<quint16>(0x8001));
    }

    // A short reply stops at the first field it cannot hold. Decoding runs
    // BootVersion, NoUserProgram, the record, then the four tail items.
    void shortReply_data()
    {
        QTest::addColumn<int>("link");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<bool>("recordDecoded"); // with BootVersion and NoUserProgram
        QTest::addColumn<int>("tailItems");      // Rs485_2 x3, FlashFlags decoded
        const int s = int(Link::Serial);
        const int n = int(Link::Network);
        QTest::newRow("serial 68: no BootVersion") << s << 68 << true << false << 0;
        QTest::newRow("serial 69: stops at RS485_2") << s << 69 << true << true << 0;
        QTest::newRow("serial 90: half an interval") << s << 90 << true << true << 1;
        QTest::newRow("serial 94: half the flash flags") << s << 94 << true << true << 3;
        QTest::newRow("serial 95: nothing after is read") << s << 95 << false << true << 4;
        QTest::newRow("network 77: no BootVersion") << n << 77 << true << false << 0;
        QTest::newRow("network 102: stops at wait time") << n << 102 << true << true << 2;
        QTest::newRow("network 113: half the flash flags") << n << 113 << true << true << 3;
        QTest::newRow("network 114") << n << 114 << false << true << 4;
        QTest::newRow("empty") << s << 0 << true << false << 0;
    }
    void shortReply()
    {
        QFETCH(int, link);
        QFETCH(int, length);
        QFETCH(bool, fails);
        QFETCH(bool, recordDecoded);
        QFETCH(int, tailItems);
        const QByteArray whole = Link(link) == Link::Serial ? serialReply() : networkReply();
        SysParamRecord record;
        SysParamPanelItems items;
        const QString failure = decode(Link(link), whole.left(length), record, items);
        QCOMPARE(failure, fails ? QStringLiteral("下标越界") : QString());
        if (recordDecoded)
            compareRecords(record, expectedRecord());
        else
            QVERIFY(record == SysParamRecord{});
        QCOMPARE(items.BootVersion.has_value(), recordDecoded);
        QCOMPARE(items.NoUserProgram.has_value(), recordDecoded);
        QCOMPARE(items.Rs485_2MaxErrors.has_value(), tailItems > 0);
        QCOMPARE(items.Rs485_2CommInterval.has_value(), tailItems > 1);
        QCOMPARE(items.Rs485_2WaitTime.has_value(), tailItems > 2);
        QCOMPARE(items.FlashFlags.has_value(), tailItems > 3);
    }

    void writeImage()
    {
        const QByteArray image = sysParamWriteImage(expectedRecord(), {7, 100, 64536});
        const QByteArray expected = QByteArray::fromHex("F0 DE BC 8A"    // 0 SerialNumber
                                                        "C0 A8 01 64"    // 4 IpAddress
                                                        "11"             // 8 SoftAddress
                                                        "C3 11 54 05"    // 9 port bytes
                                                        "31"             // 13 CarriedByte1
                                                        "2C 01"          // 14 DiDebounce
                                                        "33 34"          // 16 CarriedWord
                                                        "35"             // 18 CarriedByte2
                                                        "DE 07"          // 19 year
                                                        "03 05 0D 2D 3B" // 21 date, time
                                                        "01 00"          // 26 roles
                                                        "05"             // 28 flags, bit 7 gone
                                                        "E0 2E"          // 29 UdpPort
                                                        "02 01"          // 31 CpuType
                                                        "03"             // 33 SlaveMaxErrors
                                                        "F4 01"          // 34 SlaveCommInterval
                                                        "B8 0B"          // 36 SlaveMaxWait
                                                        "FF FF"          // 38 SelfRecoveryControl
                                                        "10 27"          // 40 SelfRecoveryInterval
                                                        "0A 14"          // 42 packet intervals
                                                        "00 55 AA"       // 44, end marker
                                                        "07 64 00 18 FC"); // 47 RS485_2
        QCOMPARE(expected.size(), 52);
        QCOMPARE(image.toHex(' '), expected.toHex(' '));
    }

    void writeImageOfZeroRecord()
    {
        QByteArray expected(52, '\0');
        expected[45] = char(0x55);
        expected[46] = char(0xAA);
        QCOMPARE(sysParamWriteImage(SysParamRecord{}, {}).toHex(' '), expected.toHex(' '));
    }

    void serialWriteFrame()
    {
        SysParamRecord r;
        r.SerialNumber = 0x04030201;
        r.Port2PacketInterval = 0x2B;
        const QByteArray frame = setSysInfoFrame(r, {0x11, 0x2322, 0x3433});
        QCOMPARE(frame.size(), 91);
        QByteArray expected(91, '\0');
        expected[2] = 4;
        const QByteArray serial = QByteArray::fromHex("01 02 03 04");
        expected.replace(3, 4, serial); // image byte 0 at frame byte 3
        expected[3 + 43] = 0x2B;
        expected[3 + 45] = char(0x55);
        expected[3 + 46] = char(0xAA);
        expected.replace(3 + 47, 5, QByteArray::fromHex("11 22 23 33 34"));
        QCOMPARE(frame.toHex(' '), expected.toHex(' '));
    }

    void decodePortBytes_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QList<int>>("indices"); // parity, data, stop, baud, protocol
        QTest::newRow("C3 11 mark") << 0xC3 << 0x11 << QList<int>{4, 0, 0, 3, 1};
        QTest::newRow("C3 01 space") << 0xC3 << 0x01 << QList<int>{3, 0, 0, 3, 1};
        QTest::newRow("E3 12") << 0xE3 << 0x12 << QList<int>{4, 1, 0, 3, 2};
        QTest::newRow("54 05") << 0x54 << 0x05 << QList<int>{1, 0, 1, 4, 5};
        QTest::newRow("mark flag without 11") << 0x80 << 0x10 << QList<int>{2, 0, 0, 0, 0};
        QTest::newRow("baud 12, protocol 7") << 0x4C << 0x07 << QList<int>{1, 0, 0, -1, -1};
        QTest::newRow("baud 9, protocol 6") << 0x39 << 0xE6 << QList<int>{0, 1, 1, 9, 6};
        QTest::newRow("baud 10, protocol 15") << 0x0A << 0x0F << QList<int>{0, 0, 0, -1, -1};
    }
    void decodePortBytes()
    {
        QFETCH(int, line);
        QFETCH(int, protocol);
        QFETCH(QList<int>, indices);
        const PortSettings s = decodePortSettings(quint8(line), quint8(protocol));
        QCOMPARE((QList<int>{s.parity, s.dataBits, s.stopBits, s.baud, s.protocol}), indices);
    }

    void portItemTexts()
    {
        const PortSettings s = decodePortSettings(0xC3, 0x11);
        QCOMPARE(portListItems(PortList::Parity).value(s.parity), QStringLiteral("Mark校验"));
        QCOMPARE(portListItems(PortList::DataBits).value(s.dataBits), QStringLiteral("8位"));
        QCOMPARE(portListItems(PortList::StopBits).value(s.stopBits), QStringLiteral("1位"));
        QCOMPARE(portListItems(PortList::Baud).value(s.baud), QStringLiteral("9600bps"));
        QCOMPARE(portListItems(PortList::Protocol).value(s.protocol), QStringLiteral("ModbusRTU"));
        QCOMPARE(portListItems(PortList::Parity).value(decodePortSettings(0xC3, 0x01).parity),
                 QStringLiteral("空格校验"));
        QCOMPARE(portListItems(PortList::Baud).size(), 10);
        QCOMPARE(portListItems(PortList::Protocol).size(), 7);
    }

    void encodePortBytes_data()
    {
        QTest::addColumn<int>("oldLine");
        QTest::addColumn<int>("oldProtocol");
        QTest::addColumn<QList<int>>("indices");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("protocol");
        QTest::newRow("mark 9600 ModbusRTU")
            << 0x00 << 0x00 << QList<int>{4, 0, 0, 3, 1} << 0xC3 << 0x11;
        QTest::newRow("space clears the mark")
            << 0xFF << 0xFF << QList<int>{3, 0, 0, 3, 1} << 0xC3 << 0x01;
        QTest::newRow("every field set")
            << 0x00 << 0x00 << QList<int>{2, 1, 1, 9, 6} << 0xB9 << 0x06;
        QTest::newRow("unselected baud keeps code 12")
            << 0x4C << 0x07 << QList<int>{1, 0, 0, -1, 1} << 0x4C << 0x01;
        QTest::newRow("unselected protocol keeps its byte")
            << 0x00 << 0x17 << QList<int>{0, 0, 0, 0, -1} << 0x00 << 0x07;
        QTest::newRow("unselected parity keeps bits and mark")
            << 0xC3 << 0x11 << QList<int>{-1, 1, 0, 4, 2} << 0xE4 << 0x12;
        QTest::newRow("nothing selected")
            << 0xAB << 0xCD << QList<int>{-1, -1, -1, -1, -1} << 0xAB << 0xCD;
    }
    void encodePortBytes()
    {
        QFETCH(int, oldLine);
        QFETCH(int, oldProtocol);
        QFETCH(QList<int>, indices);
        QFETCH(int, line);
        QFETCH(int, protocol);
        quint8 l = quint8(oldLine);
        quint8 p = quint8(oldProtocol);
        encodePortSettings({indices[0], indices[1], indices[2], indices[3], indices[4]}, l, p);
        QCOMPARE(int(l), line);
        QCOMPARE(int(p), protocol);
    }

    void encodePortBytesOutOfRange_data()
    {
        QTest::addColumn<QList<int>>("indices");
        QTest::addColumn<int>("list");
        QTest::newRow("parity 5") << QList<int>{5, 0, 0, 0, 0} << int(PortList::Parity);
        QTest::newRow("data bits 2") << QList<int>{0, 2, 0, 0, 0} << int(PortList::DataBits);
        QTest::newRow("stop bits -2") << QList<int>{0, 0, -2, 0, 0} << int(PortList::StopBits);
        QTest::newRow("baud 10") << QList<int>{0, 0, 0, 10, 0} << int(PortList::Baud);
        QTest::newRow("protocol 7") << QList<int>{0, 0, 0, 0, 7} << int(PortList::Protocol);
    }
    void encodePortBytesOutOfRange()
    {
        QFETCH(QList<int>, indices);
        QFETCH(int, list);
        const PortSettings s{indices[0], indices[1], indices[2], indices[3], indices[4]};
        QCOMPARE(invalidPortList(s), std::optional<PortList>(PortList(list)));
        quint8 l = 0x5A;
        quint8 p = 0x5B;
        QVERIFY_THROWS_EXCEPTION(ProcedureError, encodePortSettings(s, l, p));
        QCOMPARE(int(l), 0x5A);
        QCOMPARE(int(p), 0x5B);
    }

    void roleIndices()
    {
        QCOMPARE(roleIndex(0), 0);
        QCOMPARE(roleIndex(1), 1);
        QCOMPARE(roleIndex(7), -1);
        QCOMPARE(roleListItems(), (QStringList{QStringLiteral("从"), QStringLiteral("主")}));
    }

    void displayTexts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("firmware 0x1234") << "firmware" << 0x1234 << "1.234";
        QTest::newRow("firmware 0x2105") << "firmware" << 0x2105 << "2.105";
        QTest::newRow("firmware 0x00AB") << "firmware" << 0x00AB << "0.0AB";
        QTest::newRow("firmware 0xFFFF") << "firmware" << 0xFFFF << "F.FFF";
        QTest::newRow("version 0x21") << "version" << 0x21 << "2.1";
        QTest::newRow("version 0x1A") << "version" << 0x1A << "1.A";
        QTest::newRow("version 0x05") << "version" << 0x05 << "0.5";
        QTest::newRow("boot 0x21") << "boot" << 0x21 << "2.1";
        QTest::newRow("boot 0xAB") << "boot" << 0xAB << "10.11";
        QTest::newRow("boot 0x0F") << "boot" << 0x0F << "0.15";
        QTest::newRow("u16 300") << "u16" << 300 << "300";
        QTest::newRow("u16 -1") << "u16" << -1 << "65535";
        QTest::newRow("u16 -1000") << "u16" << -1000 << "64536";
        QTest::newRow("u16 -32768") << "u16" << -32768 << "32768";
        QTest::newRow("u16 65535") << "u16" << 65535 << "65535";
    }
    void displayTexts()
    {
        QFETCH(QString, kind);
        QFETCH(int, value);
        QFETCH(QString, text);
        QString shown;
        if (kind == u"firmware")
            shown = firmwareVersionText(quint16(value));
        else if (kind == u"version")
            shown = versionText(quint8(value));
        else if (kind == u"boot")
            shown = bootVersionText(quint8(value));
        else
            shown = unsigned16Text(value);
        QCOMPARE(shown, text);
    }

    void panelNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<qint64>("value");
        QTest::newRow("plain") << "12" << true << qint64(12);
        QTest::newRow("blanks around") << " 12 " << true << qint64(12);
        QTest::newRow("negative") << "-5" << true << qint64(-5);
        QTest::newRow("plus sign") << "+7" << true << qint64(7);
        QTest::newRow("leading zeros") << "007" << true << qint64(7);
        QTest::newRow("empty") << "" << false << qint64(0);
        QTest::newRow("blank") << "   " << false << qint64(0);
        QTest::newRow("sign only") << "-" << false << qint64(0);
        QTest::newRow("exponent") << "1e3" << false << qint64(0);
        QTest::newRow("fraction") << "1.5" << false << qint64(0);
        QTest::newRow("trailing letters") << "12abc" << false << qint64(0);
        QTest::newRow("inner blank") << "1 2" << false << qint64(0);
        QTest::newRow("hex literal") << "&HFF" << false << qint64(0);
        QTest::newRow("full-width digit") << "１２" << false << qint64(0);
        QTest::newRow("huge saturates")
            << "99999999999999999999999" << true << std::numeric_limits<qint64>::max();
        QTest::newRow("huge negative saturates")
            << "-99999999999999999999999" << true << -std::numeric_limits<qint64>::max();
    }
    void panelNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(qint64, value);
        const std::optional<qint64> n = panelInteger(text);
        QCOMPARE(n.has_value(), numeric);
        if (numeric) QCOMPARE(*n, value);
    }

    void changeParameterWritesPanel()
    {
        SysParamRecord r = oldRecord();
        ChangeParameterReport report;
        ChangeParameter(r, validPanel(), &report);
        QCOMPARE(report.failedControl, QString());
        QVERIFY(!report.roleListsReset);
        const QByteArray expected = QByteArray::fromHex("70 11 00 00" // 70000 mod 65536 = 4464
                                                        "0A 00 00 07" // IP 10.0.0.7
                                                        "11"          // module address 17
                                                        "C3 11"       // port 1: Mark 8 1 9600 RTU
                                                        "F9 06"       // port 2: 11 1 1 1001, OMRON
                                                        "31 2C 01 33 34 35" // carried, debounce
                                                        "6C 07"             // year 0 -> 1900
                                                        "03 05 0D 2D 3B"
                                                        "01 00" // roles
                                                        "05"    // flags kept
                                                        "E0 2E 02 01 03 F4 01 B8 0B"
                                                        "FF FF 10 27" // scan words
                                                        "0A 14"       // packet intervals
                                                        "00 55 AA"
                                                        "0A 64 00 E8 03"); // RS485_2 10, 100, 1000
        QCOMPARE(sysParamWriteImage(r, {10, 100, 1000}).toHex(' '), expected.toHex(' '));
    }

    void serialNumberAndModuleAddress_data()
    {
        QTest::addColumn<QString>("series");
        QTest::addColumn<QString>("module");
        QTest::addColumn<int>("serialNumber");
        QTest::addColumn<int>("softAddress");
        QTest::newRow("70000, 17") << "70000"
                                   << "17" << 4464 << 17;
        QTest::newRow("65536, 256") << "65536"
                                    << "256" << 0 << 0;
        QTest::newRow("4095, 300") << "4095"
                                   << "300" << 4095 << 44;
        QTest::newRow("-5, 0") << "-5"
                               << "0" << -5 << 0;
    }
    void serialNumberAndModuleAddress()
    {
        QFETCH(QString, series);
        QFETCH(QString, module);
        QFETCH(int, serialNumber);
        QFETCH(int, softAddress);
        SysParamPanelInput p = validPanel();
        p.txtSeries = series;
        p.txtModuleAddr = module;
        SysParamRecord r = oldRecord();
        ChangeParameter(r, p);
        QCOMPARE(r.SerialNumber, serialNumber);
        QCOMPARE(int(r.SoftAddress), softAddress);
    }

    // A failure ends the collection at its field: groups before it are taken
    // from the panel, the failed one and all after it keep the old record.
    void changeParameterFailure_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("stage");
        const QString mismatch = QStringLiteral("类型不匹配");
        const QString overflow = QStringLiteral("溢出");
        // Stages: 0 module, 1 series, 2..5 IP bytes, 6 port 1, 7 port 2,
        // 8 date and time, 9 roles, 10 boxes, 11 interval 1, 12 interval 2.
        QTest::newRow("module empty") << "txtModuleAddr"
                                      << ""
                                      << "模块地址" << mismatch << 0;
        QTest::newRow("module -1") << "txtModuleAddr"
                                   << "-1"
                                   << "模块地址" << overflow << 0;
        QTest::newRow("series 12abc") << "txtSeries"
                                      << "12abc"
                                      << "序列号" << mismatch << 1;
        QTest::newRow("series past 32 bits") << "txtSeries"
                                             << "4294967296"
                                             << "序列号" << overflow << 1;
        QTest::newRow("IP -1") << "txtIp_0"
                               << "-1"
                               << "IP" << overflow << 2;
        QTest::newRow("IP 256") << "txtIp_2"
                                << "256"
                                << "IP" << overflow << 4;
        QTest::newRow("IP 1e3") << "txtIp_3"
                                << "1e3"
                                << "IP" << mismatch << 5;
        QTest::newRow("parity 5") << "Combo6_0"
                                  << "5"
                                  << "校验位" << overflow << 6;
        QTest::newRow("protocol 7") << "Combo10_0"
                                    << "7"
                                    << "协议" << overflow << 6;
        QTest::newRow("baud 10") << "Combo9_1"
                                 << "10"
                                 << "波特率" << overflow << 7;
        QTest::newRow("role 2") << "ComboMS_1"
                                << "2"
                                << "主从" << overflow << 9;
        QTest::newRow("interval 300") << "txt_RSDataTime_0"
                                      << "300"
                                      << "间隔时间" << overflow << 11;
        QTest::newRow("interval x") << "txt_RSDataTime_1"
                                    << "x"
                                    << "间隔时间" << mismatch << 12;
        QTest::newRow("interval -1") << "txt_RSDataTime_1"
                                     << "-1"
                                     << "间隔时间" << overflow << 12;
    }
    void changeParameterFailure()
    {
        QFETCH(QString, control);
        QFETCH(QString, value);
        QFETCH(QString, label);
        QFETCH(QString, description);
        QFETCH(int, stage);
        SysParamPanelInput p = validPanel();
        setControl(p, control, value);
        const SysParamRecord before = oldRecord();
        SysParamRecord r = before;
        ChangeParameterReport report;
        QString thrownControl;
        QString thrownLabel;
        QString thrownDescription;
        try {
            ChangeParameter(r, p, &report);
        } catch (const FieldConversionError &e) {
            thrownControl = e.control();
            thrownLabel = e.label();
            thrownDescription = e.description();
        }
        QCOMPARE(thrownControl, control);
        QCOMPARE(thrownLabel, label);
        QCOMPARE(thrownDescription, description);
        QCOMPARE(report.failedControl, control);
        QCOMPARE(report.failedLabel, label);

        const auto taken = [&](int s) { return s < stage; };
        QCOMPARE(int(r.SoftAddress), taken(0) ? 17 : 99);
        QCOMPARE(r.SerialNumber, taken(1) ? 4464 : 1);
        const int newIp[] = {10, 0, 0, 7};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(int(r.IpAddress[i]), taken(2 + i) ? newIp[i] : before.IpAddress[i]);
        QCOMPARE(int(r.Port1Line), taken(6) ? 0xC3 : 0);
        QCOMPARE(int(r.Port1Protocol), taken(6) ? 0x11 : 0);
        QCOMPARE(int(r.Port2Line), taken(7) ? 0xF9 : 0);
        QCOMPARE(int(r.Port2Protocol), taken(7) ? 0x06 : 0);
        QCOMPARE(int(r.ProductionYear), taken(8) ? 1900 : 2000);
        QCOMPARE(int(r.ProductionSecond), taken(8) ? 59 : 1);
        QCOMPARE(int(r.Port2Role), taken(9) ? 0 : 1);
        QCOMPARE(int(r.UdpPort), taken(10) ? 12000 : 1);
        QCOMPARE(int(r.SlaveMaxErrors), taken(10) ? 3 : 7);
        QCOMPARE(int(r.Port1PacketInterval), taken(11) ? 10 : 8);
        QCOMPARE(int(r.Port2PacketInterval), taken(12) ? 20 : 9);
        // Fields the panel does not edit are never touched.
        QCOMPARE(int(r.CarriedWord), 0x3433);
        QCOMPARE(list(r.FlagBits), list(before.FlagBits));
    }

    void changeParameterLogsUnderItsLabel()
    {
        SysParamPanelInput p = validPanel();
        p.txtIp[1] = QStringLiteral("300");
        SysParamRecord r = oldRecord();
        ScratchWorkingDir dir;
        QVERIFY(dir.isValid());
        const bool ok = runLogged(kChangeParameterLabel, [&] { ChangeParameter(r, p); });
        QVERIFY(!ok);
        QFile log(dir.filePath(errorLogFileName(ErrorLogFile::Main)));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray line = log.readAll();
        QVERIFY(line.contains("\"ChangeParameter(Form1)\""));
        QVERIFY(line.contains("\"\xD2\xE7\xB3\xF6\"")); // "溢出" in code page 936
    }

    // Boxes that keep the old value when their text is not a number in range.
    void keptBoxes_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        // Old values: uPortTxt 1, cpuTxt 2, txtSubcommIntv 3, txtSubWaitTime 4,
        // ScanCtrl 5, ScanInterval 6, txtSubErr 7.
        QTest::newRow("abc kept") << "uPortTxt"
                                  << "abc" << 1;
        QTest::newRow("empty kept") << "uPortTxt"
                                    << "" << 1;
        QTest::newRow("65536 kept") << "uPortTxt"
                                    << "65536" << 1;
        QTest::newRow("-1 kept") << "uPortTxt"
                                 << "-1" << 1;
        QTest::newRow("65535 taken") << "uPortTxt"
                                     << "65535" << 65535;
        QTest::newRow("blanks taken") << "cpuTxt"
                                      << " 12 " << 12;
        QTest::newRow("1e3 kept") << "cpuTxt"
                                  << "1e3" << 2;
        QTest::newRow("0 taken") << "txtSubcommIntv"
                                 << "0" << 0;
        QTest::newRow("1.5 kept") << "txtSubWaitTime"
                                  << "1.5" << 4;
        QTest::newRow("+7 taken") << "ScanCtrl"
                                  << "+7" << 7;
        QTest::newRow("12abc kept") << "ScanInterval"
                                    << "12abc" << 6;
        QTest::newRow("error count 256 kept") << "txtSubErr"
                                              << "256" << 7;
        QTest::newRow("error count 255 taken") << "txtSubErr"
                                               << "255" << 255;
    }
    void keptBoxes()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(int, value);
        SysParamPanelInput p = validPanel();
        setControl(p, control, text);
        SysParamRecord r = oldRecord();
        ChangeParameterReport report;
        ChangeParameter(r, p, &report);
        QCOMPARE(report.failedControl, QString());
        QCOMPARE(boxField(r, control), value);
        QCOMPARE(int(r.Port2PacketInterval), 20); // the collection ran to the end
    }

    void productionYear_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("stored");
        QTest::newRow("0") << 0 << 1900;
        QTest::newRow("-1") << -1 << 1900;
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("2014") << 2014 << 2014;
        QTest::newRow("3000") << 3000 << 3000;
        QTest::newRow("3001") << 3001 << 1900;
        QTest::newRow("9999") << 9999 << 1900;
    }
    void productionYear()
    {
        QFETCH(int, year);
        QFETCH(int, stored);
        SysParamPanelInput p = validPanel();
        p.year = year;
        SysParamRecord r = oldRecord();
        ChangeParameter(r, p);
        QCOMPARE(int(r.ProductionYear), stored);
    }

    void roles_data()
    {
        QTest::addColumn<int>("ms0");
        QTest::addColumn<int>("ms1");
        QTest::addColumn<int>("role1");
        QTest::addColumn<int>("role2");
        QTest::addColumn<bool>("reset");
        QTest::newRow("master, slave") << 1 << 0 << 1 << 0 << false;
        QTest::newRow("slave, master") << 0 << 1 << 0 << 1 << false;
        QTest::newRow("first unselected") << -1 << 1 << 0 << 0 << true;
        QTest::newRow("second unselected") << 1 << -1 << 0 << 0 << true;
        QTest::newRow("both unselected") << -1 << -1 << 0 << 0 << true;
    }
    void roles()
    {
        QFETCH(int, ms0);
        QFETCH(int, ms1);
        QFETCH(int, role1);
        QFETCH(int, role2);
        QFETCH(bool, reset);
        SysParamPanelInput p = validPanel();
        p.ComboMS = {ms0, ms1};
        SysParamRecord r = oldRecord();
        r.Port1Role = 1;
        r.Port2Role = 1;
        ChangeParameterReport report;
        ChangeParameter(r, p, &report);
        QCOMPARE(int(r.Port1Role), role1);
        QCOMPARE(int(r.Port2Role), role2);
        QCOMPARE(report.roleListsReset, reset);
    }

    // What the panel shows for a read record, collected back, writes the
    // same port bytes.
    void portBytesRoundTrip_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("protocol");
        QTest::newRow("C3 11") << 0xC3 << 0x11;
        QTest::newRow("C3 01") << 0xC3 << 0x01;
        QTest::newRow("E3 12") << 0xE3 << 0x12;
        QTest::newRow("79 06") << 0x79 << 0x06;
    }
    void portBytesRoundTrip()
    {
        QFETCH(int, line);
        QFETCH(int, protocol);
        SysParamPanelInput p = validPanel();
        p.ports[1] = decodePortSettings(quint8(line), quint8(protocol));
        SysParamRecord r = oldRecord();
        ChangeParameter(r, p);
        QCOMPARE(int(r.Port2Line), line);
        QCOMPARE(int(r.Port2Protocol), protocol);
    }
};

QTEST_GUILESS_MAIN(TestSysParamBlock)
#include "test_sys_param_block.moc"
