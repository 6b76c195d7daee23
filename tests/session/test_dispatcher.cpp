// The dispatcher against a fake window: the request each command code sends on
// each link, byte for byte where the request is fixed, its wait and timer
// moves, the order of the stack, the time-out endings and the failure paths.
#include "core/error_log.h"
#include "session/dispatcher.h"
#include "session/progress.h"

#include "support/hex.h"
#include "support/scratch_dir.h"
#include <QDir>
#include <QFile>
#include <QTimer>

#include <QtTest>

#include <functional>
#include <map>

using namespace kalmo;

namespace {

struct SentFrame
{
    QByteArray frame;
    int expectedReplyLength;
};

class FakeHost : public DispatcherHost
{
public:
    Link link = Link::Serial;
    QString status;
    QStringList statusHistory;
    QStringList events; // everything the dispatcher asked for, in order
    QList<SentFrame> serialFrames;
    QList<QByteArray> datagrams;
    QString portSettings = kNormalPortSettings;
    ProgressState progress;
    bool upgradeButtonEnabled = true;
    int packetIndex = 0;
    int slaveDialogEnables = 0;
    std::array<bool, kSlaveRows> pending{};
    QTimer *timer2 = nullptr;
    bool timer2ActiveAtMessage = true;
    std::map<Builder, std::function<BuildOutcome(BuildContext &)>> builders;
    bool failDatagrams = false;
    QList<Builder> builderCalls;

    Link selectedLink() const override { return link; }
    void setStatusText(const QString &text) override
    {
        status = text;
        statusHistory << text;
    }
    BuildOutcome build(Builder builder, BuildContext &context) override
    {
        builderCalls << builder;
        events << QStringLiteral("build");
        if (auto it = builders.find(builder); it != builders.end()) return it->second(context);
        // Stand-ins for the builders that size their own requests.
        if (builder == Builder::DiDoRead) context.expectedReplyLength = 21;
        if (builder == Builder::ForwardingWrite && context.link == Link::Serial)
            context.frame.resize(495);
        if (builder == Builder::UpgradeBlock) ++packetIndex;
        return BuildOutcome::built();
    }
    void sendSerialFrame(const QByteArray &frame, int expectedReplyLength) override
    {
        serialFrames << SentFrame{frame, expectedReplyLength};
        events << QStringLiteral("serial ") + QString::fromLatin1(frame.left(3).toHex(' '));
    }
    void sendDatagram(const QByteArray &datagram) override
    {
        if (failDatagrams) throw ProcedureError(QStringLiteral("网络子系统失败"));
        datagrams << datagram;
        events << QStringLiteral("datagram");
    }
    void reopenSerialPort(const QString &settings) override
    {
        portSettings = settings;
        events << QStringLiteral("reopen ") + settings;
    }
    void setSerialSettings(const QString &settings) override
    {
        portSettings = settings;
        events << QStringLiteral("settings ") + settings;
    }
    void startProgress(int steps, bool withTimer) override
    {
        progress.start(steps);
        events << QStringLiteral("progress %1 %2").arg(steps).arg(withTimer);
    }
    void stepProgress() override { progress.step(); }
    bool progressFull() const override { return progress.full(); }
    void hideProgress() override
    {
        progress.hide();
        events << QStringLiteral("hide progress");
    }
    void setUpgradeButtonEnabled(bool enabled) override { upgradeButtonEnabled = enabled; }
    int upgradePacketIndex() const override { return packetIndex; }
    void emptyUpgradePacketTable() override { events << QStringLiteral("empty packets"); }
    void resetUpgradePacketCounters() override
    {
        packetIndex = 0;
        events << QStringLiteral("reset counters");
    }
    void enableSlaveDialog() override { ++slaveDialogEnables; }
    std::array<bool, kSlaveRows> slavePendingFlags() const override { return pending; }
    void showMessage(const QString &text) override
    {
        timer2ActiveAtMessage = timer2 && timer2->isActive();
        events << QStringLiteral("message ") + text;
    }
};

// A dispatcher with its timers as the window has them while communicating.
struct Rig
{
    FakeHost host;
    QTimer timer1, timer2, timMscon, timCheckDevice, sleepTimer;
    Dispatcher dispatcher{host, {&timer1, &timer2, &timMscon, &timCheckDevice, &sleepTimer}};

    explicit Rig(Link link)
    {
        host.link = link;
        host.timer2 = &timer2;
        timer1.setInterval(kDispatchIntervalMs);
        timer2.setInterval(777);
        timMscon.setInterval(5000);
        timCheckDevice.setInterval(10000);
        dispatcher.stack().setIdle(link == Link::Network ? 9 : 13);
        timer1.start();
    }
    CommandStack &stack() { return dispatcher.stack(); }
    // What a reply does: the command time-out off, the dispatcher on.
    void reply()
    {
        timer2.stop();
        timer1.start();
    }
    QByteArray lastFrame() const { return host.serialFrames.last().frame; }
};

quint16 field(const QByteArray &datagram, int offset)
{
    return quint16(quint8(datagram[offset]) | quint8(datagram[offset + 1]) << 8);
}

} // namespace

class TestDispatcher : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<ScratchWorkingDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    // Every serial row: function number, request and reply length, status
    // text and the wait armed.
    void serialRows_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("requestLength");
        QTest::addColumn<int>("replyLength");
        QTest::addColumn<int>("wait");
        QTest::addRow("1") << 1 << "读系统参数" << 1 << 7 << 111 << 5000;
        QTest::addRow("4") << 4 << "置系统参数" << 4 << 91 << 91 << 5000;
        QTest::addRow("13") << 13 << "读DI/DO状态" << 13 << 7 << 21 << 1000; // 21: builder's
        QTest::addRow("14") << 14 << "正在写DI/DO状态" << 14 << 13 << 13 << 2000;
        QTest::addRow("15") << 15 << "读DeviceID、PDTag" << 21 << 7 << 71 << 2000;
        QTest::addRow("17") << 17 << "正在写DeviceID、PDTag" << 22 << 71 << 71 << 2000;
        QTest::addRow("18") << 18 << "正在读实时时钟" << 19 << 7 << 15 << 2000;
        QTest::addRow("19") << 19 << "正在写实时时钟" << 20 << 15 << 15 << 2000;
        QTest::addRow("32") << 32 << "正在读从设备信息" << 32 << 9 << 19 << 2000;
        QTest::addRow("33") << 33 << "正在写从设备信息" << 33 << 19 << 19 << 1000;
        QTest::addRow("36") << 36 << "正在写设备MAC地址" << 36 << 13 << 13 << 1000;
        QTest::addRow("37") << 37 << "正在读设备MAC地址" << 37 << 7 << 13 << 2000;
        QTest::addRow("40") << 40 << "正在测试扩展RAM" << 40 << 7 << 8 << 8000;
        QTest::addRow("43") << 43 << "正在写停止下位机运行并清除下位机指令命令" << 43 << 7 << 7
                            << 3000;
        QTest::addRow("44") << 44 << "正在写禁止灯板自动检测功能" << 44 << 8 << 8 << 2000;
        QTest::addRow("45") << 45 << "正在启动下位机刷主程序" << 45 << 7 << 7 << 10000;
        QTest::addRow("46") << 46 << "正在通知下位机主程序大小" << 46 << 9 << 9 << 10000;
        QTest::addRow("47") << 47 << "正在发送主程序" << 47 << 519 << 7 << 10000;
        QTest::addRow("55") << 55 << "" << 55 << 7 << 7 << 1000;
        QTest::addRow("56") << 56 << "" << 56 << 7 << 7 << 1000;
        QTest::addRow("57") << 57 << "正在读取zigbee配置参数" << 57 << 7 << 41 << 1000;
        QTest::addRow("58") << 58 << "正在写入高速输入输出使能标志" << 58 << 13 << 13 << 1000;
        QTest::addRow("59") << 59 << "正在写入输出频率" << 59 << 11 << 11 << 1000;
        QTest::addRow("64") << 64 << "正在写入zigbee配置参数" << 64 << 41 << 41 << 1000;
        QTest::addRow("65") << 65 << "正在进行zigbee通信测试" << 65 << 7 << 9 << 12000;
        QTest::addRow("66") << 66 << "正在读取控制参数" << 75 << 7 << 249 << 10000;
        QTest::addRow("67") << 67 << "正在写入控制参数" << 76 << 249 << 7 << 10000;
        QTest::addRow("68") << 68 << "正在读取SM区数据" << 73 << 7 << 519 << 10000;
        QTest::addRow("69") << 69 << "正在写入SM区数据" << 74 << 519 << 7 << 10000;
        QTest::addRow("70") << 70 << "正在读取转发参数" << 68 << 7 << 495 << 10000;
        QTest::addRow("71") << 71 << "正在写入转发参数" << 69 << 495 << 7 << 10000; // N: builder's
        QTest::addRow("73") << 73 << "正在读取冗余信息" << 70 << 7 << 215 << 10000;
        QTest::addRow("74") << 74 << "正在写入冗余信息" << 71 << 215 << 7 << 10000;
        QTest::addRow("75") << 75 << "正在读取网关信息" << 77 << 7 << 15 << 3000;
        QTest::addRow("76") << 76 << "正在写入网关信息" << 78 << 15 << 7 << 3000;
        QTest::addRow("77") << 77 << "正在读取从设备转发信息" << 66 << 7 << 71 << 3000;
        QTest::addRow("78") << 78 << "正在写入从设备转发信息" << 67 << 71 << 7 << 3000;
        QTest::addRow("80") << 80 << "正在恢复系统默认参数" << 52 << 7 << 7 << 12000;
        QTest::addRow("81") << 81 << "正在恢复选中参数" << 56 << 10 << 7 << 12000;
        QTest::addRow("82") << 82 << "正在读Profibus状态" << 79 << 7 << 8 << 1000;
        QTest::addRow("83") << 83 << "正在写Profibus状态" << 80 << 8 << 8 << 3000;
        QTest::addRow("84") << 84 << "正在进行CAN配置检测" << 88 << 7 << 8 << 3000;
        QTest::addRow("85") << 85 << "正在读取CAN参数配置" << 89 << 7 << 9 << 3000;
        QTest::addRow("86") << 86 << "正在写入CAN参数配置" << 87 << 9 << 9 << 3000;
    }
    void serialRows()
    {
        QFETCH(int, code);
        QFETCH(QString, status);
        QFETCH(int, function);
        QFETCH(int, requestLength);
        QFETCH(int, replyLength);
        QFETCH(int, wait);
        Rig rig(Link::Serial);
        rig.host.packetIndex = 3; // mid-transfer: no port change
        rig.stack().push(qint16(code));
        rig.dispatcher.step();

        QCOMPARE(rig.host.serialFrames.size(), 1);
        const SentFrame sent = rig.host.serialFrames.first();
        QCOMPARE(sent.frame.size(), requestLength);
        QCOMPARE(quint8(sent.frame[0]), quint8(0x55));
        QCOMPARE(quint8(sent.frame[1]), quint8(0x55));
        QCOMPARE(int(quint8(sent.frame[2])), function);
        QCOMPARE(quint8(sent.frame[requestLength - 2]), quint8(0xAA));
        QCOMPARE(quint8(sent.frame[requestLength - 1]), quint8(0xAA));
        QCOMPARE(sent.expectedReplyLength, replyLength);
        QCOMPARE(rig.host.status, status);
        QVERIFY(!rig.timer1.isActive());
        QVERIFY(rig.timer2.isActive());
        QCOMPARE(rig.timer2.interval(), wait);
        QCOMPARE(rig.stack().top(), 0);
        QVERIFY(rig.host.datagrams.isEmpty());
    }

    // Requests the row fixes completely, byte for byte.
    void serialFixedFrames_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("replyLength");
        QTest::addRow("1 system information") << 1 << hex("5555017e80aaaa") << 111;
        QTest::addRow("13 DI/DO") << 13 << hex("55550d7e85aaaa") << 21;
        QTest::addRow("15 tags, fn 21") << 15 << hex("5555157e8faaaa") << 71;
        QTest::addRow("18 clock, fn 19") << 18 << hex("555513fe8daaaa") << 15;
        QTest::addRow("37 MAC") << 37 << hex("5555257e9baaaa") << 13;
        QTest::addRow("40 RAM test") << 40 << hex("555528bf5eaaaa") << 8;
        QTest::addRow("45 upgrade start") << 45 << hex("55552d7f5daaaa") << 7;
        QTest::addRow("55 save") << 55 << hex("555537fe96aaaa") << 7;
        QTest::addRow("56 restore") << 56 << hex("555538be92aaaa") << 7;
        QTest::addRow("57 Zigbee") << 57 << hex("5555397f52aaaa") << 41;
        QTest::addRow("65 Zigbee test") << 65 << hex("5555417f70aaaa") << 9;
        QTest::addRow("66 control, fn 75") << 66 << hex("55554bff77aaaa") << 249;
        QTest::addRow("75 gateway, fn 77") << 75 << hex("55554d7f75aaaa") << 15;
        QTest::addRow("80 defaults, fn 52") << 80 << hex("555534be97aaaa") << 7;
        QTest::addRow("82 Profibus, fn 79") << 82 << hex("55554ffeb4aaaa") << 8;
        QTest::addRow("84 CAN check, fn 88") << 84 << hex("555558bebaaaaa") << 8;
        QTest::addRow("85 CAN read, fn 89") << 85 << hex("5555597f7aaaaa") << 9;
    }
    void serialFixedFrames()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, frame);
        QFETCH(int, replyLength);
        Rig rig(Link::Serial);
        rig.stack().push(qint16(code));
        rig.dispatcher.step();
        QCOMPARE(rig.host.serialFrames.size(), 1);
        QCOMPARE(rig.lastFrame().toHex(' '), frame.toHex(' '));
        QCOMPARE(rig.host.serialFrames.first().expectedReplyLength, replyLength);
    }

    void restoreSelectedCarriesItsMarkers()
    {
        Rig rig(Link::Serial);
        rig.host.builders[Builder::RestoreSelected] = [](BuildContext &c) {
            setByteAt(c.frame, 5, 0x82); // SM area and redundancy
            return BuildOutcome::built();
        };
        rig.stack().push(81);
        rig.dispatcher.step();
        QCOMPARE(rig.lastFrame().toHex(' '), hex("55553855aa82e395aaaa").toHex(' '));
    }

    void lastPushedIsSentFirst()
    {
        Rig rig(Link::Serial);
        rig.stack().push(1);
        rig.stack().push(75);
        rig.stack().push(15);
        for (int i = 0; i < 4; ++i) {
            rig.dispatcher.step();
            rig.reply();
        }
        QList<int> functions;
        for (const SentFrame &sent : rig.host.serialFrames)
            functions << quint8(sent.frame[2]);
        QCOMPARE(functions, (QList<int>{21, 77, 1, 13}));
    }

    void serialIdleWaitsForEachReply()
    {
        Rig rig(Link::Serial);
        for (int i = 0; i < 3; ++i) {
            rig.dispatcher.step();
            QCOMPARE(rig.host.serialFrames.size(), i + 1);
            QCOMPARE(quint8(rig.lastFrame()[2]), quint8(13));
            QCOMPARE(rig.stack().top(), 0);
            QVERIFY(!rig.timer1.isActive());
            QVERIFY(rig.timer2.isActive());
            QCOMPARE(rig.timer2.interval(), 1000);
            rig.reply();
        }
        QCOMPARE(rig.host.status, QStringLiteral("读DI/DO状态"));
    }

    void networkIdleGoesOn()
    {
        Rig rig(Link::Network);
        for (int i = 0; i < 3; ++i) {
            rig.dispatcher.step();
            QVERIFY(rig.timer1.isActive());
            QVERIFY(!rig.timer2.isActive());
            QCOMPARE(rig.timer2.interval(), 777);
            QCOMPARE(rig.stack().top(), 0);
        }
        QCOMPARE(rig.host.datagrams.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QByteArray &d = rig.host.datagrams[i];
            QCOMPARE(d.size(), 16);
            QCOMPARE(field(d, 6), quint16(i + 1)); // read sequence number
            QCOMPARE(field(d, 10), quint16(10003));
            QCOMPARE(field(d, 12), quint16(9));
        }
        QCOMPARE(rig.host.status, QString());
        QVERIFY(rig.timMscon.isActive());
    }

    // Every network row: the request, its block address, type and item
    // count, the status text and whether it waits.
    void networkRows_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("wait"); // -1: go on
        const int rd = 0x0C, wr = 0x0D;
        QTest::addRow("0") << 0 << "" << rd << 10003 << 0 << 0 << 10000;
        QTest::addRow("1") << 1 << "读系统参数" << rd << 10003 << 1 << 0 << -1;
        QTest::addRow("4") << 4 << "正在写入系统参数，请等待" << wr << 10003 << 4 << 0 << 10000;
        QTest::addRow("9") << 9 << "" << rd << 10003 << 9 << 0 << -1;
        QTest::addRow("12") << 12 << "读实时时钟" << rd << 10003 << 5 << 0 << -1;
        QTest::addRow("14") << 14 << "正在写DI/DO状态" << wr << 10003 << 14 << 0 << 2000;
        QTest::addRow("17") << 17 << "写实时时钟" << wr << 10003 << 9 << 0 << -1;
        QTest::addRow("19") << 19 << "" << rd << 10003 << 14 << 5 << -1; // count left at 5
        QTest::addRow("20") << 20 << "正在写从设备信息，请等待" << wr << 10003 << 17 << 0 << 1000;
        QTest::addRow("25") << 25 << "正在读MAC地址" << rd << 10003 << 16 << 0 << -1;
        QTest::addRow("26") << 26 << "正在写MAC地址" << wr << 10003 << 19 << 0 << 2000;
        QTest::addRow("27") << 27 << "正在测试扩展RAM" << rd << 10003 << 18 << 0 << 8000;
        QTest::addRow("32") << 32 << "正在写停止下位机指令运行并清除指令命令" << wr << 10003 << 22
                            << 0 << 3000;
        QTest::addRow("33") << 33 << "正在写禁止灯板自动检测功能" << wr << 10003 << 23 << 5 << 2000;
        QTest::addRow("34") << 34 << "正在启动下位机刷主程序" << wr << 10003 << 0 << 5 << 9000;
        QTest::addRow("35") << 35 << "正在通知下位机主程序大小" << wr << 10003 << 1 << 5 << 3000;
        QTest::addRow("36") << 36 << "正在发送主程序" << wr << 10003 << 2 << 5 << 5000;
        QTest::addRow("63") << 63 << "正在读实时时钟星期" << rd << 107 << 0 << 0 << 3000;
        QTest::addRow("64") << 64 << "正在写实时时钟星期" << wr << 107 << 59 << 0 << 5000;
        QTest::addRow("65") << 65 << "正在恢复选中参数" << wr << 10003 << 28 << 5 << 3000;
        QTest::addRow("66") << 66 << "正在读取控制参数" << rd << 11008 << 0 << 0 << 10000;
        QTest::addRow("67") << 67 << "正在写入控制参数" << wr << 11008 << 0 << 0 << 10000;
        QTest::addRow("68") << 68 << "正在读取SM区信息" << rd << 107 << 0 << 256 << 10000;
        QTest::addRow("69") << 69 << "正在写入SM区信息" << wr << 107 << 257 << 0 << 10000;
        QTest::addRow("70") << 70 << "正在读取转发信息" << rd << 14000 << 4 << 0 << 10000;
        QTest::addRow("71") << 71 << "正在写入转发信息" << wr << 14000 << 6 << 0 << 10000;
        QTest::addRow("73") << 73 << "正在读取冗余信息" << rd << 15000 << 0 << 0 << 10000;
        QTest::addRow("74") << 74 << "正在写入冗余信息" << wr << 15000 << 0 << 0 << 10000;
        QTest::addRow("75") << 75 << "正在读取网关信息" << rd << 14000 << 5 << 0 << 3000;
        QTest::addRow("76") << 76 << "正在写入网关信息" << wr << 14000 << 7 << 0 << 3000;
        QTest::addRow("77") << 77 << "正在读取从设备转发信息" << rd << 14000 << 3 << 0 << 3000;
        QTest::addRow("78") << 78 << "正在写入从设备转发信息" << wr << 14000 << 5 << 0 << 3000;
        QTest::addRow("101") << 101 << "" << rd << 10010 << 2 << 0 << -1;
        QTest::addRow("102") << 102 << "" << wr << 10010 << 1 << 0 << 5000;
        QTest::addRow("176") << 176 << "读取以太网zigbee参数" << rd << 14000 << 1 << 0 << 1000;
        QTest::addRow("177") << 177 << "写入以太网zigbee参数" << wr << 14000 << 1 << 0 << 1000;
    }
    void networkRows()
    {
        QFETCH(int, code);
        QFETCH(QString, status);
        QFETCH(int, kind);
        QFETCH(int, address);
        QFETCH(int, type);
        QFETCH(int, count);
        QFETCH(int, wait);
        Rig rig(Link::Network);
        rig.host.packetIndex = 3;
        rig.dispatcher.sendState().itemCount = 5; // what a caller left behind
        rig.dispatcher.sendState().writePayload = hex("0102");
        rig.stack().push(qint16(code));
        rig.dispatcher.step();

        QCOMPARE(rig.host.datagrams.size(), 1);
        const QByteArray d = rig.host.datagrams.first();
        QCOMPARE(int(quint8(d[0])), kind);
        const int payloadOffset = address == 107 ? 16 : 18;
        QCOMPARE(d.size(), kind == 0x0C ? 16 : payloadOffset + 2);
        QCOMPARE(int(field(d, 4)), int(d.size()));
        QCOMPARE(field(d, 6), quint16(1));
        QCOMPARE(int(field(d, 10)), address);
        QCOMPARE(int(field(d, 12)), type);
        QCOMPARE(int(field(d, 14)), count);
        QCOMPARE(rig.host.status, status);
        QCOMPARE(rig.stack().top(), 0);
        QVERIFY(rig.timMscon.isActive());
        QVERIFY(rig.host.serialFrames.isEmpty());
        if (wait < 0) {
            QVERIFY(rig.timer1.isActive());
            QVERIFY(!rig.timer2.isActive());
            QCOMPARE(rig.timer2.interval(), 777);
        } else {
            QVERIFY(!rig.timer1.isActive());
            QVERIFY(rig.timer2.isActive());
            QCOMPARE(rig.timer2.interval(), wait);
        }
    }

    void networkFixedRequests_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("datagram");
        // Read, block 10003 = 0x2713, type 1, sequence 1.
        QTest::addRow("1 system parameters")
            << 1 << QByteArray() << hex("0c000000100001000000132701000000");
        // Read, block 107, item count 256.
        QTest::addRow("68 SM area")
            << 68 << QByteArray() << hex("0c0000001000010000006b0000000001");
        // Write to block 107: no reserved word, L = 16 + 2.
        QTest::addRow("64 week day")
            << 64 << hex("0300") << hex("0d0000001200010000006b003b0000000300");
        // Write elsewhere: reserved word, L = 18 + 6.
        QTest::addRow("26 MAC") << 26 << hex("0a0b0c0d0e0f")
                                << hex("0d00000018000100000013271300000000000a0b0c0d0e0f");
    }
    void networkFixedRequests()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, datagram);
        Rig rig(Link::Network);
        rig.host.builders[Builder::WeekdayWrite] =
            rig.host.builders[Builder::MacWrite] = [payload](BuildContext &c) {
                c.send.writePayload = payload;
                return BuildOutcome::built();
            };
        rig.stack().push(qint16(code));
        rig.dispatcher.step();
        QCOMPARE(rig.host.datagrams.size(), 1);
        QCOMPARE(rig.host.datagrams.first().toHex(' '), datagram.toHex(' '));
    }

    void networkDefaultsSendNothing()
    {
        Rig rig(Link::Network);
        rig.host.status = QStringLiteral("old");
        rig.stack().push(200);
        rig.dispatcher.step();
        QVERIFY(rig.host.datagrams.isEmpty());
        QVERIFY(rig.host.serialFrames.isEmpty());
        QCOMPARE(rig.stack().top(), 0);
        // Said, not passed over in silence.
        QCOMPARE(rig.host.status, QStringLiteral("无此功能号"));
        QVERIFY(rig.timer1.isActive());
        QVERIFY(!rig.timer2.isActive());
    }

    void codeWithoutRow_data()
    {
        QTest::addColumn<bool>("serial");
        QTest::addColumn<int>("code");
        QTest::addRow("serial 12, network only") << true << 12;
        QTest::addRow("serial 9") << true << 9;
        QTest::addRow("serial 200") << true << 200;
        QTest::addRow("serial 102") << true << 102;
        QTest::addRow("network 55") << false << 55;
        QTest::addRow("network 56") << false << 56;
        QTest::addRow("network 58") << false << 58;
        QTest::addRow("network 82") << false << 82;
        QTest::addRow("network 13") << false << 13;
        QTest::addRow("network 86") << false << 86;
    }
    void codeWithoutRow()
    {
        QFETCH(bool, serial);
        QFETCH(int, code);
        Rig rig(serial ? Link::Serial : Link::Network);
        rig.stack().push(qint16(code));
        rig.dispatcher.step();
        QCOMPARE(rig.host.status, QStringLiteral("无此功能号"));
        QVERIFY(rig.host.serialFrames.isEmpty());
        QVERIFY(rig.host.datagrams.isEmpty());
        QCOMPARE(rig.stack().top(), 0);
        QVERIFY(rig.timer1.isActive());
        QVERIFY(!rig.timer2.isActive());
    }

    void neitherLinkOnlyPops()
    {
        Rig rig(Link::None);
        rig.host.status = QStringLiteral("old");
        rig.stack().push(1);
        rig.stack().push(18);
        rig.dispatcher.step();
        QCOMPARE(rig.stack().top(), 1);
        rig.dispatcher.step();
        rig.dispatcher.step();
        QCOMPARE(rig.stack().top(), 0);
        QVERIFY(rig.host.serialFrames.isEmpty());
        QVERIFY(rig.host.datagrams.isEmpty());
        QVERIFY(rig.host.builderCalls.isEmpty());
        QCOMPARE(rig.host.status, QString());
        QVERIFY(rig.timer1.isActive());
    }

    void serialSlaveReadsAdvance()
    {
        Rig rig(Link::Serial);
        for (int i = 0; i < 3; ++i)
            rig.stack().push(32);
        for (int i = 0; i < 3; ++i) {
            rig.dispatcher.step();
            rig.reply();
        }
        QCOMPARE(rig.host.serialFrames.size(), 3);
        QCOMPARE(rig.host.serialFrames[0].frame.toHex(' '), hex("5555200001b1caaaaa").toHex(' '));
        QCOMPARE(rig.host.serialFrames[1].frame.toHex(' '), hex("5555200101b05aaaaa").toHex(' '));
        QCOMPARE(rig.host.serialFrames[2].frame.toHex(' '), hex("5555200201b0aaaaaa").toHex(' '));
        QCOMPARE(rig.dispatcher.sendState().itemCount, 3);
    }

    void networkSlaveReadsAdvance()
    {
        Rig rig(Link::Network);
        rig.dispatcher.sendState().itemCount = 256;
        rig.stack().push(19);
        rig.stack().push(19);
        rig.dispatcher.step();
        rig.dispatcher.step();
        QCOMPARE(field(rig.host.datagrams[0], 14), quint16(256));
        QCOMPARE(field(rig.host.datagrams[1], 14), quint16(257));
        QCOMPARE(rig.dispatcher.sendState().itemCount, 258);
    }

    void pendingSlaveWritesRepeat_data()
    {
        QTest::addColumn<bool>("serial");
        QTest::newRow("serial 33") << true;
        QTest::newRow("network 20") << false;
    }
    void pendingSlaveWritesRepeat()
    {
        QFETCH(bool, serial);
        Rig rig(serial ? Link::Serial : Link::Network);
        rig.host.pending[3] = true;
        rig.host.pending[9] = true;
        rig.stack().push(serial ? 33 : 20);
        int writes = 0;
        for (int i = 0; i < 5 && rig.stack().top() > 0; ++i) {
            rig.dispatcher.step();
            ++writes;
            // Each reply clears one pending row.
            if (rig.host.pending[3])
                rig.host.pending[3] = false;
            else
                rig.host.pending[9] = false;
            rig.reply();
        }
        QCOMPARE(writes, 3);
        QCOMPARE(rig.host.slaveDialogEnables, 3);
        QCOMPARE(rig.host.serialFrames.size() + rig.host.datagrams.size(), 3);
        QCOMPARE(rig.stack().top(), 0);
    }

    void lightBoardTextFollowsItemCount_data()
    {
        QTest::addColumn<bool>("serial");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("status");
        QTest::newRow("serial on") << true << 1 << "正在写使能灯板自动检测功能";
        QTest::newRow("serial off") << true << 0 << "正在写禁止灯板自动检测功能";
        QTest::newRow("network on") << false << 1 << "正在写使能灯板自动检测功能";
        QTest::newRow("network off") << false << 0 << "正在写禁止灯板自动检测功能";
    }
    void lightBoardTextFollowsItemCount()
    {
        QFETCH(bool, serial);
        QFETCH(int, count);
        QFETCH(QString, status);
        Rig rig(serial ? Link::Serial : Link::Network);
        rig.dispatcher.sendState().itemCount = count;
        rig.stack().push(serial ? 44 : 33);
        rig.dispatcher.step();
        QCOMPARE(rig.host.status, status);
        if (!serial) QCOMPARE(int(field(rig.host.datagrams.first(), 14)), count);
    }

    void systemParameterWriteShowsTwoTexts()
    {
        Rig rig(Link::Network);
        rig.stack().push(4);
        rig.dispatcher.step();
        QCOMPARE(rig.host.statusHistory, (QStringList{QString(), QStringLiteral("置系统参数"),
                                                      QStringLiteral("正在写入系统参数，请等待")}));
    }

    void receiveTimeouts_data()
    {
        QTest::addColumn<bool>("serial");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("interval");
        QTest::newRow("serial fn 4") << true << 4 << 5000;
        QTest::newRow("serial RAM test") << true << 40 << 8000;
        QTest::newRow("serial fn 1 keeps it") << true << 1 << 1234;
        QTest::newRow("network write type 4") << false << 4 << 10000;
        QTest::newRow("network RAM test") << false << 27 << 8000;
        QTest::newRow("network upgrade start") << false << 34 << 10000;
        QTest::newRow("network write type 14 keeps it") << false << 14 << 1234;
        QTest::newRow("network read keeps it") << false << 1 << 1234;
    }
    void receiveTimeouts()
    {
        QFETCH(bool, serial);
        QFETCH(int, code);
        QFETCH(int, interval);
        Rig rig(serial ? Link::Serial : Link::Network);
        rig.timMscon.setInterval(1234);
        rig.stack().push(qint16(code));
        rig.dispatcher.step();
        QCOMPARE(rig.timMscon.interval(), interval);
    }

    void ramTestStartsProgress_data()
    {
        QTest::addColumn<bool>("serial");
        QTest::newRow("serial 40") << true;
        QTest::newRow("network 27") << false;
    }
    void ramTestStartsProgress()
    {
        QFETCH(bool, serial);
        Rig rig(serial ? Link::Serial : Link::Network);
        rig.stack().push(serial ? 40 : 27);
        rig.dispatcher.step();
        QVERIFY(rig.host.events.contains(QStringLiteral("progress 9 1")));
        QCOMPARE(rig.host.progress.label, QStringLiteral("0%"));
        QCOMPARE(rig.timer2.interval(), 8000);
    }

    void serialUpgradeSequence()
    {
        Rig rig(Link::Serial);
        // Two packets: progress Max = 2 + 3, then start, size, two packets.
        rig.host.progress.start(5);
        const qint16 run[] = {47, 47, 46, 45};
        rig.stack().replacePending(run);

        rig.dispatcher.step(); // 45
        QCOMPARE(rig.dispatcher.upgradeFlag(), qint16(1));
        QVERIFY(!rig.host.upgradeButtonEnabled);
        QCOMPARE(rig.host.progress.value, 2);
        QCOMPARE(rig.timer2.interval(), 10000);
        rig.dispatcher.setUpgradeFlag(0);
        rig.reply();

        rig.dispatcher.step(); // 46
        QCOMPARE(rig.timer1.interval(), 500);
        QCOMPARE(rig.host.portSettings, kNormalPortSettings);
        rig.reply();

        rig.host.events.clear();
        rig.dispatcher.step(); // 47, packet 0: the port goes fast first
        QCOMPARE(rig.host.events.first(), QStringLiteral("reopen 115200,N,8,1"));
        QCOMPARE(rig.host.events.last(), QStringLiteral("serial 55 55 2f"));
        QCOMPARE(rig.timer1.interval(), 10);
        QCOMPARE(rig.lastFrame().size(), 519);
        QVERIFY(!rig.host.upgradeButtonEnabled);
        rig.reply();

        rig.host.events.clear();
        rig.dispatcher.step(); // 47, packet 1: already fast
        QVERIFY(!rig.host.events.join(u'|').contains(QStringLiteral("reopen")));
        QCOMPARE(rig.host.progress.value, 5);
        // The button returns with the last packet's acknowledgement, not its sending.
        QVERIFY(!rig.host.upgradeButtonEnabled);
        QCOMPARE(rig.dispatcher.upgradeFlag(), qint16(1));
        QCOMPARE(rig.stack().top(), 0);
    }

    void networkUpgradeSteps()
    {
        Rig rig(Link::Network);
        rig.host.progress.start(4);
        rig.host.builders[Builder::UpgradeStart] = [](BuildContext &c) {
            c.send.writePayload = QByteArray(1, '\0');
            c.send.itemCount = 1;
            return BuildOutcome::built();
        };
        const qint16 run[] = {36, 35, 34};
        rig.stack().replacePending(run);

        rig.dispatcher.step(); // 34
        QCOMPARE(rig.host.datagrams.last().toHex(' '),
                 hex("0d000000130001000000132700000100000000").toHex(' '));
        QCOMPARE(rig.timer2.interval(), 9000);
        QCOMPARE(rig.timMscon.interval(), 10000);
        QVERIFY(!rig.host.upgradeButtonEnabled);
        rig.reply();
        rig.dispatcher.step(); // 35
        QCOMPARE(rig.timer1.interval(), 10);
        QCOMPARE(rig.timer2.interval(), 3000);
        rig.reply();
        rig.dispatcher.step(); // 36
        QCOMPARE(rig.timer2.interval(), 5000);
        QVERIFY(!rig.host.upgradeButtonEnabled);
        QVERIFY(!rig.host.events.join(u'|').contains(QStringLiteral("reopen")));
        QCOMPARE(rig.dispatcher.upgradeFlag(), qint16(1));
    }

    void plainTimeOut()
    {
        Rig rig(Link::Serial);
        rig.stack().push(1);
        rig.stack().push(18);
        rig.dispatcher.step();
        QVERIFY(rig.timer2.isActive());
        rig.dispatcher.commandTimedOut();
        QCOMPARE(rig.host.status, QStringLiteral("通讯超时"));
        QVERIFY(rig.timer1.isActive());
        QVERIFY(!rig.timer2.isActive());
        // The command is not sent again: the next one is.
        QCOMPARE(rig.stack().top(), 1);
        rig.dispatcher.step();
        QCOMPARE(quint8(rig.lastFrame()[2]), quint8(1));
    }

    void upgradeTimeOutAbandonsTheUpgrade()
    {
        Rig rig(Link::Serial);
        rig.host.progress.start(7);
        const qint16 run[] = {47, 47, 47, 47, 46, 45};
        rig.stack().replacePending(run);
        for (int i = 0; i < 4; ++i) { // start, size, packets 0 and 1
            rig.dispatcher.step();
            rig.reply();
        }
        rig.dispatcher.step(); // packet 2 gets no reply
        QCOMPARE(rig.host.portSettings, kUpgradePortSettings);
        rig.host.events.clear();
        const int framesBefore = int(rig.host.serialFrames.size());

        rig.dispatcher.commandTimedOut();
        QCOMPARE(rig.host.status, QStringLiteral("系统升级超时"));
        QCOMPARE(
            rig.host.events,
            (QStringList{QStringLiteral("message 通讯超时，系统升级失败！"),
                         QStringLiteral("empty packets"), QStringLiteral("hide progress"),
                         QStringLiteral("reset counters"), QStringLiteral("settings 9600,N,8,1")}));
        QVERIFY(!rig.host.timer2ActiveAtMessage);
        QCOMPARE(rig.dispatcher.upgradeFlag(), qint16(0));
        QVERIFY(!rig.host.progress.visible);
        QCOMPARE(rig.timer1.interval(), 300);
        QCOMPARE(rig.stack().top(), 0);
        QVERIFY(rig.host.upgradeButtonEnabled);
        QVERIFY(rig.timer1.isActive());
        QVERIFY(!rig.timer2.isActive());

        // The dispatcher goes back to the idle read; no further packet.
        rig.dispatcher.step();
        QCOMPARE(rig.host.serialFrames.size(), framesBefore + 1);
        QCOMPARE(quint8(rig.lastFrame()[2]), quint8(13));
    }

    void failingStepIsLoggedOnceAndPopped()
    {
        Rig rig(Link::Serial);
        rig.host.builders[Builder::ClockWrite] = [](BuildContext &c) -> BuildOutcome {
            setByteAt(c.frame, 20, 1); // beyond the 15-byte frame
            return BuildOutcome::built();
        };
        rig.stack().push(1);
        rig.stack().push(19);
        rig.dispatcher.step();
        QVERIFY(rig.host.serialFrames.isEmpty());
        QCOMPARE(rig.stack().top(), 1);
        QVERIFY(rig.timer1.isActive());
        rig.dispatcher.step();
        rig.reply();
        rig.dispatcher.step();

        QFile log(QStringLiteral("TAVG501ErrorLog.ini"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        QCOMPARE(lines.size(), 2); // one line and the empty rest after its CR LF
        QVERIFY(lines[0].contains("\"Timer1_Timer(Form1)\""));
        QVERIFY(lines[0].contains("\"\xCF\xC2\xB1\xEA\xD4\xBD\xBD\xE7\"")); // 下标越界
        QCOMPARE(rig.host.builderCalls.count(Builder::ClockWrite), 1);
        QCOMPARE(rig.host.serialFrames.size(), 2); // 1, then the idle read
    }

    void failingSendIsPopped()
    {
        Rig rig(Link::Network);
        rig.host.builders[Builder::MacWrite] = [](BuildContext &) -> BuildOutcome {
            throw ProcedureError(typeMismatchText());
        };
        rig.stack().push(26);
        rig.dispatcher.step();
        QCOMPARE(rig.stack().top(), 0);
        QVERIFY(rig.host.datagrams.isEmpty());
        QVERIFY(QFile::exists(QStringLiteral("TAVG501ErrorLog.ini")));
    }

    // A failure inside SendCommand, ReadCmd or WriteCmd is logged under the
    // routine's own label; nothing goes out and a waiting command ends by its
    // time-out.
    void failingSendRoutineIsLoggedUnderItsLabel_data()
    {
        QTest::addColumn<bool>("serial");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("label");
        QTest::addColumn<bool>("waits");
        QTest::newRow("serial clock write, frame cut to 5 bytes")
            << true << 19 << QByteArray("\"SendCommand(Form1)\"") << true;
        QTest::newRow("network MAC write")
            << false << 26 << QByteArray("\"WriteCmd(Form1)\"") << true;
        QTest::newRow("network system read")
            << false << 1 << QByteArray("\"ReadCmd(Form1)\"") << false;
    }
    void failingSendRoutineIsLoggedUnderItsLabel()
    {
        QFETCH(bool, serial);
        QFETCH(int, code);
        QFETCH(QByteArray, label);
        QFETCH(bool, waits);
        Rig rig(serial ? Link::Serial : Link::Network);
        rig.host.builders[Builder::ClockWrite] = [](BuildContext &c) {
            c.frame.resize(5);
            return BuildOutcome::built();
        };
        rig.host.failDatagrams = true;
        rig.stack().push(qint16(code));
        rig.dispatcher.step();
        QVERIFY(rig.host.serialFrames.isEmpty());
        QVERIFY(rig.host.datagrams.isEmpty());
        QCOMPARE(rig.stack().top(), 0);
        QCOMPARE(rig.timer2.isActive(), waits);
        QFile log(QStringLiteral("TAVG501ErrorLog.ini"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QCOMPARE(text.count("\r\n"), 1);
        QVERIFY(text.contains(label));
    }

    void stopEndsAnUpgrade()
    {
        Rig rig(Link::Serial);
        rig.stack().push(46);
        rig.dispatcher.step();
        QCOMPARE(rig.dispatcher.upgradeFlag(), qint16(1));
        rig.dispatcher.stop();
        QCOMPARE(rig.dispatcher.upgradeFlag(), qint16(0));
        rig.dispatcher.commandTimedOut();
        QCOMPARE(rig.host.status, QStringLiteral("通讯超时"));
    }

    void formatErrorIsShownAtOnce_data()
    {
        QTest::addColumn<bool>("serial");
        QTest::newRow("serial 76") << true;
        QTest::newRow("network 76") << false;
    }
    void formatErrorIsShownAtOnce()
    {
        QFETCH(bool, serial);
        Rig rig(serial ? Link::Serial : Link::Network);
        rig.host.builders[Builder::GatewayWrite] = [](BuildContext &) {
            return BuildOutcome::formatError(
                QStringLiteral("网关"), QStringLiteral("WriteGateway(Form1)"), typeMismatchText());
        };
        rig.stack().push(1);
        rig.stack().push(76);
        rig.dispatcher.step();
        QCOMPARE(rig.host.status, QStringLiteral("数据格式错误：网关"));
        QVERIFY(rig.host.serialFrames.isEmpty());
        QVERIFY(rig.host.datagrams.isEmpty());
        QCOMPARE(rig.stack().top(), 1);
        QVERIFY(rig.timer1.isActive());
        QVERIFY(!rig.timer2.isActive());
        QFile log(QStringLiteral("TAVG501ErrorLog.ini"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QCOMPARE(text.count("\r\n"), 1);
        QVERIFY(text.contains("\"WriteGateway(Form1)\""));
    }

    void missingBuilderIsNoSuchCommand()
    {
        Rig rig(Link::Serial);
        rig.host.builders[Builder::CanWrite] = [](BuildContext &) {
            return BuildOutcome::notAvailable();
        };
        rig.stack().push(86);
        rig.dispatcher.step();
        QCOMPARE(rig.host.status, QStringLiteral("无此功能号"));
        QVERIFY(rig.host.serialFrames.isEmpty());
        QCOMPARE(rig.stack().top(), 0);
        QVERIFY(rig.timer1.isActive());
    }

    void restartAfterDelay()
    {
        Rig rig(Link::Network);
        rig.timer1.stop();
        rig.timer2.start();
        rig.sleepTimer.start(3000);
        rig.timCheckDevice.start(10000);
        rig.dispatcher.restartAfterDelay();
        QVERIFY(rig.timer1.isActive());
        QVERIFY(!rig.timer2.isActive());
        QVERIFY(!rig.sleepTimer.isActive());
        QVERIFY(rig.timCheckDevice.isActive());
        QCOMPARE(rig.timCheckDevice.interval(), 5000);
    }

    void pauseAndResume()
    {
        Rig rig(Link::Serial);
        rig.dispatcher.setPaused(true);
        QVERIFY(!rig.timer1.isActive());
        rig.dispatcher.setPaused(false);
        QVERIFY(rig.timer1.isActive());
    }

    void stopEmptiesTheStack()
    {
        Rig rig(Link::Serial);
        rig.stack().loadSerialStart();
        rig.dispatcher.step();
        rig.timCheckDevice.start();
        rig.dispatcher.stop();
        QVERIFY(!rig.timer1.isActive());
        QVERIFY(!rig.timer2.isActive());
        QVERIFY(!rig.timMscon.isActive());
        QVERIFY(!rig.timCheckDevice.isActive());
        QCOMPARE(rig.stack().top(), 0);
        QCOMPARE(rig.stack().current(), qint16(13));
    }

private:
    std::unique_ptr<ScratchWorkingDir> m_dir;
};

QTEST_GUILESS_MAIN(TestDispatcher)
#include "test_dispatcher.moc"
