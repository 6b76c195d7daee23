// The maintenance commands against the virtual controller on both links:
// each button's request, its confirmation answered both ways, what the device
// carried out, the status texts, the RAM lamps, the high-speed frames by model
// and firmware, the high-speed frame on the network, and the character time
// that follows a port's baud rate.
#include "app/form1.h"
#include "features/common/lamp.h"
#include "support/hex.h"
#include "support/network_rig.h"
#include "support/serial_rig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace kalmo;
using rig::control;

namespace {

// One link with the controller behind it, connected and idle.
struct Connected
{
    std::unique_ptr<rig::SerialRig> serial;
    std::unique_ptr<rig::NetworkRig> network;

    explicit Connected(bool onNetwork, const sim::DeviceProfile &profile = {})
    {
        if (onNetwork) {
            network = std::make_unique<rig::NetworkRig>(profile);
            return;
        }
        serial = std::make_unique<rig::SerialRig>(profile);
        serial->w->StartRun_Click();
        QVERIFY(serial->runToIdle());
    }
    Form1 &w() const { return network ? *network->w : *serial->w; }
    sim::VirtualController &device() const
    {
        return network ? network->controller : serial->controller;
    }
    QStringList &received() const { return device().state().maintenance.received; }
    // One dispatcher step: the request it sent, answered.
    QByteArray step()
    {
        const QByteArray request = network ? network->tick() : serial->step();
        if (request.isEmpty()) return request;
        if (network)
            network->answer(request);
        else
            serial->answer(request);
        return request;
    }
};

// A datagram with its sequence number (bytes 6 and 7) zeroed.
QByteArray withoutSequence(QByteArray datagram)
{
    if (datagram.size() >= 8) datagram[6] = datagram[7] = '\0';
    return datagram;
}

} // namespace

class TestMaintenance : public QObject
{
    Q_OBJECT
private slots:
    void buttons_data();
    void buttons();
    void highSpeedFrames_data();
    void highSpeedFrames();
    void highSpeedOffOnNetwork();
    void negativeFrequencyRefused();
    void characterTime_data();
    void characterTime();
};

void TestMaintenance::buttons_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QList<int>>("checked"); // Check_SysParam boxes; empty: all, as at start
    QTest::addColumn<QString>("question");
    QTest::addColumn<QByteArray>("request"); // network: sequence number zeroed
    QTest::addColumn<QString>("sending");
    QTest::addColumn<QString>("done"); // what the device carried out
    QTest::addColumn<QString>("outcome");
    const QList<int> all;
    const QList<int> smAndRedundancy{1, 7};
    const QString resume = QStringLiteral("是否确定要恢复默认参数？");
    const QString defaults = QStringLiteral("确定要恢复默认参数");
    const QString selected = QStringLiteral("确定要恢复选中参数");
    const QString none;

    QTest::newRow("RAM test") << false << "bt_CheckRAM" << true << all << none
                              << hex("5555 28 bf5e aaaa") << "正在测试扩展RAM"
                              << "RAM test"
                              << "读测试扩展RAM结束";
    QTest::newRow("light board on") << false << "cmdCheckLight" << true << all << none
                                    << hex("5555 2c 01 dcb0 aaaa") << "正在写使能灯板自动检测功能"
                                    << "light board on"
                                    << "灯板自动检测通信成功";
    QTest::newRow("light board off") << false << "cmdStopCheck" << true << all << none
                                     << hex("5555 2c 00 1d70 aaaa") << "正在写禁止灯板自动检测功能"
                                     << "light board off"
                                     << "灯板自动检测通信成功";
    QTest::newRow("stop and clear")
        << false << "cmdClearCode" << true << all << none << hex("5555 2b ff5f aaaa")
        << "正在写停止下位机运行并清除下位机指令命令"
        << "stop and clear"
        << "写停止下位机运行并清空下位机程序命令成功";
    QTest::newRow("save") << false << "Command_STORE" << true << all << none
                          << hex("5555 37 fe96 aaaa") << ""
                          << "save"
                          << "保存参数成功";
    QTest::newRow("restore, yes") << false << "Command_Resume" << true << all << resume
                                  << hex("5555 38 be92 aaaa") << ""
                                  << "restore"
                                  << "恢复参数成功";
    QTest::newRow("restore, no") << false << "Command_Resume" << false << all << resume
                                 << QByteArray() << ""
                                 << ""
                                 << "";
    QTest::newRow("defaults, OK") << false << "Cmd_DefaultParam" << true << all << defaults
                                  << hex("5555 34 be97 aaaa") << "正在恢复系统默认参数"
                                  << "restore defaults"
                                  << "恢复默认参数成功";
    QTest::newRow("defaults, cancel")
        << false << "Cmd_DefaultParam" << false << all << defaults << QByteArray() << ""
        << ""
        << "";
    QTest::newRow("selected 1 and 7, OK")
        << false << "Cmd_ResumeParam" << true << smAndRedundancy << selected
        << hex("5555 38 55aa82 e395 aaaa") << "正在恢复选中参数"
        << "restore selected with 0x82"
        << "恢复参数成功";
    QTest::newRow("selected all, OK") << false << "Cmd_ResumeParam" << true << all << selected
                                      << hex("5555 38 55aaff 23b4 aaaa") << "正在恢复选中参数"
                                      << "restore selected with 0xFF"
                                      << "恢复参数成功";
    QTest::newRow("selected, cancel")
        << false << "Cmd_ResumeParam" << false << smAndRedundancy << selected << QByteArray() << ""
        << ""
        << "";
    QTest::newRow("output frequencies") << false << "Cmd_WritePre" << true << all << none
                                        << hex("5555 3b 03e8 07d0 4219 aaaa") << "正在写入输出频率"
                                        << "output frequencies 1000 2000"
                                        << "写输出频率成功";
    QTest::newRow("Profibus read") << false << "btRProfibus" << true << all << none
                                   << hex("5555 4f feb4 aaaa") << "正在读Profibus状态"
                                   << ""
                                   << "读Profibus成功";
    QTest::newRow("Profibus on") << false << "ckProfibus" << true << all << none
                                 << hex("5555 50 01 fc70 aaaa") << "正在写Profibus状态"
                                 << "Profibus on"
                                 << "写Profibus成功";

    // Block 10003 (13 27); write requests carry two zero bytes after the item count.
    QTest::newRow("net RAM test") << true << "bt_CheckRAM" << true << all << none
                                  << hex("0c000000 1000 0000 0000 1327 1200 0000")
                                  << "正在测试扩展RAM"
                                  << "RAM test"
                                  << "测试RAM结束";
    QTest::newRow("net light board on")
        << true << "cmdCheckLight" << true << all << none
        << hex("0d000000 1200 0000 0000 1327 1700 0100 0000") << "正在写使能灯板自动检测功能"
        << "light board on"
        << "灯板检测通信成功";
    QTest::newRow("net light board off")
        << true << "cmdStopCheck" << true << all << none
        << hex("0d000000 1200 0000 0000 1327 1700 0000 0000") << "正在写禁止灯板自动检测功能"
        << "light board off"
        << "灯板检测通信成功";
    QTest::newRow("net stop and clear") << true << "cmdClearCode" << true << all << none
                                        << hex("0d000000 1200 0000 0000 1327 1600 0000 0000")
                                        << "正在写停止下位机指令运行并清除指令命令"
                                        << "stop and clear"
                                        << "写停止下位机运行并清除下位机命令成功";
    // Save, restore and defaults have no request on the network.
    QTest::newRow("net save") << true << "Command_STORE" << true << all << none << QByteArray()
                              << "无此功能号"
                              << ""
                              << "";
    QTest::newRow("net restore, yes")
        << true << "Command_Resume" << true << all << resume << QByteArray() << "无此功能号"
        << ""
        << "";
    QTest::newRow("net restore, no")
        << true << "Command_Resume" << false << all << resume << QByteArray() << ""
        << ""
        << "";
    QTest::newRow("net defaults, OK")
        << true << "Cmd_DefaultParam" << true << all << defaults << QByteArray() << "无此功能号"
        << ""
        << "";
    QTest::newRow("net defaults, cancel")
        << true << "Cmd_DefaultParam" << false << all << defaults << QByteArray() << ""
        << ""
        << "";
    QTest::newRow("net selected 1 and 7, OK")
        << true << "Cmd_ResumeParam" << true << smAndRedundancy << selected
        << hex("0d000000 1200 0000 0000 1327 1c00 8200 0000") << "正在恢复选中参数"
        << "restore selected with 0x82"
        << "恢复选中参数成功";
    QTest::newRow("net selected, cancel")
        << true << "Cmd_ResumeParam" << false << all << selected << QByteArray() << ""
        << ""
        << "";
}

void TestMaintenance::buttons()
{
    QFETCH(bool, network);
    QFETCH(QString, button);
    QFETCH(bool, yes);
    QFETCH(QList<int>, checked);
    QFETCH(QString, question);
    QFETCH(QByteArray, request);
    QFETCH(QString, sending);
    QFETCH(QString, done);
    QFETCH(QString, outcome);
    Connected link(network);
    Form1 &w = link.w();
    link.device().state().maintenance.ramTestResult = 0x05; // areas 0 and 2 failed
    link.received().clear();
    if (!checked.isEmpty())
        for (int i = 0; i < 8; ++i)
            control<QCheckBox>(w, QStringLiteral("Check_SysParam_%1").arg(i))
                ->setChecked(checked.contains(i));
    control<QLineEdit>(w, "Text5_2")->setText("1000");
    control<QLineEdit>(w, "Text5_3")->setText("2000");
    QList<MessageBoxRequest> asked;
    w.askQuestion = [&](const MessageBoxRequest &q) {
        asked << q;
        return yes;
    };

    control<QAbstractButton>(w, button)->click();

    QCOMPARE(asked.size(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty()) {
        QCOMPARE(asked[0].text, question);
        const bool yesNo = button == QStringLiteral("Command_Resume");
        QCOMPARE(asked[0].buttons, yesNo ? QMessageBox::Yes | QMessageBox::No
                                         : QMessageBox::Ok | QMessageBox::Cancel);
        if (yesNo) QCOMPARE(asked[0].title, QStringLiteral("提示"));
    }
    QCOMPARE(w.dispatcher().stack().top(), yes ? 1 : 0);
    if (!yes) return;

    const QByteArray sent = link.step();
    QCOMPARE(network ? withoutSequence(sent) : sent, request);
    QCOMPARE(w.dispatcher().stack().top(), 0);
    QCOMPARE(link.received(), done.isEmpty() ? QStringList() : QStringList{done});
    if (request.isEmpty()) {
        QCOMPARE(w.Text2->text(), sending);
        return;
    }
    QCOMPARE(w.Text2->text(), outcome);
    QVERIFY(!w.session().Timer2->isActive());
    if (button == QStringLiteral("bt_CheckRAM"))
        for (int i = 0; i < 8; ++i)
            QCOMPARE(control<Lamp>(w, QStringLiteral("ram_sap_%1").arg(i))->color(),
                     i == 0 || i == 2 ? QColor(255, 0, 0) : QColor(0, 255, 0));
}

void TestMaintenance::highSpeedFrames_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QByteArray>("request"); // Q0.0 switched on
    QTest::addColumn<QString>("done");
    const QByteArray four = hex("5555 3a 00000100 fd95 aaaa");
    const QByteArray six = hex("5555 3a 000000000100 8093 aaaa");
    const QString fourDone = QStringLiteral("high-speed I/O DI22=0 DI23=0 Q0.0=1 Q0.1=0");
    const QString sixDone =
        QStringLiteral("high-speed I/O DI22=0 DI23=0 DI21=0 DI20=0 Q0.0=1 Q0.1=0");
    QTest::newRow("KVRQ101 0x2529") << 8 << 0x2529 << four << fourDone;
    QTest::newRow("KVRQ101 0x2530") << 8 << 0x2530 << six << sixDone;
    QTest::newRow("LTNQ101 0x1101") << 10 << 0x1101 << four << fourDone;
    QTest::newRow("KVRQ103 0x2529") << 4 << 0x2529 << six << sixDone;
}

void TestMaintenance::highSpeedFrames()
{
    QFETCH(int, type);
    QFETCH(int, firmware);
    QFETCH(QByteArray, request);
    QFETCH(QString, done);
    sim::DeviceProfile profile;
    profile.deviceType = quint8(type);
    profile.firmwareVersion = quint16(firmware);
    Connected link(false, profile);
    Form1 &w = link.w();
    link.received().clear();
    auto *q00 = control<QCheckBox>(w, "Check_InAndOut_2");

    q00->click();
    QCOMPARE(q00->text(), QStringLiteral("停止Q0.0高速输出"));
    QCOMPARE(link.step(), request);
    QCOMPARE(w.Text2->text(), QStringLiteral("写输入输出使能标志成功"));
    QCOMPARE(link.received(), QStringList{done});

    q00->click();
    QCOMPARE(q00->text(), QStringLiteral("启动Q0.0高速输出"));
    QCOMPARE(link.step().size(), request.size());
    QCOMPARE(link.device().state().highSpeedIo.q00, quint8(0));
}

void TestMaintenance::highSpeedOffOnNetwork()
{
    // On the network the flags and frequencies have no request: the frame
    // is disabled, and comes back with the serial link.
    Connected link(true);
    Form1 &w = link.w();
    const QStringList names{"Check_InAndOut_0", "Check_InAndOut_4", "Check_InAndOut_5",
                            "Cmd_WritePre"};
    for (const QString &name : names)
        QVERIFY(!control(w, name)->isEnabled());
    w.optComm[0]->setChecked(true);
    w.optComm_Click(0);
    for (const QString &name : names)
        QVERIFY(control(w, name)->isEnabled());
}

void TestMaintenance::negativeFrequencyRefused()
{
    // A frequency that does not fit 16 bits sends nothing and names its box.
    Connected link(false);
    Form1 &w = link.w();
    control<QLineEdit>(w, "Text5_2")->setText("-5");
    control<QAbstractButton>(w, "Cmd_WritePre")->click();
    QCOMPARE(link.step(), QByteArray());
    QCOMPARE(w.Text2->text(), QStringLiteral("数据格式错误：Q0.0 输出频率"));
    QCOMPARE(w.dispatcher().stack().top(), 0);
}

void TestMaintenance::characterTime_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("time");
    QTest::newRow("1200bps") << 0 << 0 << "32";
    QTest::newRow("2400bps") << 1 << 1 << "16";
    QTest::newRow("4800bps") << 0 << 2 << "8";
    QTest::newRow("9600bps") << 1 << 3 << "4";
    QTest::newRow("19200bps") << 0 << 4 << "2";
    QTest::newRow("1M bps") << 1 << 9 << "2";
}

void TestMaintenance::characterTime()
{
    QFETCH(int, port);
    QFETCH(int, entry);
    QFETCH(QString, time);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    auto *list = control<QComboBox>(*w, QStringLiteral("Combo9_%1").arg(port));
    auto *box = control<QLineEdit>(*w, QStringLiteral("txt_RSDataTime_%1").arg(port));
    auto *other = control<QLineEdit>(*w, QStringLiteral("txt_RSDataTime_%1").arg(1 - port));
    box->setText("77");
    other->setText("77");

    // A list set by a parameter read leaves the time as read.
    list->setCurrentIndex(entry);
    QCOMPARE(box->text(), QStringLiteral("77"));

    emit list->activated(entry);
    QCOMPARE(box->text(), time);
    QCOMPARE(other->text(), QStringLiteral("77"));
}

QTEST_MAIN(TestMaintenance)
#include "test_maintenance.moc"
