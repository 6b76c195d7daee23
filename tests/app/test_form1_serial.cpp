// The main window on the serial link, stepped by hand: the timers' ticks and
// the port's receive event are taken off the event loop and the test calls
// the event procedures itself. The device end is the fake serial link the
// test drives; the virtual controller answers in-process where a real answer
// is wanted.
#include "app/form1.h"
#include "features/dialogs/dialogs_feature.h"
#include "features/zigbee/zigbee_feature.h"

#include "core/codepage.h"
#include "features/common/lamp.h"
#include "protocol/frames.h"
#include "sim/virtual_controller.h"
#include "support/hex.h"
#include "support/log_text.h"
#include "support/serial_rig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace kalmo;
using rig::control;
using rig::steppedWindow;

namespace {

QByteArray frame(quint8 function, const QByteArray &data)
{
    return buildSerialFrame(function, data);
}

// The window while a command waits for its reply.
void waitingForReply(Form1 &w)
{
    w.session().Timer1->stop();
    w.session().Timer2->start();
}

// A window on the fake serial link with the virtual controller behind it.
struct Rig : rig::SerialRig
{
    Rig() { controller.setClock(QDateTime(QDate(2024, 3, 15), QTime(13, 45, 30)), 5); }
    FakeSerialLink &port() { return line.port(); }
    // A firmware packet sent by the dispatcher (one progress step) and waited for.
    void packetOutstanding()
    {
        w->session().upgrade.packets = {QByteArray(512, 'p')};
        w->session().upgrade.index = 0;
        w->dispatcher().stack().push(47);
        w->session().Timer1_Timer();
        QCOMPARE(port().takeWritten().size(), 519);
    }
};

} // namespace

class TestForm1Serial : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void linkChoice();
    void startSequence();
    void portChoice_data();
    void portChoice();
    void nothingSelectedOpensPortUsedLast();
    void openingFails_data();
    void openingFails();
    void portLostDuringConnection();
    void silentControllerTimesOut();
    void incompleteRepliesEndByTimeOut_data();
    void incompleteRepliesEndByTimeOut();
    void checksumFailureIsShownAndDropped();
    void replyStatus_data();
    void replyStatus();
    void failingDecodeEndsHandler_data();
    void failingDecodeEndsHandler();
    void systemInformation_data();
    void systemInformation();
    void tags_data();
    void tags();
    void clock_data();
    void clock();
    void profibusAndCan_data();
    void profibusAndCan();
    void replyActions();
    void builders_data();
    void builders();
    void diDoReadFollowsModel_data();
    void diDoReadFollowsModel();
    void stopResets_data();
    void stopResets();
    void secondStartWorks();
    void pauseAndResume();
    void upgradeTimeOut();
    void upgradeBlockWithBlocksLeft();
    void upgradeComplete();
    void restartDelay();
    void progressSequence();
    void automaticStart_data();
    void automaticStart();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previous;
};

void TestForm1Serial::init()
{
    m_previous = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QDir::setCurrent(m_dir->path());
}

void TestForm1Serial::cleanup()
{
    QDir::setCurrent(m_previous);
}

void TestForm1Serial::linkChoice()
{
    Rig rig;
    Form1 &w = *rig.w;
    w.findChild<QLineEdit *>("txtDevID")->setText("x");
    w.findChild<QLineEdit *>("txtPD_Tag")->setText("y");
    w.findChild<QWidget *>("cmdClearCode")->setEnabled(true);

    w.optComm_Click(1);
    QCOMPARE(w.Text2->text(), QStringLiteral("点击“开始”后，请选择设备IP"));
    QVERIFY(control(w, "Cmd_TestZigbee")->isHidden());
    QVERIFY(control(w, "bt_CheckRAM")->isHidden());
    QVERIFY(w.ComPort->isHidden());
    QVERIFY(!w.ComPort->isEnabled());
    QVERIFY(w.StartRun->isEnabled());
    QCOMPARE(control<QLineEdit>(w, "txtDevID")->text(), QString());
    QCOMPARE(control<QLineEdit>(w, "txtPD_Tag")->text(), QString());
    QVERIFY(control(w, "txtPD_Tag")->isEnabled());
    for (const char *name :
         {"cmdClearCode", "cmdCheckLight", "cmdStopCheck", "btRProfibus", "ckProfibus"})
        QVERIFY2(!control(w, name)->isEnabled(), name);

    w.ComPort->setCurrentIndex(-1);
    w.optComm_Click(0);
    QCOMPARE(w.Text2->text(), QStringLiteral("请确保拨码开关第三位已置为ON"));
    QVERIFY(!control(w, "Cmd_TestZigbee")->isHidden());
    QVERIFY(!control(w, "bt_CheckRAM")->isHidden());
    QVERIFY(!w.ComPort->isHidden());
    QVERIFY(w.ComPort->isEnabled());
    QCOMPARE(w.ComPort->currentIndex(), 0);
}

void TestForm1Serial::startSequence()
{
    struct Step
    {
        const char *request; // CRC-16/MODBUS of the function number alone, low byte first
        const char *sending;
        int wait;
        int threshold;
        const char *answered;
    };
    const Step steps[] = {
        {"5555397f52aaaa", "正在读取zigbee配置参数", 1000, 41, "读取zigbee参数成功"},
        {"5555017e80aaaa", "读系统参数", 5000, 111, "取系统信息"},
        {"5555157e8faaaa", "读DeviceID、PDTag", 2000, 71, "读PDTag、DeviceID成功"},
        {"555513fe8daaaa", "正在读实时时钟", 2000, 15, "读实时时钟成功"},
        {"55554d7f75aaaa", "正在读取网关信息", 3000, 15, "读取网关信息成功"},
        {"5555257e9baaaa", "正在读设备MAC地址", 2000, 13, "读设备MAC地址成功"},
        {"55554ffeb4aaaa", "正在读Profibus状态", 1000, 8, "读Profibus成功"},
        // KVRQ101 with firmware 0x3305 (above 12855): 23 bytes
        {"55550d7e85aaaa", "读DI/DO状态", 1000, 23, "读DI/DQ状态成功"},
        {"55550d7e85aaaa", "读DI/DO状态", 1000, 23, "读DI/DQ状态成功"},
        {"55550d7e85aaaa", "读DI/DO状态", 1000, 23, "读DI/DQ状态成功"},
    };

    Rig rig;
    Form1 &w = *rig.w;
    rig.controller.state().profibusEnabled = 1;
    w.StartRun_Click();
    QVERIFY(w.session().Comm1->isOpen());
    QCOMPARE(w.session().Comm1->portName(), rig.line.portName());
    QCOMPARE(w.session().Comm1->settings(), QStringLiteral("9600,N,8,1"));
    QCOMPARE(w.Text2->text(), QStringLiteral("运行开始................"));
    QVERIFY(w.session().Timer1->isActive());
    QCOMPARE(w.session().Timer1->interval(), 300);
    QCOMPARE(w.session().timMscon->interval(), 5000);
    QCOMPARE(w.dispatcher().stack().top(), 7);
    QVERIFY(w.cmdStop->isEnabled());
    QVERIFY(!w.StartRun->isEnabled());
    QVERIFY(!w.ComPort->isEnabled());

    int replies = 0;
    for (const Step &step : steps) {
        const QByteArray request = hex(step.request);
        const QByteArray sent = rig.step();
        QVERIFY2(sent == request, step.request);
        QVERIFY(rig.port().written.isEmpty()); // nothing more went out
        QCOMPARE(w.Text2->text(), QString::fromUtf8(step.sending));
        QVERIFY(!w.session().Timer1->isActive());
        QVERIFY(w.session().Timer2->isActive());
        QCOMPARE(w.session().Timer2->interval(), step.wait);
        QVERIFY(w.session().timMscon->isActive());
        QCOMPARE(w.session().Comm1->threshold(), step.threshold);

        rig.answer(request);
        ++replies;
        QCOMPARE(w.Text2->text(), QString::fromUtf8(step.answered));
        QCOMPARE(w.Text4->text(), QString::number(replies));
        QVERIFY(!w.session().Timer2->isActive());
        QVERIFY(!w.session().timMscon->isActive());
        QVERIFY(w.session().Timer1->isActive());
    }

    // What the first reads put on the panel.
    QCOMPARE(w.dispatcher().stack().top(), 0);
    QCOMPARE(control<QLineEdit>(w, "txtDeviceType")->text(), QStringLiteral("KVRQ101"));
    QCOMPARE(control<QLabel>(w, "lb_BookNo")->text(), QStringLiteral("2.1"));
    QCOMPARE(control<QLineEdit>(w, "txthardwarenum")->text(), QStringLiteral("200000000000000"));
    QCOMPARE(control<QDateEdit>(w, "clkDate")->date(), QDate(2024, 3, 15));
    QCOMPARE(control<QTimeEdit>(w, "clkTime")->time(), QTime(13, 45, 30));
    QCOMPARE(control<QComboBox>(w, "Combo_WeekDay")->currentIndex(), 4);
    QVERIFY(control<QCheckBox>(w, "ckProfibus")->isChecked());
    QCOMPARE(control<QCheckBox>(w, "ckProfibus")->text(), QStringLiteral("开启"));
    QCOMPARE(w.zigbeeFeature->zigbeeRecord.deviceNumber,
             rig.controller.state().zigbee.deviceNumber);
    QCOMPARE(w.zigbeeFeature->zigbeeRecord.channelMask, rig.controller.state().zigbee.channelMask);
    QVERIFY(rig.boxes.isEmpty());
    QVERIFY(logText().isEmpty());
}

void TestForm1Serial::portChoice_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");

    QTest::newRow("COM12") << true << "COM12"
                           << "COM12" << 11;
    QTest::newRow("blanks around") << true << " COM3 "
                                   << "COM3" << 2;
    QTest::newRow("leading zero") << true << "COM007"
                                  << "COM7" << 6;
    QTest::newRow("device path") << true << "/dev/pts/4"
                                 << "/dev/pts/4" << 5;
    QTest::newRow("COM without number") << true << "COMX"
                                        << "COMX" << 5;
    QTest::newRow("nothing selected") << false << ""
                                      << "COM6" << 5;
}

void TestForm1Serial::portChoice()
{
    QFETCH(bool, selected);
    QFETCH(QString, entry);
    QFETCH(QString, name);
    QFETCH(int, index);
    const SerialPortChoice last{QStringLiteral("COM6"), 5};
    const SerialPortChoice got = chooseSerialPort(selected ? &entry : nullptr, last);
    QCOMPARE(got.name, name);
    QCOMPARE(int(got.index), index);
}

void TestForm1Serial::nothingSelectedOpensPortUsedLast()
{
    Rig rig;
    Form1 &w = *rig.w;
    // The first time: port 1, which this machine does not have.
    w.ComPort->setCurrentIndex(-1);
    w.StartRun_Click();
    QCOMPARE(w.session().Comm1->portName(), QStringLiteral("COM1"));
    QCOMPARE(rig.boxes.size(), 1);

    w.ComPort->setCurrentIndex(0);
    w.StartRun_Click();
    QVERIFY(w.session().Comm1->isOpen());
    w.cmdStop_Click();
    QVERIFY(!w.session().Comm1->isOpen());

    w.ComPort->setCurrentIndex(-1);
    w.StartRun_Click();
    QVERIFY(w.session().Comm1->isOpen());
    QCOMPARE(w.session().Comm1->portName(), rig.line.portName());
    QCOMPARE(rig.boxes.size(), 1);
}

void TestForm1Serial::openingFails_data()
{
    QTest::addColumn<bool>("inUse");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing port") << false << "无效的端口号,请选择存在的串口号";
    QTest::newRow("port in use") << true
                                 << "该端口已经被其他程序打开,请关闭相应的程序或选择其他串口";
}

void TestForm1Serial::openingFails()
{
    QFETCH(bool, inUse);
    QFETCH(QString, text);
    ProgramOptions options;
    options.ports = {rig::FakeLine::portName()};
    QList<MessageBoxRequest> boxes;
    auto w = steppedWindow(options, &boxes);
    FakeSerialLink &port = rig::fakeSerial(*w);
    if (inUse) {
        // The port is there, but another program holds it.
        port.ports = options.ports;
        port.openFailure = SerialPortFailure{8005, QStringLiteral("Permission denied")};
    }

    w->StartRun_Click();

    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(boxes[0].title, QStringLiteral("请注意串行口错误!"));
    QCOMPARE(boxes[0].text, text);
    QCOMPARE(w->Text2->text(), QStringLiteral("请确认设置正确后,重新开始"));
    QVERIFY(!w->session().Comm1->isOpen());
    for (const char *name : {"optComm_0", "optComm_1", "ComPort", "StartRun"})
        QVERIFY2(control(*w, name)->isEnabled(), name);
    for (const char *name :
         {"cmdStop", "cmdClearCode", "cmdCheckLight", "cmdStopCheck", "btRProfibus", "ckProfibus"})
        QVERIFY2(!control(*w, name)->isEnabled(), name);
    QVERIFY(!w->session().Timer1->isActive());
    QCOMPARE(w->dispatcher().stack().top(), 0);
    // No log line for this case.
    QVERIFY(!QFile::exists(QStringLiteral("TAVG501ErrorLog.ini")));

    // Ready for another attempt.
    if (inUse) {
        port.openFailure.reset();
        w->StartRun_Click();
        QVERIFY(w->session().Comm1->isOpen());
        QCOMPARE(boxes.size(), 1);
    }
}

void TestForm1Serial::portLostDuringConnection()
{
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    QVERIFY(w.session().Comm1->isOpen());
    rig.step();
    // The device goes away, as an unplugged adapter does.
    rig.port().fail(SerialPortFailure{8020, QStringLiteral("Input/output error")});

    QTRY_COMPARE(rig.boxes.size(), 1);
    QCOMPARE(rig.boxes[0].title, QStringLiteral("请注意串行口错误!"));
    QCOMPARE(rig.boxes[0].icon, QMessageBox::Warning);
    QVERIFY(!rig.boxes[0].text.isEmpty());
    QVERIFY(!w.session().Comm1->isOpen());
    QVERIFY(!w.session().Timer1->isActive());
    QVERIFY(!w.session().Timer2->isActive());
    QVERIFY(!w.session().timMscon->isActive());
    QCOMPARE(w.dispatcher().stack().top(), 0);
    QCOMPARE(w.Text2->text(), QStringLiteral("请确认设置正确后,重新开始"));
    QVERIFY(w.StartRun->isEnabled());
    QVERIFY(w.cmdStop->isEnabled());
}

void TestForm1Serial::silentControllerTimesOut()
{
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    QCOMPARE(rig.step(), hex("5555397f52aaaa"));
    QCOMPARE(w.session().Timer2->interval(), 1000);
    QVERIFY(w.session().timMscon->isActive());

    w.session().timMscon_Timer();
    QVERIFY(!w.session().timMscon->isActive());
    QCOMPARE(w.Text3->text(), QStringLiteral(" 1"));
    QCOMPARE(w.Text4->text(), QStringLiteral("0"));

    w.session().Timer2_Timer();
    QCOMPARE(w.Text2->text(), QStringLiteral("通讯超时"));
    QVERIFY(!w.session().Timer2->isActive());
    QVERIFY(w.session().Timer1->isActive());

    // The command that timed out is not sent again: the next one goes.
    QCOMPARE(rig.step(), hex("5555017e80aaaa"));
    QCOMPARE(w.session().Timer2->interval(), 5000);
    w.session().timMscon_Timer();
    QCOMPARE(w.Text3->text(), QStringLiteral(" 2"));
    w.session().Timer2_Timer();
    QCOMPARE(w.Text2->text(), QStringLiteral("通讯超时"));
}

void TestForm1Serial::incompleteRepliesEndByTimeOut_data()
{
    QTest::addColumn<int>("keep");        // bytes of the reply that arrive
    QTest::addColumn<QByteArray>("tail"); // what replaces the trailer
    QTest::newRow("cut short") << 30 << QByteArray();
    QTest::newRow("one byte missing") << 40 << QByteArray();
    QTest::newRow("wrong trailer") << 39 << hex("bbbb");
    QTest::newRow("wrong header") << -1 << QByteArray();
}

void TestForm1Serial::incompleteRepliesEndByTimeOut()
{
    QFETCH(int, keep);
    QFETCH(QByteArray, tail);
    Rig rig;
    Form1 &w = *rig.w;
    QSignalSpy received(w.session().Comm1, &SerialPortLink::received);
    w.StartRun_Click();
    const QByteArray request = rig.step();
    QByteArray reply = rig.controller.answerSerial(request);
    QCOMPARE(reply.size(), 41);
    if (keep < 0)
        reply[0] = char(0x54);
    else
        reply = reply.left(keep) + tail;

    if (reply.size() < 41) {
        rig.port().arrive(reply);
        QCOMPARE(w.session().Comm1->inBufferCount(), qint64(reply.size()));
        QCOMPARE(received.count(), 0); // short of the threshold: no receive event
    } else {
        rig.deliver(reply);
        QCOMPARE(received.count(), 1);
        QCOMPARE(w.Text4->text(), QStringLiteral("1"));
    }
    // Dropped without a word: the status box keeps the command's text.
    QCOMPARE(w.Text2->text(), QStringLiteral("正在读取zigbee配置参数"));
    QVERIFY(w.session().Timer2->isActive());
    QVERIFY(!w.session().Timer1->isActive());
    QCOMPARE(w.zigbeeFeature->zigbeeRecord, ZigbeeRecord{});

    w.session().timMscon_Timer();
    QCOMPARE(w.Text3->text(), QStringLiteral(" 1"));
    QCOMPARE(w.session().Comm1->inBufferCount(), 0);
    w.session().Timer2_Timer();
    QCOMPARE(w.Text2->text(), QStringLiteral("通讯超时"));
    QVERIFY(w.session().Timer1->isActive());
}

void TestForm1Serial::checksumFailureIsShownAndDropped()
{
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    QByteArray reply = rig.controller.answerSerial(rig.step());
    reply[5] = char(reply[5] ^ 0x01);
    rig.deliver(reply);
    QCOMPARE(w.Text2->text(), QStringLiteral("CRC 校验错误"));
    QVERIFY(w.session().Timer2->isActive());
    QVERIFY(!w.session().Timer1->isActive());
    QCOMPARE(w.zigbeeFeature->zigbeeRecord, ZigbeeRecord{});
    w.session().Timer2_Timer();
    QCOMPARE(w.Text2->text(), QStringLiteral("通讯超时"));
}

void TestForm1Serial::replyStatus_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("status");

    const auto zeros = [](int n) { return QByteArray(n, '\0'); };
    const QByteArray clock = hex("e807030f0d2d1e05"); // 2024-03-15 13:45:30, Friday
    struct Row
    {
        int function;
        QByteArray data;
        const char *status;
    };
    const Row rows[] = {
        {1, zeros(104), "取系统信息"},
        {4, zeros(84), "设置配置信息成功"},
        {5, zeros(7), ""},
        {6, zeros(0), ""},
        {7, zeros(0), ""},
        {10, zeros(0), ""},
        {11, zeros(0), ""},
        {13, zeros(16), "读DI/DQ状态成功"},
        {14, zeros(6), "写DI/DO状态成功"},
        {21, zeros(64), "读PDTag、DeviceID成功"},
        {22, zeros(64), "写PDTag、DeviceID成功"},
        {19, clock, "读实时时钟成功"},
        {20, clock, "写实时时钟成功"},
        {32, zeros(12), "读从设备信息成功"},
        {33, zeros(12), "写从设备信息成功"},
        {36, zeros(6), "写设备MAC地址成功"},
        {37, zeros(6), "读设备MAC地址成功"},
        {40, zeros(1), "读测试扩展RAM结束"},
        {43, zeros(0), "写停止下位机运行并清空下位机程序命令成功"},
        {44, zeros(1), "灯板自动检测通信成功"},
        {45, zeros(0), "开始升级"},
        {46, zeros(2), "下载升级包大小成功"},
        {55, zeros(0), "保存参数成功"},
        {56, zeros(0), "恢复参数成功"},
        {57, zeros(34), "读取zigbee参数成功"},
        {64, zeros(34), "写入zigbee参数成功"},
        {65, hex("0000"), "测试zigbee成功"},
        {65, hex("0100"), "测试zigbee失败:  设备未上线"},
        {65, hex("0200"), "测试zigbee失败:  设备不通信"},
        {65, hex("0300"), "测试zigbee失败:  未知错误"},
        {65, hex("ff00"), "测试zigbee失败:  未知错误"},
        {52, zeros(0), "恢复默认参数成功"},
        {58, zeros(6), "写输入输出使能标志成功"},
        {59, zeros(4), "写输出频率成功"},
        {66, zeros(64), "读取从设备转发参数成功"},
        {67, zeros(0), "写从设备转发参数成功"},
        {68, zeros(488), "读取转发参数成功"},
        {69, zeros(0), "写入转发参数成功"},
        {70, zeros(208), "读取冗余信息成功"},
        {71, zeros(0), "写入冗余信息成功"},
        {73, zeros(512), "读取SM区数据成功"},
        {74, zeros(0), "写入SM区数据成功"},
        {75, zeros(242), "读取控制参数成功"},
        {76, zeros(0), "写入控制参数成功"},
        {77, zeros(8), "读取网关信息成功"},
        {78, zeros(0), "写入网关信息成功"},
        {79, zeros(1), "读Profibus成功"},
        {80, zeros(1), "写Profibus成功"},
        {87, zeros(2), "写CAN配置成功"},
        {89, zeros(2), "读CAN配置成功"},
        {88, zeros(1), "检测CAN配置成功"},
        // Calibration answers and numbers nobody sends
        {2, zeros(0), "无此功能号"},
        {3, zeros(0), "无此功能号"},
        {0, zeros(0), "无此功能号"},
        {12, zeros(0), "无此功能号"},
        {255, zeros(4), "无此功能号"},
    };
    for (const Row &row : rows)
        QTest::addRow("fn %d %s", row.function, qPrintable(row.data.left(1).toHex()))
            << row.function << row.data << QString::fromUtf8(row.status);
}

void TestForm1Serial::replyStatus()
{
    QFETCH(int, function);
    QFETCH(QByteArray, data);
    QFETCH(QString, status);
    QList<MessageBoxRequest> boxes;
    auto w = steppedWindow(ProgramOptions{}, &boxes);
    w->Text2->setText(QStringLiteral("previous"));
    waitingForReply(*w);

    w->session().receiveSerial(frame(quint8(function), data));

    QCOMPARE(w->Text2->text(), status);
    QCOMPARE(w->Text4->text(), QStringLiteral("1"));
    QVERIFY(!w->session().Timer2->isActive());
    QVERIFY(w->session().Timer1->isActive());
    QVERIFY(logText().isEmpty());
}

void TestForm1Serial::failingDecodeEndsHandler_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("dataLength");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("resumed"); // the queue went on before the decode failed

    // Offsets count in the whole reply: a bare 7-byte reply still has bytes
    // 3..6 (CRC and trailer), so only longer blocks can be cut short.
    QTest::newRow("zigbee resumes first") << 57 << 10 << "读取zigbee参数成功" << true;
    QTest::newRow("tags") << 21 << 40 << "读PDTag、DeviceID成功" << false;
    QTest::newRow("pd tag echo") << 22 << 20 << "写PDTag、DeviceID成功" << false;
    QTest::newRow("clock without week day") << 19 << 3 << "读实时时钟成功" << false;
    QTest::newRow("clock echo") << 20 << 2 << "写实时时钟成功" << false;
    QTest::newRow("sensor types") << 5 << 2 << "" << false;
    QTest::newRow("system information") << 1 << 50 << "取系统信息" << false;
}

void TestForm1Serial::failingDecodeEndsHandler()
{
    QFETCH(int, function);
    QFETCH(int, dataLength);
    QFETCH(QString, status);
    QFETCH(bool, resumed);
    QList<MessageBoxRequest> boxes;
    auto w = steppedWindow(ProgramOptions{}, &boxes);
    waitingForReply(*w);
    const QDate date = control<QDateEdit>(*w, "clkDate")->date();

    w->session().receiveSerial(frame(quint8(function), QByteArray(dataLength, '\x07')));

    QCOMPARE(w->Text2->text(), status);
    QCOMPARE(w->session().Timer1->isActive(), resumed);
    QCOMPARE(w->session().Timer2->isActive(), !resumed); // else the time-out ends the wait
    QVERIFY(logText().contains(QStringLiteral("\"comm1_OnComm(Form1)\"")));
    QCOMPARE(w->zigbeeFeature->zigbeeRecord, ZigbeeRecord{});
    QCOMPARE(control<QDateEdit>(*w, "clkDate")->date(), date);
    QCOMPARE(control<QLabel>(*w, "lb_BookNo")->text(), QString());
    QVERIFY(boxes.isEmpty());
}

void TestForm1Serial::systemInformation_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("boot");
    QTest::addColumn<bool>("noUserProgram");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("bootText");

    QTest::newRow("KVRQ101") << 8 << 0x21 << false << "KVRQ101"
                             << "2.1";
    QTest::newRow("KVRQ103") << 4 << 0x10 << false << "KVRQ103"
                             << "1.0";
    QTest::newRow("WYLM101") << 52 << 0x21 << false << "WYLM101"
                             << "2.1";
    QTest::newRow("LTNQ102") << 37 << 0xAB << false << "LTNQ102"
                             << "10.11";
    QTest::newRow("KVRX210") << 57 << 0x21 << false << "KVRX210"
                             << "2.1";
    // 42 is known by name only on the network ("其它设备" on arrival); the
    // serial-number lookup of the display then names it.
    QTest::newRow("42") << 42 << 0x21 << false << "KVRX212"
                        << "2.1";
    QTest::newRow("0") << 0 << 0x00 << false << "其它设备"
                       << "0.0";
    QTest::newRow("no user program") << 8 << 0x21 << true << "KVRQ101"
                                     << "2.1";
}

void TestForm1Serial::systemInformation()
{
    QFETCH(int, type);
    QFETCH(int, boot);
    QFETCH(bool, noUserProgram);
    QFETCH(QString, name);
    QFETCH(QString, bootText);
    QList<MessageBoxRequest> boxes;
    auto w = steppedWindow(ProgramOptions{}, &boxes);
    waitingForReply(*w);

    // Data bytes 3..106 of the 111-byte reply; index = serial offset - 3.
    QByteArray data(104, '\0');
    data[33 - 3] = char(type);
    data[38 - 3] = char(0x34); // firmware version 0x1234
    data[39 - 3] = char(0x12);
    data[67 - 3] = char(noUserProgram ? 1 : 0);
    data[68 - 3] = char(boot);
    data[88 - 3] = char(7);    // RS485_2 errors
    data[89 - 3] = char(0x34); // interval 0x1234 = 4660
    data[90 - 3] = char(0x12);
    data[91 - 3] = char(0xFF); // wait 0xFFFF = 65535
    data[92 - 3] = char(0xFF);
    data[93 - 3] = char(0x01); // flash flags 0x8001: lamps 0 and 15
    data[94 - 3] = char(0x80);
    const QByteArray reply = frame(1, data);
    QCOMPARE(reply.size(), 111);

    w->session().receiveSerial(reply);

    QCOMPARE(w->Text2->text(), QStringLiteral("取系统信息"));
    QCOMPARE(control<QLabel>(*w, "lb_BookNo")->text(), bootText);
    QCOMPARE(control<QLineEdit>(*w, "txtDeviceType")->text(), name);
    QCOMPARE(int(w->session().sysParam.DeviceType), type);
    QCOMPARE(w->session().sysParam.FirmwareVersion, quint16(0x1234));
    QCOMPARE(control<QLineEdit>(*w, "Text_ErrorTimeComm2")->text(), QStringLiteral("7"));
    QCOMPARE(control<QLineEdit>(*w, "Text_InterTimeComm2")->text(), QStringLiteral("4660"));
    QCOMPARE(control<QLineEdit>(*w, "Text_WaitTimeComm2")->text(), QStringLiteral("65535"));
    for (int i = 0; i < 16; ++i) {
        const QColor expected = i == 0 || i == 15 ? QColor(255, 0, 0) : QColor(0, 255, 0);
        QCOMPARE(control<Lamp>(*w, QStringLiteral("shpFlash_%1").arg(i))->color(), expected);
    }
    // Disabled when the block arrives, enabled again by the display.
    QVERIFY(control(*w, "bt_CheckRAM")->isEnabled());
    for (int i = 0; i < 6; ++i) {
        auto *mac = control<QLineEdit>(*w, QStringLiteral("txt_MAC_%1").arg(i));
        QVERIFY(!mac->isEnabled());
        QCOMPARE(mac->palette().color(QPalette::Base), QColor(224, 224, 224));
    }
    if (noUserProgram) {
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("无用户程序，请升级用户程序"));
    } else {
        QVERIFY(boxes.isEmpty());
    }
    QVERIFY(!w->session().Timer2->isActive());
    QVERIFY(w->session().Timer1->isActive());
}

void TestForm1Serial::tags_data()
{
    QTest::addColumn<QByteArray>("deviceId");
    QTest::addColumn<QByteArray>("pdTag");
    QTest::addColumn<QString>("hardwareNumber");
    QTest::addColumn<QString>("shownTag");

    const QByteArray spaces(25, ' ');
    QTest::newRow("second character 0")
        << QByteArray("00123456789012340000000000000001")
        << QByteArray("TAG-1") + QByteArray(27, ' ') << "12345678901234"
        << "TAG-1" + QString(27, u' ');
    QTest::newRow("second character 2")
        << QByteArray("02000000000000000000201512090001") << QByteArray(32, ' ')
        << "200000000000000" << QString(32, u' ');
    // 控制器A in code page 936, then blanks
    QTest::newRow("chinese tag") << QByteArray("X9ABCDEFGHIJKLMNOPQRSTUVWXYZ0123")
                                 << hex("bfd8d6c6c6f741") + spaces << "9ABCDEFGHIJKLMN"
                                 << QStringLiteral("控制器A") + QString(25, u' ');
}

void TestForm1Serial::tags()
{
    QFETCH(QByteArray, deviceId);
    QFETCH(QByteArray, pdTag);
    QFETCH(QString, hardwareNumber);
    QFETCH(QString, shownTag);
    QList<MessageBoxRequest> boxes;
    auto w = steppedWindow(ProgramOptions{}, &boxes);

    w->session().receiveSerial(frame(21, deviceId + pdTag));
    QCOMPARE(w->Text2->text(), QStringLiteral("读PDTag、DeviceID成功"));
    QCOMPARE(control<QLineEdit>(*w, "txthardwarenum")->text(), hardwareNumber);
    QCOMPARE(control<QLineEdit>(*w, "txtPD_Tag")->text(), shownTag);

    // The write's echo shows the PD tag alone.
    control<QLineEdit>(*w, "txtPD_Tag")->clear();
    control<QLineEdit>(*w, "txthardwarenum")->clear();
    w->session().receiveSerial(frame(22, deviceId + pdTag));
    QCOMPARE(control<QLineEdit>(*w, "txtPD_Tag")->text(), shownTag);
    QCOMPARE(control<QLineEdit>(*w, "txthardwarenum")->text(), QString());
}

void TestForm1Serial::clock_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("weekday"); // list index afterwards; 3 was there before

    QTest::newRow("read, Monday") << 19 << hex("e807030f0d2d1e01") << QDate(2024, 3, 15)
                                  << QTime(13, 45, 30) << 0;
    QTest::newRow("read, Sunday") << 19 << hex("d007010100000007") << QDate(2000, 1, 1)
                                  << QTime(0, 0, 0) << 6;
    QTest::newRow("read, week day 0")
        << 19 << hex("e807020a173b3b00") << QDate(2024, 2, 10) << QTime(23, 59, 59) << -1;
    QTest::newRow("echo keeps week day")
        << 20 << hex("e807030f0d2d1e01") << QDate(2024, 3, 15) << QTime(13, 45, 30) << 3;
}

void TestForm1Serial::clock()
{
    QFETCH(int, function);
    QFETCH(QByteArray, data);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(int, weekday);
    QList<MessageBoxRequest> boxes;
    auto w = steppedWindow(ProgramOptions{}, &boxes);
    control<QComboBox>(*w, "Combo_WeekDay")->setCurrentIndex(3);

    w->session().receiveSerial(frame(quint8(function), data.left(8)));

    QCOMPARE(control<QDateEdit>(*w, "clkDate")->date(), date);
    QCOMPARE(control<QTimeEdit>(*w, "clkTime")->time(), time);
    QCOMPARE(control<QComboBox>(*w, "Combo_WeekDay")->currentIndex(), weekday);
    const bool read = function == 19;
    for (const char *name : {"clkDate", "clkTime", "cmdWrclock", "cmdTimeInit", "cmdReclock"})
        QCOMPARE(control(*w, name)->isEnabled(), read);
}

void TestForm1Serial::profibusAndCan_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("profibus");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("check");

    QTest::newRow("profibus on") << 79 << hex("01") << true << "开启" << -1 << -1 << -1;
    QTest::newRow("profibus 5 is on") << 79 << hex("05") << true << "开启" << -1 << -1 << -1;
    QTest::newRow("profibus off") << 79 << hex("00") << false << "关闭" << -1 << -1 << -1;
    QTest::newRow("can settings") << 89 << hex("0401") << false << "关闭" << 4 << 1 << -1;
    QTest::newRow("can check 9") << 88 << hex("09") << false << "关闭" << -1 << -1 << 9;
    QTest::newRow("can check 10") << 88 << hex("0a") << false << "关闭" << -1 << -1 << 10;
}

void TestForm1Serial::profibusAndCan()
{
    QFETCH(int, function);
    QFETCH(QByteArray, data);
    QFETCH(bool, profibus);
    QFETCH(QString, caption);
    QFETCH(int, baud);
    QFETCH(int, ms);
    QFETCH(int, check);
    QList<MessageBoxRequest> boxes;
    auto w = steppedWindow(ProgramOptions{}, &boxes);
    auto *box = control<QCheckBox>(*w, "ckProfibus");
    box->setChecked(!profibus);

    w->session().receiveSerial(frame(quint8(function), data));

    if (function == 79) {
        QCOMPARE(box->isChecked(), profibus);
        QCOMPARE(box->text(), caption);
    }
    // A CAN reply lands in the CAN window, made for it when not open.
    const CanSetDialog *can = w->dialogsFeature->canFeature()->dialog();
    QCOMPARE(can != nullptr, function != 79);
    if (function == 89) {
        QCOMPARE(can->CanBaud->currentIndex(), baud);
        QCOMPARE(can->CanMS->currentIndex(), ms);
    }
    if (function == 88)
        QCOMPARE(can->shpFlashCan->color(), check >= 10 ? QColor(0, 255, 0) : QColor(255, 0, 0));
}

void TestForm1Serial::replyActions()
{
    QList<MessageBoxRequest> boxes;
    auto w = steppedWindow(ProgramOptions{}, &boxes);

    // Parameters written: both intervals back to 300 ms.
    w->session().Timer1->setInterval(10);
    w->session().Timer2->setInterval(5000);
    w->session().receiveSerial(frame(4, QByteArray(84, '\0')));
    QCOMPARE(w->session().Timer1->interval(), 300);
    QCOMPARE(w->session().Timer2->interval(), 300);

    // Sensor types refresh that one field of the record.
    w->session().sysParam.SerialNumber = 77;
    w->session().receiveSerial(frame(5, hex("01020304050607")));
    QCOMPARE(w->session().sysParam.SensorTypes, (std::array<quint8, 7>{1, 2, 3, 4, 5, 6, 7}));
    QCOMPARE(w->session().sysParam.SerialNumber, 77);

    // Long writes: receive time-out 5000 ms.
    w->session().timMscon->setInterval(8000);
    w->session().receiveSerial(frame(10, {}));
    QCOMPARE(w->session().timMscon->interval(), 5000);

    // RAM test: the receive time-out runs again at 5000 ms.
    w->session().timMscon->setInterval(8000);
    w->session().receiveSerial(frame(40, hex("00")));
    QVERIFY(w->session().timMscon->isActive());
    QCOMPARE(w->session().timMscon->interval(), 5000);

    // Light board, upgrade start and size, save and restore: item count 0.
    for (int function : {44, 45, 46, 55, 56}) {
        w->dispatcher().sendState().itemCount = 5;
        w->session().receiveSerial(
            frame(quint8(function), QByteArray(function == 46 ? 2 : 1, '\0')));
        QCOMPARE(w->dispatcher().sendState().itemCount, 0);
    }

    // The Zigbee block goes into the Zigbee record (its layout: test_serial_replies).
    w->session().receiveSerial(
        frame(57, QByteArray::fromHex("0205341200080004") + QByteArray(26, '\x01')));
    QCOMPARE(w->zigbeeFeature->zigbeeRecord.deviceNumber, quint16(0x1234));
    QCOMPARE(w->zigbeeFeature->zigbeeRecord.channelMask, quint32(0x04000800));
}

void TestForm1Serial::builders_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>(
        "boxes"); // Text_ErrorTimeComm2, Text_InterTimeComm2, Text_WaitTimeComm2
    QTest::addColumn<bool>("profibus");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("status");

    const QStringList defaults{"10", "100", "1000"};
    QTest::newRow("profibus on") << 83 << defaults << true << hex("555550 01 fc70 aaaa")
                                 << "正在写Profibus状态";
    QTest::newRow("profibus off") << 83 << defaults << false << hex("555550 00 3db0 aaaa")
                                  << "正在写Profibus状态";
    QTest::newRow("format error, letters") << 4 << QStringList{"10", "abc", "1000"} << false
                                           << QByteArray() << "数据格式错误：通信间隔ms";
    QTest::newRow("format error, byte range") << 4 << QStringList{"256", "100", "1000"} << false
                                              << QByteArray() << "数据格式错误：最大错误数";
    QTest::newRow("format error, negative") << 4 << QStringList{"10", "100", "-1"} << false
                                            << QByteArray() << "数据格式错误：等待时间ms";
    QTest::newRow("format error, empty")
        << 4 << QStringList{"10", "100", ""} << false << QByteArray() << "数据格式错误：等待时间ms";
    QTest::newRow("network only code") << 12 << defaults << false << QByteArray() << "无此功能号";
}

void TestForm1Serial::builders()
{
    QFETCH(int, code);
    QFETCH(QStringList, boxes);
    QFETCH(bool, profibus);
    QFETCH(QByteArray, sent);
    QFETCH(QString, status);
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    control<QLineEdit>(w, "Text_ErrorTimeComm2")->setText(boxes[0]);
    control<QLineEdit>(w, "Text_InterTimeComm2")->setText(boxes[1]);
    control<QLineEdit>(w, "Text_WaitTimeComm2")->setText(boxes[2]);
    control<QCheckBox>(w, "ckProfibus")->setChecked(profibus);
    w.dispatcher().stack().push(qint16(code));
    const int top = w.dispatcher().stack().top();

    const QByteArray got = rig.step();
    QCOMPARE(got, sent);
    QCOMPARE(w.Text2->text(), status);
    QCOMPARE(w.dispatcher().stack().top(), top - 1);
    // Nothing sent: no wait, the dispatcher goes on.
    QCOMPARE(w.session().Timer1->isActive(), sent.isEmpty());
}

void TestForm1Serial::diDoReadFollowsModel_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("threshold");
    QTest::newRow("KVRQ103 old") << 4 << 0x3000 << 14;
    QTest::newRow("KVRQ103 new") << 4 << 0x3305 << 15;
    QTest::newRow("KVRQ101 old") << 8 << 0x3000 << 22;
    QTest::newRow("KVRQ105") << 28 << 0 << 23;
    // Unknown model: the length of the previous request (Profibus read, 8) stays.
    QTest::newRow("unknown") << 0 << 0x3305 << 8;
}

void TestForm1Serial::diDoReadFollowsModel()
{
    QFETCH(int, type);
    QFETCH(int, firmware);
    QFETCH(int, threshold);
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    w.session().sysParam.DeviceType = quint8(type);
    w.session().sysParam.FirmwareVersion = quint16(firmware);
    w.dispatcher().stack().clear();
    w.dispatcher().stack().push(82);
    rig.answer(rig.step());
    QCOMPARE(w.session().Comm1->threshold(), 8);

    QCOMPARE(rig.step(), hex("55550d7e85aaaa"));
    QCOMPARE(w.session().Comm1->threshold(), threshold);
}

void TestForm1Serial::stopResets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("state");

    const auto rows = [](const QStringList &names, const char *state) {
        for (const QString &name : names)
            QTest::newRow(qPrintable(name + u' ' + QString::fromLatin1(state)))
                << name << QString::fromLatin1(state);
    };
    QStringList lamps;
    for (int i = 0; i < 16; ++i)
        lamps << QStringLiteral("shpFlash_%1").arg(i);
    for (int i = 0; i < 8; ++i)
        lamps << QStringLiteral("ram_sap_%1").arg(i);
    rows(lamps, "white");

    QStringList disabled{"clkDate",       "clkTime",        "cmdWrclock",      "cmdTimeInit",
                         "cmdReclock",    "Combo_zlogic",   "Combo_Nettype",   "Text_DNO",
                         "Zigbee_Enable", "Cmd_ReadzParam", "Cmd_WritezParam", "Cmd_TestZigbee",
                         "Cmd_Advance",   "cmdStop",        "cmdClearCode",    "cmdCheckLight",
                         "cmdStopCheck",  "btRProfibus",    "ckProfibus",      "datePicker",
                         "timePicker",    "cmdGetSys",      "cmdSetPara",      "cmdSave",
                         "cmdPause",      "cmdRead",        "ReadTxtPublic"};
    for (int i = 0; i < 8; ++i)
        disabled << QStringLiteral("txt_AC_%1").arg(i) << QStringLiteral("txt_EXPAN_%1").arg(i);
    for (int i = 0; i < 16; ++i)
        disabled << QStringLiteral("Check1_%1").arg(i);
    for (int p = 0; p < 2; ++p)
        for (const char *list : {"Combo6", "Combo7", "Combo8", "Combo9", "Combo10", "ComboMS"})
            disabled << QStringLiteral("%1_%2").arg(QLatin1String(list)).arg(p);
    rows(disabled, "disabled");

    rows({"StartRun", "optComm_0", "optComm_1", "ComPort"}, "enabled");

    QStringList empty{"txtSubErr",       "txtSubcommIntv", "txtSubWaitTime", "txtDIPrevent",
                      "cpuTxt",          "uPortTxt",       "txtHardAddr",    "txtCellPressure",
                      "lblNUM",          "txthardwarenum", "txtSeries",      "lblVersion",
                      "txtInnerVersion", "txtModuleAddr",  "txtDevID",       "txtPD_Tag",
                      "Text2",           "ScanCtrl",       "ScanInterval",   "txt_RSDataTime_0",
                      "txt_RSDataTime_1"};
    for (int i = 0; i < 4; ++i)
        empty << QStringLiteral("txtIp_%1").arg(i);
    for (int i = 0; i < 6; ++i)
        empty << QStringLiteral("txt_MAC_%1").arg(i);
    rows(empty, "empty");

    QStringList unselected;
    for (int p = 0; p < 2; ++p)
        for (const char *list : {"Combo6", "Combo7", "Combo8", "Combo9", "Combo10", "ComboMS"})
            unselected << QStringLiteral("%1_%2").arg(QLatin1String(list)).arg(p);
    rows(unselected, "unselected");

    rows({"Text4", "Text3"}, "zero");
    rows({"cmdSave", "cmdRead"}, "visible");
    rows({"cmdPause"}, "pause caption");
    rows({"datePicker"}, "1976-04-05");
    rows({"timePicker"}, "00:00:00");
}

void TestForm1Serial::stopResets()
{
    QFETCH(QString, name);
    QFETCH(QString, state);
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    rig.answer(rig.step());

    // Everything as far from its stopped state as it can be.
    for (QWidget *widget : w.findChildren<QWidget *>()) {
        widget->setEnabled(true);
        if (auto *lamp = qobject_cast<Lamp *>(widget)) lamp->setColor(Qt::red);
        if (auto *box = qobject_cast<QLineEdit *>(widget)) box->setText(QStringLiteral("x"));
        if (auto *label = qobject_cast<QLabel *>(widget); label && label->objectName() != "")
            label->setText(QStringLiteral("x"));
        if (auto *list = qobject_cast<QComboBox *>(widget); list && list->count() > 0)
            list->setCurrentIndex(0);
    }
    control<QDateEdit>(w, "datePicker")->setDate(QDate(2020, 1, 2));
    control<QTimeEdit>(w, "timePicker")->setTime(QTime(3, 4, 5));
    control(w, "cmdSave")->hide();
    control(w, "cmdRead")->hide();
    w.cmdPause->setText(QStringLiteral("继续"));
    w.session().timCheckDevice->start();
    w.session().Timer1->start();
    w.session().Timer2->start();
    w.session().timMscon->start();
    w.dispatcher().stack().push(18);

    w.cmdStop_Click();

    QWidget *widget = control(w, name);
    if (state == "white")
        QCOMPARE(qobject_cast<Lamp *>(widget)->color(), QColor(Qt::white));
    else if (state == "disabled")
        QVERIFY(!widget->isEnabled());
    else if (state == "enabled")
        QVERIFY(widget->isEnabled());
    else if (state == "empty")
        QCOMPARE(widget->property("text").toString(), QString());
    else if (state == "unselected")
        QCOMPARE(qobject_cast<QComboBox *>(widget)->currentIndex(), -1);
    else if (state == "zero")
        QCOMPARE(widget->property("text").toString(), QStringLiteral("0"));
    else if (state == "visible")
        QVERIFY(!widget->isHidden());
    else if (state == "pause caption")
        QCOMPARE(widget->property("text").toString(), QStringLiteral("暂停"));
    else if (state == "1976-04-05")
        QCOMPARE(qobject_cast<QDateEdit *>(widget)->date(), QDate(1976, 4, 5));
    else if (state == "00:00:00")
        QCOMPARE(qobject_cast<QTimeEdit *>(widget)->time(), QTime(0, 0, 0));
    else
        QFAIL("unknown state");

    // And always: the timers, the stack, the port and the counters.
    for (QTimer *timer :
         {w.session().Timer1, w.session().Timer2, w.session().timMscon, w.session().timCheckDevice})
        QVERIFY2(!timer->isActive(), qPrintable(timer->objectName()));
    QCOMPARE(w.dispatcher().stack().top(), 0);
    QVERIFY(!w.session().Comm1->isOpen());
    QCOMPARE(w.session().serialReplyCounter, 0);
    QCOMPARE(w.session().receiveTimeoutCounter, 0);
}

void TestForm1Serial::secondStartWorks()
{
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    rig.answer(rig.step());
    w.session().timMscon_Timer();
    w.cmdStop_Click();
    QCOMPARE(w.Text3->text(), QStringLiteral("0"));

    w.StartRun_Click();
    QVERIFY(w.session().Comm1->isOpen());
    QVERIFY(w.cmdStop->isEnabled());
    QVERIFY(!w.StartRun->isEnabled());
    QCOMPARE(w.dispatcher().stack().top(), 7);
    QCOMPARE(rig.step(), hex("5555397f52aaaa"));
    rig.answer(hex("5555397f52aaaa"));
    QCOMPARE(w.Text2->text(), QStringLiteral("读取zigbee参数成功"));
    QCOMPARE(w.Text4->text(), QStringLiteral("1"));
    w.session().timMscon_Timer();
    QCOMPARE(w.Text3->text(), QStringLiteral(" 1"));
}

void TestForm1Serial::pauseAndResume()
{
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    const QByteArray request = rig.step();

    w.cmdPause_Click();
    QCOMPARE(w.cmdPause->text(), QStringLiteral("继续"));
    QVERIFY(!w.session().Timer1->isActive());
    QVERIFY(w.session().Timer2->isActive()); // the wait goes on

    // A reply during the pause restarts the dispatcher all the same.
    rig.answer(request);
    QVERIFY(w.session().Timer1->isActive());
    QCOMPARE(w.cmdPause->text(), QStringLiteral("继续"));

    w.cmdPause_Click();
    QCOMPARE(w.cmdPause->text(), QStringLiteral("暂停"));
    QVERIFY(w.session().Timer1->isActive());
    w.cmdPause_Click();
    QVERIFY(!w.session().Timer1->isActive());
}

void TestForm1Serial::upgradeTimeOut()
{
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    w.dispatcher().setUpgradeFlag(1);
    w.session().StartProgress(20, false);
    w.session().Timer1->setInterval(10);
    w.session().upgrade.count = 20;
    w.session().upgrade.index = 7;
    w.session().upgrade.packets = {QByteArray(512, 'a'), QByteArray(512, 'b'),
                                   QByteArray(512, 'c')};
    control(w, "bt_Updata")->setEnabled(false);
    w.session().Comm1->setSettings(QStringLiteral("115200,N,8,1"));
    waitingForReply(w);

    w.session().Timer2_Timer();

    QCOMPARE(w.Text2->text(), QStringLiteral("系统升级超时"));
    QCOMPARE(rig.boxes.size(), 1);
    QCOMPARE(rig.boxes[0].text, QStringLiteral("通讯超时，系统升级失败！"));
    QCOMPARE(w.dispatcher().upgradeFlag(), qint16(0));
    QCOMPARE(w.session().upgrade.packets, (QList<QByteArray>{QByteArray(), QByteArray()}));
    QVERIFY(w.ProgressBar->isHidden());
    QVERIFY(w.lb_ProgProc->isHidden());
    QCOMPARE(w.session().Timer1->interval(), 300);
    QCOMPARE(w.session().upgrade.count, 0);
    QCOMPARE(w.session().upgrade.index, 0);
    QCOMPARE(w.dispatcher().stack().top(), 0);
    QVERIFY(control(w, "bt_Updata")->isEnabled());
    QCOMPARE(w.session().Comm1->settings(), QStringLiteral("9600,N,8,1"));
    QVERIFY(w.session().Timer1->isActive());
    QVERIFY(!w.session().Timer2->isActive());
}

void TestForm1Serial::upgradeBlockWithBlocksLeft()
{
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    w.session().StartProgress(10, false);
    w.dispatcher().stack().push(55); // the next command on the stack
    const int top = w.dispatcher().stack().top();
    rig.packetOutstanding();
    w.dispatcher().sendState().itemCount = 3;

    w.session().receiveSerial(frame(47, {}));

    // The next command went out at once, without waiting for a tick.
    QCOMPARE(rig.port().takeWritten(), hex("555537fe96aaaa"));
    QCOMPARE(w.dispatcher().stack().top(), top - 1);
    QCOMPARE(w.dispatcher().upgradeFlag(), qint16(0));
    QCOMPARE(w.dispatcher().sendState().itemCount, 0);
    QVERIFY(!w.session().Timer1->isActive());
    QVERIFY(w.session().Timer2->isActive()); // the new command waits
    QCOMPARE(w.session().Timer2->interval(), 1000);
}

void TestForm1Serial::upgradeComplete()
{
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    w.ReopenSerialPort(QStringLiteral("115200,N,8,1"));
    w.session().StartProgress(3, false);
    w.session().StepProgress();
    w.dispatcher().stack().clear();
    control(w, "bt_Updata")->setEnabled(false);
    rig.packetOutstanding(); // the bar is full

    w.session().receiveSerial(frame(47, {}));

    QVERIFY(w.ProgressBar->isHidden());
    QVERIFY(w.lb_ProgProc->isHidden());
    QCOMPARE(w.session().progress.value, 0);
    // Back once the new connection has shown the device.
    QVERIFY(!control(w, "bt_Updata")->isEnabled());
    QCOMPARE(w.session().Timer1->interval(), 300);
    QVERIFY(w.session().Comm1->isOpen());
    QCOMPARE(w.session().Comm1->settings(), QStringLiteral("9600,N,8,1"));
    // A new connection has started.
    QCOMPARE(w.Text2->text(), QStringLiteral("运行开始................"));
    QCOMPARE(w.dispatcher().stack().top(), 7);
    QCOMPARE(w.dispatcher().upgradeFlag(), qint16(0));
    QVERIFY(w.session().Timer1->isActive());
    QVERIFY(!w.session().Timer2->isActive());
    QVERIFY(logText().isEmpty());
}

void TestForm1Serial::restartDelay()
{
    QList<MessageBoxRequest> boxes;
    auto w = steppedWindow(ProgramOptions{}, &boxes);
    w->session().Sleep_Timer->setInterval(3000);
    w->session().Sleep_Timer->start();
    w->session().Timer2->start();
    w->session().Sleep_Timer_Timer();
    QVERIFY(!w->session().Sleep_Timer->isActive());
    QVERIFY(!w->session().Timer2->isActive());
    QVERIFY(w->session().Timer1->isActive());
    QVERIFY(w->session().timCheckDevice->isActive());
    QCOMPARE(w->session().timCheckDevice->interval(), 5000);
}

void TestForm1Serial::progressSequence()
{
    QList<MessageBoxRequest> boxes;
    auto w = steppedWindow(ProgramOptions{}, &boxes);
    // At start-up the hidden bar fills itself once and its timer stops.
    QVERIFY(w->session().ProgressTimer->isActive());
    w->session().ProgressTimer_Timer();
    QVERIFY(!w->session().ProgressTimer->isActive());
    QVERIFY(w->ProgressBar->isHidden());

    w->session().StartProgress(9, true);
    QVERIFY(w->session().ProgressTimer->isActive());
    QVERIFY(!w->ProgressBar->isHidden());
    QVERIFY(!w->lb_ProgProc->isHidden());
    QCOMPARE(w->ProgressBar->maximum(), 9);
    QCOMPARE(w->ProgressBar->value(), 1);
    QCOMPARE(w->lb_ProgProc->text(), QStringLiteral("0%"));

    const QStringList labels{" 22.2%", " 33.3%", " 44.4%", " 55.6%",
                             " 66.7%", " 77.8%", " 88.9%", " 100%"};
    for (int i = 0; i < labels.size(); ++i) {
        w->session().ProgressTimer_Timer();
        QCOMPARE(w->lb_ProgProc->text(), labels[i]);
        QCOMPARE(w->ProgressBar->value(), i + 2);
    }
    w->session().StepProgress();
    QCOMPARE(w->lb_ProgProc->text(), QStringLiteral("100%"));
    QCOMPARE(w->ProgressBar->value(), 9);
    QVERIFY(!w->ProgressBar->isHidden());

    w->session().ProgressTimer_Timer(); // full: hidden and stopped
    QVERIFY(w->ProgressBar->isHidden());
    QVERIFY(w->lb_ProgProc->isHidden());
    QVERIFY(!w->session().ProgressTimer->isActive());
}

void TestForm1Serial::automaticStart_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<bool>("starts");
    QTest::newRow("record") << QStringLiteral("设备序号€1862013061500015|") << true;
    QTest::newRow("blanks only") << QStringLiteral("  \r\n\t ") << false;
    QTest::newRow("nothing") << QString() << false;
}

void TestForm1Serial::automaticStart()
{
    QFETCH(QString, record);
    QFETCH(bool, starts);
    ProgramOptions options;
    options.ports = {rig::FakeLine::portName()};
    options.commandLineRecord = record;
    QList<MessageBoxRequest> boxes;
    auto w = steppedWindow(options, &boxes);
    rig::fakeSerial(*w).ports = options.ports;
    QCOMPARE(w->Time2Start->isActive(), starts);
    QCOMPARE(w->Time2Start->interval(), 500);
    QVERIFY(w->Time2Start->isSingleShot());
    QVERIFY(!w->session().Comm1->isOpen());

    if (starts) {
        w->Time2Start_Timer();
        QVERIFY(!w->Time2Start->isActive());
        QVERIFY(w->session().Comm1->isOpen());
        QVERIFY(w->session().Timer1->isActive());
        QCOMPARE(w->dispatcher().stack().top(), 7);
    }
}

QTEST_MAIN(TestForm1Serial)
#include "test_form1_serial.moc"
