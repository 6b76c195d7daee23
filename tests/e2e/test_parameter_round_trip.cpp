// The system parameters of a device, read and written back through the main
// window: against the virtual controller over a pseudo-terminal, a write
// that changes nothing on the panel gives the device exactly the block it
// reported, and the changes made on the panel are exactly what the device
// then holds.
#include "app/form1.h"
#include "features/system_info/system_info_feature.h"

#include "transport/discovery.h"
#include "sim/device_blocks.h"
#include "sim/udp_endpoint.h"
#include "support/hex.h"
#include "support/scratch_dir.h"
#include "support/serial_rig.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTimeEdit>
#include <QtTest>

#include <map>

using namespace kalmo;
using rig::control;

namespace {

// A KVRQ101 made on 2015-12-09 10:30:00, series 1, whose every field of the
// system parameter block holds a value of its own, all of them in range.
sim::DeviceProfile roundTripProfile()
{
    sim::DeviceProfile profile;
    profile.deviceType = 8;
    profile.series = 1;
    profile.productionDate = QDate(2015, 12, 9);
    profile.productionTime = QTime(10, 30, 0);
    profile.hardwareNumber = QStringLiteral("200000000000000");
    profile.ipAddress = {127, 0, 0, 2};
    profile.udpPort = 5000;
    profile.pdTag = QStringLiteral("泵站1号 Kalmo");
    return profile;
}

void giveEveryFieldAValue(sim::DeviceState &state)
{
    sim::SystemParameters &s = state.system;
    s.softAddress = 7;
    s.sensorTypes = {1, 2, 3, 4, 5, 6, 7};
    s.port1 = {0xC3, 0x11, 0, 4}; // Mark parity, 8 bits, 1 stop bit, 9600; ModbusRTU; slave
    s.port2 = {0x35, 0x02, 1, 8}; // no parity, 7 bits, 2 stop bits, 38400; ModbusASII; master
    s.carriedByte1 = 0xA5;
    s.diDebounce = 20;
    s.carriedWord = 0x1234;
    s.carriedByte2 = 0x5A;
    s.selfRecoveryControl = 0x0102;
    s.selfRecoveryInterval = 300;
    s.flagBits = 0x55;
    s.cpuType = 2;
    s.slaveMaxErrors = 3;
    s.slaveCommInterval = 100;
    s.slaveMaxWait = 500;
    state.travel.rs485_2MaxErrors = 9;
    state.travel.rs485_2CommInterval = 250;
    state.travel.rs485_2WaitTime = 1200;
}

// The changes the round trips make on the panel.
void changePanel(Form1 &w)
{
    control<QLineEdit>(w, "txtIp_3")->setText("77");
    control<QComboBox>(w, "Combo6_0")->setCurrentIndex(2);  // even parity
    control<QComboBox>(w, "Combo9_0")->setCurrentIndex(5);  // 38400
    control<QComboBox>(w, "ComboMS_0")->setCurrentIndex(1); // master
    control<QComboBox>(w, "Combo7_1")->setCurrentIndex(0);  // 8 bits
    control<QComboBox>(w, "Combo10_1")->setCurrentIndex(6); // OMRON
    control<QLineEdit>(w, "txt_RSDataTime_1")->setText("2");
    control<QLineEdit>(w, "txtSeries")->setText("300");
    control<QDateEdit>(w, "datePicker")->setDate(QDate(2021, 7, 4));
}

// The 52-byte write image of that device, field by field.
const QByteArray kImageAsRead = hex("01000000"   // series 1
                                    "7f000002"   // IP 127.0.0.2
                                    "07"         // module address
                                    "c311"       // port 1 line, protocol (mark flag)
                                    "3502"       // port 2 line, protocol
                                    "a5"         // carried byte 1
                                    "1400"       // DI debounce 20
                                    "3412"       // carried word
                                    "5a"         // carried byte 2
                                    "df07"       // 2015
                                    "0c090a1e00" // 12-09 10:30:00
                                    "0001"       // roles: port 1 slave, port 2 master
                                    "55"         // flags
                                    "8813"       // UDP port 5000
                                    "0200"       // CPU type
                                    "03"         // slave errors
                                    "6400"       // slave interval 100
                                    "f401"       // slave wait 500
                                    "0201"       // self-recovery control word
                                    "2c01"       // self-recovery interval 300
                                    "0408"       // packet intervals
                                    "0055aa"     // 0, end marker
                                    "09"         // RS485_2 errors
                                    "fa00"       // RS485_2 interval 250
                                    "b004");     // RS485_2 wait 1200

// The image once the panel changes are written.
const QByteArray kImageChanged = hex("2c010000"   // series 300
                                     "7f00004d"   // IP 127.0.0.77
                                     "07"         //
                                     "8501"       // even parity, 8, 1, 38400; ModbusRTU
                                     "1506"       // no parity, 8, 2, 38400; OMRON
                                     "a5"         //
                                     "1400"       //
                                     "3412"       //
                                     "5a"         //
                                     "e507"       // 2021
                                     "07040a1e00" // 07-04 10:30:00
                                     "0101"       // both masters
                                     "55"         //
                                     "8813"       //
                                     "0200"       //
                                     "03"         //
                                     "6400"       //
                                     "f401"       //
                                     "0201"       //
                                     "2c01"       //
                                     "0402"       // port 2 packet interval 2
                                     "0055aa"     //
                                     "09"         //
                                     "fa00"       //
                                     "b004");

// "泵站1号 Kalmo" in code page 936, lead bytes first, padded with spaces.
const QByteArray kPdTag = hex("b1c3d5be31bac5204b616c6d6f") + QByteArray(19, ' ');

// What the system information tab shows, control by control.
std::map<QString, QString> panelSnapshot(const Form1 &w)
{
    std::map<QString, QString> shown;
    const QWidget *tab = w.findChild<QWidget *>(QStringLiteral("mainDeviceFrame"))->parentWidget();
    for (const QLineEdit *box : tab->findChildren<QLineEdit *>())
        if (!box->objectName().isEmpty() && !box->objectName().startsWith(u"qt_"))
            shown[box->objectName()] = box->text();
    for (const QComboBox *list : tab->findChildren<QComboBox *>())
        shown[list->objectName()] = QString::number(list->currentIndex());
    for (const QLabel *label : {control<QLabel>(w, "lblVersion"), control<QLabel>(w, "lb_BookNo")})
        shown[label->objectName()] = label->text();
    shown["datePicker"] = control<QDateEdit>(w, "datePicker")->date().toString(Qt::ISODate);
    shown["timePicker"] = control<QTimeEdit>(w, "timePicker")->time().toString(Qt::ISODate);
    return shown;
}

} // namespace

class TestParameterRoundTrip : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<ScratchWorkingDir>(); }
    void cleanup() { m_dir.reset(); }

    void serialRoundTrip();
    void networkRoundTrip();

private:
    std::unique_ptr<ScratchWorkingDir> m_dir;
};

void TestParameterRoundTrip::serialRoundTrip()
{
    QCOMPARE(kImageAsRead.size(), 52);
    rig::PtySerialRig r(roundTripProfile());
    giveEveryFieldAValue(r.controller.state());
    Form1 &w = *r.w;
    QCOMPARE(sim::writeImage(r.controller.state()), kImageAsRead);

    // Connect and read.
    w.StartRun_Click();
    QVERIFY(r.runToIdle());
    QCOMPARE(control<QLineEdit>(w, "txtDeviceType")->text(), QStringLiteral("KVRQ101"));
    QCOMPARE(control<QLineEdit>(w, "lblNUM")->text(), QStringLiteral("90201512090001"));
    QCOMPARE(control<QLineEdit>(w, "txtPD_Tag")->text(),
             QStringLiteral("泵站1号 Kalmo") + QString(19, u' '));
    const std::map<QString, QString> first = panelSnapshot(w);

    // Written back untouched: the device gets the block it reported, its
    // identity as the write button composes it and its PD tag as read.
    r.requests.clear();
    w.cmdSetPara_Click();
    QCOMPARE(w.Text2->text(), QStringLiteral("正在设置系统信息，请稍候"));
    QVERIFY(r.boxes.isEmpty());
    QVERIFY(r.runToIdle());
    const QByteArray setSysInfo = r.lastRequest(4);
    QCOMPARE(setSysInfo.size(), 91);
    QCOMPARE(setSysInfo.mid(3, 52), kImageAsRead);
    QCOMPARE(setSysInfo.mid(55, 32), QByteArray(32, '\0'));
    const QByteArray tags = r.lastRequest(22);
    QCOMPARE(tags.size(), 71);
    QCOMPARE(tags.mid(3, 32), QByteArray("02000000000000000090201512090001"));
    QCOMPARE(tags.mid(35, 32), kPdTag);
    const QByteArray mac = r.lastRequest(36);
    QCOMPARE(mac.mid(3, 6), hex("00fe0f0c0901")); // automatic: 15, 12, 9, series 1
    QCOMPARE(sim::writeImage(r.controller.state()), kImageAsRead);
    QCOMPARE(r.controller.state().identity.pdTag, kPdTag);

    // The read that follows the write, and another one, show the same panel.
    QCOMPARE(panelSnapshot(w), first);
    w.systemInfoFeature->cmdGetSys_Click();
    QVERIFY(r.runToIdle());
    QCOMPARE(panelSnapshot(w), first);

    // Changes on the panel are what the device then holds, and nothing else.
    changePanel(w);
    r.requests.clear();
    w.cmdSetPara_Click();
    QVERIFY(r.runToIdle());
    QVERIFY(r.boxes.isEmpty());

    const QByteArray changed = kImageChanged;
    QCOMPARE(sim::writeImage(r.controller.state()), changed);
    QCOMPARE(r.controller.state().system.sensorTypes, (std::array<quint8, 7>{1, 2, 3, 4, 5, 6, 7}));
    QCOMPARE(r.controller.state().identity.deviceId,
             QByteArray("02000000000000000090202107040300"));
    QCOMPARE(r.controller.state().identity.pdTag, kPdTag);
    const std::array<quint8, 6> newMac{0x00, 0xFE, 0x15, 0x17, 0x04, 0x2C};
    QCOMPARE(r.controller.state().network.mac, newMac);

    // And the panel shows the device as it now is.
    QCOMPARE(control<QLineEdit>(w, "lblNUM")->text(), QStringLiteral("90202107040300"));
    QCOMPARE(control<QLineEdit>(w, "txtSeries")->text(), QStringLiteral("300"));
    QCOMPARE(control<QDateEdit>(w, "datePicker")->date(), QDate(2021, 7, 4));
    QCOMPARE(control<QLineEdit>(w, "txtDeviceType")->text(), QStringLiteral("KVRQ101"));
    QCOMPARE(control<QComboBox>(w, "Combo10_1")->currentIndex(), 6);
}

void TestParameterRoundTrip::networkRoundTrip()
{
    sim::VirtualController controller(roundTripProfile());
    giveEveryFieldAValue(controller.state());
    sim::UdpEndpoint endpoint(&controller);
    std::map<std::pair<int, int>, QByteArray> written; // the last payload per block and type
    connect(&endpoint, &sim::UdpEndpoint::requestServed, this,
            [&written](const sim::NetworkExchange &exchange) {
                if (exchange.request && exchange.request->service == sim::NetworkService::Write)
                    written[{exchange.request->blockAddress, exchange.request->blockType}] =
                        exchange.request->payload;
            });

    ProgramOptions options;
    options.link = ProgramOptions::Link::Network;
    options.device = QStringLiteral("127.0.0.9");
    Form1 w(options, rig::realLinks());
    QList<MessageBoxRequest> boxes;
    w.showMessageBox = [&boxes](const MessageBoxRequest &b) { boxes << b; };
    w.session().discoveryPort = 0; // a free port instead of 12000
    w.StartRun_Click();
    QVERIFY(w.session().wsckDeviceQuery->isListening());
    sim::UdpEndpointSettings settings;
    settings.address = QHostAddress(QStringLiteral("127.0.0.9"));
    settings.servicePort = 0;
    settings.announcePort = w.session().wsckDeviceQuery->localPort();
    QString error;
    QVERIFY2(endpoint.open(settings, &error), qPrintable(error));

    // Chosen by itself and read.
    const auto settled = [&w] {
        return w.dispatcher().stack().top() == 0 && !w.session().Timer2->isActive() &&
               control<QLineEdit>(w, "txtDIPrevent")->text() == u"20";
    };
    QTRY_VERIFY_WITH_TIMEOUT(w.session().networkReplyCounter >= 9 && settled(), 20000);
    QCOMPARE(control<QLineEdit>(w, "lblNUM")->text(), QStringLiteral("90201512090001"));
    QTRY_COMPARE_WITH_TIMEOUT(control<QLineEdit>(w, "txthardwarenum")->text(),
                              QStringLiteral("200000000000000"), 5000);
    const std::map<QString, QString> first = panelSnapshot(w);

    // Written back untouched.
    w.cmdSetPara_Click();
    QVERIFY(boxes.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(written.count({10003, 4}) && settled(), 20000);
    QCOMPARE(written[std::pair(10003, 4)], kImageAsRead);
    QCOMPARE(written[std::pair(10010, 1)], QByteArray("02000000000000000090201512090001") + kPdTag);
    QCOMPARE(written[std::pair(10003, 19)], hex("00fe0f0c0901"));
    QCOMPARE(sim::writeImage(controller.state()), kImageAsRead);
    QTRY_COMPARE_WITH_TIMEOUT(panelSnapshot(w), first, 5000);

    // Changes on the panel are what the device then holds.
    written.clear();
    changePanel(w);
    w.cmdSetPara_Click();
    QVERIFY(boxes.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(written.count({10003, 4}) && settled() &&
                                 control<QLineEdit>(w, "lblNUM")->text() == u"90202107040300",
                             20000);
    QCOMPARE(sim::writeImage(controller.state()), kImageChanged);
    QCOMPARE(controller.state().identity.deviceId, QByteArray("02000000000000000090202107040300"));
    QCOMPARE(controller.state().identity.pdTag, kPdTag);
    const std::array<quint8, 6> newMac{0x00, 0xFE, 0x15, 0x17, 0x04, 0x2C};
    QCOMPARE(controller.state().network.mac, newMac);
    QVERIFY(!QFile::exists(QStringLiteral("TAVG501ErrorLog.ini")));
    w.cmdStop_Click();
}

QTEST_MAIN(TestParameterRoundTrip)
#include "test_parameter_round_trip.moc"
