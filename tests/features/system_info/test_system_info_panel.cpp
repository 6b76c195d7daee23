// The system information panel of the main window: what the display shows
// from a system-information reply (with its corrections), the serial-number
// box and its model lookup, the version check, the DI/DO buttons of every
// model, the read and write buttons with what they compose and queue, and
// the refusal of every box that does not hold a usable value. Replies are
// written by hand from the block layout; the virtual controller answers
// where a whole device is wanted.
#include "app/form1.h"
#include "features/system_info/system_info_feature.h"

#include "core/codepage.h"
#include "protocol/command_codes.h"
#include "protocol/device_catalogue.h"
#include "protocol/frames.h"
#include "support/either_link.h"
#include "support/hex.h"
#include "support/log_text.h"
#include "support/scratch_dir.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QtTest>

using namespace kalmo;
using rig::control;

namespace {

using Bytes = QList<QPair<int, QByteArray>>; // serial offset, bytes placed there

// A serial reply to function 1 (111 bytes): a KVRQ101 (type 8) with firmware
// 0x3305, made 2015-12-09 10:30:00, series 12, then the bytes of `changes`
// at their serial offsets.
QByteArray sysInfoReply(const Bytes &changes = {})
{
    QByteArray data(104, '\0');
    const auto put = [&data](int offset, const QByteArray &bytes) {
        data.replace(offset - 3, bytes.size(), bytes);
    };
    put(3, hex("0c000000"));        // series 12
    put(7, hex("c0a8010a"));        // 192.168.1.10
    put(11, hex("01"));             // module address
    put(19, hex("0301"));           // port 1: 9600, ModbusRTU
    put(21, hex("0301"));           // port 2
    put(24, hex("0a00"));           // debounce 10
    put(33, hex("08"));             // KVRQ101
    put(38, hex("0533"));           // firmware 0x3305
    put(41, hex("21"));             // version 2.1
    put(46, hex("df070c090a1e00")); // 2015-12-09 10:30:00
    put(53, hex("0001"));           // roles
    put(56, hex("8813"));           // UDP port 5000
    put(65, hex("0404"));           // packet intervals
    put(88, hex("0a6400e803"));     // RS485_2: 10, 100, 1000
    for (const auto &[offset, bytes] : changes)
        put(offset, bytes);
    return buildSerialFrame(1, data);
}

QString text(const QWidget &w, const char *name)
{
    return control<QWidget>(w, QString::fromLatin1(name))->property("text").toString();
}

QList<qint16> pending(const Form1 &w)
{
    QList<qint16> codes;
    for (int i = 0; i <= w.dispatcher().stack().top(); ++i)
        codes << w.dispatcher().stack().entry(i);
    return codes;
}

} // namespace

class TestSystemInfoPanel : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<ScratchWorkingDir>(); }
    void cleanup() { m_dir.reset(); }

    void serialNumberLookup_data();
    void serialNumberLookup();
    void seriesBox_data();
    void seriesBox();
    void displayShows_data();
    void displayShows();
    void displayCorrects_data();
    void displayCorrects();
    void unknownModelStopsEarly();
    void pointButtonsPerModel_data();
    void pointButtonsPerModel();
    void everyCatalogueDevice_data();
    void everyCatalogueDevice();
    void versionCheck_data();
    void versionCheck();
    void readButton_data();
    void readButton();
    void writeButtonComposes_data();
    void writeButtonComposes();
    void debounceTakesSixteenBits();
    void lateReadLeavesTheWriteAlone_data();
    void lateReadLeavesTheWriteAlone();
    void lateMacReadLeavesTheWriteAlone_data() { lateReadLeavesTheWriteAlone_data(); }
    void lateMacReadLeavesTheWriteAlone();
    void writeButtonRefuses_data();
    void writeButtonRefuses();
    void numberBoxes_data();
    void numberBoxes();
    void automaticMac_data();
    void automaticMac();

private:
    std::unique_ptr<ScratchWorkingDir> m_dir;
};

// ---- Serial number and series -------------------------------------------------

void TestSystemInfoPanel::serialNumberLookup_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("series");
    QTest::addColumn<QDate>("date"); // the picker afterwards; it showed 2000-01-01
    QTest::addColumn<bool>("logged");

    const QDate before(2000, 1, 1);
    QTest::newRow("14, prefix 94") << "94201306150001"
                                   << "KVRQ103"
                                   << "1" << QDate(2013, 6, 15) << false;
    QTest::newRow("15, prefix 186") << "186201306150001"
                                    << "KVRQ105"
                                    << "1" << QDate(2013, 6, 15) << false;
    QTest::newRow("15, prefix 090") << "090201403050012"
                                    << "KVRQ101"
                                    << "12" << QDate(2014, 3, 5) << false;
    QTest::newRow("133") << "133201306150042"
                         << "KVRX205"
                         << "42" << QDate(2013, 6, 15) << false;
    QTest::newRow("132") << "132201306150042"
                         << "KVRX206"
                         << "42" << QDate(2013, 6, 15) << false;
    QTest::newRow("lookup only 85") << "85201306150001"
                                    << "TAVG501"
                                    << "1" << QDate(2013, 6, 15) << false;
    QTest::newRow("16: model and series, no date") << "1862013061500077"
                                                   << "KVRQ105"
                                                   << "77" << before << false;
    QTest::newRow("unknown prefix") << "99201306150005"
                                    << "未编制设备,无法识别"
                                    << "5" << QDate(2013, 6, 15) << false;
    QTest::newRow("month 13: logged, date kept") << "94201313150001"
                                                 << "KVRQ103"
                                                 << "1" << before << true;
    QTest::newRow("letters in the date: logged") << "9420130A150001"
                                                 << "KVRQ103"
                                                 << "1" << before << true;
}

void TestSystemInfoPanel::serialNumberLookup()
{
    QFETCH(QString, number);
    QFETCH(QString, model);
    QFETCH(QString, series);
    QFETCH(QDate, date);
    QFETCH(bool, logged);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    control<QDateEdit>(*w, "datePicker")->setDate(QDate(2000, 1, 1));

    control<QLineEdit>(*w, "lblNUM")->setText(number);

    QCOMPARE(text(*w, "txtDeviceType"), model);
    QCOMPARE(text(*w, "txtSeries"), series);
    QCOMPARE(control<QDateEdit>(*w, "datePicker")->date(), date);
    const QString log = logText(QStringLiteral("VIZezera.ini"));
    QCOMPARE(log.contains(QStringLiteral("lblNUM_Change(Form1)")), logged);
    QVERIFY(!QFile::exists(QStringLiteral("TAVG501ErrorLog.ini")));

    // 13 and 17 characters change nothing.
    for (const char *other : {"9420130615000", "18620130615000712"}) {
        control<QLineEdit>(*w, "lblNUM")->setText(QString::fromLatin1(other));
        QCOMPARE(text(*w, "txtDeviceType"), model);
        QCOMPARE(text(*w, "txtSeries"), series);
    }
}

void TestSystemInfoPanel::seriesBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("5000") << "5000"
                          << "4095";
    QTest::newRow("4095") << "4095"
                          << "4095";
    QTest::newRow("-3") << "-3"
                        << "0";
    QTest::newRow("abc") << "abc"
                         << "";
    QTest::newRow("leading zeros") << "0012"
                                   << "12";
    QTest::newRow("blanks") << " 77 "
                            << "77";
    QTest::newRow("decimal point: whole part") << "1.5"
                                               << "1";
    QTest::newRow("point while typing") << "12."
                                        << "12";
    QTest::newRow("negative fraction") << "-0.5"
                                       << "0";
    QTest::newRow("point alone") << "."
                                 << "";
    QTest::newRow("huge") << "99999999999999999999"
                          << "4095";
}

void TestSystemInfoPanel::seriesBox()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    control<QLineEdit>(*w, "txtSeries")->setText(typed);
    QCOMPARE(text(*w, "txtSeries"), shown);
}

// ---- Display ----------------------------------------------------------------------

void TestSystemInfoPanel::displayShows_data()
{
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("shown"); // text, or list index for lists

    QTest::newRow("inner version 2.105")
        << Bytes{{38, hex("0521")}} << "txtInnerVersion" << QVariant("2.105");
    QTest::newRow("version 1.A") << Bytes{{41, hex("1a")}} << "lblVersion" << QVariant("1.A");
    QTest::newRow("E3 12: parity Mark") << Bytes{{19, hex("e312")}} << "Combo6_0" << QVariant(4);
    QTest::newRow("E3 12: 7 data bits") << Bytes{{19, hex("e312")}} << "Combo7_0" << QVariant(1);
    QTest::newRow("E3 12: 1 stop bit") << Bytes{{19, hex("e312")}} << "Combo8_0" << QVariant(0);
    QTest::newRow("E3 12: 9600") << Bytes{{19, hex("e312")}} << "Combo9_0" << QVariant(3);
    QTest::newRow("E3 12: ModbusASII") << Bytes{{19, hex("e312")}} << "Combo10_0" << QVariant(2);
    QTest::newRow("port 2: C3 01 space parity")
        << Bytes{{21, hex("c301")}} << "Combo6_1" << QVariant(3);
    QTest::newRow("baud code 12: no selection")
        << Bytes{{21, hex("0c01")}} << "Combo9_1" << QVariant(-1);
    QTest::newRow("role 1: master") << Bytes{{53, hex("0107")}} << "ComboMS_0" << QVariant(1);
    QTest::newRow("role 7: no selection")
        << Bytes{{53, hex("0107")}} << "ComboMS_1" << QVariant(-1);
    QTest::newRow("series 5000 shows 4095")
        << Bytes{{3, hex("88130000")}} << "txtSeries" << QVariant("4095");
    QTest::newRow("negative series shows 0")
        << Bytes{{3, hex("fdffffff")}} << "txtSeries" << QVariant("0");
    QTest::newRow("series above 4095 in the number")
        << Bytes{{3, hex("88130000")}} << "lblNUM" << QVariant("90201512094095");
    QTest::newRow("device ID of a 14-character number")
        << Bytes{} << "txtDevID" << QVariant("02000000000000000090201512090012");
    QTest::newRow("device ID of a 15-character number")
        << Bytes{{33, hex("1c")}} << "txtDevID" << QVariant("02000000000000000186201512090012");
    QTest::newRow("IP") << Bytes{} << "txtIp_3" << QVariant("10");
    QTest::newRow("module address") << Bytes{{11, hex("ff")}} << "txtModuleAddr" << QVariant("255");
    QTest::newRow("debounce, unsigned")
        << Bytes{{24, hex("ffff")}} << "txtDIPrevent" << QVariant("65535");
    QTest::newRow("UDP port") << Bytes{} << "uPortTxt" << QVariant("5000");
    QTest::newRow("CPU type") << Bytes{{58, hex("3412")}} << "cpuTxt" << QVariant("4660");
    QTest::newRow("slave errors") << Bytes{{60, hex("fe")}} << "txtSubErr" << QVariant("254");
    QTest::newRow("slave interval")
        << Bytes{{61, hex("10270000")}} << "txtSubcommIntv" << QVariant("10000");
    QTest::newRow("slave wait") << Bytes{{63, hex("ffff")}} << "txtSubWaitTime"
                                << QVariant("65535");
    QTest::newRow("scan control word")
        << Bytes{{29, hex("0180")}} << "ScanCtrl" << QVariant("32769");
    QTest::newRow("scan interval") << Bytes{{31, hex("2c01")}} << "ScanInterval" << QVariant("300");
    QTest::newRow("packet interval 2")
        << Bytes{{66, hex("20")}} << "txt_RSDataTime_1" << QVariant("32");
    QTest::newRow("model from the lookup, 47")
        << Bytes{{33, hex("2f")}} << "txtDeviceType" << QVariant("KVRX205");
}

void TestSystemInfoPanel::displayShows()
{
    QFETCH(Bytes, bytes);
    QFETCH(QString, name);
    QFETCH(QVariant, shown);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    w->session().receiveSerial(sysInfoReply(bytes));

    QWidget *c = control(*w, name);
    if (auto *list = qobject_cast<QComboBox *>(c))
        QCOMPARE(list->currentIndex(), shown.toInt());
    else
        QCOMPARE(c->property("text").toString(), shown.toString());
    QVERIFY(!QFile::exists(QStringLiteral("TAVG501ErrorLog.ini")));
    // The display enables what a known device offers.
    for (const char *enabled :
         {"cmdSetPara",        "ophandornot_0", "ophandornot_1", "bt_MAC",      "bt_CheckRAM",
          "cmdClearCode",      "cmdCheckLight", "cmdStopCheck",  "btRProfibus", "ckProfibus",
          "bt_FindUpdataFile", "bt_Updata",     "datePicker",    "timePicker",  "Combo9_1",
          "ComboMS_1",         "cmdPause",      "cmdSave",       "cmdRead",     "ReadTxtPublic"})
        QVERIFY2(control(*w, enabled)->isEnabled(), enabled);
    for (const char *disabled : {"txt_MAC_0"})
        QVERIFY2(!control(*w, disabled)->isEnabled(), disabled);
    QVERIFY(control<QRadioButton>(*w, "ophandornot_1")->isChecked());
    QCOMPARE(text(*w, "cmdPause"), QStringLiteral("暂停"));
}

void TestSystemInfoPanel::displayCorrects_data()
{
    QTest::addColumn<QByteArray>("production"); // serial offsets 46..52
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");

    QTest::newRow("as made") << hex("df070c090a1e00") << QDate(2015, 12, 9) << QTime(10, 30, 0);
    QTest::newRow("year 0") << hex("00000c090a1e00") << QDate(1900, 12, 9) << QTime(10, 30, 0);
    QTest::newRow("year 3001") << hex("b90b0c090a1e00") << QDate(1900, 12, 9) << QTime(10, 30, 0);
    QTest::newRow("year 3000") << hex("b80b0c090a1e00") << QDate(3000, 12, 9) << QTime(10, 30, 0);
    QTest::newRow("year 1") << hex("01000c090a1e00") << QDate(1, 12, 9) << QTime(10, 30, 0);
    QTest::newRow("month 13") << hex("df070d090a1e00") << QDate(2015, 1, 9) << QTime(10, 30, 0);
    QTest::newRow("month 0") << hex("df0700090a1e00") << QDate(2015, 1, 9) << QTime(10, 30, 0);
    QTest::newRow("day 0") << hex("df070c000a1e00") << QDate(2015, 12, 1) << QTime(10, 30, 0);
    QTest::newRow("day 32") << hex("df070c200a1e00") << QDate(2015, 12, 1) << QTime(10, 30, 0);
    QTest::newRow("31 April") << hex("df07041f0a1e00") << QDate(2015, 4, 30) << QTime(10, 30, 0);
    QTest::newRow("hour 25") << hex("df070c09191e00") << QDate(2015, 12, 9) << QTime(0, 30, 0);
    QTest::newRow("hour 24") << hex("df070c09181e00") << QDate(2015, 12, 9) << QTime(0, 30, 0);
    QTest::newRow("minute 61, second 60")
        << hex("df070c090a3d3c") << QDate(2015, 12, 9) << QTime(10, 0, 0);
}

void TestSystemInfoPanel::displayCorrects()
{
    QFETCH(QByteArray, production);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    w->session().receiveSerial(sysInfoReply({{46, production}}));

    QCOMPARE(control<QDateEdit>(*w, "datePicker")->date(), date);
    QCOMPARE(control<QTimeEdit>(*w, "timePicker")->time(), time);
    // The record holds what is shown, so a write sends it.
    const SysParamRecord &r = w->session().sysParam;
    QCOMPARE(QDate(r.ProductionYear, r.ProductionMonth, r.ProductionDay), date);
    QCOMPARE(QTime(r.ProductionHour, r.ProductionMinute, r.ProductionSecond), time);
    // The rest of the display ran.
    QCOMPARE(text(*w, "txtDIPrevent"), QStringLiteral("10"));
    QVERIFY(!QFile::exists(QStringLiteral("TAVG501ErrorLog.ini")));
}

void TestSystemInfoPanel::unknownModelStopsEarly()
{
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    control<QLineEdit>(*w, "lblNUM")->setText("earlier");
    w->systemInfoFeature->versionCheck.arm();
    w->session().receiveSerial(sysInfoReply({{33, hex("00")}, {38, hex("0080")}}));

    // Shown up to the production date and the roles, nothing after it.
    QCOMPARE(text(*w, "txtSeries"), QStringLiteral("12"));
    QCOMPARE(control<QComboBox>(*w, "ComboMS_1")->currentIndex(), 1);
    QVERIFY(control(*w, "bt_CheckRAM")->isEnabled());
    QCOMPARE(text(*w, "txtDeviceType"), QStringLiteral("其它设备"));
    QCOMPARE(text(*w, "lblNUM"), QStringLiteral("earlier"));
    QCOMPARE(text(*w, "txtDIPrevent"), QString());
    QCOMPARE(text(*w, "txtInnerVersion"), QString());
    QVERIFY(!control(*w, "cmdClearCode")->isEnabled());
    QVERIFY(boxes.isEmpty()); // no version check either
    QVERIFY(w->systemInfoFeature->versionCheck.pending());
}

// ---- DI/DO buttons of each model ---------------------------------------------------

void TestSystemInfoPanel::pointButtonsPerModel_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("caption"); // empty: hidden
    QTest::addColumn<bool>("enabled");

    QTest::newRow("KVRQ103 Q31") << 4 << 31 << "Q31" << true;
    QTest::newRow("KVRQ103 I0") << 4 << 32 << "I0" << false;
    QTest::newRow("KVRQ103 I7") << 4 << 39 << "I7" << false;
    QTest::newRow("KVRQ103 40 hidden") << 4 << 40 << "" << false;
    QTest::newRow("KVRQ101 Q15") << 8 << 15 << "Q15" << true;
    QTest::newRow("KVRQ101 I0") << 8 << 16 << "I0" << false;
    QTest::newRow("KVRQ101 I23") << 8 << 39 << "I23" << false;
    QTest::newRow("KVRX201 Q11") << 12 << 11 << "Q11" << true;
    QTest::newRow("KVRX201 HQ0") << 12 << 12 << "HQ0" << true;
    QTest::newRow("KVRX201 HQ3") << 12 << 15 << "HQ3" << true;
    QTest::newRow("KVRX201 I15") << 12 << 31 << "I15" << false;
    QTest::newRow("KVRX201 HI0") << 12 << 32 << "HI0" << false;
    QTest::newRow("KVRX201 HI7") << 12 << 39 << "HI7" << false;
    QTest::newRow("KVSQ101 I20") << 15 << 36 << "I20" << false;
    QTest::newRow("KVSQ101 37 hidden") << 15 << 37 << "" << false;
    QTest::newRow("KVRQ105 Q19 (group A)") << 28 << 19 << "Q19" << true;
    QTest::newRow("KVRQ105 I0") << 28 << 20 << "I0" << false;
    QTest::newRow("KVRQ105 I23") << 28 << 43 << "I23" << false;
    QTest::newRow("KVRQ105 44 hidden") << 28 << 44 << "" << false;
    QTest::newRow("KVRX205 Q7") << 47 << 7 << "Q7" << true;
    QTest::newRow("KVRX205 HQ7") << 47 << 15 << "HQ7" << true;
    QTest::newRow("KVRX205 I7") << 47 << 23 << "I7" << false;
    QTest::newRow("KVRX205 HI7") << 47 << 31 << "HI7" << false;
    QTest::newRow("KVRX205 32 hidden") << 47 << 32 << "" << false;
    QTest::newRow("KVRX210 Q23 (group B)") << 57 << 23 << "Q23" << true;
    QTest::newRow("KVRX210 I0") << 57 << 24 << "I0" << false;
    QTest::newRow("KVRX210 I35") << 57 << 59 << "I35" << false;
    QTest::newRow("KVRX210 60 hidden") << 57 << 60 << "" << false;
}

void TestSystemInfoPanel::pointButtonsPerModel()
{
    QFETCH(int, type);
    QFETCH(int, button);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    // A model with fewer buttons first: the next model shows all of its own.
    w->session().receiveSerial(sysInfoReply({{33, hex("2f")}}));
    w->session().receiveSerial(sysInfoReply({{33, QByteArray(1, char(type))}}));

    auto *b = control<QPushButton>(*w, QStringLiteral("bt_DIQ_%1").arg(button));
    QCOMPARE(b->isHidden(), caption.isEmpty());
    if (!caption.isEmpty()) QCOMPARE(b->text(), caption);
    QCOMPARE(b->isEnabled(), enabled);
}

// Every model of the catalogue, as the virtual controller reports it: the
// lookup of the serial number the display composes names the model, series
// and production date the device was made with, and the device ID the
// display shows ends as the device's own.
void TestSystemInfoPanel::everyCatalogueDevice_data()
{
    QTest::addColumn<int>("type");
    for (const DeviceTypeInfo &row : deviceCatalogue())
        QTest::newRow(row.model) << int(row.code);
}

void TestSystemInfoPanel::everyCatalogueDevice()
{
    QFETCH(int, type);
    sim::DeviceProfile profile;
    profile.deviceType = quint8(type);
    profile.series = 2345;
    profile.productionDate = QDate(2019, 11, 28);
    profile.hardwareNumber = QStringLiteral("31234567890123");
    sim::VirtualController device(profile);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);

    w->session().receiveSerial(device.answerSerial(buildSerialFrame(1)));
    w->session().receiveSerial(device.answerSerial(buildSerialFrame(21)));

    const DeviceTypeInfo *row = findDeviceType(type);
    QCOMPARE(text(*w, "txtDeviceType"), QString::fromLatin1(row->model));
    QCOMPARE(text(*w, "txtSeries"), QStringLiteral("2345"));
    QCOMPARE(control<QDateEdit>(*w, "datePicker")->date(), QDate(2019, 11, 28));
    const QString deviceId = text(*w, "txtDevID");
    QCOMPARE(deviceId.size(), 32);
    QCOMPARE(deviceId.mid(16), QString::fromLatin1(device.state().identity.deviceId.mid(16)));
    QCOMPARE(deviceId.mid(17, 3), QString::fromLatin1(row->prefix).rightJustified(3, u'0'));
    QCOMPARE(text(*w, "txthardwarenum"), profile.hardwareNumber);

    // A second read names the model again, though the number is unchanged.
    w->session().receiveSerial(device.answerSerial(buildSerialFrame(1)));
    QCOMPARE(text(*w, "txtDeviceType"), QString::fromLatin1(row->model));
    QVERIFY(boxes.isEmpty());
    QVERIFY(!QFile::exists(QStringLiteral("TAVG501ErrorLog.ini")));
    QVERIFY(!QFile::exists(QStringLiteral("VIZezera.ini")));
}

// ---- Version check -----------------------------------------------------------------

void TestSystemInfoPanel::versionCheck_data()
{
    // Each display: the type code, the firmware version, whether the
    // communicate button was pressed before it, the message it shows.
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QList<int>>("versions");
    QTest::addColumn<QList<bool>>("pressed");
    QTest::addColumn<int>("upperA"); // rangeTable[0], family A
    QTest::addColumn<int>("upperB"); // rangeTable[1], family B
    QTest::addColumn<int>("lowerB");
    QTest::addColumn<QStringList>("messages"); // one per display, "" for none

    const QString high = QStringLiteral("设备版本过高，请更新调试程序或配置文件");
    const QString low = QStringLiteral("设备版本太低，请检查是否需要升级下位机");
    QTest::newRow("start-up limits: 0x7FFF passes")
        << QList<int>{8} << QList<int>{0x7FFF} << QList<bool>{true} << 32767 << 32767 << 0
        << QStringList{""};
    QTest::newRow("start-up limits: 0x8000 too high")
        << QList<int>{8} << QList<int>{0x8000} << QList<bool>{true} << 32767 << 32767 << 0
        << QStringList{high};
    QTest::newRow("one message per press")
        << QList<int>{8, 8, 8} << QList<int>{0x8000, 0x8000, 0x8000}
        << QList<bool>{true, false, true} << 32767 << 32767 << 0 << QStringList{high, "", high};
    QTest::newRow("type 28 at 0x1F00 is family A")
        << QList<int>{28} << QList<int>{0x1F00} << QList<bool>{true} << 0x1EFF << 32767 << 0
        << QStringList{high};
    QTest::newRow("type 8 at 0x1F00 is family B")
        << QList<int>{8} << QList<int>{0x1F00} << QList<bool>{true} << 0x1EFF << 32767 << 0
        << QStringList{""};
    QTest::newRow("type 8 at 0x2100 is family A")
        << QList<int>{8} << QList<int>{0x2100} << QList<bool>{true} << 0x20FF << 32767 << 0
        << QStringList{high};
    QTest::newRow("equal to the limit passes")
        << QList<int>{8} << QList<int>{0x1000} << QList<bool>{true} << 32767 << 0x1000 << 0x1000
        << QStringList{""};
    QTest::newRow("below the lower limit")
        << QList<int>{8} << QList<int>{0x0FFF} << QList<bool>{true} << 32767 << 32767 << 0x1000
        << QStringList{low};
    QTest::newRow("unchecked type keeps the check pending")
        << QList<int>{4, 26, 8} << QList<int>{0x8000, 0x8000, 0x8000}
        << QList<bool>{true, false, false} << 32767 << 32767 << 0 << QStringList{"", "", high};
}

void TestSystemInfoPanel::versionCheck()
{
    QFETCH(QList<int>, types);
    QFETCH(QList<int>, versions);
    QFETCH(QList<bool>, pressed);
    QFETCH(int, upperA);
    QFETCH(int, upperB);
    QFETCH(int, lowerB);
    QFETCH(QStringList, messages);
    rig::SerialRig r;
    Form1 &w = *r.w;
    w.systemInfoFeature->rangeTable[0].upper = upperA;
    w.systemInfoFeature->rangeTable[1].upper = upperB;
    w.systemInfoFeature->rangeTable[1].lower = lowerB;

    for (qsizetype i = 0; i < types.size(); ++i) {
        if (pressed[i]) {
            w.cmdStop_Click();
            w.StartRun_Click();
            QVERIFY(w.session().Comm1->isOpen());
        }
        r.boxes.clear();
        QByteArray version; // firmware, low byte first
        version.append(char(versions[i] & 0xFF)).append(char(versions[i] >> 8));
        w.session().receiveSerial(
            sysInfoReply({{33, QByteArray(1, char(types[i]))}, {38, version}}));
        if (messages[i].isEmpty()) {
            QVERIFY2(r.boxes.isEmpty(), qPrintable(QString::number(i)));
        } else {
            QCOMPARE(r.boxes.size(), 1);
            QCOMPARE(r.boxes[0].text, messages[i]);
        }
    }
}

// ---- Read button -------------------------------------------------------------------

void TestSystemInfoPanel::readButton_data()
{
    QTest::addColumn<int>("link");
    QTest::addColumn<QList<qint16>>("queued"); // entries 1.. afterwards
    QTest::newRow("serial") << 0 << QList<qint16>{1, 75, 15, 18};
    QTest::newRow("network") << 1 << QList<qint16>{1, 75, 101, 12, 63};
}

void TestSystemInfoPanel::readButton()
{
    QFETCH(int, link);
    QFETCH(QList<qint16>, queued);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    w->optComm[link]->setChecked(true);
    w->session().tagCaptureFlag = 1;

    control<QPushButton>(*w, "cmdGetSys")->setEnabled(true);
    control<QPushButton>(*w, "cmdGetSys")->click();

    QCOMPARE(pending(*w).mid(1), queued);
    QCOMPARE(w->session().tagCaptureFlag, qint16(link == 1 ? 0 : 1));
}

// ---- Write button ------------------------------------------------------------------

void TestSystemInfoPanel::writeButtonComposes_data()
{
    QTest::addColumn<int>("link");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("hardware");
    QTest::addColumn<QString>("number"); // lblNUM afterwards
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QList<qint16>>("queued"); // bottom to top, the MAC write on top

    QTest::newRow("type 8 composes 090")
        << 0 << 8 << "123456789012345"
        << "090201403050012"
        << "01234567890123450090201403050012" << QList<qint16>{13, 1, 4, 17, 36};
    QTest::newRow("type 4 composes 094")
        << 0 << 4 << "123456789012345"
        << "094201403050012"
        << "01234567890123450094201403050012" << QList<qint16>{13, 1, 4, 17, 36};
    QTest::newRow("14-character hardware number")
        << 0 << 28 << "12345678901234"
        << "186201403050012"
        << "00123456789012340186201403050012" << QList<qint16>{13, 1, 4, 17, 36};
    QTest::newRow("two-digit prefix")
        << 0 << 12 << "123456789012345"
        << "79201403050012"
        << "01234567890123450079201403050012" << QList<qint16>{13, 1, 4, 17, 36};
    QTest::newRow("network") << 1 << 8 << "123456789012345"
                             << "090201403050012"
                             << "01234567890123450090201403050012"
                             << QList<qint16>{9, 1, 101, 4, 102, 101, 26};
}

void TestSystemInfoPanel::writeButtonComposes()
{
    QFETCH(int, link);
    QFETCH(int, type);
    QFETCH(QString, hardware);
    QFETCH(QString, number);
    QFETCH(QString, deviceId);
    QFETCH(QList<qint16>, queued);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    w->session().receiveSerial(
        sysInfoReply({{33, QByteArray(1, char(type))}, {46, hex("de070305")}}));
    w->optComm[link]->setChecked(true);
    control<QLineEdit>(*w, "txthardwarenum")->setText(hardware);
    QCOMPARE(control<QDateEdit>(*w, "datePicker")->date(), QDate(2014, 3, 5));
    const SysParamRecord before = w->session().sysParam;

    w->Form_KeyUp(Qt::Key_F7); // as the button

    QVERIFY(boxes.isEmpty());
    QCOMPARE(text(*w, "lblNUM"), number);
    QCOMPARE(text(*w, "txtDevID"), deviceId);
    QCOMPARE(pending(*w), queued);
    QCOMPARE(w->session().tagCaptureFlag, qint16(link == 1 ? 1 : 0));
    QCOMPARE(w->Text2->text(), QStringLiteral("正在设置系统信息，请稍候"));
    // Nothing on the panel was changed: the record is the one that was read.
    QCOMPARE(w->session().sysParam, before);
}

// The debounce box takes a signed 16-bit number: -1 goes out as FF FF.
void TestSystemInfoPanel::debounceTakesSixteenBits()
{
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    w->session().receiveSerial(sysInfoReply({{33, QByteArray(1, char(8))}}));
    control<QLineEdit>(*w, "txthardwarenum")->setText(QStringLiteral("123456789012345"));
    control<QLineEdit>(*w, "txtDIPrevent")->setText(QStringLiteral("-1"));
    w->cmdSetPara_Click();
    QVERIFY(boxes.isEmpty());
    QCOMPARE(w->session().sysParam.DiDebounce, quint16(0xFFFF));
}

// A read whose reply comes after the write button was clicked refreshes
// the panel, but the write carries what was typed.
void TestSystemInfoPanel::lateReadLeavesTheWriteAlone_data()
{
    QTest::addColumn<bool>("onNetwork");
    QTest::newRow("serial") << false;
    QTest::newRow("network") << true;
}

void TestSystemInfoPanel::lateReadLeavesTheWriteAlone()
{
    QFETCH(bool, onNetwork);
    rig::EitherLink r(onNetwork);
    Form1 &w = r.w();
    const auto isSystemRead = [&](const QByteArray &request) {
        if (!onNetwork) return request.size() > 2 && quint8(request[2]) == 1;
        const auto parsed = sim::parseNetworkRequest(request);
        return parsed && parsed->service == sim::NetworkService::Read &&
               parsed->blockAddress == 10003 && parsed->blockType == 1;
    };
    w.systemInfoFeature->cmdGetSys_Click();
    QByteArray read;
    for (int i = 0; i < 10 && read.isEmpty(); ++i) {
        const QByteArray request = onNetwork ? r.network->tick() : r.serial->step();
        if (isSystemRead(request))
            read = request;
        else if (!request.isEmpty())
            onNetwork ? r.network->answer(request) : r.serial->answer(request);
    }
    QVERIFY(!read.isEmpty());

    control<QLineEdit>(w, "txtDIPrevent")->setText(QStringLiteral("41"));
    w.cmdSetPara_Click();
    onNetwork ? r.network->answer(read) : r.serial->answer(read);
    QCOMPARE(control<QLineEdit>(w, "txtDIPrevent")->text(), QStringLiteral("10"));
    for (int i = 0; i < 40; ++i)
        r.exchange();
    QVERIFY(r.boxes().isEmpty());
    QCOMPARE(r.controller().state().system.diDebounce, quint16(41));
}

// The same for the MAC address the write makes in automatic mode: a MAC read
// answered after the click shows the device's old address, but the write
// carries the one made at the click.
void TestSystemInfoPanel::lateMacReadLeavesTheWriteAlone()
{
    QFETCH(bool, onNetwork);
    rig::EitherLink r(onNetwork);
    Form1 &w = r.w();
    const std::array<quint8, 6> made = r.controller().state().network.mac; // as the device was made
    const std::array<quint8, 6> old{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    r.controller().state().network.mac = old;

    w.dispatcher().stack().push(onNetwork ? qint16(network_cmd::ReadMac)
                                          : qint16(serial_cmd::ReadMac));
    const QByteArray read = onNetwork ? r.network->tick() : r.serial->step();
    QVERIFY(!read.isEmpty());
    w.cmdSetPara_Click();
    QVERIFY(r.boxes().isEmpty());
    onNetwork ? r.network->answer(read) : r.serial->answer(read);
    QCOMPARE(control<QLineEdit>(w, "txt_MAC_5")->text(), QStringLiteral("55"));
    for (int i = 0; i < 40; ++i)
        r.exchange();
    QVERIFY(r.boxes().isEmpty());
    QCOMPARE(r.controller().state().network.mac, made);
}

void TestSystemInfoPanel::writeButtonRefuses_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("logLabel"); // "" for no log line

    const QString format = QStringLiteral("数据格式错误：");
    QTest::newRow("hardware number 13") << "txthardwarenum"
                                        << "1234567890123"
                                        << "硬件版号位数不正确"
                                        << "";
    QTest::newRow("hardware number 16") << "txthardwarenum"
                                        << "1234567890123456"
                                        << "硬件版号位数不正确"
                                        << "";
    QTest::newRow("debounce letters") << "txtDIPrevent"
                                      << "ten" << format + "防抖时间(ms)"
                                      << "cmdSetPara_Click(Form1)";
    QTest::newRow("debounce 32768") << "txtDIPrevent"
                                    << "32768" << format + "防抖时间(ms)"
                                    << "cmdSetPara_Click(Form1)";
    QTest::newRow("debounce -32769") << "txtDIPrevent"
                                     << "-32769" << format + "防抖时间(ms)"
                                     << "cmdSetPara_Click(Form1)";
    QTest::newRow("debounce empty") << "txtDIPrevent"
                                    << "" << format + "防抖时间(ms)"
                                    << "cmdSetPara_Click(Form1)";
    QTest::newRow("IP 256") << "txtIp_2"
                            << "256" << format + "IP"
                            << "ChangeParameter(Form1)";
    QTest::newRow("IP letters") << "txtIp_0"
                                << "a" << format + "IP"
                                << "ChangeParameter(Form1)";
    QTest::newRow("module address") << "txtModuleAddr"
                                    << "1x" << format + "模块地址"
                                    << "ChangeParameter(Form1)";
    QTest::newRow("packet interval 300") << "txt_RSDataTime_1"
                                         << "300" << format + "间隔时间"
                                         << "ChangeParameter(Form1)";
    QTest::newRow("RS485_2 errors 256") << "Text_ErrorTimeComm2"
                                        << "256" << format + "RS485_2设置 最大错误数"
                                        << "cmdSetPara_Click(Form1)";
    QTest::newRow("RS485_2 interval letters") << "Text_InterTimeComm2"
                                              << "1s" << format + "RS485_2设置 通信间隔ms"
                                              << "cmdSetPara_Click(Form1)";
    QTest::newRow("RS485_2 wait 65536") << "Text_WaitTimeComm2"
                                        << "65536" << format + "RS485_2设置 等待时间ms"
                                        << "cmdSetPara_Click(Form1)";
    QTest::newRow("PD tag of 34 bytes")
        << "txtPD_Tag" << QString(17, QChar(0x6CF5)) << format + "PD_TAG"
        << "cmdSetPara_Click(Form1)";
    QTest::newRow("serial number of 17") << "lblNUM"
                                         << "12345678901234567" << format + "设备序号"
                                         << "cmdSetPara_Click(Form1)";
}

void TestSystemInfoPanel::writeButtonRefuses()
{
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, logLabel);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    w->show();
    w->session().receiveSerial(sysInfoReply());
    control<QLineEdit>(*w, "txthardwarenum")->setText("200000000000000");
    // An unknown model leaves the serial number as it is, so a long one can
    // reach the device ID.
    if (name == u"lblNUM") w->session().sysParam.DeviceType = 0;
    control<QLineEdit>(*w, name)->setText(typed);
    const SysParamRecord before = w->session().sysParam;
    const QList<qint16> queued = pending(*w);

    w->cmdSetPara_Click();

    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, message);
    QCOMPARE(pending(*w), queued); // nothing queued, not even the MAC write
    QCOMPARE(w->session().sysParam, before);
    QVERIFY(w->Text2->text() != QStringLiteral("正在设置系统信息，请稍候"));
    const QString log = logText(QStringLiteral("TAVG501ErrorLog.ini"));
    if (logLabel.isEmpty()) {
        QVERIFY(log.isEmpty());
    } else {
        QCOMPARE(log.count(u'\n'), 1);
        QVERIFY2(log.contains(logLabel), qPrintable(log));
        QCOMPARE(w->focusWidget(), control(*w, name));
    }
}

// ---- Number boxes ------------------------------------------------------------------

void TestSystemInfoPanel::numberBoxes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("before"); // typed first
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("logged");

    QTest::newRow("device number 70000") << "Text_DNO"
                                         << "1"
                                         << "70000"
                                         << "4464" << false;
    QTest::newRow("device number -1") << "Text_DNO"
                                      << "1"
                                      << "-1"
                                      << "65535" << false;
    QTest::newRow("device number empty") << "Text_DNO"
                                         << "1"
                                         << ""
                                         << "" << false;
    QTest::newRow("device number letters") << "Text_DNO"
                                           << "17"
                                           << "17a"
                                           << "17" << true;
    QTest::newRow("device number too large") << "Text_DNO"
                                             << "17"
                                             << "4294967296"
                                             << "17" << true;
    QTest::newRow("frequency empty") << "Text5_2"
                                     << "5"
                                     << ""
                                     << "0" << false;
    QTest::newRow("frequency 65535") << "Text5_2"
                                     << "5"
                                     << "65535"
                                     << "0" << false;
    QTest::newRow("frequency 70000") << "Text5_3"
                                     << "5"
                                     << "70000"
                                     << "4465" << false;
    QTest::newRow("frequency letters") << "Text5_3"
                                       << "5"
                                       << "x"
                                       << "5" << true;
    QTest::newRow("high-speed value untouched") << "Text5_0"
                                                << "5"
                                                << "x"
                                                << "x" << false;
}

void TestSystemInfoPanel::numberBoxes()
{
    QFETCH(QString, name);
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, logged);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    auto *box = control<QLineEdit>(*w, name);
    box->setText(before);
    box->setText(typed);
    QCOMPARE(box->text(), shown);
    const QString log = logText(QStringLiteral("TAVG501ErrorLog.ini"));
    QCOMPARE(log.contains(QStringLiteral("optComm_Click(Form1)")), logged);
    QVERIFY(boxes.isEmpty());
}

// ---- MAC address written with the parameters -------------------------------------------

void TestSystemInfoPanel::automaticMac_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("production"); // serial offsets 46..49
    QTest::addColumn<QString>("series");
    QTest::addColumn<QStringList>("mac");
    QTest::addColumn<QString>("message");

    const QByteArray december9 = hex("df070c09");
    QTest::newRow("series 300") << 8 << december9 << "300"
                                << QStringList{"00", "FE", "F", "1C", "9", "2C"} << "";
    QTest::newRow("type 4") << 4 << december9 << "300"
                            << QStringList{"00", "FD", "F", "1C", "9", "2C"} << "";
    QTest::newRow("series 17") << 8 << december9 << "17"
                               << QStringList{"00", "FE", "F", "C", "9", "11"} << "";
    QTest::newRow("year 2009") << 8 << hex("d9070103") << "0"
                               << QStringList{"00", "FE", "9", "1", "3", "0"} << "";
    QTest::newRow("series 4095") << 8 << december9 << "4095"
                                 << QStringList{"00", "FE", "F", "FC", "9", "FF"} << "";
}

void TestSystemInfoPanel::automaticMac()
{
    QFETCH(int, type);
    QFETCH(QByteArray, production);
    QFETCH(QString, series);
    QFETCH(QStringList, mac);
    QList<MessageBoxRequest> boxes;
    auto w = rig::steppedWindow({}, &boxes);
    w->session().receiveSerial(sysInfoReply({{33, QByteArray(1, char(type))}, {46, production}}));
    control<QLineEdit>(*w, "txtSeries")->setText(series);
    w->dispatcher().stack().clear();

    control<QPushButton>(*w, "bt_MAC")->click();

    for (int i = 0; i < 6; ++i)
        QCOMPARE(text(*w, qPrintable(QStringLiteral("txt_MAC_%1").arg(i))), mac[i]);
    QCOMPARE(pending(*w).mid(1), QList<qint16>{36});
    QVERIFY(boxes.isEmpty());

    // Manual mode: a box that is no byte stops the write with its number.
    control<QRadioButton>(*w, "ophandornot_0")->click();
    QVERIFY(control(*w, "txt_MAC_3")->isEnabled());
    for (const char *bad : {"G0", "1FF", ""}) {
        w->dispatcher().stack().clear();
        boxes.clear();
        control<QLineEdit>(*w, "txt_MAC_3")->setText(QString::fromLatin1(bad));
        control<QPushButton>(*w, "bt_MAC")->click();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral(" 3号地址书写错误"));
        QCOMPARE(pending(*w).mid(1), QList<qint16>{});
    }
}

QTEST_MAIN(TestSystemInfoPanel)
#include "test_system_info_panel.moc"
