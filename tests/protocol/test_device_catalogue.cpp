// The device type catalogue: serial-number composition and lookup, the names
// each link shows on arrival, the DI/DO button setup, the discovery filter,
// the once-per-start version check and the slave-device types.
#include "protocol/device_catalogue.h"

#include <QtTest>

using namespace kalmo;

class TestDeviceCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void lookupSerialNumber_data();
    void lookupSerialNumber();
    void lookupIgnoresOtherLengths_data();
    void lookupIgnoresOtherLengths();
    void composeSerialNumber_data();
    void composeSerialNumber();
    void composedNumbersLookUpTheirModel();
    void arrivalNames_data();
    void arrivalNames();
    void buttonSetup_data();
    void buttonSetup();
    void unknownCodeLeavesButtons();
    void discoveryFilter_data();
    void discoveryFilter();
    void versionFamilies_data();
    void versionFamilies();
    void oneVersionMessagePerStart();
    void uncheckedTypeKeepsCheckPending();
    void noCheckWithoutLimits();
    void lowerLimit_data();
    void lowerLimit();
    void slaveTypes_data();
    void slaveTypes();
    void slaveTypeList();
};

void TestDeviceCatalogue::lookupSerialNumber_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("series");
    QTest::addColumn<QDate>("date"); // invalid: the date picker is not set
    QTest::addColumn<QString>("log");

    const QDate d130615(2013, 6, 15);
    QTest::newRow("14 chars, prefix 94") << "94201306150001"
                                         << "KVRQ103"
                                         << "0001" << d130615 << "";
    QTest::newRow("15 chars, prefix 186") << "186201306150001"
                                          << "KVRQ105"
                                          << "0001" << d130615 << "";
    QTest::newRow("15 chars, prefix 090") << "090201403050012"
                                          << "KVRQ101"
                                          << "0012" << QDate(2014, 3, 5) << "";
    QTest::newRow("14 chars, prefix 90") << "90201403050012"
                                         << "KVRQ101"
                                         << "0012" << QDate(2014, 3, 5) << "";
    QTest::newRow("14 chars, prefix 79") << "79199912314095"
                                         << "KVRX201"
                                         << "4095" << QDate(1999, 12, 31) << "";
    QTest::newRow("133 is KVRX205") << "133201306150001"
                                    << "KVRX205"
                                    << "0001" << d130615 << "";
    QTest::newRow("132 is KVRX206") << "132201306150001"
                                    << "KVRX206"
                                    << "0001" << d130615 << "";
    QTest::newRow("lookup-only 87") << "87201306150001"
                                    << "KVRG501"
                                    << "0001" << d130615 << "";
    QTest::newRow("14 chars take two: 19 is unknown") << "19201306150001"
                                                      << "未编制设备,无法识别"
                                                      << "0001" << d130615 << "";
    QTest::newRow("unknown 3-digit prefix still sets series and date") << "555201306150007"
                                                                       << "未编制设备,无法识别"
                                                                       << "0007" << d130615 << "";
    QTest::newRow("16 chars: model and series, no date") << "1332013061500017"
                                                         << "KVRX205"
                                                         << "0017" << QDate() << "";
    QTest::newRow("month 13: no date, logged") << "94201313150001"
                                               << "KVRQ103"
                                               << "0001" << QDate() << "无效属性值";
    QTest::newRow("30 February: no date, logged") << "186201302300001"
                                                  << "KVRQ105"
                                                  << "0001" << QDate() << "无效属性值";
    QTest::newRow("letters in the date: no date, logged") << "9420a306150001"
                                                          << "KVRQ103"
                                                          << "0001" << QDate() << "类型不匹配";
}

void TestDeviceCatalogue::lookupSerialNumber()
{
    QFETCH(QString, serial);
    const auto result = kalmo::lookupSerialNumber(serial);
    QVERIFY(result.has_value());
    QTEST(result->deviceTypeText, "model");
    QTEST(result->seriesText, "series");
    QFETCH(QDate, date);
    QCOMPARE(result->productionDate.has_value(), date.isValid());
    if (date.isValid()) QCOMPARE(*result->productionDate, date);
    QTEST(result->logDescription, "log");
}

void TestDeviceCatalogue::lookupIgnoresOtherLengths_data()
{
    QTest::addColumn<QString>("serial");
    QTest::newRow("empty") << "";
    QTest::newRow("13") << "9420130615000";
    QTest::newRow("17") << "94201306150001234";
}

void TestDeviceCatalogue::lookupIgnoresOtherLengths()
{
    QFETCH(QString, serial);
    QVERIFY(!kalmo::lookupSerialNumber(serial).has_value());
}

void TestDeviceCatalogue::composeSerialNumber_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("series");
    QTest::addColumn<bool>("write");
    QTest::addColumn<QString>("expected"); // empty: nothing composed

    QTest::newRow("type 8 display") << 8 << 2014 << 3 << 5 << "12" << false << "90201403050012";
    QTest::newRow("type 8 write") << 8 << 2014 << 3 << 5 << "12" << true << "090201403050012";
    QTest::newRow("type 4 write") << 4 << 2013 << 6 << 15 << "1" << true << "094201306150001";
    QTest::newRow("type 12 write keeps 79")
        << 12 << 2013 << 6 << 15 << "1" << true << "79201306150001";
    QTest::newRow("type 28") << 28 << 2013 << 6 << 15 << "0001" << false << "186201306150001";
    QTest::newRow("type 47") << 47 << 2020 << 12 << 31 << "4095" << false << "133202012314095";
    QTest::newRow("empty series") << 56 << 2020 << 1 << 1 << "" << false << "135202001010000";
    QTest::newRow("last four of a long series")
        << 57 << 2020 << 1 << 1 << "12345" << false << "136202001012345";
    QTest::newRow("unknown code") << 99 << 2020 << 1 << 1 << "1" << false << "";
}

void TestDeviceCatalogue::composeSerialNumber()
{
    QFETCH(int, code);
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(QString, series);
    QFETCH(bool, write);
    QFETCH(QString, expected);
    const auto composed = kalmo::composeSerialNumber(
        code, year, month, day, series, write ? SerialPrefixUse::Write : SerialPrefixUse::Display);
    QCOMPARE(composed.has_value(), !expected.isEmpty());
    if (composed) QCOMPARE(*composed, expected);
}

// Whatever the display composes for a known type, the lookup names that model
// with the same series and date; so do the write button's numbers.
void TestDeviceCatalogue::composedNumbersLookUpTheirModel()
{
    for (const DeviceTypeInfo &row : deviceCatalogue()) {
        for (SerialPrefixUse use : {SerialPrefixUse::Display, SerialPrefixUse::Write}) {
            const auto serial = kalmo::composeSerialNumber(row.code, 2019, 11, 9, "321", use);
            QVERIFY(serial.has_value());
            const auto found = kalmo::lookupSerialNumber(*serial);
            QVERIFY2(found.has_value(), qPrintable(*serial));
            QCOMPARE(found->deviceTypeText, QString::fromLatin1(row.model));
            QCOMPARE(found->seriesText, QStringLiteral("0321"));
            QCOMPARE(found->productionDate, std::optional<QDate>(QDate(2019, 11, 9)));
        }
    }
}

void TestDeviceCatalogue::arrivalNames_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("serialName");
    QTest::addColumn<QString>("networkName");

    QTest::newRow("8") << 8 << "KVRQ101"
                       << "KVRQ101";
    QTest::newRow("57") << 57 << "KVRX210"
                        << "KVRX210";
    QTest::newRow("47 is KVRX209 on arrival") << 47 << "KVRX209"
                                              << "KVRX209";
    QTest::newRow("42 known to the network only") << 42 << "其它设备"
                                                  << "KVRX212";
    QTest::newRow("unknown 99") << 99 << "其它设备"
                                << "未编制设备,无法识别";
}

void TestDeviceCatalogue::arrivalNames()
{
    QFETCH(int, code);
    QTEST(serialLinkTypeName(code), "serialName");
    QTEST(networkLinkTypeName(code), "networkName");
}

void TestDeviceCatalogue::buttonSetup_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("touched");
    QTest::addColumn<int>("enabled"); // -1: left as it is
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("caption");

    QTest::newRow("4 last output") << 4 << 31 << true << 1 << true << "Q31";
    QTest::newRow("4 first input") << 4 << 32 << true << 0 << true << "I0";
    QTest::newRow("8 input 39") << 8 << 39 << true << 0 << true << "I23";
    QTest::newRow("12 HQ0") << 12 << 12 << true << 1 << true << "HQ0";
    QTest::newRow("12 I15") << 12 << 31 << true << 0 << true << "I15";
    QTest::newRow("12 HI7") << 12 << 39 << true << 0 << true << "HI7";
    QTest::newRow("15 I20") << 15 << 36 << true << 0 << true << "I20";
    QTest::newRow("15 37 disabled and hidden") << 15 << 37 << true << 0 << false << "";
    QTest::newRow("28 Q19") << 28 << 19 << true << 1 << true << "Q19";
    QTest::newRow("28 I0") << 28 << 20 << true << 0 << true << "I0";
    QTest::newRow("28 I23") << 28 << 43 << true << 0 << true << "I23";
    QTest::newRow("28 beyond") << 28 << 44 << false << -1 << true << "";
    QTest::newRow("47 HI0") << 47 << 24 << true << 0 << true << "HI0";
    QTest::newRow("47 32 hidden only") << 47 << 32 << true << -1 << false << "";
    QTest::newRow("57 I35") << 57 << 59 << true << 0 << true << "I35";
    QTest::newRow("57 beyond") << 57 << 60 << false << -1 << true << "";
}

void TestDeviceCatalogue::buttonSetup()
{
    QFETCH(int, code);
    QFETCH(int, button);
    QFETCH(int, enabled);
    const DidoButtonSetup s = didoButtonSetup(code)[std::size_t(button)];
    QTEST(s.touched, "touched");
    QCOMPARE(s.enabled.has_value(), enabled >= 0);
    if (s.enabled) QCOMPARE(int(*s.enabled), enabled);
    QTEST(s.visible, "visible");
    QTEST(s.caption, "caption");
}

void TestDeviceCatalogue::unknownCodeLeavesButtons()
{
    for (const DidoButtonSetup &s : didoButtonSetup(99))
        QVERIFY(!s.touched);
}

void TestDeviceCatalogue::discoveryFilter_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<bool>("accepted");

    for (const char *c : {"079", "090", "094", "118", "127", "131", "133", "134", "135", "185",
                          "186", "190", "197", "198", "199"})
        QTest::newRow(c) << QByteArray(c) << true;
    for (const char *c : {"120", "122", "132", "136", "160", "79", "90", "000", "941"})
        QTest::newRow(c) << QByteArray(c) << false;
    QTest::newRow("FF FF FF") << QByteArray::fromHex("FFFFFF") << true;
    QTest::newRow("FF FF") << QByteArray::fromHex("FFFF") << false;
}

void TestDeviceCatalogue::discoveryFilter()
{
    QFETCH(QByteArray, code);
    QTEST(acceptedByDiscovery(code), "accepted");
}

void TestDeviceCatalogue::versionFamilies_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("ran");
    QTest::addColumn<int>("family");
    QTest::addColumn<QString>("message");

    const int A = int(VersionFamily::A);
    const int B = int(VersionFamily::B);
    const int none = int(VersionFamily::NotChecked);
    const QString high = QStringLiteral("设备版本过高，请更新调试程序或配置文件");
    QTest::newRow("28 below 0x2000 is A") << 28 << 0x1F00 << true << A << "";
    QTest::newRow("36 is A") << 36 << 0x0100 << true << A << "";
    QTest::newRow("8 at 0x2100 is A") << 8 << 0x2100 << true << A << "";
    QTest::newRow("8 at 0x2000 is A") << 8 << 0x2000 << true << A << "";
    QTest::newRow("8 at 0x1FFF is B") << 8 << 0x1FFF << true << B << "";
    QTest::newRow("limit itself passes") << 8 << 0x7FFF << true << A << "";
    QTest::newRow("above 32767") << 8 << 0x8000 << true << A << high;
    QTest::newRow("version 0 never too low") << 12 << 0 << true << B << "";
    QTest::newRow("4 not checked") << 4 << 0x9000 << false << none << "";
    QTest::newRow("unknown not checked") << 99 << 0x9000 << false << none << "";
}

void TestDeviceCatalogue::versionFamilies()
{
    QFETCH(int, code);
    QFETCH(int, version);
    VersionCheck check;
    check.setStartupLimits();
    check.arm();
    const VersionCheckResult result = check.check(code, quint16(version));
    QTEST(result.ran, "ran");
    QTEST(int(result.family), "family");
    QTEST(result.message, "message");
    QCOMPARE(check.pending(), !result.ran);
}

void TestDeviceCatalogue::oneVersionMessagePerStart()
{
    VersionCheck check;
    check.setStartupLimits();
    QVERIFY(!check.check(8, 0x8000).ran); // not pressed yet
    check.arm();
    QVERIFY(!check.check(8, 0x8000).message.isEmpty());
    // A second system-information read before the next press: no message.
    const VersionCheckResult again = check.check(8, 0x8000);
    QVERIFY(!again.ran);
    QVERIFY(again.message.isEmpty());
    check.arm();
    QVERIFY(!check.check(8, 0x8000).message.isEmpty());
    // Cleared whatever the outcome: a passing check also uses up the press.
    check.arm();
    QVERIFY(check.check(8, 0x0100).ran);
    QVERIFY(!check.check(8, 0x8000).ran);
}

void TestDeviceCatalogue::uncheckedTypeKeepsCheckPending()
{
    VersionCheck check;
    check.setStartupLimits();
    check.arm();
    QVERIFY(!check.check(4, 0x9000).ran);
    QVERIFY(!check.check(99, 0x9000).ran);
    QVERIFY(check.pending());
    const VersionCheckResult later = check.check(34, 0x9000);
    QVERIFY(later.ran);
    QCOMPARE(later.message, kVersionTooHighText);
    QVERIFY(!check.pending());
}

void TestDeviceCatalogue::noCheckWithoutLimits()
{
    VersionCheck check;
    check.arm();
    QVERIFY(!check.check(8, 0x8000).ran);
    QVERIFY(check.pending());
}

void TestDeviceCatalogue::lowerLimit_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("message");

    const QString low = QStringLiteral("设备版本太低，请检查是否需要升级下位机");
    const QString high = QStringLiteral("设备版本过高，请更新调试程序或配置文件");
    // Family A 0x0100..0x3000, family B 0x0200..0x1000.
    QTest::newRow("B below") << 8 << 0x01FF << low;
    QTest::newRow("B at lower") << 8 << 0x0200 << "";
    QTest::newRow("B at upper") << 8 << 0x1000 << "";
    QTest::newRow("B above") << 8 << 0x1001 << high;
    QTest::newRow("A type below B's lower") << 28 << 0x0150 << "";
    QTest::newRow("A type below") << 28 << 0x00FF << low;
    QTest::newRow("promoted to A") << 8 << 0x2FFF << "";
    QTest::newRow("A above") << 8 << 0x3001 << high;
}

void TestDeviceCatalogue::lowerLimit()
{
    QFETCH(int, code);
    QFETCH(int, version);
    VersionCheck check;
    check.setLimits({0x0100, 0x3000}, {0x0200, 0x1000});
    check.arm();
    QTEST(check.check(code, quint16(version)).message, "message");
}

void TestDeviceCatalogue::slaveTypes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name"); // empty: unknown code

    QTest::newRow("1") << 1 << "TAVX201";
    QTest::newRow("7 KVRQ101") << 7 << "KVRQ101";
    QTest::newRow("18 KVRX201") << 18 << "KVRX201";
    QTest::newRow("28") << 28 << "KVRQ105";
    QTest::newRow("47") << 47 << "KVRX209";
    QTest::newRow("254") << 254 << "其它设备";
    QTest::newRow("255") << 255 << "未配置设备";
    QTest::newRow("99") << 99 << "";
    QTest::newRow("8 is KVRG501, not the device type") << 8 << "KVRG501";
}

void TestDeviceCatalogue::slaveTypes()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    const auto found = slaveTypeName(code);
    QCOMPARE(found.has_value(), !name.isEmpty());
    if (found) {
        QCOMPARE(*found, name);
        QCOMPARE(int(slaveTypeCode(name)), code);
    }
}

void TestDeviceCatalogue::slaveTypeList()
{
    const QStringList items = slaveTypeListItems();
    QCOMPARE(items.size(), 18);
    QCOMPARE(items.at(0), QStringLiteral("TAVX201"));
    QCOMPARE(items.at(6), QStringLiteral("KVRQ101"));
    QCOMPARE(items.at(14), QStringLiteral("FIZB301"));
    QCOMPARE(items.at(15), QStringLiteral("KVRQ105"));
    QCOMPARE(items.at(16), QStringLiteral("其它设备"));
    QCOMPARE(items.at(17), QStringLiteral("未配置设备"));
    QCOMPARE(int(slaveTypeCode(QStringLiteral("KVRQ106"))), 0);
    QCOMPARE(int(slaveTypeCode(QString())), 0);
}

QTEST_APPLESS_MAIN(TestDeviceCatalogue)
#include "test_device_catalogue.moc"
