// The control-parameter block's field tables: where each kind of field
// lies, little-endian numbers of their widths, lists sharing the port byte,
// and no two fields claiming the same bit.
#include "protocol/control_block.h"

#include "support/hex.h"

#include <QtTest>

#include <bitset>

using namespace kalmo;

namespace {

template <typename Field, typename Range>
const Field &named(const Range &fields, const QString &name)
{
    for (const Field &f : fields)
        if (f.name == name) return f;
    qFatal("no field %s", qPrintable(name));
}

} // namespace

class TestControlBlock : public QObject
{
    Q_OBJECT
private slots:
    void layout();
    void fieldsDoNotOverlap();
    void faults_data();
    void faults();
};

void TestControlBlock::layout()
{
    QByteArray block(kControlLength, '\0');
    const auto numbers = controlNumbers();
    setNumberAt(block, named<ControlNumber>(numbers, "txt_fbdCount"), 0x01020304);
    setNumberAt(block, named<ControlNumber>(numbers, "txt_resendFreshTime"), 200);
    setNumberAt(block, named<ControlNumber>(numbers, "txt_VKeepLen_9"), -2);
    setNumberAt(block, named<ControlNumber>(numbers, "txt_SlaveADQ_15"), -1);
    setNumberAt(block, named<ControlNumber>(numbers, "txt_rySlave"), 0x0102);
    const auto lists = controlLists();
    setListIndexAt(block, named<ControlList>(lists, "cb_bandWidth"), 2);
    setListIndexAt(block, named<ControlList>(lists, "cb_workType"), 1);
    setListIndexAt(block, named<ControlList>(lists, "cb_writeFBD"), 2);

    QCOMPARE(block.sliced(24, 4), hex("04030201"));
    QCOMPARE(block.sliced(114, 2), hex("feff"));     // segment 9 length
    QCOMPARE(block.sliced(176, 4), hex("ffffffff")); // slave 15 scan time
    QCOMPARE(block.sliced(182, 1), hex("c8"));
    QCOMPARE(block.sliced(205, 2), hex("02 06")); // write mode, port word
    QCOMPARE(block.sliced(240, 2), hex("0201"));
    QCOMPARE(numberAt(block, named<ControlNumber>(numbers, "txt_VKeepLen_9")), -2);

    // Mapping byte 216: AI of slave 0 is bit 0, AQ of slave 1 bit 5.
    QCOMPARE(named<ControlBit>(controlBits(), "ck_ai_0").offset, 216);
    QCOMPARE(named<ControlBit>(controlBits(), "ck_ai_0").bit, 0);
    QCOMPARE(named<ControlBit>(controlBits(), "ck_aq_1").bit, 5);
    QCOMPARE(named<ControlBit>(controlBits(), "ck_dq_15").offset, 223);
    QCOMPARE(named<ControlBit>(controlBits(), "ck_dq_15").bit, 7);
    QCOMPARE(named<ControlBit>(controlBits(), "ck_zigbee_4").offset, 224);
}

void TestControlBlock::fieldsDoNotOverlap()
{
    std::bitset<kControlLength * 8> taken;
    const auto claim = [&](qsizetype offset, quint8 mask, const QString &name) {
        for (int bit = 0; bit < 8; ++bit) {
            if (!(mask & (1u << bit))) continue;
            const std::size_t at = std::size_t(offset) * 8 + std::size_t(bit);
            QVERIFY2(!taken[at], qPrintable(name));
            taken[at] = true;
        }
    };
    for (const ControlNumber &f : controlNumbers()) {
        const qsizetype size = f.width == NumberWidth::Int32   ? 4
                               : f.width == NumberWidth::Int16 ? 2
                                                               : 1;
        for (qsizetype i = 0; i < size; ++i)
            claim(f.offset + i, 0xFF, f.name);
    }
    for (const ControlList &l : controlLists())
        claim(l.offset, l.mask, l.name);
    for (const ControlBit &b : controlBits())
        claim(b.offset, quint8(1u << b.bit), b.name);
    for (const ControlHex &h : controlHexFields())
        for (qsizetype i = 0; i < h.length; ++i)
            claim(h.offset + i, 0xFF, h.name);
}

void TestControlBlock::faults_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<quint8>("value");
    QTest::addColumn<QString>("fault");
    QTest::newRow("run flag 5") << 0 << quint8(5) << "功能块运行标志";
    QTest::newRow("write mode 3") << 205 << quint8(3) << "以太网写指令";
    QTest::newRow("bandwidth 3") << 206 << quint8(0x07) << "以太网带宽";
    QTest::newRow("high port bits are no fault") << 206 << quint8(0xFA) << "";
}

void TestControlBlock::faults()
{
    QFETCH(int, offset);
    QFETCH(quint8, value);
    QFETCH(QString, fault);
    QByteArray block(kControlLength, '\0');
    block[offset] = char(value);
    QCOMPARE(controlBlockFault(block).value_or(QString()), fault);
    QCOMPARE(controlBlockFault(block.first(241)), std::optional(QStringLiteral("控制信息")));
}

QTEST_MAIN(TestControlBlock)
#include "test_control_block.moc"
