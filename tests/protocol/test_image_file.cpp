// Image files: one whole file as bytes, the item and separator lines, the
// reader's splitting and key cleaning, code page 936 characters whose second
// byte is "|" or 0x80, the value-text indexes, what each key sets and the
// whole-address, date and time values.
#include "protocol/image_file.h"

#include "core/codepage.h"
#include "protocol/sys_param_block.h"
#include "support/hex.h"

#include <QSet>
#include <QTest>

using namespace kalmo;

namespace {

// One item line: label bytes (code page 936, worked out with iconv -t CP936),
// 0x80, the value bytes, "|", CR LF.
QByteArray item(const QByteArray &label, const QByteArray &value)
{
    return label + hex("80") + value + hex("7C 0D 0A");
}
QByteArray item(const char *labelHex, const QByteArray &value)
{
    return item(hex(labelHex), value);
}
const QByteArray kGroupEnd = hex("7E 0D 0A");

// clang-format off
ImageRecord pumpStation()
{
    return {.serialNumber = "901234567890123", .hardwareNumber = "12345678901234",
            .series = "1", .version = "3.2", .moduleAddress = "5", .innerVersion = "7",
            .hardAddress = " ", .udpPort = "5000", .deviceId = "DEV01",
            .pdTag = QStringLiteral("泵站一号"), .ip = {"192", "168", "1", "10"},
            .mac = {"00", "11", "22", "33", "44", "5A"},
            .ports = {{{QStringLiteral("无校验"), QStringLiteral("8位"), QStringLiteral("1位"),
                        "9600bps", "ModbusRTU", QStringLiteral("从"), "100"},
                       {QStringLiteral("偶校验"), QStringLiteral("7位"), QStringLiteral("2位"),
                        "19200bps", "Debug", QStringLiteral("主"), ""}}},
            .productionDate = imageDateText(QDate(2024, 3, 7)),
            .productionTime = imageTimeText(QTime(8, 5, 0)), .battery = "3.6",
            .diDebounce = "20", .slaveMaxErrors = "3", .slaveCommInterval = "100",
            .slaveMaxWait = "500", .scanControlWord = "", .scanInterval = "60"};
}
// clang-format on

const char *const kPortLabels[] = {
    "BA C5 B4 AE BF DA BC EC D1 E9 CE BB",       // 号串口检验位
    "BA C5 B4 AE BF DA CA FD BE DD CE BB",       // 号串口数据位
    "BA C5 B4 AE BF DA CD A3 D6 B9 CE BB",       // 号串口停止位
    "BA C5 B4 AE BF DA B2 A8 CC D8 C2 CA",       // 号串口波特率
    "BA C5 B4 AE BF DA CD A8 D1 B6 D0 AD D2 E9", // 号串口通讯协议
    "BA C5 B4 AE BF DA D6 F7 B4 D3 BF DA",       // 号串口主从口
    "BA C5 B4 AE BF DA CA FD BE DD B0 FC CD A8 D1 B6 CA B1 BC E4 BC E4 B8 F4", // …数据包通讯时间间隔
};

QByteArray pumpStationBytes()
{
    QByteArray b;
    b += item("C9 E8 B1 B8 D0 F2 BA C5", "901234567890123"); // 设备序号
    b += item("D3 B2 BC FE B0 E6 BA C5", "12345678901234");  // 硬件版号
    b += item("D0 F2 C1 D0 BA C5", "1");                     // 序列号
    b += item("B0 E6 B1 BE BA C5", "3.2");                   // 版本号
    b += item("C4 A3 BF E9 B5 D8 D6 B7", "5");               // 模块地址
    b += item("C4 DA B0 E6 B1 BE BA C5", "7");               // 内版本号
    b += item("D3 B2 B5 D8 D6 B7", "0");                     // 硬地址, blank
    b += item("C8 ED B5 D8 D6 B7", "5");                     // 软地址
    b += item("55 44 50 B6 CB BF DA BA C5", "5000");         // UDP端口号
    b += kGroupEnd;
    b += item("44 65 76 69 63 65 49 44 BA C5", "DEV01");                        // DeviceID号
    b += item("50 44 5F 54 61 67 B1 EA CA B6", hex("B1 C3 D5 BE D2 BB BA C5")); // PD_Tag标识
    b += kGroupEnd;
    const char *const ip[] = {"192", "168", "1", "10"};
    for (int n = 0; n < 4; ++n) // n段IP地址
        b += item(QByteArray::number(n) + hex("B6 CE 49 50 B5 D8 D6 B7"), ip[n]);
    b += kGroupEnd;
    const char *const mac[] = {"00", "11", "22", "33", "44", "5A"};
    for (int n = 0; n < 6; ++n) // n段MAC地址
        b += item(QByteArray::number(n) + hex("B6 CE 4D 41 43 B5 D8 D6 B7"), mac[n]);
    b += kGroupEnd;
    const QByteArray port0[] = {hex("CE DE D0 A3 D1 E9"),
                                hex("38 CE BB"),
                                hex("31 CE BB"),
                                "9600bps",
                                "ModbusRTU",
                                hex("B4 D3"),
                                "100"};
    const QByteArray port1[] = {hex("C5 BC D0 A3 D1 E9"),
                                hex("37 CE BB"),
                                hex("32 CE BB"),
                                "19200bps",
                                "Debug",
                                hex("D6 F7"),
                                "0"};
    for (int i = 0; i < 7; ++i)
        b += item("0" + hex(kPortLabels[i]), port0[i]);
    b += kGroupEnd;
    for (int i = 0; i < 7; ++i)
        b += item("1" + hex(kPortLabels[i]), port1[i]);
    b += kGroupEnd;
    b += item("C9 FA B2 FA CA B1 BC E4 20 C4 EA D4 C2 C8 D5", "2024-3-7"); // 生产时间 年月日
    b += item("C9 FA B2 FA CA B1 BC E4 20 CA B1 B7 D6 C3 EB", "8-5-0");    // 生产时间 时分秒
    b += kGroupEnd;
    b += item("B5 E7 B3 D8 B5 E7 D1 B9", "3.6");                             // 电池电压
    b += item("44 49 B7 C0 B6 B6 CA B1 BC E4", "20");                        // DI防抖时间
    b += item("B4 D3 C9 E8 B1 B8 D7 EE B4 F3 B4 ED CE F3 B4 CE CA FD", "3"); // 从设备最大错误次数
    b += item("B4 D3 C9 E8 B1 B8 CD A8 D1 B6 CA B1 BC E4 BC E4 B8 F4", "100"); // 从设备通讯时间间隔
    b += item("B4 D3 C9 E8 B1 B8 D7 EE B4 F3 B5 C8 B4 FD CA B1 BC E4", "500"); // 从设备最大等待时间
    b += item("B4 D3 C9 E8 B1 B8 D7 D4 BB D6 B8 B4 C9 A8 C3 E8 BF D8 D6 C6 D7 D6",
              "0"); // …扫描控制字
    b += item("B4 D3 C9 E8 B1 B8 D7 D4 BB D6 B8 B4 C9 A8 C3 E8 CA B1 BC E4 BC E4 B8 F4",
              "60"); // 从设备自恢复扫描时间间隔
    b += kGroupEnd;
    return b;
}

} // namespace

class TestImageFile : public QObject
{
    Q_OBJECT

private slots:
    void wholeFile();
    void everyWrittenLabelSetsItsOwnControl();
    void writeItem_data();
    void writeItem();
    void readItems_data();
    void readItems();
    void decodesBeforeSplitting();
    void valueIndex_data();
    void valueIndex();
    void portListsReadBack();
    void keyTargets_data();
    void keyTargets();
    void wholeAddresses();
    void dateAndTime_data();
    void dateAndTime();
    void breaksImageFile();
};

void TestImageFile::wholeFile()
{
    const QByteArray bytes = imageFileBytes(pumpStation());
    QCOMPARE(bytes, pumpStationBytes());
    QCOMPARE(bytes.count("\r\n"), 52);
}

void TestImageFile::everyWrittenLabelSetsItsOwnControl()
{
    // 44 items, each known to the reader, each setting a control of its own
    // but for "模块地址" and "软地址", which both hold the module address.
    const QList<ImageItem> items = readImageFile(imageFileBytes(pumpStation()));
    QCOMPARE(items.size(), 44);
    QSet<QString> targets;
    for (const ImageItem &i : items) {
        const auto t = imageItemTarget(i.key);
        QVERIFY2(t && t->field != ImageField::Ignored, qPrintable(i.key));
        targets.insert(QStringLiteral("%1/%2/%3").arg(int(t->field)).arg(t->port).arg(t->index));
    }
    QCOMPARE(targets.size(), 43);
    QCOMPARE(items.first(), (ImageItem{QStringLiteral("设备序号"), "901234567890123"}));
    QCOMPARE(items.last(), (ImageItem{QStringLiteral("从设备自恢复扫描时间间隔"), "60"}));
}

void TestImageFile::writeItem_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty value") << "abc"
                                 << "" << hex("61 62 63 80 30 7C 0D 0A");
    QTest::newRow("blank value") << "abc"
                                 << "  " << hex("61 62 63 80 30 7C 0D 0A");
    QTest::newRow("value as given") << "abc"
                                    << " 5 " << hex("61 62 63 80 20 35 20 7C 0D 0A");
    QTest::newRow("blank label") << " "
                                 << "5" << hex("C6 E4 CB FC D0 C5 CF A2 80 35 7C 0D 0A");
    QTest::newRow("separator line") << QStringLiteral("换行符") << "5" << hex("7E 0D 0A");
}

void TestImageFile::writeItem()
{
    QFETCH(QString, label);
    QFETCH(QString, value);
    QFETCH(QByteArray, bytes);
    // Appended to what the text already holds.
    QString text = "x";
    WriteImageItem(text, label, value);
    QCOMPARE(cp936::encode(text), "x" + bytes);
}

void TestImageFile::readItems_data()
{
    // Expected pairs flattened: key, value, key, value, …
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("pairs");
    const QString e(kImageKeySeparator);
    QTest::newRow("both ended") << "a" + e + "1|\r\nb" + e + "2|"
                                << QStringList{"a", "1", "b", "2"};
    QTest::newRow("no final bar") << "a" + e + "1|\r\nb" + e + "2\r\n" << QStringList{"a", "1"};
    QTest::newRow("bar then separator line") << "a" + e + "1|\r\nb" + e + "2|\r\n~\r\n"
                                             << QStringList{"a", "1", "b", "2"};
    QTest::newRow("two separators")
        << "a" + e + "1" + e + "2|b" + e + "3|" << QStringList{"b", "3"};
    QTest::newRow("no separator") << "a1|b" + e + "3|" << QStringList{"b", "3"};
    QTest::newRow("line ends and ~ before the key")
        << "x" + e + "1|\r\n~\r\n~\r\n设备序号  " + e + "  90 1 |"
        << QStringList{"x", "1", QStringLiteral("设备序号"), "90 1"};
    QTest::newRow("key of line ends and ~ only")
        << "\r\n~\r\n" + e + "5|a" + e + "1|" << QStringList{"a", "1"};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestImageFile::readItems()
{
    QFETCH(QString, text);
    QStringList pairs;
    for (const ImageItem &i : readImageItems(text))
        pairs << i.key << i.value;
    QTEST(pairs, "pairs");
}

void TestImageFile::decodesBeforeSplitting()
{
    // "皘" is B0 7C and "皜" B0 80: their second bytes are "|" and the
    // separator, yet each stays one character of the label or the value.
    const QByteArray bytes = hex("0D 0A 7E 0D 0A B0 7C 61 80 62 B0 80 7C 0D 0A");
    const QList<ImageItem> items = readImageFile(bytes);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0], (ImageItem{QStringLiteral("皘a"), QStringLiteral("b皜")}));
}

void TestImageFile::valueIndex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::newRow("baud") << "9600bps" << 3;
    QTest::newRow("baud without unit") << "9600" << 0;
    QTest::newRow("input type") << "Cu100" << 15;
    QTest::newRow("empty input type") << "" << 16;
    QTest::newRow("last input type") << "EA" << 20;
    QTest::newRow("conversion rate") << "7.75Hz 1.2/1.4s" << 5;
    QTest::newRow("output signal") << QStringLiteral("电压输出") << 1;
}

void TestImageFile::valueIndex()
{
    QFETCH(QString, text);
    QTEST(ImageValueIndex(text), "index");
}

void TestImageFile::portListsReadBack()
{
    // Every text of the panel's port lists selects its own place again.
    for (PortList list : {PortList::Parity, PortList::DataBits, PortList::StopBits, PortList::Baud,
                          PortList::Protocol}) {
        const QStringList &texts = portListItems(list);
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(ImageValueIndex(texts[i]), i);
    }
    const QStringList &roles = roleListItems();
    for (int i = 0; i < roles.size(); ++i)
        QCOMPARE(ImageValueIndex(roles[i]), i);
}

void TestImageFile::keyTargets_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("known");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("index");
    const auto row = [](const char *name, const QString &key, ImageField f, int port = 0,
                        int index = 0) {
        QTest::newRow(name) << key << true << int(f) << port << index;
    };
    row("serial number", QStringLiteral("设备序号"), ImageField::SerialNumber);
    row("soft address", QStringLiteral("软地址"), ImageField::ModuleAddress);
    row("boot version", QStringLiteral("Boot版本号"), ImageField::Ignored);
    row("whole MAC", QStringLiteral("MAC地址"), ImageField::WholeMac);
    row("IP byte 3", QStringLiteral("3段IP地址"), ImageField::IpByte, 0, 3);
    row("port 1 baud", QStringLiteral("1号串口波特率"), ImageField::PortList, 1,
        int(ImagePortList::BaudRate));
    row("port 0 role", QStringLiteral("0号串口主从口"), ImageField::PortList, 0,
        int(ImagePortList::MasterSlave));
    row("port 1 interval", QStringLiteral("1号串口数据包通讯时间间隔"),
        ImageField::PortPacketInterval, 1);
    for (const char *unknown :
         {"设备序号:", "4段IP地址", "6段MAC地址", "2号串口波特率", "其它信息"})
        QTest::newRow(unknown) << QString::fromUtf8(unknown) << false << 0 << 0 << 0;
}

void TestImageFile::keyTargets()
{
    QFETCH(QString, key);
    QFETCH(bool, known);
    const auto target = imageItemTarget(key);
    QCOMPARE(target.has_value(), known);
    if (!target) return;
    QTEST(int(target->field), "field");
    QTEST(target->port, "port");
    QTEST(target->index, "index");
}

void TestImageFile::wholeAddresses()
{
    QCOMPARE(splitImageMac("00-11-22-33-44-55"),
             (std::optional<std::array<QString, 6>>({"00", "11", "22", "33", "44", "55"})));
    QVERIFY(!splitImageMac("00-11-22-33-44"));
    QVERIFY(!splitImageMac("00:11:22:33:44:55"));
    QCOMPARE(splitImageIp("192.168.1.10"),
             (std::optional<std::array<QString, 4>>({"192", "168", "1", "10"})));
    QVERIFY(!splitImageIp("192.168.1"));
}

void TestImageFile::dateAndTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::newRow("as written") << "8-5-0" << QDate() << QTime(8, 5, 0);
    QTest::newRow("with colons") << "23:59:59" << QDate() << QTime(23, 59, 59);
    QTest::newRow("mixed") << "8-5:0" << QDate() << QTime();
    QTest::newRow("no such hour") << "24-0-0" << QDate() << QTime();
    QTest::newRow("sign") << "8-+5-0" << QDate() << QTime();
    QTest::newRow("date") << "2024-3-7" << QDate(2024, 3, 7) << QTime();
    QTest::newRow("leap day") << "2024-2-29" << QDate(2024, 2, 29) << QTime();
    QTest::newRow("no such day") << "2023-2-29" << QDate() << QTime();
}

void TestImageFile::dateAndTime()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QCOMPARE(parseImageDate(text).value_or(QDate()), date);
    QCOMPARE(parseImageTime(text).value_or(QTime()), time);
    if (date.isValid()) QCOMPARE(imageDateText(date), text);
}

void TestImageFile::breaksImageFile()
{
    QVERIFY(kalmo::breaksImageFile("a|b"));
    QVERIFY(kalmo::breaksImageFile(QStringLiteral("5€")));
    QVERIFY(!kalmo::breaksImageFile(QStringLiteral("泵站皘")));
}

QTEST_APPLESS_MAIN(TestImageFile)
#include "test_image_file.moc"
