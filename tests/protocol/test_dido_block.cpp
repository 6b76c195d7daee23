// The DI/DO block: the reply length by model, the read replies of both links
// for the three point layouts with hard address, high-speed values and
// battery, short replies, the click, the repaint after a write and the write.
#include "protocol/dido_block.h"

#include "core/error_log.h"

#include <QtTest>

#include <initializer_list>

using namespace kalmo;

namespace {

struct Put
{
    int at;
    const char *hex;
};

// `size` bytes of zero with the given hex bytes placed at their offsets.
QByteArray bytesAt(int size, std::initializer_list<Put> puts)
{
    QByteArray b(size, '\0');
    for (const Put &p : puts) {
        const QByteArray v = QByteArray::fromHex(p.hex);
        b.replace(p.at, v.size(), v);
    }
    return b;
}

// Point states with the given indices set to 1.
PointStates statesWith(std::initializer_list<int> ones)
{
    PointStates s{};
    for (int k : ones)
        s[std::size_t(k)] = 1;
    return s;
}

// The indices whose state is 1.
QList<int> onesOf(const PointStates &s)
{
    QList<int> ones;
    for (int k = 0; k < kPointStateCount; ++k)
        if (s[std::size_t(k)]) ones << k;
    return ones;
}

// Buttons painted with 1, and how many buttons were painted at all.
QList<int> litButtons(const DidoReading &r)
{
    QList<int> lit;
    for (int b = 0; b < kPointStateCount; ++b)
        if (r.buttons[std::size_t(b)] == 1) lit << b;
    return lit;
}

int paintedCount(const DidoReading &r)
{
    return int(std::count_if(r.buttons.begin(), r.buttons.end(), [](qint8 v) { return v >= 0; }));
}

using Action = BatteryUpdate::Action;

} // namespace

class TestDidoBlock : public QObject
{
    Q_OBJECT

private slots:
    void groups_data();
    void groups();
    void serialReplyLength_data();
    void serialReplyLength();
    void serialGroupC();
    void serialGroupA();
    void serialGroupB();
    void network();
    void battery_data();
    void battery();
    void highSpeedValues_data();
    void highSpeedValues();
    void shortReplies();
    void batteryText_data();
    void batteryText();
    void toggle_data();
    void toggle();
    void repaint_data();
    void repaint();
    void writeFrames_data();
    void writeFrames();
    void writePayload();
    void readFrame();
};

void TestDidoBlock::groups_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("group");
    QTest::newRow("42") << 42 << int(DidoGroup::A);
    QTest::newRow("34") << 34 << int(DidoGroup::A);
    QTest::newRow("28") << 28 << int(DidoGroup::A);
    QTest::newRow("57") << 57 << int(DidoGroup::B);
    QTest::newRow("8") << 8 << int(DidoGroup::C);
    QTest::newRow("36") << 36 << int(DidoGroup::C);
    QTest::newRow("unknown") << 200 << int(DidoGroup::C);
}

void TestDidoBlock::groups()
{
    QFETCH(int, code);
    QTEST(int(didoGroup(code)), "group");
}

void TestDidoBlock::serialReplyLength_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("previous");
    QTest::addColumn<int>("length");
    QTest::newRow("8 at 12855") << 8 << 12855 << 7 << 22;
    QTest::newRow("8 at 12856") << 8 << 12856 << 7 << 23;
    QTest::newRow("28 always 23") << 28 << 0 << 7 << 23;
    QTest::newRow("36 always 23") << 36 << 0 << 7 << 23;
    QTest::newRow("57") << 57 << 100 << 7 << 22;
    QTest::newRow("30 is listed") << 30 << 0 << 7 << 22;
    QTest::newRow("4 at 12855") << 4 << 12855 << 22 << 14;
    QTest::newRow("4 at 12856") << 4 << 12856 << 22 << 15;
    QTest::newRow("unknown keeps 15") << 99 << 20000 << 15 << 15;
}

void TestDidoBlock::serialReplyLength()
{
    QFETCH(int, code);
    QFETCH(int, firmware);
    QFETCH(int, previous);
    QTEST(serialDidoReplyLength({code, quint16(firmware)}, previous), "length");
}

void TestDidoBlock::serialGroupC()
{
    // Bytes 3..8 carry states 0..47, bit c of byte 3+i is state 8i+c.
    const QByteArray reply = bytesAt(22, {{0, "55 55 0D"},
                                          {3, "01 02 04 08 10 80"},
                                          {9, "05"},
                                          {10, "34 12 FF FF 00 80 01 00"},
                                          {18, "24"},
                                          {20, "AA AA"}});
    PointStates states = statesWith({1, 50, 63}); // 1 is overwritten, 50 and 63 stay
    DidoReading r;
    decodeSerialDido(reply, {8, 4096}, states, r);
    QCOMPARE(onesOf(states), QList<int>({0, 9, 18, 27, 36, 47, 50, 63}));
    QCOMPARE(litButtons(r), QList<int>({0, 9, 18, 27, 36, 47}));
    QCOMPARE(paintedCount(r), 48);
    QCOMPARE(r.hardAddress, std::optional<quint8>(5));
    for (const auto &v : r.highSpeed) // code 8 below 9513 has none
        QVERIFY(!v.has_value());
    QCOMPARE(r.battery, (BatteryUpdate{Action::Clear, {}}));
}

void TestDidoBlock::serialGroupA()
{
    // Points 0..39 in bytes 3..7 (16..39 shown on buttons 20..43); byte 8
    // bits 0..3 are states 40..43 shown on buttons 16..19.
    const QByteArray reply = bytesAt(23, {{0, "55 55 0D"},
                                          {3, "01 80 01 00 80"}, // points 0, 15, 16, 39
                                          {8, "02"},             // state 41 -> button 17
                                          {9, "11"},
                                          {10, "34 12 FF FF 00 80 01 00"},
                                          {18, "24"},
                                          {21, "AA AA"}});
    PointStates states = statesWith({16, 17, 18, 19});
    DidoReading r;
    decodeSerialDido(reply, {28, 0}, states, r);
    // Point 39 set state 43 first; byte 8 then wrote 0 into it.
    QCOMPARE(onesOf(states), QList<int>({0, 15, 16, 17, 18, 19, 20, 41}));
    QCOMPARE(litButtons(r), QList<int>({0, 15, 17, 20, 43}));
    QCOMPARE(paintedCount(r), 44);
    QCOMPARE(r.hardAddress, std::optional<quint8>(0x11));
    QCOMPARE(r.highSpeed[0], std::optional<qint16>(4660));
    QCOMPARE(r.highSpeed[1], std::optional<qint16>(-1));
    QCOMPARE(r.highSpeed[2], std::optional<qint16>(-32768));
    QCOMPARE(r.highSpeed[3], std::optional<qint16>(1));
    QCOMPARE(r.battery, (BatteryUpdate{Action::Show, QStringLiteral("3.6")}));
}

void TestDidoBlock::serialGroupB()
{
    // Bytes 3..4 states 0..15, byte 12 16..23, bytes 5..8 24..55, byte 10 56..63.
    const QByteArray reply = bytesAt(22, {{0, "55 55 0D"},
                                          {3, "01 80"},
                                          {5, "01 00 00 80"},
                                          {9, "07"},
                                          {10, "80"},
                                          {12, "01"},
                                          {20, "AA AA"}});
    PointStates states{};
    DidoReading r;
    decodeSerialDido(reply, {57, 0}, states, r);
    QCOMPARE(onesOf(states), QList<int>({0, 15, 16, 24, 55, 63}));
    QCOMPARE(litButtons(r), QList<int>({0, 15, 16, 24, 55, 63}));
    QCOMPARE(paintedCount(r), 64);
    QCOMPARE(r.hardAddress, std::optional<quint8>(7));
    QVERIFY(!r.highSpeed[0].has_value());
    QCOMPARE(r.battery, (BatteryUpdate{Action::Clear, {}}));
}

void TestDidoBlock::network()
{
    // Bytes 12..17 states 0..47 for every group, hard address 18, battery 19.
    const QByteArray datagram = bytesAt(20, {{0, "4C 00 00 00 00 00 01 00 00 00 00 00"},
                                             {12, "00 00 01 00 00 82"},
                                             {18, "09"},
                                             {19, "21"}});
    PointStates states = statesWith({60});
    DidoReading r;
    decodeNetworkDido(datagram, {28, 0}, states, r);
    QCOMPARE(onesOf(states), QList<int>({16, 41, 47, 60}));
    QCOMPARE(litButtons(r), QList<int>({16, 41, 47}));
    QCOMPARE(paintedCount(r), 48);
    QCOMPARE(r.hardAddress, std::optional<quint8>(9));
    for (const auto &v : r.highSpeed)
        QVERIFY(!v.has_value());
    QCOMPARE(r.battery, (BatteryUpdate{Action::Show, QStringLiteral("3.3")}));
}

void TestDidoBlock::battery_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("text");

    // Serial replies hold 33 at byte 10 and 36 at byte 18; network 25 at 19.
    QTest::newRow("serial 4 at 12855") << false << 4 << 12855 << int(Action::Clear) << "";
    QTest::newRow("serial 4 at 12856") << false << 4 << 12856 << int(Action::Show) << "3.3";
    QTest::newRow("serial 8 at 12855") << false << 8 << 12855 << int(Action::Clear) << "";
    QTest::newRow("serial 8 at 12856") << false << 8 << 12856 << int(Action::Show) << "3.6";
    QTest::newRow("serial 36 any version") << false << 36 << 0 << int(Action::Show) << "3.6";
    QTest::newRow("serial 57 at 12856") << false << 57 << 12856 << int(Action::Show) << "3.6";
    QTest::newRow("serial 30 has none") << false << 30 << 40000 << int(Action::Leave) << "";
    QTest::newRow("serial unknown") << false << 99 << 40000 << int(Action::Leave) << "";
    QTest::newRow("network 4 at 12855") << true << 4 << 12855 << int(Action::Clear) << "";
    QTest::newRow("network 4 at 12856") << true << 4 << 12856 << int(Action::Show) << "2.5";
    QTest::newRow("network 28 any version") << true << 28 << 0 << int(Action::Show) << "2.5";
    QTest::newRow("network 52 at 12855") << true << 52 << 12855 << int(Action::Clear) << "";
    QTest::newRow("network unknown") << true << 99 << 40000 << int(Action::Leave) << "";
}

void TestDidoBlock::battery()
{
    QFETCH(bool, network);
    QFETCH(int, code);
    QFETCH(int, firmware);
    PointStates states{};
    DidoReading r;
    const DidoDevice device{code, quint16(firmware)};
    if (network)
        decodeNetworkDido(bytesAt(20, {{19, "19"}}), device, states, r);
    else
        decodeSerialDido(bytesAt(23, {{10, "21"}, {18, "24"}}), device, states, r);
    QTEST(int(r.battery.action), "action");
    QTEST(r.battery.text, "text");
}

void TestDidoBlock::highSpeedValues_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<bool>("shown");
    QTest::newRow("8 at 9512") << 8 << 9512 << false;
    QTest::newRow("8 at 9513") << 8 << 9513 << true;
    QTest::newRow("10 at 9513") << 10 << 9513 << true;
    QTest::newRow("34") << 34 << 0 << true;
    QTest::newRow("42") << 42 << 0 << true;
    QTest::newRow("36") << 36 << 0 << true;
    QTest::newRow("12") << 12 << 40000 << false;
    QTest::newRow("57") << 57 << 40000 << false;
}

void TestDidoBlock::highSpeedValues()
{
    QFETCH(int, code);
    QFETCH(int, firmware);
    QFETCH(bool, shown);
    PointStates states{};
    DidoReading r;
    decodeSerialDido(bytesAt(23, {{10, "0A 00 F6 FF 10 27 F0 D8"}}), {code, quint16(firmware)},
                     states, r);
    const std::array<std::optional<qint16>, 4> expected =
        shown ? std::array<std::optional<qint16>, 4>{10, -10, 10000, -10000}
              : std::array<std::optional<qint16>, 4>{};
    QCOMPARE(r.highSpeed, expected);
}

void TestDidoBlock::shortReplies()
{
    {
        // Too short for the hard address: nothing at all.
        PointStates states = statesWith({3});
        DidoReading r;
        QVERIFY_THROWS_EXCEPTION(ProcedureError,
                                 decodeSerialDido(bytesAt(9, {{3, "FF"}}), {8, 0}, states, r));
        QVERIFY(!r.hardAddress);
        QCOMPARE(paintedCount(r), 0);
        QCOMPARE(onesOf(states), QList<int>({3}));
    }
    {
        // Group B ends at byte 12: states 0..15 stay, 24..63 are untouched.
        PointStates states = statesWith({30, 60});
        DidoReading r;
        QVERIFY_THROWS_EXCEPTION(ProcedureError,
                                 decodeSerialDido(bytesAt(12, {{3, "03 00"}, {5, "FF"}, {9, "02"}}),
                                                  {57, 0}, states, r));
        QCOMPARE(r.hardAddress, std::optional<quint8>(2));
        QCOMPARE(onesOf(states), QList<int>({0, 1, 30, 60}));
        QCOMPARE(paintedCount(r), 16);
    }
    {
        // Ends inside the third high-speed value: two values, battery left.
        PointStates states{};
        DidoReading r;
        QVERIFY_THROWS_EXCEPTION(
            ProcedureError,
            decodeSerialDido(bytesAt(15, {{3, "01"}, {10, "01 00 02 00"}}), {28, 0}, states, r));
        QCOMPARE(onesOf(states), QList<int>({0}));
        QCOMPARE(r.highSpeed[0], std::optional<qint16>(1));
        QCOMPARE(r.highSpeed[1], std::optional<qint16>(2));
        QVERIFY(!r.highSpeed[2].has_value());
        QCOMPARE(r.battery.action, Action::Leave);
    }
    {
        // Network: states decoded, battery byte missing.
        PointStates states{};
        DidoReading r;
        QVERIFY_THROWS_EXCEPTION(
            ProcedureError,
            decodeNetworkDido(bytesAt(19, {{12, "80"}, {18, "04"}}), {8, 12856}, states, r));
        QCOMPARE(r.hardAddress, std::optional<quint8>(4));
        QCOMPARE(onesOf(states), QList<int>({7}));
        QCOMPARE(r.battery.action, Action::Leave);
    }
    {
        // Network datagram without the hard address.
        PointStates states{};
        DidoReading r;
        QVERIFY_THROWS_EXCEPTION(ProcedureError,
                                 decodeNetworkDido(bytesAt(18, {{12, "FF"}}), {8, 0}, states, r));
        QCOMPARE(paintedCount(r), 0);
        QVERIFY(onesOf(states).isEmpty());
    }
}

void TestDidoBlock::batteryText_data()
{
    QTest::addColumn<int>("tenths");
    QTest::addColumn<QString>("text");
    QTest::newRow("33") << 33 << "3.3";
    QTest::newRow("36") << 36 << "3.6";
    QTest::newRow("30") << 30 << "3";
    QTest::newRow("0") << 0 << "0";
    QTest::newRow("5") << 5 << "0.5";
    QTest::newRow("255") << 255 << "25.5";
}

void TestDidoBlock::batteryText()
{
    QFETCH(int, tenths);
    QTEST(batteryVoltageText(quint8(tenths)), "text");
}

void TestDidoBlock::toggle_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("state");
    QTest::newRow("A 15") << int(DidoGroup::A) << 15 << 15;
    QTest::newRow("A 16") << int(DidoGroup::A) << 16 << 40;
    QTest::newRow("A 17") << int(DidoGroup::A) << 17 << 41;
    QTest::newRow("A 19") << int(DidoGroup::A) << 19 << 43;
    QTest::newRow("A 20") << int(DidoGroup::A) << 20 << 20;
    QTest::newRow("B 17") << int(DidoGroup::B) << 17 << 17;
    QTest::newRow("C 17") << int(DidoGroup::C) << 17 << 17;
}

void TestDidoBlock::toggle()
{
    QFETCH(int, group);
    QFETCH(int, button);
    QTEST(toggledStateIndex(DidoGroup(group), button), "state");
}

void TestDidoBlock::repaint_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("state"); // -1: left as it is
    QTest::newRow("A 15") << int(DidoGroup::A) << 15 << 15;
    QTest::newRow("A 16") << int(DidoGroup::A) << 16 << 40;
    QTest::newRow("A 19") << int(DidoGroup::A) << 19 << 43;
    QTest::newRow("A 20") << int(DidoGroup::A) << 20 << 20;
    QTest::newRow("A 43") << int(DidoGroup::A) << 43 << 43;
    QTest::newRow("A 44") << int(DidoGroup::A) << 44 << -1;
    QTest::newRow("B 63") << int(DidoGroup::B) << 63 << 63;
    QTest::newRow("C 17") << int(DidoGroup::C) << 17 << 17;
    QTest::newRow("C 47") << int(DidoGroup::C) << 47 << 47;
    QTest::newRow("C 48") << int(DidoGroup::C) << 48 << -1;
}

void TestDidoBlock::repaint()
{
    QFETCH(int, group);
    QFETCH(int, button);
    QTEST(buttonStatesAfterDoWrite(DidoGroup(group))[std::size_t(button)], "state");
}

void TestDidoBlock::writeFrames_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<QList<int>>("ones");
    QTest::addColumn<QByteArray>("data"); // frame bytes 2..8

    // Group A: byte 3 states 0..7, byte 4 states 8..15, byte 5 states 40..43.
    QTest::newRow("A button 17 -> state 41 -> bit 1 of byte 5")
        << int(DidoGroup::A) << QList<int>{41} << QByteArray::fromHex("0E 00 00 02 00 00 00");
    QTest::newRow("A ignores inputs and 16..39")
        << int(DidoGroup::A) << QList<int>{0, 15, 16, 20, 39, 40, 43, 44}
        << QByteArray::fromHex("0E 01 80 09 00 00 00");
    QTest::newRow("C state 9 -> byte 4 = 02")
        << int(DidoGroup::C) << QList<int>{9} << QByteArray::fromHex("0E 00 02 00 00 00 00");
    QTest::newRow("C states 0..47") << int(DidoGroup::C) << QList<int>{0, 16, 31, 47, 48, 63}
                                    << QByteArray::fromHex("0E 01 00 01 80 00 80");
    QTest::newRow("B as C") << int(DidoGroup::B) << QList<int>{23, 40}
                            << QByteArray::fromHex("0E 00 00 80 00 00 01");
}

void TestDidoBlock::writeFrames()
{
    QFETCH(int, group);
    QFETCH(QList<int>, ones);
    QFETCH(QByteArray, data);
    PointStates states{};
    for (int k : ones)
        states[std::size_t(k)] = 1;
    const QByteArray frame = doWriteFrame(DidoGroup(group), states);
    QCOMPARE(frame.size(), 13);
    QCOMPARE(frame.left(2), QByteArray::fromHex("55 55"));
    QCOMPARE(frame.mid(2, 7), data);
    QCOMPARE(frame.right(2), QByteArray::fromHex("AA AA"));
}

void TestDidoBlock::writePayload()
{
    // Every group: states 0..47 in six bytes. CRC of the group A frame
    // 0E 01 80 02 00 00 00 is 0x77F5.
    QCOMPARE(doWritePayload(statesWith({9, 40, 47, 50})), QByteArray::fromHex("00 02 00 00 00 81"));
    QCOMPARE(doWriteFrame(DidoGroup::A, statesWith({0, 15, 41})),
             QByteArray::fromHex("55 55 0E 01 80 02 00 00 00 F5 77 AA AA"));
}

void TestDidoBlock::readFrame()
{
    // CRC-16/MODBUS over 0D is 0x857E.
    QCOMPARE(didoReadFrame(), QByteArray::fromHex("55 55 0D 7E 85 AA AA"));
}

QTEST_APPLESS_MAIN(TestDidoBlock)
#include "test_dido_block.moc"
