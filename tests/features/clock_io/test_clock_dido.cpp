// Clock, DI/DQ points and identity tags of the main window on both links:
// the clock buttons and the requests they send, the week day of a date, the
// DI/DO decode into the point grid with the hard address, high-speed values
// and battery voltage, switching an output and the repaint after the write,
// the tag decode and the tag write, and the small MAC, gateway and RAM-test
// replies. Replies and requests are written by hand from the block layouts.
#include "app/form1.h"
#include "features/clock_io/clock_io_feature.h"

#include "core/codepage.h"
#include "features/common/lamp.h"
#include "protocol/device_catalogue.h"
#include "protocol/frames.h"
#include "support/hex.h"
#include "support/log_text.h"
#include "support/scratch_dir.h"
#include "support/serial_rig.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <QtTest>

using namespace kalmo;
using rig::control;

namespace {

QString text(const QWidget &w, const QString &name)
{
    return control<QWidget>(w, name)->property("text").toString();
}

QList<qint16> queued(const Form1 &w)
{
    QList<qint16> codes;
    for (int i = 1; i <= w.dispatcher().stack().top(); ++i)
        codes << w.dispatcher().stack().entry(i);
    return codes;
}

// 1: painted as a set point, 0: the button face, -1: neither.
int painted(const Form1 &w, int button)
{
    const auto *b = control<QPushButton>(w, QStringLiteral("bt_DIQ_%1").arg(button));
    const QColor color = b->palette().color(QPalette::Button);
    if (color == QColor(0, 255, 0)) return 1;
    if (color == QApplication::palette(b).color(QPalette::Button)) return 0;
    return -1;
}

void chooseNetwork(Form1 &w)
{
    w.optComm[1]->setChecked(true);
}

// A good reply of the read/write service to the read of `block`/`type` that
// is outstanding, carrying `data` from offset 12.
QByteArray networkReadReply(Form1 &w, qint32 block, qint32 type, const QByteArray &data,
                            qint32 itemCount = 0)
{
    SendState &send = w.dispatcher().sendState();
    send.blockAddress = block;
    send.blockType = type;
    send.itemCount = itemCount;
    send.readSequence = 0x0102;
    send.lastRead = {block, type, itemCount};
    QByteArray datagram(12, '\0');
    datagram[0] = char(0x4C);
    datagram[6] = char(0x02);
    datagram[7] = char(0x01);
    return datagram + data;
}

QByteArray networkWriteReply(Form1 &w, qint32 block, qint32 type)
{
    SendState &send = w.dispatcher().sendState();
    send.blockAddress = block;
    send.blockType = type;
    send.writeSequence = 0x0304;
    send.lastWrite = {block, type, send.itemCount};
    QByteArray datagram(12, '\0');
    datagram[0] = char(0x4D);
    datagram[6] = char(0x04);
    datagram[7] = char(0x03);
    return datagram;
}

// The window connected to a virtual controller of this type, its system
// information read so that the grid is set up for the model.
std::unique_ptr<rig::SerialRig> connectedTo(int type, quint16 firmware = 0x3305)
{
    sim::DeviceProfile profile;
    profile.deviceType = quint8(type);
    profile.firmwareVersion = firmware;
    auto r = std::make_unique<rig::SerialRig>(profile);
    r->w->StartRun_Click();
    r->w->dispatcher().stack().clear();
    r->w->session().receiveSerial(r->controller.answerSerial(buildSerialFrame(1)));
    return r;
}

} // namespace

class TestClockDido : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<ScratchWorkingDir>(); }
    void cleanup() { m_dir.reset(); }

    void clockReply_data();
    void clockReply();
    void weekDayOfDate_data();
    void weekDayOfDate();
    void userDateSetsWeekDay();
    void pcTime();
    void clockButtons_data();
    void clockButtons();
    void serialClockWrite_data();
    void serialClockWrite();
    void networkClockWrite();
    void didoDecode_data();
    void didoDecode();
    void shortDidoReplyIsLogged();
    void switchOutput_data();
    void switchOutput();
    void lateReadKeepsTheSwitch();
    void inputButtonsDoNothing();
    void repaintAfterWrite_data();
    void repaintAfterWrite();
    void tagDecode_data();
    void tagDecode();
    void tagWrite_data();
    void tagWrite();
    void smallReplies_data();
    void smallReplies();
    void pointGridShowsWhole_data();
    void pointGridShowsWhole();

private:
    std::unique_ptr<ScratchWorkingDir> m_dir;
};

// ---- Clock -------------------------------------------------------------------

void TestClockDido::clockReply_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<QByteArray>("clock"); // year (2), month, day, hour, minute, second, week day
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("weekDay");

    QTest::newRow("EA 07 is 2026, 7 is Sunday")
        << false << hex("ea07010412000007") << QDate(2026, 1, 4) << QTime(18, 0, 0) << 6;
    QTest::newRow("1 is Monday") << false << hex("ea07010512000001") << QDate(2026, 1, 5)
                                 << QTime(18, 0, 0) << 0;
    QTest::newRow("network") << true << hex("ea0701040d2d1e07") << QDate(2026, 1, 4)
                             << QTime(13, 45, 30) << 6;
}

void TestClockDido::clockReply()
{
    QFETCH(bool, network);
    QFETCH(QByteArray, clock);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(int, weekDay);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    if (network) {
        chooseNetwork(*w);
        w->session().wsckR_W_DataArrival(networkReadReply(*w, 10003, 5, clock));
    } else {
        w->session().receiveSerial(buildSerialFrame(19, clock));
    }
    QCOMPARE(control<QDateEdit>(*w, "clkDate")->date(), date);
    QCOMPARE(control<QTimeEdit>(*w, "clkTime")->time(), time);
    QCOMPARE(control<QComboBox>(*w, "Combo_WeekDay")->currentIndex(), weekDay);
    QCOMPARE(control<QComboBox>(*w, "Combo_WeekDay")->currentText(),
             weekDay == 6 ? QStringLiteral("日") : QStringLiteral("一"));
}

void TestClockDido::weekDayOfDate_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("weekDay");
    QTest::newRow("Sunday") << QDate(2026, 1, 4) << "日";
    QTest::newRow("Monday") << QDate(2026, 1, 5) << "一";
    QTest::newRow("Saturday") << QDate(2026, 1, 10) << "六";
    QTest::newRow("Friday") << QDate(2024, 3, 15) << "五";
}

void TestClockDido::weekDayOfDate()
{
    QFETCH(QDate, date);
    QFETCH(QString, weekDay);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    control<QDateEdit>(*w, "clkDate")->setDate(date);
    w->clockIoFeature->clkDate_Change();
    QCOMPARE(control<QComboBox>(*w, "Combo_WeekDay")->currentText(), weekDay);
}

void TestClockDido::userDateSetsWeekDay()
{
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    auto *date = control<QDateEdit>(*w, "clkDate");
    auto *weekDay = control<QComboBox>(*w, "Combo_WeekDay");
    date->setEnabled(true);
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w.get())) QSKIP("the platform activates no window");

    // Shown by a reply: the list stays.
    weekDay->setCurrentIndex(5);
    date->setDate(QDate(2026, 1, 4)); // a Sunday
    QCOMPARE(weekDay->currentIndex(), 5);

    // Changed by the user: the week day follows (a day, a month or a year
    // on from that Sunday is not a Saturday).
    date->setFocus();
    QTRY_VERIFY(date->hasFocus());
    QTest::keyClick(date, Qt::Key_Up);
    QVERIFY(date->date() != QDate(2026, 1, 4));
    QCOMPARE(weekDay->currentIndex(), date->date().dayOfWeek() - 1);
    QVERIFY(weekDay->currentIndex() != 5);
}

void TestClockDido::pcTime()
{
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    w->currentTime = [] { return QDateTime(QDate(2026, 1, 4), QTime(9, 8, 7)); };
    w->clockIoFeature->cmdTimeInit_Click();
    QCOMPARE(control<QDateEdit>(*w, "clkDate")->date(), QDate(2026, 1, 4));
    QCOMPARE(control<QTimeEdit>(*w, "clkTime")->time(), QTime(9, 8, 7));
    QCOMPARE(control<QComboBox>(*w, "Combo_WeekDay")->currentText(), QStringLiteral("日"));
    QVERIFY(queued(*w).isEmpty());
}

void TestClockDido::clockButtons_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<qint16>>("codes"); // bottom to top: the last runs first
    QTest::newRow("serial read") << false << "cmdReclock" << QList<qint16>{18};
    QTest::newRow("serial set") << false << "cmdWrclock" << QList<qint16>{18, 19};
    QTest::newRow("network read") << true << "cmdReclock" << QList<qint16>{12, 63};
    QTest::newRow("network set") << true << "cmdWrclock" << QList<qint16>{12, 63, 17, 64};
}

void TestClockDido::clockButtons()
{
    QFETCH(bool, network);
    QFETCH(QString, button);
    QFETCH(QList<qint16>, codes);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    if (network) chooseNetwork(*w);
    auto *b = control<QPushButton>(*w, button);
    b->setEnabled(true);
    b->click();
    QCOMPARE(queued(*w), codes);
}

void TestClockDido::serialClockWrite_data()
{
    QTest::addColumn<int>("weekDay"); // list index before the write
    QTest::addColumn<QByteArray>("request");
    // 2026-01-04 13:45:30: EA 07, 01, 04, 0D, 2D, 1E, then the week day
    QTest::newRow("Sunday chosen") << 6 << hex("555514ea0701040d2d1e0727d1aaaa");
    QTest::newRow("no week day chosen: the date's") << -1 << hex("555514ea0701040d2d1e0727d1aaaa");
}

void TestClockDido::serialClockWrite()
{
    QFETCH(int, weekDay);
    QFETCH(QByteArray, request);
    rig::SerialRig r;
    Form1 &w = *r.w;
    w.StartRun_Click();
    w.dispatcher().stack().clear();
    control<QDateEdit>(w, "clkDate")->setDate(QDate(2026, 1, 4));
    control<QTimeEdit>(w, "clkTime")->setTime(QTime(13, 45, 30));
    control<QComboBox>(w, "Combo_WeekDay")->setCurrentIndex(weekDay);
    w.clockIoFeature->cmdWrclock_Click();

    QCOMPARE(r.step(), request);
    r.answer(request);
    QCOMPARE(w.Text2->text(), QStringLiteral("写实时时钟成功"));
    QCOMPARE(r.step(), hex("555513fe8daaaa")); // and read back
    QCOMPARE(r.controller.clockReading(), QDateTime(QDate(2026, 1, 4), QTime(13, 45, 30), Qt::UTC));
    QCOMPARE(int(r.controller.clockWeekday()), 7);
}

void TestClockDido::networkClockWrite()
{
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    chooseNetwork(*w);
    control<QDateEdit>(*w, "clkDate")->setDate(QDate(2026, 1, 4));
    control<QTimeEdit>(*w, "clkTime")->setTime(QTime(13, 45, 30));
    control<QComboBox>(*w, "Combo_WeekDay")->setCurrentIndex(6);
    SendState &send = w->dispatcher().sendState();

    w->dispatcher().stack().push(64);
    w->session().Timer1_Timer();
    QCOMPARE(send.blockAddress, 107);
    QCOMPARE(send.blockType, 59);
    QCOMPARE(send.writePayload, hex("0700"));

    w->dispatcher().stack().push(17);
    w->session().Timer1_Timer();
    QCOMPARE(send.blockAddress, 10003);
    QCOMPARE(send.blockType, 9);
    QCOMPARE(send.writePayload, hex("ea0701040d2d1e"));
}

// ---- DI/DQ points --------------------------------------------------------------

void TestClockDido::didoDecode_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QByteArray>("data"); // from serial offset 3 / network offset 12
    QTest::addColumn<QList<int>>("on");   // buttons painted set
    QTest::addColumn<QList<int>>("off");  // buttons painted clear
    QTest::addColumn<QString>("hardAddress");
    QTest::addColumn<QStringList>("highSpeed"); // Text5 0, 1, 4, 5 ("keep" where untouched)
    QTest::addColumn<QString>("battery");       // "keep" where untouched

    const QStringList keep{"keep", "keep", "keep", "keep"};
    // Serial, bytes 3..8 points, 9 hard address, 10..17 high-speed values,
    // 18 battery (23-byte reply).
    QTest::newRow("group C, new firmware")
        << false << 8 << 0x3305
        << hex("010200008001"
               "05"
               "ffffe80300803412"
               "24")
        << QList<int>{0, 9, 39} << QList<int>{1, 8, 16, 38} << "5"
        << QStringList{"-1", "1000", "-32768", "4660"} << "3.6";
    QTest::newRow("group C, firmware 9512: no high-speed values, no battery")
        << false << 8 << 9512
        << hex("000000000000"
               "07"
               "ffffe80300803412")
        << QList<int>{} << QList<int>{0, 9} << "7" << keep << "";
    QTest::newRow("code 4, firmware 12855: battery cleared")
        << false << 4 << 12855
        << hex("0100000000"
               "00"
               "01")
        << QList<int>{0} << QList<int>{1, 39} << "1" << keep << "";
    QTest::newRow("code 4, firmware 12856: 3.3 V")
        << false << 4 << 12856
        << hex("0000000080"
               "00"
               "02"
               "21")
        << QList<int>{39} << QList<int>{0} << "2" << keep << "3.3";
    QTest::newRow("group A") << false << 28 << 0x3305
                             << hex("0180010080"
                                    "02"
                                    "09"
                                    "0100020003000400"
                                    "1e")
                             << QList<int>{0, 15, 20, 43, 17} << QList<int>{16, 18, 19, 21, 42}
                             << "9" << QStringList{"1", "2", "3", "4"} << "3";
    QTest::newRow("group B") << false << 57 << 0x3305
                             << hex("01800100000006"
                                    "08"
                                    "00"
                                    "01"
                                    "0000000000"
                                    "24")
                             << QList<int>{0, 15, 24, 16, 59} << QList<int>{1, 23, 25, 56} << "6"
                             << keep << "3.6";
    // Network, bytes 12..17 points for every model, 18 hard address, 19 battery.
    QTest::newRow("network, group A numbered as C")
        << true << 28 << 0x3305
        << hex("010002000000"
               "0b"
               "24")
        << QList<int>{0, 17} << QList<int>{16, 41} << "11" << keep << "3.6";
    QTest::newRow("network, code 4 old firmware")
        << true << 4 << 12855
        << hex("000000000001"
               "03"
               "24")
        << QList<int>{40} << QList<int>{0} << "3" << keep << "";
}

void TestClockDido::didoDecode()
{
    QFETCH(bool, network);
    QFETCH(int, type);
    QFETCH(int, firmware);
    QFETCH(QByteArray, data);
    QFETCH(QList<int>, on);
    QFETCH(QList<int>, off);
    QFETCH(QString, hardAddress);
    QFETCH(QStringList, highSpeed);
    QFETCH(QString, battery);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    w->session().sysParam.DeviceType = quint8(type);
    w->session().sysParam.FirmwareVersion = quint16(firmware);
    for (int i : {0, 1, 4, 5})
        control<QLineEdit>(*w, QStringLiteral("Text5_%1").arg(i))->setText("keep");
    control<QLineEdit>(*w, "txtCellPressure")->setText("keep");
    for (int b = 0; b < 64; ++b) // every button starts painted set
        w->clockIoFeature->pointStates[std::size_t(b)] = 1;
    for (int b = 0; b < 64; ++b)
        control<QPushButton>(*w, QStringLiteral("bt_DIQ_%1").arg(b))
            ->setPalette(QPalette(QColor(0, 255, 0)));

    if (network) {
        chooseNetwork(*w);
        w->session().wsckR_W_DataArrival(networkReadReply(*w, 10003, 9, data));
    } else {
        w->session().receiveSerial(buildSerialFrame(13, data));
    }

    QCOMPARE(w->Text2->text(),
             network ? QStringLiteral("读DI/DO状态成功") : QStringLiteral("读DI/DQ状态成功"));
    for (int b : on)
        QVERIFY2(painted(*w, b) == 1, qPrintable(QString::number(b)));
    for (int b : off)
        QVERIFY2(painted(*w, b) == 0, qPrintable(QString::number(b)));
    QCOMPARE(text(*w, "txtHardAddr"), hardAddress);
    const int boxesOf[] = {0, 1, 4, 5};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(text(*w, QStringLiteral("Text5_%1").arg(boxesOf[i])), highSpeed[i]);
    QCOMPARE(text(*w, "txtCellPressure"), battery);
    QVERIFY(logText().isEmpty());
}

void TestClockDido::shortDidoReplyIsLogged()
{
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    w->session().sysParam.DeviceType = 8;
    w->session().sysParam.FirmwareVersion = 0x3305;
    // Points and hard address only: the high-speed values are missing.
    w->session().receiveSerial(buildSerialFrame(13, hex("010000000000"
                                                        "04")));
    QCOMPARE(painted(*w, 0), 1);
    QCOMPARE(text(*w, "txtHardAddr"), QStringLiteral("4"));
    const QString log = logText();
    QCOMPARE(log.count(u'\n'), 1);
    QVERIFY(log.contains(QStringLiteral("DistributeDIDO(Form1)")));
}

void TestClockDido::switchOutput_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("state");       // the state that toggles
    QTest::addColumn<QByteArray>("sent"); // serial frame / network payload
    QTest::addColumn<QList<int>>("on");   // buttons painted once the write is acknowledged

    QTest::newRow("group A button 17: state 41, bit 1 of byte 5")
        << false << 28 << 17 << 41 << hex("55550e000002000000f578aaaa") << QList<int>{17};
    QTest::newRow("group C state 9: byte 4 = 02")
        << false << 8 << 9 << 9 << hex("55550e0002000000008d00aaaa") << QList<int>{9};
    QTest::newRow("group C button 0")
        << false << 12 << 0 << 0 << hex("55550e010000000000f511aaaa") << QList<int>{0};
    QTest::newRow("network, group A button 17: state 17")
        << true << 28 << 17 << 17 << hex("000002000000") << QList<int>{17};
    QTest::newRow("network, group C state 9")
        << true << 8 << 9 << 9 << hex("000200000000") << QList<int>{9};
}

void TestClockDido::switchOutput()
{
    QFETCH(bool, network);
    QFETCH(int, type);
    QFETCH(int, button);
    QFETCH(int, state);
    QFETCH(QByteArray, sent);
    QFETCH(QList<int>, on);
    auto r = connectedTo(type);
    Form1 &w = *r->w;
    if (network) chooseNetwork(w);
    auto *b = control<QPushButton>(w, QStringLiteral("bt_DIQ_%1").arg(button));
    QVERIFY(b->isEnabled());

    b->click();
    QCOMPARE(int(w.clockIoFeature->pointStates[std::size_t(state)]), 1);
    QCOMPARE(queued(w), (QList<qint16>{qint16(network ? 9 : 13), 14}));
    QCOMPARE(painted(w, button), 0); // not before the device has it

    if (network) {
        w.session().Timer1_Timer();
        QCOMPARE(w.dispatcher().sendState().blockType, 14);
        QCOMPARE(w.dispatcher().sendState().writePayload, sent);
        w.session().wsckR_W_DataArrival(networkWriteReply(w, 10003, 14));
    } else {
        const QByteArray request = r->step();
        QCOMPARE(request, sent);
        r->answer(request);
        QCOMPARE(w.Text2->text(), QStringLiteral("写DI/DO状态成功"));
        QVERIFY(r->controller.state().dio.outputs[std::size_t(button)]);
    }
    for (int i : on)
        QCOMPARE(painted(w, i), 1);
    QCOMPARE(queued(w), (QList<qint16>{qint16(network ? 9 : 13)}));
}

// The reply to a read that went out before the click comes in before the
// write: the grid shows the device's state, the write carries the switch.
void TestClockDido::lateReadKeepsTheSwitch()
{
    auto r = connectedTo(8);
    Form1 &w = *r->w;
    const QByteArray read = r->step();
    QCOMPARE(quint8(read.at(2)), 13);
    control<QPushButton>(w, QStringLiteral("bt_DIQ_9"))->click();
    r->answer(read);
    QCOMPARE(painted(w, 9), 0);
    r->answer(r->step());
    QVERIFY(r->controller.state().dio.outputs[9]);
    QCOMPARE(painted(w, 9), 1);
}

void TestClockDido::inputButtonsDoNothing()
{
    auto r = connectedTo(28);
    Form1 &w = *r->w;
    w.clockIoFeature->bt_DIQ_Click(20); // I0: disabled
    w.clockIoFeature->bt_DIQ_Click(44); // not a point of the model
    QVERIFY(queued(w).isEmpty());
    QCOMPARE(
        std::count(w.clockIoFeature->pointStates.begin(), w.clockIoFeature->pointStates.end(), 1),
        0);
}

void TestClockDido::repaintAfterWrite_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<int>("type");
    QTest::addColumn<QList<int>>("states"); // set states
    QTest::addColumn<QList<int>>("on");
    QTest::addColumn<QList<int>>("off");

    QTest::newRow("group A: 16..19 from 40..43, 20..43 their own")
        << false << 28 << QList<int>{41, 20, 43} << QList<int>{17, 19, 20, 41, 43}
        << QList<int>{16, 18, 21, 42};
    QTest::newRow("group C: 0..47")
        << false << 8 << QList<int>{9, 47} << QList<int>{9, 47} << QList<int>{8, 46};
    QTest::newRow("group B: 0..63")
        << false << 57 << QList<int>{59} << QList<int>{59} << QList<int>{58};
    QTest::newRow("network, group A as C")
        << true << 28 << QList<int>{17} << QList<int>{17} << QList<int>{16, 41};
}

void TestClockDido::repaintAfterWrite()
{
    QFETCH(bool, network);
    QFETCH(int, type);
    QFETCH(QList<int>, states);
    QFETCH(QList<int>, on);
    QFETCH(QList<int>, off);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    w->session().sysParam.DeviceType = quint8(type);
    for (int s : states)
        w->clockIoFeature->pointStates[std::size_t(s)] = 1;
    if (network) {
        chooseNetwork(*w);
        w->session().wsckR_W_DataArrival(networkWriteReply(*w, 10003, 14));
    } else {
        w->session().receiveSerial(buildSerialFrame(14, hex("000000000000")));
    }
    for (int b : on)
        QVERIFY2(painted(*w, b) == 1, qPrintable(QString::number(b)));
    for (int b : off)
        QVERIFY2(painted(*w, b) == 0, qPrintable(QString::number(b)));
}

// ---- Identity tags ----------------------------------------------------------------

void TestClockDido::tagDecode_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<QByteArray>("deviceId");
    QTest::addColumn<QByteArray>("pdTag");
    QTest::addColumn<QString>("hardware");
    QTest::addColumn<QString>("tag");

    const QByteArray chinese = hex("b1c3d5be31bac5") + QByteArray(25, ' ');
    const QString chineseText = QStringLiteral("泵站1号") + QString(25, u' ');
    QTest::newRow("network, 15 characters")
        << true << QByteArray("01234567890123450090201403050012") << chinese << "123456789012345"
        << chineseText;
    QTest::newRow("network, second character 0: 14")
        << true << QByteArray("00123456789012340186201403050012") << QByteArray(32, ' ')
        << "12345678901234" << QString(32, u' ');
    QTest::newRow("serial, 15 characters")
        << false << QByteArray("01234567890123450090201403050012") << chinese << "123456789012345"
        << chineseText;
}

void TestClockDido::tagDecode()
{
    QFETCH(bool, network);
    QFETCH(QByteArray, deviceId);
    QFETCH(QByteArray, pdTag);
    QFETCH(QString, hardware);
    QFETCH(QString, tag);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    if (network) {
        chooseNetwork(*w);
        w->session().wsckR_W_DataArrival(
            networkReadReply(*w, 10010, 2, deviceId + pdTag + QByteArray(18, '\0')));
        QCOMPARE(w->Text2->text(), QStringLiteral("读DeviceID、PDTag成功"));
    } else {
        w->session().receiveSerial(buildSerialFrame(21, deviceId + pdTag));
    }
    QCOMPARE(text(*w, "txthardwarenum"), hardware);
    QCOMPARE(text(*w, "txtPD_Tag"), tag);
}

void TestClockDido::tagWrite_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("pdTag");
    QTest::addColumn<QByteArray>("data"); // device ID then PD tag; empty: nothing sent
    QTest::addColumn<QString>("status");

    const QByteArray spaces(32, ' ');
    QTest::newRow("empty") << false << ""
                           << "" << QByteArray(32, '0') + spaces << "正在写DeviceID、PDTag";
    QTest::newRow("device ID and a Chinese PD tag")
        << false << "01234567890123450090201403050012"
        << "泵站1号"
        << QByteArray("01234567890123450090201403050012") + hex("b1c3d5be31bac5") +
               QByteArray(25, ' ')
        << "正在写DeviceID、PDTag";
    QTest::newRow("short device ID")
        << false << "0123"
        << "A" << QByteArray("0123") + QByteArray(28, '0') + "A" + QByteArray(31, ' ')
        << "正在写DeviceID、PDTag";
    QTest::newRow("PD tag of 33 bytes") << false << "" << QStringLiteral("泵").repeated(16) + "x"
                                        << QByteArray() << "数据格式错误：PD_TAG";
    QTest::newRow("network") << true << "0123"
                             << "泵站1号"
                             << QByteArray("0123") + QByteArray(28, '0') + hex("b1c3d5be31bac5") +
                                    QByteArray(25, ' ')
                             << "";
    QTest::newRow("network, too long") << true << "" << QStringLiteral("泵").repeated(17)
                                       << QByteArray() << "数据格式错误：PD_TAG";
}

void TestClockDido::tagWrite()
{
    QFETCH(bool, network);
    QFETCH(QString, deviceId);
    QFETCH(QString, pdTag);
    QFETCH(QByteArray, data);
    QFETCH(QString, status);
    rig::SerialRig r;
    Form1 &w = *r.w;
    w.StartRun_Click();
    w.dispatcher().stack().clear();
    control<QLineEdit>(w, "txtDevID")->setText(deviceId);
    control<QLineEdit>(w, "txtPD_Tag")->setText(pdTag);
    if (network) chooseNetwork(w);
    w.dispatcher().sendState().writePayload = "before";
    w.dispatcher().stack().push(network ? 102 : 17);

    if (network) {
        w.session().Timer1_Timer();
        QCOMPARE(w.dispatcher().sendState().writePayload, data.isEmpty() ? "before" : data);
    } else {
        const QByteArray request = r.step();
        if (data.isEmpty()) {
            QVERIFY(request.isEmpty());
        } else {
            QCOMPARE(request.size(), 71);
            QCOMPARE(request.mid(3, 64), data);
        }
    }
    QCOMPARE(w.Text2->text(), status);
    QCOMPARE(w.dispatcher().stack().top(), 0);
}

// ---- MAC, gateway and RAM test replies --------------------------------------------

void TestClockDido::smallReplies_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<int>("function"); // serial
    QTest::addColumn<int>("block");    // network
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("MAC") << false << 37 << 0 << 0 << hex("000a1bc2ff05")
                         << QStringList{"txt_MAC_0", "txt_MAC_1", "txt_MAC_2",
                                        "txt_MAC_3", "txt_MAC_4", "txt_MAC_5"}
                         << QStringList{"00", "0A", "1B", "C2", "FF", "05"};
    QTest::newRow("network MAC") << true << 0 << 10003 << 16 << hex("00fe0f0c0901")
                                 << QStringList{"txt_MAC_0", "txt_MAC_1", "txt_MAC_5"}
                                 << QStringList{"00", "FE", "01"};
    const QStringList gateway{"txtGate_0", "txtGate_3", "txtSubNet_0", "txtSubNet_3"};
    QTest::newRow("gateway") << false << 77 << 0 << 0 << hex("c0a80101ffffff00") << gateway
                             << QStringList{"192", "1", "255", "0"};
    QTest::newRow("network gateway") << true << 0 << 14000 << 5 << hex("0a000001ffff0000")
                                     << gateway << QStringList{"10", "1", "255", "0"};
}

void TestClockDido::smallReplies()
{
    QFETCH(bool, network);
    QFETCH(int, function);
    QFETCH(int, block);
    QFETCH(int, type);
    QFETCH(QByteArray, data);
    QFETCH(QStringList, names);
    QFETCH(QStringList, shown);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    if (network) {
        chooseNetwork(*w);
        w->session().wsckR_W_DataArrival(networkReadReply(*w, block, type, data));
    } else {
        w->session().receiveSerial(buildSerialFrame(quint8(function), data));
    }
    for (qsizetype i = 0; i < names.size(); ++i)
        QCOMPARE(text(*w, names[i]), shown[i]);

    // The RAM test result on the same link: bits 0 and 2 set.
    if (network)
        w->session().wsckR_W_DataArrival(networkReadReply(*w, 10003, 18, hex("05")));
    else
        w->session().receiveSerial(buildSerialFrame(40, hex("05")));
    for (int i = 0; i < 8; ++i) {
        const QColor expected = i == 0 || i == 2 ? QColor(255, 0, 0) : QColor(0, 255, 0);
        QCOMPARE(control<Lamp>(*w, QStringLiteral("ram_sap_%1").arg(i))->color(), expected);
    }
}

// The grid as an engineer sees it, for one model of each group: every point
// the model has, captioned as the catalogue says, lit as the device reports,
// and no caption cut off. With KALMO_SCREENSHOT_DIR set, the clock and I/O tab
// is also saved there as dido-group-<a|b|c>.png (run under a real display
// server for pictures with the platform's fonts).
void TestClockDido::pointGridShowsWhole_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("group");
    QTest::addColumn<int>("buttons"); // the model's point count
    QTest::newRow("KVRQ105, group A") << 28 << "a" << 44;
    QTest::newRow("KVRX210, group B") << 57 << "b" << 60;
    QTest::newRow("KVRX201, group C") << 12 << "c" << 40;
}

void TestClockDido::pointGridShowsWhole()
{
    QFETCH(int, type);
    QFETCH(QString, group);
    QFETCH(int, buttons);
    auto r = connectedTo(type);
    Form1 &w = *r->w;
    sim::DeviceState &device = r->controller.state();
    for (int k : {0, 3, 5})
        device.dio.outputs[std::size_t(k)] = true;
    for (int k : {1, 2, 7})
        QVERIFY(r->controller.setInput(k, true));
    w.session().receiveSerial(r->controller.answerSerial(buildSerialFrame(13)));
    r->controller.setClock(QDateTime(QDate(2026, 1, 4), QTime(13, 45, 30)));
    w.session().receiveSerial(r->controller.answerSerial(buildSerialFrame(19)));
    control<QTabWidget>(w, "bodyTabs")->setCurrentIndex(1);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    const auto setup = didoButtonSetup(type);
    int shown = 0;
    for (int b = 0; b < 64; ++b) {
        auto *button = control<QPushButton>(w, QStringLiteral("bt_DIQ_%1").arg(b));
        if (!button->isVisible()) continue;
        ++shown;
        QCOMPARE(button->text(), setup[std::size_t(b)].caption);
        const QSize room = button->size();
        const QSize wanted = button->sizeHint();
        QVERIFY2(room.width() >= wanted.width() && room.height() >= wanted.height(),
                 qPrintable(button->text()));
    }
    QCOMPARE(shown, buttons);
    const DidoGroup layout = didoGroup(type);
    const int firstInput = layout == DidoGroup::A ? 20 : layout == DidoGroup::B ? 24 : 16;
    for (int b : {0, 3, 5, firstInput + 1, firstInput + 2, firstInput + 7})
        QVERIFY2(painted(w, b) == 1, qPrintable(QString::number(b)));
    for (int b : {1, 2, firstInput})
        QVERIFY2(painted(w, b) == 0, qPrintable(QString::number(b)));

    const QString dir = qEnvironmentVariable("KALMO_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(w.grab().save(QDir(dir).filePath(QStringLiteral("dido-group-%1.png").arg(group))));
}

QTEST_MAIN(TestClockDido)
#include "test_clock_dido.moc"
