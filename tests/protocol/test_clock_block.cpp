// The clock block: read replies of both links, the week day from the device
// and from a date, and the write frame and payloads.
#include "protocol/clock_block.h"

#include "core/error_log.h"
#include "support/hex.h"

#include <QtTest>

using namespace kalmo;

namespace {

// A network read reply: the 12-byte header, then `data`.
QByteArray networkReply(const char *data, int size)
{
    QByteArray b(size, char(0xEE));
    b.replace(0, 12, hex("4C 00 00 00 00 00 01 00 00 00 00 00"));
    const QByteArray d = hex(data);
    b.replace(12, d.size(), d);
    return b;
}

} // namespace

class TestClockBlock : public QObject
{
    Q_OBJECT

private slots:
    void serialReply_data();
    void serialReply();
    void serialEchoHasNoWeekDay();
    void networkReply();
    void networkWeekDay_data();
    void networkWeekDay();
    void shortReplies_data();
    void shortReplies();
    void weekDayFromDate_data();
    void weekDayFromDate();
    void weekDayList();
    void writeFrame();
    void writeFrameNeedsAWeekDay();
    void payloads();
    void clockFromPickers_data();
    void clockFromPickers();
    void readFrame();
};

void TestClockBlock::serialReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QDate>("date"); // invalid: the date picker is left as it is
    QTest::addColumn<QTime>("time"); // invalid: the time picker is left as it is
    QTest::addColumn<int>("weekDayIndex");

    // 55 55 13 | year lo hi | month day hour minute second | week day | CRC | AA AA
    QTest::newRow("2026, Sunday") << hex("55 55 13 EA 07 03 1D 17 3B 3A 07 00 00 AA AA")
                                  << QDate(2026, 3, 29) << QTime(23, 59, 58) << 6;
    QTest::newRow("Monday first") << hex("55 55 13 EA 07 03 1E 00 00 00 01 00 00 AA AA")
                                  << QDate(2026, 3, 30) << QTime(0, 0, 0) << 0;
    QTest::newRow("week day 0: no selection") << hex("55 55 13 D0 07 01 01 0C 1E 00 00 00 00 AA AA")
                                              << QDate(2000, 1, 1) << QTime(12, 30, 0) << -1;
    QTest::newRow("week day 9: no selection") << hex("55 55 13 D0 07 01 01 0C 1E 00 09 00 00 AA AA")
                                              << QDate(2000, 1, 1) << QTime(12, 30, 0) << -1;
    QTest::newRow("month 13: no date")
        << hex("55 55 13 EA 07 0D 01 01 02 03 03 00 00 AA AA") << QDate() << QTime(1, 2, 3) << 2;
    QTest::newRow("30 February: no date")
        << hex("55 55 13 EA 07 02 1E 01 02 03 03 00 00 AA AA") << QDate() << QTime(1, 2, 3) << 2;
    QTest::newRow("hour 24: no time")
        << hex("55 55 13 EA 07 01 01 18 00 00 04 00 00 AA AA") << QDate(2026, 1, 1) << QTime() << 3;
}

void TestClockBlock::serialReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    const ClockValue clock = decodeSerialClockReply(reply);
    QCOMPARE(clock.date().has_value(), date.isValid());
    if (date.isValid()) QCOMPARE(*clock.date(), date);
    QCOMPARE(clock.time().has_value(), time.isValid());
    if (time.isValid()) QCOMPARE(*clock.time(), time);
    QTEST(clock.weekDayIndex(), "weekDayIndex");
}

void TestClockBlock::serialEchoHasNoWeekDay()
{
    const ClockValue clock =
        decodeSerialClockEcho(hex("55 55 14 EA 07 03 1E 08 05 09 01 70 C7 AA AA"));
    QCOMPARE(clock.year, 2026);
    QCOMPARE(clock.month, 3);
    QCOMPARE(clock.day, 30);
    QCOMPARE(clock.hour, 8);
    QCOMPARE(clock.minute, 5);
    QCOMPARE(clock.second, 9);
    QVERIFY(!clock.weekDay.has_value());
    QCOMPARE(clock.weekDayIndex(), -1);
}

void TestClockBlock::networkReply()
{
    const ClockValue clock = decodeNetworkClockReply(::networkReply("EA 07 0C 1F 17 3B 3A 07", 40));
    QCOMPARE(clock.date(), std::optional<QDate>(QDate(2026, 12, 31)));
    QCOMPARE(clock.time(), std::optional<QTime>(QTime(23, 59, 58)));
    QCOMPARE(clock.weekDayIndex(), 6);
    QCOMPARE(weekDayListItems().at(clock.weekDayIndex()), QStringLiteral("日"));
}

void TestClockBlock::networkWeekDay_data()
{
    QTest::addColumn<QByteArray>("value"); // bytes 128..129
    QTest::addColumn<int>("index");
    QTest::newRow("1 Monday") << hex("01 00") << 0;
    QTest::newRow("7 Sunday") << hex("07 00") << 6;
    QTest::newRow("0") << hex("00 00") << -1;
    QTest::newRow("8") << hex("08 00") << -1;
    QTest::newRow("high byte set") << hex("07 01") << -1;
}

void TestClockBlock::networkWeekDay()
{
    QFETCH(QByteArray, value);
    QByteArray datagram(130, char(0xEE));
    datagram.replace(128, 2, value);
    QTEST(decodeNetworkWeekDayReply(datagram), "index");
}

void TestClockBlock::shortReplies_data()
{
    QTest::addColumn<int>("kind"); // 0 serial 19, 1 serial 20, 2 network clock, 3 network week day
    QTest::addColumn<int>("size");
    QTest::newRow("serial 19 without week day") << 0 << 10;
    QTest::newRow("serial 19 empty") << 0 << 0;
    QTest::newRow("serial 20 without second") << 1 << 9;
    QTest::newRow("network without week day") << 2 << 19;
    QTest::newRow("network week day half") << 3 << 129;
}

void TestClockBlock::shortReplies()
{
    QFETCH(int, kind);
    QFETCH(int, size);
    const QByteArray reply(size, char(1));
    try {
        switch (kind) {
        case 0:
            decodeSerialClockReply(reply);
            break;
        case 1:
            decodeSerialClockEcho(reply);
            break;
        case 2:
            decodeNetworkClockReply(reply);
            break;
        default:
            decodeNetworkWeekDayReply(reply);
            break;
        }
        QFAIL("a short reply was decoded");
    } catch (const ProcedureError &e) {
        QCOMPARE(e.description(), QStringLiteral("下标越界"));
    }
}

void TestClockBlock::weekDayFromDate_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("index");
    QTest::newRow("Sunday") << QDate(2026, 3, 29) << 6;
    QTest::newRow("Monday") << QDate(2026, 3, 30) << 0;
    QTest::newRow("Tuesday") << QDate(2026, 3, 31) << 1;
    QTest::newRow("Saturday") << QDate(2026, 4, 4) << 5;
    QTest::newRow("invalid") << QDate() << -1;
}

void TestClockBlock::weekDayFromDate()
{
    QFETCH(QDate, date);
    QTEST(weekDayIndexFromDate(date), "index");
}

void TestClockBlock::weekDayList()
{
    QCOMPARE(weekDayListItems(),
             QStringList({QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"),
                          QStringLiteral("四"), QStringLiteral("五"), QStringLiteral("六"),
                          QStringLiteral("日")}));
}

void TestClockBlock::writeFrame()
{
    ClockValue clock;
    clock.year = 2026;
    clock.month = 3;
    clock.day = 30;
    clock.hour = 8;
    clock.minute = 5;
    clock.second = 9;
    clock.weekDay = 1;
    // CRC-16/MODBUS over 14 EA 07 03 1E 08 05 09 01 is 0xC770.
    QCOMPARE(writeClockFrame(clock), hex("55 55 14 EA 07 03 1E 08 05 09 01 70 C7 AA AA"));
}

void TestClockBlock::writeFrameNeedsAWeekDay()
{
    ClockValue clock{2026, 3, 30, 8, 5, 9, std::nullopt};
    QVERIFY_THROWS_EXCEPTION(ProcedureError, writeClockFrame(clock));
    clock.weekDay = 0;
    QVERIFY_THROWS_EXCEPTION(ProcedureError, writeClockFrame(clock));
    clock.weekDay = 8;
    QVERIFY_THROWS_EXCEPTION(ProcedureError, writeClockFrame(clock));
    QVERIFY_THROWS_EXCEPTION(ProcedureError, weekDayPayload(0));
    clock.weekDay = 7;
    clock.year = 70000;
    QVERIFY_THROWS_EXCEPTION(ProcedureError, writeClockFrame(clock));
}

void TestClockBlock::payloads()
{
    const ClockValue clock{2026, 12, 31, 23, 59, 58, 4};
    QCOMPARE(clockPayload(clock), hex("EA 07 0C 1F 17 3B 3A"));
    QCOMPARE(weekDayPayload(7), hex("07 00"));
    QCOMPARE(weekDayPayload(1), hex("01 00"));
}

void TestClockBlock::clockFromPickers_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("listIndex");
    QTest::addColumn<int>("weekDay");
    QTest::newRow("list index 2") << QDate(2026, 3, 29) << 2 << 3;
    QTest::newRow("list index 6") << QDate(2026, 3, 30) << 6 << 7;
    QTest::newRow("no selection, Sunday") << QDate(2026, 3, 29) << -1 << 7;
    QTest::newRow("no selection, Monday") << QDate(2026, 3, 30) << -1 << 1;
}

void TestClockBlock::clockFromPickers()
{
    QFETCH(QDate, date);
    QFETCH(int, listIndex);
    const ClockValue clock = kalmo::clockFromPickers(date, QTime(14, 15, 16), listIndex);
    QCOMPARE(clock.year, date.year());
    QCOMPARE(clock.month, date.month());
    QCOMPARE(clock.day, date.day());
    QCOMPARE(clock.hour, 14);
    QCOMPARE(clock.minute, 15);
    QCOMPARE(clock.second, 16);
    QFETCH(int, weekDay);
    QCOMPARE(clock.weekDay, std::optional<int>(weekDay));
}

void TestClockBlock::readFrame()
{
    // CRC-16/MODBUS over 13 is 0x8DFE.
    QCOMPARE(readClockFrame(), hex("55 55 13 FE 8D AA AA"));
}

QTEST_APPLESS_MAIN(TestClockBlock)
#include "test_clock_block.moc"
