// The maintenance buttons against the virtual controller on both links, the
// high-speed frames by model and firmware, and the character time that
// follows a port's baud rate.
#include "app/form1.h"
#include "features/common/lamp.h"
#include "support/hex.h"
#include "support/log_text.h"
#include "support/network_rig.h"
#include "support/scratch_dir.h"
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
    // One dispatcher step and the request it sent.
    QByteArray send() { return network ? network->tick() : serial->step(); }
    void answer(const QByteArray &r) { network ? network->answer(r) : serial->answer(r); }
    QByteArray step()
    {
        const QByteArray request = send();
        if (!request.isEmpty()) answer(request);
        return request;
    }
};

// A datagram with its sequence number (bytes 6 and 7) zeroed.
QByteArray withoutSequence(QByteArray datagram)
{
    if (datagram.size() >= 8) datagram[6] = datagram[7] = '\0';
    return datagram;
}

// One button pressed on one link: the question it asks (when it asks), the
// request it sends with the question answered Yes/OK (network: sequence
// number zeroed; none where the link has no request), the status texts while
// sending and after the reply, and what the device carried out.
struct ButtonRow
{
    const char *name;
    bool network;
    const char *button;
    const char *question;
    const char *request;
    const char *sending;
    const char *done;
    const char *outcome;
};

const char *const kResume = "是否确定要恢复默认参数？";
const char *const kDefaults = "确定要恢复默认参数";
const char *const kSelected = "确定要恢复选中参数"; // boxes 1 and 7 checked

// clang-format off
const ButtonRow kButtonRows[] = {
    {"RAM test",          false, "bt_CheckRAM",      "",        "5555 28 bf5e aaaa",            "正在测试扩展RAM",              "RAM test",                     "读测试扩展RAM结束"},
    {"light board on",    false, "cmdCheckLight",    "",        "5555 2c 01 dcb0 aaaa",         "正在写使能灯板自动检测功能",   "light board on",               "灯板自动检测通信成功"},
    {"light board off",   false, "cmdStopCheck",     "",        "5555 2c 00 1d70 aaaa",         "正在写禁止灯板自动检测功能",   "light board off",              "灯板自动检测通信成功"},
    {"stop and clear",    false, "cmdClearCode",     "",        "5555 2b ff5f aaaa",            "正在写停止下位机运行并清除下位机指令命令", "stop and clear",     "写停止下位机运行并清空下位机程序命令成功"},
    {"save",              false, "Command_STORE",    "",        "5555 37 fe96 aaaa",            "",                             "save",                         "保存参数成功"},
    {"restore",           false, "Command_Resume",   kResume,   "5555 38 be92 aaaa",            "",                             "restore",                      "恢复参数成功"},
    {"defaults",          false, "Cmd_DefaultParam", kDefaults, "5555 34 be97 aaaa",            "正在恢复系统默认参数",         "restore defaults",             "恢复默认参数成功"},
    {"selected",          false, "Cmd_ResumeParam",  kSelected, "5555 38 55aa82 e395 aaaa",     "正在恢复选中参数",             "restore selected with 0x82",   "恢复参数成功"},
    {"output frequencies",false, "Cmd_WritePre",     "",        "5555 3b 03e8 07d0 4219 aaaa",  "正在写入输出频率",             "output frequencies 1000 2000", "写输出频率成功"},
    {"Profibus read",     false, "btRProfibus",      "",        "5555 4f feb4 aaaa",            "正在读Profibus状态",           "",                             "读Profibus成功"},
    {"Profibus on",       false, "ckProfibus",       "",        "5555 50 01 fc70 aaaa",         "正在写Profibus状态",           "Profibus on",                  "写Profibus成功"},
    // Block 10003 (13 27); a write carries two zero bytes after the item count.
    {"net RAM test",      true,  "bt_CheckRAM",      "",        "0c000000 1000 0000 0000 1327 1200 0000",      "正在测试扩展RAM",            "RAM test",        "测试RAM结束"},
    {"net light on",      true,  "cmdCheckLight",    "",        "0d000000 1200 0000 0000 1327 1700 0100 0000", "正在写使能灯板自动检测功能", "light board on",  "灯板检测通信成功"},
    {"net light off",     true,  "cmdStopCheck",     "",        "0d000000 1200 0000 0000 1327 1700 0000 0000", "正在写禁止灯板自动检测功能", "light board off", "灯板检测通信成功"},
    {"net stop and clear",true,  "cmdClearCode",     "",        "0d000000 1200 0000 0000 1327 1600 0000 0000", "正在写停止下位机指令运行并清除指令命令", "stop and clear", "写停止下位机运行并清除下位机命令成功"},
    {"net selected",      true,  "Cmd_ResumeParam",  kSelected, "0d000000 1200 0000 0000 1327 1c00 8200 0000", "正在恢复选中参数",           "restore selected with 0x82", "恢复选中参数成功"},
    // No request on the network: said at once.
    {"net save",          true,  "Command_STORE",    "",        "", "无此功能号", "", ""},
    {"net restore",       true,  "Command_Resume",   kResume,   "", "无此功能号", "", ""},
    {"net defaults",      true,  "Cmd_DefaultParam", kDefaults, "", "无此功能号", "", ""},
};
// clang-format on

} // namespace

Q_DECLARE_METATYPE(ButtonRow)

class TestMaintenance : public QObject
{
    Q_OBJECT
private slots:
    void buttons_data();
    void buttons();
    void highSpeedFrames_data();
    void highSpeedFrames();
    void negativeFrequencyRefused();
    void profibusFailuresShown();
    void characterTime_data();
    void characterTime();
};

void TestMaintenance::buttons_data()
{
    QTest::addColumn<ButtonRow>("row");
    QTest::addColumn<bool>("yes");
    for (const ButtonRow &row : kButtonRows) {
        QTest::newRow(row.name) << row << true;
        // A question answered No or Cancel sends nothing.
        if (*row.question) QTest::addRow("%s, no", row.name) << row << false;
    }
}

void TestMaintenance::buttons()
{
    QFETCH(ButtonRow, row);
    QFETCH(bool, yes);
    const QString button = QString::fromUtf8(row.button);
    const QString done = QString::fromUtf8(row.done);
    Connected link(row.network);
    Form1 &w = link.w();
    link.device().state().maintenance.ramTestResult = 0x05; // areas 0 and 2 failed
    link.received().clear();
    for (int i = 0; i < 8; ++i)
        control<QCheckBox>(w, QStringLiteral("Check_SysParam_%1").arg(i))
            ->setChecked(i == 1 || i == 7);
    control<QLineEdit>(w, "Text5_2")->setText("1000");
    control<QLineEdit>(w, "Text5_3")->setText("2000");
    QList<MessageBoxRequest> asked;
    w.askQuestion = [&](const MessageBoxRequest &q) {
        asked << q;
        return yes;
    };

    control<QAbstractButton>(w, button)->click();

    QCOMPARE(asked.size(), *row.question ? 1 : 0);
    if (*row.question) {
        QCOMPARE(asked[0].text, QString::fromUtf8(row.question));
        const bool yesNo = button == QStringLiteral("Command_Resume");
        QCOMPARE(asked[0].buttons, yesNo ? QMessageBox::Yes | QMessageBox::No
                                         : QMessageBox::Ok | QMessageBox::Cancel);
        if (yesNo) QCOMPARE(asked[0].title, QStringLiteral("提示"));
    }
    QCOMPARE(w.dispatcher().stack().top(), yes ? 1 : 0);
    if (!yes) return;

    const QByteArray sent = link.send();
    QCOMPARE(row.network ? withoutSequence(sent) : sent, hex(row.request));
    QCOMPARE(w.Text2->text(), QString::fromUtf8(row.sending));
    QCOMPARE(w.dispatcher().stack().top(), 0);
    if (!sent.isEmpty()) link.answer(sent);
    QCOMPARE(link.received(), done.isEmpty() ? QStringList() : QStringList{done});
    if (sent.isEmpty()) return;
    QCOMPARE(w.Text2->text(), QString::fromUtf8(row.outcome));
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
    const QByteArray four = hex("5555 3a 00000100 fd95 aaaa");
    const QByteArray six = hex("5555 3a 000000000100 8093 aaaa");
    QTest::newRow("KVRQ101 0x2529") << 8 << 0x2529 << four;
    QTest::newRow("KVRQ101 0x2530") << 8 << 0x2530 << six;
    QTest::newRow("LTNQ101 0x1101") << 10 << 0x1101 << four;
    QTest::newRow("KVRQ103 0x2529") << 4 << 0x2529 << six;
}

void TestMaintenance::highSpeedFrames()
{
    QFETCH(int, type);
    QFETCH(int, firmware);
    QFETCH(QByteArray, request);
    sim::DeviceProfile profile;
    profile.deviceType = quint8(type);
    profile.firmwareVersion = quint16(firmware);
    Connected link(false, profile);
    Form1 &w = link.w();
    auto *q00 = control<QCheckBox>(w, "Check_InAndOut_2");

    q00->click();
    QCOMPARE(q00->text(), QStringLiteral("停止Q0.0高速输出"));
    QCOMPARE(link.step(), request);
    QCOMPARE(w.Text2->text(), QStringLiteral("写输入输出使能标志成功"));
    QCOMPARE(link.device().state().highSpeedIo.q00, quint8(1));

    q00->click();
    QCOMPARE(q00->text(), QStringLiteral("启动Q0.0高速输出"));
    QCOMPARE(link.step().size(), request.size());
    QCOMPARE(link.device().state().highSpeedIo.q00, quint8(0));

    // On the network the frame has no request and is disabled.
    w.optComm[1]->setChecked(true);
    w.optComm_Click(1);
    QVERIFY(!q00->isEnabled());
    QVERIFY(!control(w, "Cmd_WritePre")->isEnabled());
}

void TestMaintenance::negativeFrequencyRefused()
{
    // A frequency that does not fit 16 bits sends nothing and names its box.
    ScratchWorkingDir dir;
    Connected link(false);
    Form1 &w = link.w();
    control<QLineEdit>(w, "Text5_2")->setText("-5");
    control<QAbstractButton>(w, "Cmd_WritePre")->click();
    QCOMPARE(link.step(), QByteArray());
    QCOMPARE(w.Text2->text(), QStringLiteral("数据格式错误：Q0.0 输出频率"));
    QCOMPARE(w.dispatcher().stack().top(), 0);
}

void TestMaintenance::profibusFailuresShown()
{
    // A full command stack: the push fails, is logged, and the engineer is told.
    ScratchWorkingDir dir;
    Connected link(false);
    Form1 &w = link.w();
    while (w.dispatcher().stack().top() < CommandStack::kLastIndex)
        w.dispatcher().stack().push(serial_cmd::ReadDido);
    control<QAbstractButton>(w, "btRProfibus")->click();
    control<QAbstractButton>(w, "ckProfibus")->click();
    QCOMPARE(link.serial->boxes.size(), 2);
    QCOMPARE(link.serial->boxes[0].text, QStringLiteral("btRProfibus_Click错误"));
    QCOMPARE(link.serial->boxes[1].text, QStringLiteral("ckProfibus_MouseUp错误"));
    QCOMPARE(control<QCheckBox>(w, "ckProfibus")->text(), QStringLiteral("开启"));
    QVERIFY(logText().contains(QStringLiteral("btRProfibus_Click(Form1)")));
    QVERIFY(logText().contains(QStringLiteral("ckProfibus_MouseUp(Form1)")));
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
    QTest::newRow("1M bps") << 0 << 9 << "2";
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
