// The main window on the network link, stepped by hand: the timers' ticks are
// taken off the event loop and the test calls the event procedures itself.
// Announcements and replies are injected as datagrams where the test wants
// exact control; the first reads go over the fake service link to a device
// on 127.0.0.2, answered by the virtual controller.
#include "app/form1.h"
#include "features/clock_io/clock_io_feature.h"
#include "features/zigbee/zigbee_feature.h"

#include "core/codepage.h"
#include "features/clock_io/clock_io_panel.h"
#include "features/common/lamp.h"
#include "sim/virtual_controller.h"
#include "support/hex.h"
#include "support/log_text.h"
#include "support/window_rig.h"
#include "transport/discovery.h"

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
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <memory>

using namespace kalmo;
using namespace std::chrono_literals;

namespace {

using rig::control;

// A 91-byte announcement laid out by hand: kind 4 at 0, the device ID at 8
// (type code in its characters 18..20, bytes 25..27), the PD tag at 40, the
// address at 72..75 and the service port at 87..88, low byte first.
QByteArray announcement(std::array<quint8, 4> address, quint16 port,
                        const QByteArray &typeCode = "079", const QByteArray &pdTag = "TAG")
{
    QByteArray d(91, '\0');
    d[0] = 4;
    d.replace(8, 32, QByteArray(32, '0'));
    d[9] = '2';
    d.replace(25, 3, typeCode);
    d.replace(40, pdTag.size(), pdTag);
    for (int i = 0; i < 4; ++i)
        d[72 + i] = char(address[std::size_t(i)]);
    d[87] = char(port & 0xFF);
    d[88] = char(port >> 8);
    return d;
}

// A reply header laid out by hand: service and status, the length at 4..5,
// the sequence number at 6..7; then the data.
QByteArray reply(quint8 first, quint16 sequence, const QByteArray &data = {})
{
    QByteArray d(12, '\0');
    d[0] = char(first);
    const int length = 12 + int(data.size());
    d[4] = char(length & 0xFF);
    d[5] = char(length >> 8);
    d[6] = char(sequence & 0xFF);
    d[7] = char(sequence >> 8);
    return d + data;
}

constexpr quint16 kReadSequence = 0x0102;
constexpr quint16 kWriteSequence = 0x0304;

ProgramOptions networkOptions()
{
    ProgramOptions options;
    options.link = ProgramOptions::Link::Network;
    return options;
}

// The window on the network link, on the in-memory links, whose timers do
// nothing by themselves; presence is timed by a clock the test moves.
struct Rig
{
    QList<MessageBoxRequest> boxes;
    std::chrono::steady_clock::time_point now{1h};
    std::unique_ptr<Form1> w;

    explicit Rig(const ProgramOptions &options = networkOptions())
    {
        w = rig::steppedWindow(options, &boxes);
        w->session().presenceClock = [this] { return now; };
        w->session().discoveryPort = 0;
    }
    void hear(const QByteArray &datagram) { w->wsckDeviceQuery_DataArrival(datagram); }
    QStringList items() const
    {
        QStringList texts;
        for (int i = 0; i < w->cmbDevice->count(); ++i)
            texts << w->cmbDevice->itemText(i);
        return texts;
    }
    // A request outstanding and waited for, as the dispatcher leaves it.
    void outstanding(qint32 address, qint32 type, qint32 itemCount = 0)
    {
        SendState &s = w->dispatcher().sendState();
        s.blockAddress = address;
        s.blockType = type;
        s.itemCount = itemCount;
        s.readSequence = kReadSequence;
        s.writeSequence = kWriteSequence;
        s.lastRead = s.lastWrite = {address, type, itemCount};
        w->session().Timer1->stop();
        w->session().Timer2->setInterval(3000);
        w->session().Timer2->start();
        w->session().timMscon->start();
        w->Text2->setText(QStringLiteral("before"));
    }
    bool resumed() const
    {
        return w->session().Timer1->isActive() && !w->session().Timer2->isActive();
    }
    bool stillWaiting() const
    {
        return !w->session().Timer1->isActive() && w->session().Timer2->isActive();
    }
};

// The device on 127.0.0.2 at the other end of the window's fake service
// link, with the virtual controller behind it.
struct Device
{
    FakeDatagramLink &link;
    sim::VirtualController controller;

    explicit Device(const Form1 &w) : link(rig::fakeDatagram(w))
    {
        controller.setTickSource([] { return qint64(0); });
        controller.setClock(QDateTime(QDate(2024, 3, 15), QTime(13, 45, 30)), 5);
    }
    // The service port it announces.
    static quint16 port() { return 5020; }
    // The next request the window sent, or nothing.
    QByteArray next() { return link.takeSent(); }
    bool quiet() const { return link.sent.isEmpty(); }
    void answer(const QByteArray &request) { link.arrive(controller.answerNetwork(request)); }
};

} // namespace

class TestForm1Network : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startListening();
    void listeningPortInUse();
    void announcements_data();
    void announcements();
    void repeatedAnnouncementOnlyRefreshes();
    void servicePortIsUnsigned();
    void deviceChoice();
    void deviceChoiceWithoutSelection();
    void deviceOptionChoosesOnce();
    void firstReadsInOrder();
    void acceptance_data();
    void acceptance();
    void readRows_data();
    void readRows();
    void writeRows_data();
    void writeRows();
    void systemParameters_data();
    void systemParameters();
    void systemParametersCutShort();
    void tagCapture_data();
    void tagCapture();
    void clockAndWeekDay_data();
    void clockAndWeekDay();
    void zigbeeBlock();
    void upgradeStartAcknowledged();
    void upgradeBlockAcknowledged_data();
    void upgradeBlockAcknowledged();
    void dumpFileNames_data();
    void dumpFileNames();
    void dumpAppends();
    void presence_data();
    void presence();
    void lastDeviceGoesOffline();
    void stopClosesTheLink();
    void anyDatagramIsSurvived();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previous;
};

void TestForm1Network::init()
{
    m_previous = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QDir::setCurrent(m_dir->path());
}

void TestForm1Network::cleanup()
{
    QDir::setCurrent(m_previous);
}

// ---- Start and discovery ------------------------------------------------------

void TestForm1Network::startListening()
{
    Rig rig;
    Form1 &w = *rig.w;
    QFont bold = w.Text2->font();
    bold.setBold(true);
    control(w, "txtDevID")->setFont(bold);

    w.StartRun_Click();

    QVERIFY(w.session().wsckDeviceQuery->isListening());
    QVERIFY(w.session().wsckDeviceQuery->localPort() != 0);
    QCOMPARE(w.Text2->text(), QStringLiteral("正在查询设备，请稍候"));
    QVERIFY(!w.Text2->font().bold());
    QVERIFY(!control(w, "txtDevID")->font().bold());
    QVERIFY(w.cmdStop->isEnabled());
    for (const char *name : {"optComm_0", "optComm_1", "ComPort", "StartRun"})
        QVERIFY2(!control(w, name)->isEnabled(), name);
    QVERIFY(!w.session().Timer1->isActive());
    QCOMPARE(w.session().Timer1->interval(), 300);
    QCOMPARE(w.session().timMscon->interval(), 5000);
    QCOMPARE(w.session().deviceTable.entries().size(), 1);
    QVERIFY(w.session().deviceTable.entries().front().isEmpty());
    QCOMPARE(w.cmbDevice->count(), 0);
    QVERIFY(w.cmbDevice->isHidden());
    QVERIFY(!w.session().timCheckDevice->isActive());
    QVERIFY(rig.boxes.isEmpty());
}

void TestForm1Network::listeningPortInUse()
{
    // Another program holds the port.
    Rig rig;
    Form1 &w = *rig.w;
    auto &listener = dynamic_cast<FakeAnnouncementListener &>(*w.session().wsckDeviceQuery);
    listener.heldPorts = {kDiscoveryPort};
    w.session().discoveryPort = kDiscoveryPort;

    w.StartRun_Click();

    QCOMPARE(rig.boxes.size(), 1);
    QCOMPARE(rig.boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(rig.boxes[0].title, QStringLiteral("请注意Winsock错误!"));
    QCOMPARE(rig.boxes[0].text, QStringLiteral("指定的端口被其他程序占用"));
    QCOMPARE(w.Text2->text(), QStringLiteral("请排除错误原因后,重新开始"));
    QVERIFY(!w.session().wsckDeviceQuery->isListening());
    for (const char *name : {"optComm_0", "optComm_1", "StartRun"})
        QVERIFY2(control(w, name)->isEnabled(), name);
    for (const char *name :
         {"cmdStop", "cmdClearCode", "cmdCheckLight", "cmdStopCheck", "btRProfibus", "ckProfibus"})
        QVERIFY2(!control(w, name)->isEnabled(), name);
    QVERIFY(!QFile::exists(QStringLiteral("TAVG501ErrorLog.ini")));

    // Ready for another attempt once the port is free.
    listener.heldPorts.clear();
    w.StartRun_Click();
    QVERIFY(w.session().wsckDeviceQuery->isListening());
    QCOMPARE(w.Text2->text(), QStringLiteral("正在查询设备，请稍候"));
    QCOMPARE(rig.boxes.size(), 1);
}

void TestForm1Network::announcements_data()
{
    QTest::addColumn<QList<QByteArray>>("datagrams");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("status");

    const QByteArray a = announcement({192, 168, 1, 20}, 5000);
    const QByteArray b = announcement({10, 0, 0, 3}, 5001, "198");
    const QString waiting = QStringLiteral("正在查询设备，请稍候");
    const QString choose = QStringLiteral("当前有设备在线,请选择设备IP");
    const QString added = QStringLiteral("有新设备上线");

    QByteArray kind3 = a;
    kind3[0] = 3;
    QTest::newRow("90 bytes") << QList<QByteArray>{a.left(90)} << QStringList{} << waiting;
    QTest::newRow("92 bytes") << QList<QByteArray>{a + '\0'} << QStringList{} << waiting;
    QTest::newRow("kind 3") << QList<QByteArray>{kind3} << QStringList{} << waiting;
    QTest::newRow("empty") << QList<QByteArray>{QByteArray()} << QStringList{} << waiting;
    QTest::newRow("code 120 not accepted")
        << QList<QByteArray>{announcement({192, 168, 1, 21}, 5000, "120")} << QStringList{}
        << waiting;
    QTest::newRow("code 160 not accepted")
        << QList<QByteArray>{announcement({192, 168, 1, 21}, 5000, "160")} << QStringList{}
        << waiting;
    QTest::newRow("code 079") << QList<QByteArray>{a} << QStringList{"192.168.1.20"} << choose;
    QTest::newRow("never programmed")
        << QList<QByteArray>{announcement({192, 168, 1, 22}, 5000, "\xFF\xFF\xFF")}
        << QStringList{"192.168.1.22"} << choose;
    QTest::newRow("second device appended")
        << QList<QByteArray>{a, b} << QStringList{"192.168.1.20", "10.0.0.3"} << added;
    QTest::newRow("zero octet stays separate")
        << QList<QByteArray>{announcement({192, 168, 0, 7}, 5000), b}
        << QStringList{"192.168.0.7", "10.0.0.3"} << added;
    QTest::newRow("unaccepted after a listed one")
        << QList<QByteArray>{a, announcement({10, 0, 0, 9}, 5000, "132")}
        << QStringList{"192.168.1.20"} << choose;
    QTest::newRow("repeated") << QList<QByteArray>{a, a} << QStringList{"192.168.1.20"} << choose;
}

void TestForm1Network::announcements()
{
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(QStringList, items);
    QFETCH(QString, status);
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();

    for (const QByteArray &datagram : datagrams)
        rig.hear(datagram);

    QCOMPARE(rig.items(), items);
    QCOMPARE(w.session().deviceTable.itemTexts(), items);
    QCOMPARE(w.Text2->text(), status);
    QCOMPARE(w.cmbDevice->isHidden(), items.isEmpty());
    QCOMPARE(w.session().timCheckDevice->isActive(), !items.isEmpty());
    // Listing a device does not choose it.
    QCOMPARE(w.cmbDevice->currentIndex(), -1);
    QVERIFY(!w.session().Timer1->isActive());
    QVERIFY(logText().isEmpty());
}

void TestForm1Network::repeatedAnnouncementOnlyRefreshes()
{
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    rig.hear(announcement({192, 168, 1, 20}, 5000, "079", "FIRST"));
    w.Text2->setText(QStringLiteral("before"));
    w.session().timCheckDevice->stop();
    rig.now += 7s;

    rig.hear(announcement({192, 168, 1, 20}, 5007, "198", "SECOND"));

    QCOMPARE(rig.items(), QStringList{"192.168.1.20"});
    QCOMPARE(w.Text2->text(), QStringLiteral("before"));
    const DeviceEntry &entry = w.session().deviceTable.entries().front();
    QCOMPARE(entry.servicePort, quint16(5007));
    QCOMPARE(entry.pdTag.left(5), QByteArray("FIRST"));
    QCOMPARE(entry.deviceId.mid(17, 3), QByteArray("079"));
    QVERIFY(entry.lastSeen == rig.now);
    // The presence check runs again.
    QVERIFY(w.session().timCheckDevice->isActive());
}

void TestForm1Network::servicePortIsUnsigned()
{
    Rig rig;
    rig.w->StartRun_Click();
    QByteArray datagram = announcement({192, 168, 1, 30}, 0);
    datagram[87] = char(0x40);
    datagram[88] = char(0x9C);
    rig.hear(datagram);
    QCOMPARE(rig.w->session().deviceTable.entryForItem(0).servicePort, quint16(40000));
}

// ---- Device choice ------------------------------------------------------------

void TestForm1Network::deviceChoice()
{
    Rig rig;
    Device device(*rig.w);
    Form1 &w = *rig.w;
    w.StartRun_Click();
    rig.hear(announcement({10, 0, 0, 3}, 5001));
    rig.hear(announcement({127, 0, 0, 2}, device.port(), "079",
                          QByteArray("PUMP-7") + '\0' + "left over"));

    // Everything as far from the state a device choice leaves as it can be.
    for (QWidget *widget : w.findChildren<QWidget *>()) {
        widget->setEnabled(true);
        if (auto *lamp = qobject_cast<Lamp *>(widget)) lamp->setColor(Qt::red);
        if (auto *box = qobject_cast<QLineEdit *>(widget)) box->setText(QStringLiteral("7"));
        if (auto *label = qobject_cast<QLabel *>(widget); label && label->objectName() != "")
            label->setText(QStringLiteral("x"));
        if (auto *list = qobject_cast<QComboBox *>(widget); list && list->count() > 0)
            list->setCurrentIndex(0);
    }
    QFont bold = w.Text2->font();
    bold.setBold(true);
    control(w, "txtDevID")->setFont(bold);
    control<QDateEdit>(w, "datePicker")->setDate(QDate(2020, 1, 2));
    control<QTimeEdit>(w, "timePicker")->setTime(QTime(3, 4, 5));
    control(w, "cmdSave")->hide();
    control(w, "cmdRead")->hide();
    w.cmdPause->setText(QStringLiteral("继续"));
    w.session().Timer1->start();
    w.session().timMscon->start();
    w.session().networkReplyCounter = 7;
    w.session().receiveTimeoutCounter = 3;
    w.session().tagCaptureFlag = 1;

    w.cmbDevice->setCurrentIndex(1);
    w.cmbDevice_Click();

    QCOMPARE(w.Text2->text(), QStringLiteral("正在读取信息"));
    QCOMPARE(w.Text4->text(), QStringLiteral("0"));
    QCOMPARE(w.Text3->text(), QStringLiteral("0"));
    QCOMPARE(w.session().networkReplyCounter, 0);
    QCOMPARE(w.session().receiveTimeoutCounter, 0);
    const QStringList address{"127", "0", "0", "2"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(control<QLineEdit>(w, QStringLiteral("txtIp_%1").arg(i))->text(), address[i]);
    QCOMPARE(control<QLineEdit>(w, "txtPD_Tag")->text(), QStringLiteral("PUMP-7"));
    QVERIFY(!control(w, "txtDevID")->font().bold());

    const QStringList emptied{
        "lblNUM",        "txtSeries",   "txtInnerVersion",  "lblVersion",
        "txtModuleAddr", "txtDevID",    "txtDIPrevent",     "cpuTxt",
        "uPortTxt",      "txtHardAddr", "txtCellPressure",  "txthardwarenum",
        "txt_MAC_0",     "txt_MAC_5",   "txt_RSDataTime_0", "txt_RSDataTime_1"};
    for (const QString &name : emptied)
        QVERIFY2(control(w, name)->property("text").toString().isEmpty(), qPrintable(name));
    QStringList disabled{"cmdClearCode", "cmdCheckLight", "cmdStopCheck", "cmdSetPara",
                         "btRProfibus",  "ckProfibus",    "cmdSave",      "cmdPause",
                         "cmdRead",      "ReadTxtPublic", "datePicker",   "timePicker"};
    for (int i = 0; i < ClockIoPanel::kPointCount; ++i)
        disabled << QStringLiteral("bt_DIQ_%1").arg(i);
    for (int p = 0; p < 2; ++p)
        for (const char *list : {"Combo6", "Combo7", "Combo8", "Combo9", "Combo10", "ComboMS"}) {
            const QString name = QStringLiteral("%1_%2").arg(QLatin1String(list)).arg(p);
            disabled << name;
            QCOMPARE(control<QComboBox>(w, name)->currentIndex(), -1);
        }
    for (const QString &name : disabled)
        QVERIFY2(!control(w, name)->isEnabled(), qPrintable(name));
    for (const char *name : {"cmdGetSys", "cmdReclock"})
        QVERIFY2(control(w, name)->isEnabled(), name);
    QCOMPARE(w.cmdPause->text(), QStringLiteral("暂停"));
    QVERIFY(!control(w, "cmdSave")->isHidden());
    QVERIFY(!control(w, "cmdRead")->isHidden());
    QCOMPARE(control<QDateEdit>(w, "datePicker")->date(), QDate(1900, 1, 1));
    QCOMPARE(control<QTimeEdit>(w, "timePicker")->time(), QTime(0, 0, 0));
    for (int i = 0; i < 8; ++i)
        QCOMPARE(control<Lamp>(w, QStringLiteral("ram_sap_%1").arg(i))->color(), QColor(Qt::white));

    QVERIFY(w.session().wsckR_W->isOpen());
    QCOMPARE(w.session().wsckR_W->remoteAddress(), QHostAddress(QStringLiteral("127.0.0.2")));
    QCOMPARE(w.session().wsckR_W->remotePort(), device.port());
    QCOMPARE(w.session().wsckR_W->localPort(), device.port());
    QCOMPARE(w.session().tagCaptureFlag, qint16(0));
    QVERIFY(!w.session().timMscon->isActive());
    QVERIFY(w.session().Timer1->isActive());
    const CommandStack &stack = w.dispatcher().stack();
    QCOMPARE(stack.top(), 8);
    const QList<qint16> codes{9, 25, 75, 9, 12, 63, 1, 101, 176};
    for (int i = 0; i <= 8; ++i)
        QCOMPARE(stack.entry(i), codes[i]);
    QVERIFY2(logText().isEmpty(), qPrintable(logText()));
}

void TestForm1Network::deviceChoiceWithoutSelection()
{
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    rig.hear(announcement({10, 0, 0, 3}, 5001));
    w.cmbDevice->setCurrentIndex(-1);
    w.cmbDevice_Click();
    QVERIFY(logText().contains(QStringLiteral("CmbDevice_Click(Form1)")));
    QVERIFY(!w.session().Timer1->isActive());
    QVERIFY(!w.session().wsckR_W->isOpen());
    QCOMPARE(w.dispatcher().stack().top(), 0);
}

void TestForm1Network::deviceOptionChoosesOnce()
{
    ProgramOptions options = networkOptions();
    options.device = QStringLiteral("127.0.0.2");
    Rig rig(options);
    Device device(*rig.w);
    Form1 &w = *rig.w;
    w.StartRun_Click();

    rig.hear(announcement({10, 0, 0, 3}, 5001));
    QCOMPARE(w.cmbDevice->currentIndex(), -1);
    QVERIFY(!w.session().Timer1->isActive());

    rig.hear(announcement({127, 0, 0, 2}, device.port()));
    QCOMPARE(w.cmbDevice->currentIndex(), 1);
    QCOMPARE(w.Text2->text(), QStringLiteral("正在读取信息"));
    QVERIFY(w.session().wsckR_W->isOpen());
    QCOMPARE(w.session().wsckR_W->remotePort(), device.port());
    QCOMPARE(w.dispatcher().stack().top(), 8);
    QVERIFY(w.session().Timer1->isActive());

    // Chosen once: later announcements of the device only refresh it.
    w.dispatcher().stack().clear();
    rig.hear(announcement({127, 0, 0, 2}, device.port()));
    QCOMPARE(w.dispatcher().stack().top(), 0);
}

void TestForm1Network::firstReadsInOrder()
{
    struct Step
    {
        const char *request; // read request: 0C 000000, length 16, sequence, 0, block, type, count
        const char *sending; // status while it is out
        int wait;            // Timer2 interval, or 0 for a read that goes on
        const char *answered;
    };
    const Step steps[] = {
        {"0c000000100001000000b03601000000", "读取以太网zigbee参数", 1000, "读取zigbee参数成功"},
        {"0c0000001000020000001a2702000000", "", 0, "读DeviceID、PDTag成功"},
        {"0c00000010000300000013270100"
         "0000",
         "读系统参数", 0, "读系统参数成功"},
        // The week-day reply has no text of its own.
        {"0c0000001000040000006b0000000000", "正在读实时时钟星期", 3000, "正在读实时时钟星期"},
        {"0c000000100005000000132705000000", "读实时时钟", 0, "读实时时钟成功"},
        {"0c000000100006000000132709000000", "", 0, "读DI/DO状态成功"},
        {"0c000000100007000000b03605000000", "正在读取网关信息", 3000, "读取网关信息成功"},
        {"0c000000100008000000132710000000", "正在读MAC地址", 0, "读设备MAC地址成功"},
        {"0c000000100009000000132709000000", "", 0, "读DI/DO状态成功"},
        {"0c00000010000a000000132709000000", "", 0, "读DI/DO状态成功"},
    };

    Rig rig;
    Device device(*rig.w);
    Form1 &w = *rig.w;
    w.StartRun_Click();
    rig.hear(announcement({127, 0, 0, 2}, device.port()));
    w.cmbDevice->setCurrentIndex(0);
    w.cmbDevice_Click();

    int replies = 0;
    for (const Step &step : steps) {
        w.session().Timer1_Timer();
        const QByteArray sent = device.next();
        QVERIFY2(sent == hex(step.request), step.request);
        QVERIFY(device.quiet());
        QCOMPARE(w.Text2->text(), QString::fromUtf8(step.sending));
        QVERIFY(w.session().timMscon->isActive());
        if (step.wait) {
            QVERIFY(!w.session().Timer1->isActive());
            QVERIFY(w.session().Timer2->isActive());
            QCOMPARE(w.session().Timer2->interval(), step.wait);
        } else {
            QVERIFY(w.session().Timer1->isActive());
            QVERIFY(!w.session().Timer2->isActive());
        }

        device.answer(sent);
        ++replies;
        QCOMPARE(w.session().networkReplyCounter, replies);
        QCOMPARE(w.Text4->text(), QString::number(replies));
        QCOMPARE(w.Text2->text(), QString::fromUtf8(step.answered));
        QVERIFY(!w.session().timMscon->isActive());
        QVERIFY(w.session().Timer1->isActive());
        QVERIFY(!w.session().Timer2->isActive());
    }
    QCOMPARE(w.dispatcher().stack().top(), 0);

    // What the first reads put on the panel.
    QCOMPARE(control<QLineEdit>(w, "txtDeviceType")->text(), QStringLiteral("KVRQ101"));
    QCOMPARE(control<QLabel>(w, "lb_BookNo")->text(), QStringLiteral("2.1"));
    QCOMPARE(w.session().sysParam.DeviceType, quint8(8));
    QCOMPARE(control<QDateEdit>(w, "clkDate")->date(), QDate(2024, 3, 15));
    QCOMPARE(control<QTimeEdit>(w, "clkTime")->time(), QTime(13, 45, 30));
    QCOMPARE(control<QComboBox>(w, "Combo_WeekDay")->currentIndex(), 4);
    QCOMPARE(w.zigbeeFeature->zigbeeRecord.deviceNumber,
             device.controller.state().zigbee.deviceNumber);
    QCOMPARE(w.zigbeeFeature->zigbeeRecord.channelMask,
             device.controller.state().zigbee.channelMask);
    QVERIFY(rig.boxes.isEmpty());
    QVERIFY(logText().isEmpty());
}

// ---- Acceptance and routing -----------------------------------------------------

void TestForm1Network::acceptance_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("status"); // "before": nothing happened
    QTest::addColumn<bool>("resumed");

    // Outstanding: block 15000 type 0, which has a row in both tables.
    QTest::newRow("0x4C read") << reply(0x4C, kReadSequence, QByteArray(208, '\0'))
                               << "读取冗余信息成功" << true;
    QTest::newRow("0x0C read error") << reply(0x0C, kReadSequence) << "读服务响应错误" << true;
    QTest::newRow("0x8C read error") << reply(0x8C, kReadSequence) << "读服务响应错误" << true;
    QTest::newRow("0xCC read error") << reply(0xCC, kReadSequence) << "读服务响应错误" << true;
    QTest::newRow("error, any sequence") << reply(0xCC, 0x7777) << "读服务响应错误" << true;
    QTest::newRow("0x4D write") << reply(0x4D, kWriteSequence) << "写入冗余信息成功" << true;
    QTest::newRow("0x0D write error") << reply(0x0D, kWriteSequence) << "写服务失败" << true;
    QTest::newRow("0x8D write error") << reply(0x8D, kWriteSequence) << "写服务失败" << true;
    QTest::newRow("0xCD write error") << reply(0xCD, kWriteSequence) << "写服务失败" << true;
    QTest::newRow("read, wrong sequence") << reply(0x4C, kReadSequence + 1) << "before" << false;
    QTest::newRow("write, wrong sequence") << reply(0x4D, kWriteSequence - 1) << "before" << false;
    QTest::newRow("read with the write sequence")
        << reply(0x4C, kWriteSequence) << "before" << false;
    QTest::newRow("write with the read sequence")
        << reply(0x4D, kReadSequence) << "before" << false;
    QTest::newRow("unknown service 0x4E") << reply(0x4E, kReadSequence) << "before" << false;
    QTest::newRow("one byte") << hex("4e") << "before" << false;
}

void TestForm1Network::acceptance()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, status);
    QFETCH(bool, resumed);
    Rig rig;
    Form1 &w = *rig.w;
    rig.outstanding(15000, 0);

    w.session().wsckR_W_DataArrival(datagram);

    QCOMPARE(w.Text2->text(), status);
    QCOMPARE(rig.resumed(), resumed);
    QCOMPARE(rig.stillWaiting(), !resumed);
    // Every datagram is counted and stops the receive time-out.
    QCOMPARE(w.session().networkReplyCounter, 1);
    QCOMPARE(w.Text4->text(), QStringLiteral("1"));
    QVERIFY(!w.session().timMscon->isActive());
    QCOMPARE(w.session().networkReply, datagram);
    QVERIFY(logText().isEmpty());
}

void TestForm1Network::readRows_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("itemCount");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("status"); // "before": the row writes no text
    QTest::addColumn<bool>("resumed");

    const auto zeros = [](int n) { return QByteArray(n, '\0'); };
    QByteArray weekDay = zeros(118);
    weekDay[116] = 3; // datagram offset 128
    struct Row
    {
        const char *name;
        int address, type, count;
        QByteArray data;
        const char *status;
        bool resumed;
    };
    const Row rows[] = {
        {"dump", 10003, 0, 0, zeros(20), "正在将数据写入文件，请等待……", false},
        {"system parameters", 10003, 1, 0, zeros(104), "读系统参数成功", false},
        {"clock", 10003, 5, 0, hex("e807030f0d2d1e05"), "读实时时钟成功", false},
        {"DI/DO", 10003, 9, 0, zeros(8), "读DI/DO状态成功", false},
        {"slave", 10003, 14, 3, zeros(12), "读从设备配置信息成功", false},
        {"MAC", 10003, 16, 0, hex("0010a4e51209"), "读设备MAC地址成功", false},
        {"RAM test", 10003, 18, 0, hex("05"), "测试RAM结束", true},
        {"tag block type 1", 10010, 1, 0, zeros(0), "写DeviceID、PDTag成功", false},
        {"tags", 10010, 2, 0, zeros(82), "读DeviceID、PDTag成功", false},
        {"control parameters", 11008, 0, 0, zeros(242), "读取控制参数成功", true},
        {"zigbee", 14000, 1, 0, zeros(34), "读取zigbee参数成功", true},
        {"slave forwarding", 14000, 3, 0, zeros(64), "读取从设备转发信息成功", true},
        {"forwarding", 14000, 4, 0, zeros(488), "读取转发信息成功", true},
        {"gateway", 14000, 5, 0, zeros(8), "读取网关信息成功", true},
        {"redundancy", 15000, 0, 0, zeros(208), "读取冗余信息成功", true},
        {"week day, any type", 107, 5, 0, weekDay, "before", true},
        {"SM area", 107, 0, 256, zeros(512), "before", true},
        {"block 107, other item count", 107, 0, 1, weekDay, "before", false},
        {"unknown type", 10003, 99, 0, zeros(104), "before", false},
        {"unknown block", 12345, 0, 0, zeros(104), "before", false},
    };
    for (const Row &r : rows)
        QTest::newRow(r.name) << r.address << r.type << r.count << r.data
                              << QString::fromUtf8(r.status) << r.resumed;
}

void TestForm1Network::readRows()
{
    QFETCH(int, address);
    QFETCH(int, type);
    QFETCH(int, itemCount);
    QFETCH(QByteArray, data);
    QFETCH(QString, status);
    QFETCH(bool, resumed);
    Rig rig;
    Form1 &w = *rig.w;
    control<QLineEdit>(w, "txtDevID")->setText(QStringLiteral("0200000000000000"));
    rig.outstanding(address, type, itemCount);

    w.session().wsckR_W_DataArrival(reply(0x4C, kReadSequence, data));

    QCOMPARE(w.Text2->text(), status);
    QCOMPARE(rig.resumed(), resumed);
    QCOMPARE(rig.stillWaiting(), !resumed);
    if (address == 10003 && type == 18) {
        QVERIFY(w.session().timMscon->isActive());
        QCOMPARE(w.session().timMscon->interval(), 5000);
    } else {
        QVERIFY(!w.session().timMscon->isActive());
    }
    if (address == 107 && itemCount == 0)
        QCOMPARE(control<QComboBox>(w, "Combo_WeekDay")->currentIndex(), 2);
    QVERIFY2(logText().isEmpty(), qPrintable(logText()));
}

void TestForm1Network::writeRows_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("status"); // "before": the row writes no text
    QTest::addColumn<bool>("resumed");
    QTest::addColumn<int>("itemCount"); // after the reply; 5 before it

    struct Row
    {
        int address, type;
        const char *status;
        bool resumed;
        int itemCount;
    };
    const Row rows[] = {
        {107, 59, "before", true, 5},
        {107, 257, "写SM区信息成功", true, 5},
        {10003, 1, "下载升级包大小成功", true, 0},
        {10003, 4, "写系统参数成功", true, 5},
        {10003, 5, "before", true, 5},
        {10003, 6, "before", true, 5},
        {10003, 7, "before", true, 5},
        {10003, 8, "before", true, 5},
        {10003, 9, "写实时时钟成功", true, 5},
        {10003, 10, "before", true, 5},
        {10003, 11, "before", true, 5},
        {10003, 14, "before", true, 5},
        {10003, 15, "before", true, 5},
        {10003, 16, "before", true, 5},
        {10003, 17, "写从设备信息成功", true, 5},
        {10003, 19, "写MAC地址成功", true, 5},
        {10003, 22, "写停止下位机运行并清除下位机命令成功", true, 5},
        {10003, 23, "灯板检测通信成功", true, 0},
        {10003, 28, "恢复选中参数成功", true, 5},
        {10010, 1, "before", true, 5},
        {10010, 2, "写PD_Tag成功", true, 5},
        {10010, 7, "before", true, 5},
        {11008, 0, "写入控制参数成功", true, 5},
        {14000, 1, "写入zigbee参数成功", true, 5},
        {14000, 5, "写入从设备转发信息成功", true, 5},
        {14000, 6, "写入转发信息成功", true, 5},
        {14000, 7, "写入网关信息成功", true, 5},
        {15000, 0, "写入冗余信息成功", true, 5},
        // No row: nothing happens.
        {107, 0, "before", false, 5},
        {10003, 3, "before", false, 5},
        {10003, 18, "before", false, 5},
        {14000, 2, "before", false, 5},
        {15000, 1, "before", false, 5},
    };
    for (const Row &r : rows)
        QTest::addRow("%d/%d", r.address, r.type)
            << r.address << r.type << QString::fromUtf8(r.status) << r.resumed << r.itemCount;
}

void TestForm1Network::writeRows()
{
    QFETCH(int, address);
    QFETCH(int, type);
    QFETCH(QString, status);
    QFETCH(bool, resumed);
    QFETCH(int, itemCount);
    Rig rig;
    Form1 &w = *rig.w;
    rig.outstanding(address, type, 5);

    // A write reply carries no data: 12 bytes are a whole reply.
    w.session().wsckR_W_DataArrival(reply(0x4D, kWriteSequence));

    QCOMPARE(w.Text2->text(), status);
    QCOMPARE(rig.resumed(), resumed);
    QCOMPARE(rig.stillWaiting(), !resumed);
    QCOMPARE(w.dispatcher().sendState().itemCount, itemCount);
    QVERIFY(logText().isEmpty());
}

// ---- Blocks the handler decodes ---------------------------------------------------

void TestForm1Network::systemParameters_data()
{
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<int>("noProgram");
    QTest::addColumn<QString>("typeName");

    QTest::newRow("KVRQ101") << 8 << 0 << "KVRQ101";
    QTest::newRow("KVRX212, network only") << 42 << 0 << "KVRX212";
    QTest::newRow("WYLM101") << 52 << 0 << "WYLM101";
    QTest::newRow("unknown code") << 99 << 0 << "未编制设备,无法识别";
    QTest::newRow("no user program") << 4 << 1 << "KVRQ103";
}

void TestForm1Network::systemParameters()
{
    QFETCH(int, typeCode);
    QFETCH(int, noProgram);
    QFETCH(QString, typeName);
    Rig rig;
    Form1 &w = *rig.w;
    rig.outstanding(10003, 1);
    control(w, "bt_FindUpdataFile")->setEnabled(false);
    control(w, "bt_Updata")->setEnabled(false);

    // Datagram offsets: serial number 12..15, IP 16..19, device type 42,
    // no-program flag 76, boot version 77, RS485_2 at 99, 100..101,
    // 102..103, flash flags 112..113.
    QByteArray data(104, '\0');
    const auto at = [&data](int offset, quint8 value) { data[offset - 12] = char(value); };
    at(12, 0x2A);
    at(16, 192);
    at(17, 168);
    at(18, 1);
    at(19, 20);
    at(42, quint8(typeCode));
    at(76, quint8(noProgram));
    at(77, 0x13);
    at(99, 7);
    at(100, 0x34);
    at(101, 0x12);
    at(102, 0xFF);
    at(103, 0xFF);
    at(112, 0x01);
    at(113, 0x80);

    w.session().wsckR_W_DataArrival(reply(0x4C, kReadSequence, data));

    QCOMPARE(w.Text2->text(), QStringLiteral("读系统参数成功"));
    QVERIFY(rig.stillWaiting());
    QCOMPARE(w.session().sysParam.SerialNumber, 42);
    QCOMPARE(w.session().sysParam.IpAddress, (std::array<quint8, 4>{192, 168, 1, 20}));
    QCOMPARE(w.session().sysParam.DeviceType, quint8(typeCode));
    QCOMPARE(control<QLabel>(w, "lb_BookNo")->text(), QStringLiteral("1.3"));
    QCOMPARE(control<QLineEdit>(w, "txtDeviceType")->text(), typeName);
    QCOMPARE(control<QLineEdit>(w, "Text_ErrorTimeComm2")->text(), QStringLiteral("7"));
    QCOMPARE(control<QLineEdit>(w, "Text_InterTimeComm2")->text(), QStringLiteral("4660"));
    QCOMPARE(control<QLineEdit>(w, "Text_WaitTimeComm2")->text(), QStringLiteral("65535"));
    for (int i = 0; i < 16; ++i)
        QCOMPARE(control<Lamp>(w, QStringLiteral("shpFlash_%1").arg(i))->color(),
                 i == 0 || i == 15 ? QColor(255, 0, 0) : QColor(0, 255, 0));
    for (int i = 0; i < 6; ++i) {
        auto *box = control<QLineEdit>(w, QStringLiteral("txt_MAC_%1").arg(i));
        QVERIFY(!box->isEnabled());
        QCOMPARE(box->palette().color(QPalette::Base), QColor(224, 224, 224));
    }
    if (noProgram) {
        QCOMPARE(rig.boxes.size(), 1);
        QCOMPARE(rig.boxes[0].text, QStringLiteral("无用户程序，请升级用户程序"));
        QVERIFY(control(w, "bt_FindUpdataFile")->isEnabled());
        QVERIFY(control(w, "bt_Updata")->isEnabled());
    } else {
        QVERIFY(std::none_of(rig.boxes.begin(), rig.boxes.end(), [](const MessageBoxRequest &b) {
            return b.text == QStringLiteral("无用户程序，请升级用户程序");
        }));
    }
    QVERIFY(!logText().contains(QStringLiteral("DistributeSysParam(Form1)")));
}

void TestForm1Network::systemParametersCutShort()
{
    Rig rig;
    Form1 &w = *rig.w;
    rig.outstanding(10003, 1);
    control<QLineEdit>(w, "Text_InterTimeComm2")->setText(QStringLiteral("keep"));
    // 100 bytes: the RS485_2 error count at 99 is there, the interval at
    // 100..101 is not.
    QByteArray data(88, '\0');
    data[42 - 12] = 8;
    data[77 - 12] = 0x21;
    data[99 - 12] = 9;

    w.session().wsckR_W_DataArrival(reply(0x4C, kReadSequence, data));

    QCOMPARE(control<QLabel>(w, "lb_BookNo")->text(), QStringLiteral("2.1"));
    QCOMPARE(control<QLineEdit>(w, "txtDeviceType")->text(), QStringLiteral("KVRQ101"));
    QCOMPARE(control<QLineEdit>(w, "Text_ErrorTimeComm2")->text(), QStringLiteral("9"));
    QCOMPARE(control<QLineEdit>(w, "Text_InterTimeComm2")->text(), QStringLiteral("keep"));
    const QString log = logText();
    QCOMPARE(log.count(QStringLiteral("\r\n")), 1);
    QVERIFY(log.contains(QStringLiteral("DistributeSysParam(Form1)")));
    QVERIFY(log.contains(QStringLiteral("下标越界")));
}

void TestForm1Network::tagCapture_data()
{
    QTest::addColumn<int>("flag");
    QTest::addColumn<int>("dataLength");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("captured");
    QTest::addColumn<bool>("logged");

    QTest::newRow("to the panel") << 0 << 82 << "读DeviceID、PDTag成功" << false << false;
    QTest::newRow("captured") << 1 << 82 << "before" << true << false;
    QTest::newRow("captured, longer reply") << 1 << 100 << "before" << true << false;
    QTest::newRow("capture, reply cut short") << 1 << 81 << "before" << false << true;
    QTest::newRow("panel, reply cut short") << 0 << 81 << "读DeviceID、PDTag成功" << false << true;
}

void TestForm1Network::tagCapture()
{
    QFETCH(int, flag);
    QFETCH(int, dataLength);
    QFETCH(QString, status);
    QFETCH(bool, captured);
    QFETCH(bool, logged);
    Rig rig;
    Form1 &w = *rig.w;
    rig.outstanding(10010, 2);
    w.session().tagCaptureFlag = qint16(flag);
    const QByteArray before = hex("0102");
    w.dispatcher().sendState().writePayload = before;
    QByteArray data;
    for (int i = 0; i < dataLength; ++i)
        data.append(char(0x30 + i % 10));

    w.session().wsckR_W_DataArrival(reply(0x4C, kReadSequence, data));

    QCOMPARE(w.Text2->text(), status);
    QCOMPARE(w.dispatcher().sendState().writePayload, captured ? data.left(82) : before);
    QCOMPARE(w.session().tagCaptureFlag, qint16(captured ? 0 : flag));
    QCOMPARE(logText().contains(QStringLiteral("wsckR_W_DataArrival(Form1)")), logged);
    QVERIFY(rig.stillWaiting());
}

void TestForm1Network::clockAndWeekDay_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("weekDay");
    QTest::addColumn<bool>("logged");

    const QDate keepDate(2001, 2, 3);
    const QTime keepTime(4, 5, 6);
    // year 2026 (EA 07), 7 July, 23:59:58, Sunday
    QTest::newRow("clock") << 10003
                           << hex("ea07070717"
                                  "3b3a07")
                           << QDate(2026, 7, 7) << QTime(23, 59, 58) << 6 << false;
    QTest::newRow("clock, 31 February") << 10003
                                        << hex("e807021f0000"
                                               "0001")
                                        << keepDate << keepTime << 1 << true;
    QTest::newRow("clock cut short")
        << 10003 << hex("e807030f0d2d1e") << keepDate << keepTime << 1 << true;
    QByteArray day(118, '\0');
    day[116] = 1;
    QTest::newRow("week day 1") << 107 << day << keepDate << keepTime << 0 << false;
    day[116] = 7;
    QTest::newRow("week day 7") << 107 << day << keepDate << keepTime << 6 << false;
    day[116] = 0;
    QTest::newRow("week day 0") << 107 << day << keepDate << keepTime << -1 << false;
    day[116] = 1;
    day[117] = 1; // 257
    QTest::newRow("week day 257") << 107 << day << keepDate << keepTime << -1 << false;
    QTest::newRow("week day cut short")
        << 107 << QByteArray(117, '\x01') << keepDate << keepTime << 1 << true;
}

void TestForm1Network::clockAndWeekDay()
{
    QFETCH(int, address);
    QFETCH(QByteArray, data);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(int, weekDay);
    QFETCH(bool, logged);
    Rig rig;
    Form1 &w = *rig.w;
    rig.outstanding(address, address == 107 ? 0 : 5);
    control<QDateEdit>(w, "clkDate")->setDate(QDate(2001, 2, 3));
    control<QTimeEdit>(w, "clkTime")->setTime(QTime(4, 5, 6));
    control<QComboBox>(w, "Combo_WeekDay")->setCurrentIndex(1);

    w.session().wsckR_W_DataArrival(reply(0x4C, kReadSequence, data));

    QCOMPARE(control<QDateEdit>(w, "clkDate")->date(), date);
    QCOMPARE(control<QTimeEdit>(w, "clkTime")->time(), time);
    QCOMPARE(control<QComboBox>(w, "Combo_WeekDay")->currentIndex(), weekDay);
    QCOMPARE(logText().contains(QStringLiteral("wsckR_W_DataArrival(Form1)")), logged);
    if (address == 10003) {
        // The clock read enables the clock controls first.
        for (const char *name : {"clkDate", "clkTime", "cmdWrclock", "cmdTimeInit", "cmdReclock"})
            QVERIFY2(control(w, name)->isEnabled(), name);
        QVERIFY(rig.stillWaiting());
    } else {
        QCOMPARE(rig.resumed(), !logged);
    }
}

void TestForm1Network::zigbeeBlock()
{
    Rig rig;
    Form1 &w = *rig.w;
    rig.outstanding(14000, 1);
    // The 34-byte block from datagram offset 12, then the rest of the item.
    const QByteArray block = hex("0203"
                                 "3412"
                                 "00f8ff07"
                                 "0102030405060708"
                                 "1112131415161718"
                                 "01"
                                 "05"
                                 "e803"
                                 "d007"
                                 "0300"
                                 "1027") +
                             QByteArray(30, '\0');

    w.session().wsckR_W_DataArrival(reply(0x4C, kReadSequence, block));

    QCOMPARE(w.Text2->text(), QStringLiteral("读取zigbee参数成功"));
    QVERIFY(rig.resumed());
    const ZigbeeRecord &z = w.zigbeeFeature->zigbeeRecord;
    QCOMPARE(z.deviceLogic, quint8(2));
    QCOMPARE(z.networkType, quint8(3));
    QCOMPARE(z.deviceNumber, quint16(0x1234));
    QCOMPARE(z.channelMask, quint32(0x07FFF800));
    QCOMPARE(z.mac, (std::array<quint8, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    QCOMPARE(z.extendedPanId,
             (std::array<quint8, 8>{0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18}));
    QCOMPARE(z.enabled, quint8(1));
    QCOMPARE(z.chainAddress, quint8(5));
    QCOMPARE(z.readInterval, quint16(1000));
    QCOMPARE(z.writeInterval, quint16(2000));
    QCOMPARE(z.maxWaitCount, quint16(3));
    QCOMPARE(z.selfCheckTime, quint16(10000));

    // A block cut short leaves the record and is logged; the time-out ends the wait.
    rig.outstanding(14000, 1);
    w.session().wsckR_W_DataArrival(reply(0x4C, kReadSequence, hex("0909")));
    QCOMPARE(w.zigbeeFeature->zigbeeRecord.deviceLogic, quint8(2));
    QVERIFY(logText().contains(QStringLiteral("wsckR_W_DataArrival(Form1)")));
    // Timer1 was restarted before the block was split.
    QVERIFY(rig.resumed());
}

// ---- Upgrade acknowledgements ------------------------------------------------------

void TestForm1Network::upgradeStartAcknowledged()
{
    Rig rig;
    Form1 &w = *rig.w;
    rig.outstanding(10003, 0, 4);
    w.session().timCheckDevice->start();
    w.session().Timer1->start();

    w.session().wsckR_W_DataArrival(reply(0x4D, kWriteSequence));

    QCOMPARE(w.Text2->text(), QStringLiteral("开始升级"));
    QCOMPARE(w.dispatcher().sendState().itemCount, 0);
    QVERIFY(!w.session().timCheckDevice->isActive());
    QVERIFY(!w.session().Timer1->isActive());
    QVERIFY(w.session().Sleep_Timer->isActive());
    QCOMPARE(w.session().Sleep_Timer->interval(), 3000);
    // The start is answered: no time-out runs during the restart delay.
    QVERIFY(!w.session().Timer2->isActive());
}

void TestForm1Network::upgradeBlockAcknowledged_data()
{
    QTest::addColumn<bool>("last");
    QTest::newRow("blocks left") << false;
    QTest::newRow("last block") << true;
}

void TestForm1Network::upgradeBlockAcknowledged()
{
    QFETCH(bool, last);
    Rig rig;
    Form1 &w = *rig.w;
    rig.outstanding(10003, 2, 9);
    w.session().StartProgress(3, false);
    w.session().StepProgress();
    if (last) w.session().StepProgress();
    w.dispatcher().setUpgradeFlag(1);
    w.session().Timer1->setInterval(10);
    control(w, "bt_Updata")->setEnabled(false);

    w.session().wsckR_W_DataArrival(reply(0x4D, kWriteSequence));

    QCOMPARE(w.Text2->text(), QStringLiteral("发送升级数据成功"));
    QCOMPARE(w.dispatcher().sendState().itemCount, 0);
    QCOMPARE(w.dispatcher().upgradeFlag(), qint16(0));
    QVERIFY(rig.resumed());
    if (last) {
        QVERIFY(w.ProgressBar->isHidden());
        QVERIFY(w.lb_ProgProc->isHidden());
        QCOMPARE(w.session().progress.value, 0);
        QVERIFY(control(w, "bt_Updata")->isEnabled());
        QCOMPARE(w.session().Timer1->interval(), 300);
        QVERIFY(w.session().timCheckDevice->isActive());
        QCOMPARE(w.session().timCheckDevice->interval(), 7000);
        QCOMPARE(rig.boxes.size(), 1);
        QCOMPARE(rig.boxes[0].text, QStringLiteral("升级成功！"));
    } else {
        QVERIFY(!w.ProgressBar->isHidden());
        QCOMPARE(w.session().progress.value, 2);
        QVERIFY(!control(w, "bt_Updata")->isEnabled());
        QCOMPARE(w.session().Timer1->interval(), 10);
        QVERIFY(!w.session().timCheckDevice->isActive());
        QVERIFY(rig.boxes.isEmpty());
    }
}

// ---- The whole-area dump -------------------------------------------------------------

void TestForm1Network::dumpFileNames_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("digits") << "02000000000000000901512090001"
                            << "02000000000000000901512090001.DAT";
    QTest::newRow("path") << "../etc/pass wd"
                          << "etcpasswd.DAT";
    QTest::newRow("absolute") << "/tmp/x"
                              << "tmpx.DAT";
    QTest::newRow("drive and backslash") << "C:\\Windows\\a.b"
                                         << "CWindowsab.DAT";
    QTest::newRow("dash and underscore") << "a-b_c"
                                         << "a-b_c.DAT";
    QTest::newRow("Chinese letters") << "泵站1"
                                     << "泵站1.DAT";
    QTest::newRow("empty") << ""
                           << "UserBlock.DAT";
    QTest::newRow("nothing left") << "../.."
                                  << "UserBlock.DAT";
}

void TestForm1Network::dumpFileNames()
{
    QFETCH(QString, deviceId);
    QFETCH(QString, fileName);
    QCOMPARE(dumpFileName(deviceId), fileName);
}

void TestForm1Network::dumpAppends()
{
    Rig rig;
    Form1 &w = *rig.w;
    control<QLineEdit>(w, "txtDevID")->setText(QStringLiteral("../02-00_9"));
    const QByteArray area = hex("0400aabbccdd");

    rig.outstanding(10003, 0);
    w.session().wsckR_W_DataArrival(reply(0x4C, kReadSequence, area));
    QCOMPARE(w.Text2->text(), QStringLiteral("正在将数据写入文件，请等待……"));
    // Nothing else: no completion text and the wait goes on.
    QVERIFY(rig.stillWaiting());

    QFile file(QStringLiteral("02-00_9.DAT"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), hex("aabbccdd"));
    file.close();

    rig.outstanding(10003, 0);
    w.session().wsckR_W_DataArrival(reply(0x4C, kReadSequence, area));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), hex("aabbccddaabbccdd"));
    QVERIFY(!QFile::exists(QStringLiteral("../02-00_9.DAT")));
    QVERIFY(logText().isEmpty());
}

// ---- Presence ------------------------------------------------------------------------

void TestForm1Network::presence_data()
{
    QTest::addColumn<bool>("chosen"); // the silent device is the chosen one
    QTest::newRow("another device") << false;
    QTest::newRow("the chosen device") << true;
}

void TestForm1Network::presence()
{
    QFETCH(bool, chosen);
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    const QByteArray a = announcement({10, 0, 0, 1}, 5001);
    const QByteArray b = announcement({10, 0, 0, 2}, 5002);
    const QByteArray c = announcement({10, 0, 0, 3}, 5003);
    for (const QByteArray &d : {a, b, c})
        rig.hear(d);
    const QStringList address =
        chosen ? QStringList{"10", "0", "0", "2"} : QStringList{"10", "0", "0", "3"};
    for (int i = 0; i < 4; ++i)
        control<QLineEdit>(w, QStringLiteral("txtIp_%1").arg(i))->setText(address[i]);
    w.cmbDevice->setCurrentIndex(chosen ? 1 : 2);
    w.session().Timer1->start();
    w.session().timMscon->start();
    w.session().networkReplyCounter = 12;
    w.Text4->setText(QStringLiteral("12"));
    control<QLineEdit>(w, "txtSeries")->setText(QStringLiteral("77"));
    control(w, "cmdGetSys")->setEnabled(true);
    // An input and an output of the largest grid, lit and enabled.
    for (const int point : {3, 59}) {
        control(w, QStringLiteral("bt_DIQ_%1").arg(point))->setEnabled(true);
        w.clockIoFeature->panel()->paintPoint(point, true);
    }
    const QColor lit = control(w, "bt_DIQ_3")->palette().color(QPalette::Button);
    control<QDateEdit>(w, "datePicker")->setDate(QDate(2015, 12, 9));

    // Ten seconds of silence are not yet too many.
    rig.now += 10s;
    w.timCheckDevice_Timer();
    QCOMPARE(rig.items().size(), 3);

    rig.now += 1s;
    rig.hear(a);
    rig.hear(c);
    w.timCheckDevice_Timer();

    QCOMPARE(rig.items(), (QStringList{"10.0.0.1", "10.0.0.3"}));
    QCOMPARE(w.session().deviceTable.itemTexts(), rig.items());
    QVERIFY(w.session().timCheckDevice->isActive());
    QVERIFY(!w.cmbDevice->isHidden());
    if (chosen) {
        QCOMPARE(w.Text2->text(), QStringLiteral("当前设备下线"));
        for (int i = 0; i < 4; ++i)
            QVERIFY(control<QLineEdit>(w, QStringLiteral("txtIp_%1").arg(i))->text().isEmpty());
        QVERIFY(!w.session().Timer1->isActive());
        QVERIFY(!w.session().timMscon->isActive());
        QCOMPARE(w.Text4->text(), QStringLiteral("0"));
        QCOMPARE(w.session().networkReplyCounter, 0);
        QVERIFY(control<QLineEdit>(w, "txtSeries")->text().isEmpty());
        QVERIFY(!control(w, "cmdGetSys")->isEnabled());
        for (const char *point : {"bt_DIQ_3", "bt_DIQ_59"}) {
            QVERIFY2(!control(w, point)->isEnabled(), point);
            QCOMPARE(control(w, point)->palette().color(QPalette::Button),
                     QApplication::palette(control(w, point)).color(QPalette::Button));
        }
        QCOMPARE(control<QDateEdit>(w, "datePicker")->date(), QDate(1900, 1, 1));
        QCOMPARE(w.cmbDevice->currentIndex(), -1);
    } else {
        QCOMPARE(w.Text2->text(), QStringLiteral("有设备下线"));
        QCOMPARE(control<QLineEdit>(w, "txtIp_3")->text(), QStringLiteral("3"));
        QVERIFY(w.session().Timer1->isActive());
        QCOMPARE(w.Text4->text(), QStringLiteral("12"));
        QVERIFY(control(w, "cmdGetSys")->isEnabled());
        QCOMPARE(control(w, "bt_DIQ_3")->palette().color(QPalette::Button), lit);
        QCOMPARE(control(w, "bt_DIQ_59")->palette().color(QPalette::Button), lit);
        QCOMPARE(w.cmbDevice->currentText(), QStringLiteral("10.0.0.3"));
    }

    // Two silent devices in a row: the one that moves into the dropped one's
    // place waits for the next tick.
    rig.hear(b);
    QCOMPARE(rig.items(), (QStringList{"10.0.0.1", "10.0.0.3", "10.0.0.2"}));
    rig.now += 11s;
    rig.hear(a);
    w.timCheckDevice_Timer();
    QCOMPARE(rig.items(), (QStringList{"10.0.0.1", "10.0.0.2"}));
    w.timCheckDevice_Timer();
    QCOMPARE(rig.items(), (QStringList{"10.0.0.1"}));
    QCOMPARE(w.session().deviceTable.itemTexts(), rig.items());
    QVERIFY(logText().isEmpty());
}

void TestForm1Network::lastDeviceGoesOffline()
{
    Rig rig;
    Form1 &w = *rig.w;
    w.StartRun_Click();
    rig.hear(announcement({10, 0, 0, 1}, 5001));
    for (int i = 0; i < 4; ++i)
        control<QLineEdit>(w, QStringLiteral("txtIp_%1").arg(i))->setText(QStringLiteral("9"));
    w.session().Timer1->start();
    control<QLineEdit>(w, "txtDevID")->setText(QStringLiteral("0200"));
    control(w, "cmdGetSys")->setEnabled(true);
    control(w, "ckProfibus")->setEnabled(true);
    control<Lamp>(w, "ram_sap_2")->setColor(Qt::red);

    rig.now += 11s;
    w.timCheckDevice_Timer();

    QCOMPARE(w.cmbDevice->count(), 0);
    QVERIFY(w.cmbDevice->isHidden());
    QVERIFY(!w.session().timCheckDevice->isActive());
    QCOMPARE(w.session().deviceTable.entries().size(), 1);
    QVERIFY(w.session().deviceTable.entries().front().isEmpty());
    QCOMPARE(w.Text2->text(), QStringLiteral("当前无在线设备,请检查设备状态"));
    QVERIFY(control<QLineEdit>(w, "txtIp_0")->text().isEmpty());
    QVERIFY(control<QLineEdit>(w, "txtDevID")->text().isEmpty());
    QVERIFY(!w.session().Timer1->isActive());
    QVERIFY(!control(w, "cmdGetSys")->isEnabled());
    QVERIFY(!control(w, "ckProfibus")->isEnabled());
    QCOMPARE(control<Lamp>(w, "ram_sap_2")->color(), QColor(Qt::white));

    // Listening goes on: the device is listed again when it comes back.
    rig.hear(announcement({10, 0, 0, 1}, 5001));
    QCOMPARE(rig.items(), QStringList{"10.0.0.1"});
    QVERIFY(!w.cmbDevice->isHidden());
    QVERIFY(w.session().timCheckDevice->isActive());
}

void TestForm1Network::stopClosesTheLink()
{
    Rig rig;
    Device device(*rig.w);
    Form1 &w = *rig.w;
    w.StartRun_Click();
    rig.hear(announcement({10, 0, 0, 1}, 5001));
    rig.hear(announcement({127, 0, 0, 2}, device.port()));
    w.cmbDevice->setCurrentIndex(1);
    w.cmbDevice_Click();
    w.session().Timer1_Timer();
    QVERIFY(!device.next().isEmpty());
    w.session().networkReplyCounter = 4;

    w.cmdStop_Click();

    QVERIFY(!w.session().wsckDeviceQuery->isListening());
    QVERIFY(!w.session().wsckR_W->isOpen());
    QCOMPARE(w.session().deviceTable.entries().size(), 1);
    QVERIFY(w.session().deviceTable.entries().front().isEmpty());
    QCOMPARE(w.cmbDevice->count(), 0);
    QVERIFY(w.cmbDevice->isHidden());
    QVERIFY(w.Text2->text().isEmpty());
    for (QTimer *timer :
         {w.session().Timer1, w.session().Timer2, w.session().timMscon, w.session().timCheckDevice})
        QVERIFY2(!timer->isActive(), qPrintable(timer->objectName()));
    QCOMPARE(w.dispatcher().stack().top(), 0);
    QCOMPARE(w.session().networkReplyCounter, 0);
    QCOMPARE(w.Text4->text(), QStringLiteral("0"));
    QVERIFY(w.StartRun->isEnabled());

    // A new start listens again and waits for announcements.
    w.StartRun_Click();
    QVERIFY(w.session().wsckDeviceQuery->isListening());
    QCOMPARE(w.Text2->text(), QStringLiteral("正在查询设备，请稍候"));
    rig.hear(announcement({10, 0, 0, 1}, 5001));
    QCOMPARE(rig.items(), QStringList{"10.0.0.1"});
    QVERIFY(logText().isEmpty());
}

// ---- Robustness ----------------------------------------------------------------------

void TestForm1Network::anyDatagramIsSurvived()
{
    Rig rig;
    Form1 &w = *rig.w;
    control<QLineEdit>(w, "txtDevID")->setText(QStringLiteral("garbage"));
    struct Outstanding
    {
        qint32 address, type, count;
        quint8 first; // a good reply of the request's own service
    };
    QList<Outstanding> requests;
    for (const NetworkReplyRow &row : networkReadReplies()) {
        const bool byCount = row.key == NetworkReplyKey::ItemCount;
        requests.append({row.blockAddress, byCount ? 0 : row.value, byCount ? row.value : 0, 0x4C});
    }
    for (const NetworkReplyRow &row : networkWriteReplies())
        requests.append({row.blockAddress, row.value, 0, 0x4D});
    requests.append({4242, 1, 0, 0x4C});
    requests.append({4242, 1, 0, 0x4D});

    int datagrams = 0;
    for (const Outstanding &request : requests) {
        const quint16 sequence = request.first == 0x4C ? kReadSequence : kWriteSequence;
        for (int length = 0; length <= 600; ++length) {
            rig.outstanding(request.address, request.type, request.count);
            w.dispatcher().setUpgradeFlag(1);
            QByteArray d(length, '\0');
            for (int i = 0; i < length; ++i)
                d[i] = char((i * 37 + length) & 0xFF);
            if (length > 0) d[0] = char(request.first);
            if (length > 7) {
                d[6] = char(sequence & 0xFF);
                d[7] = char(sequence >> 8);
            }
            w.session().wsckR_W_DataArrival(d);
            ++datagrams;
        }
    }
    QCOMPARE(datagrams, int(requests.size()) * 601);
    // Still answering afterwards.
    rig.outstanding(15000, 0);
    w.session().wsckR_W_DataArrival(reply(0x4C, kReadSequence, QByteArray(208, '\0')));
    QCOMPARE(w.Text2->text(), QStringLiteral("读取冗余信息成功"));
}

QTEST_MAIN(TestForm1Network)
#include "test_form1_network.moc"
