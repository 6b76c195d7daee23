// The redundancy window against the virtual controller on both links: what
// is read is written back byte for byte, unshown bytes included; the area
// boxes, "全选"/"全否" and a slave's serial start change exactly their bits.
#include "app/form1.h"
#include "features/dialogs/dialogs_feature.h"

#include "support/either_link.h"
#include "support/hex.h"

using namespace kalmo;

namespace {

// Non-zero everywhere, every list byte within its list.
QByteArray busyBlock()
{
    sim::DeviceState state;
    sim::fillBusyBlocks(state);
    return state.redundancyBlock;
}

struct Device : rig::EitherLink
{
    explicit Device(bool onNetwork, const QByteArray &block = busyBlock()) : EitherLink(onNetwork)
    {
        controller().state().redundancyBlock = block;
        feature().bt_Rongyu_Click();
        exchange();
    }
    RedundancyFeature &feature() const { return *w().dialogsFeature->redundancyFeature(); }
    RedundancyDialog &dialog() const { return *feature().dialog(); }
    QByteArray write()
    {
        dialog().bt_writeRongyu->click();
        const QByteArray request = exchange();
        return request.isEmpty() ? QByteArray() : written(request, 208);
    }
};

} // namespace

class TestRedundancy : public QObject
{
    Q_OBJECT
private slots:
    void unchangedWriteIsTheBlockRead_data() { links(); }
    void unchangedWriteIsTheBlockRead();
    void areaBoxes_data() { links(); }
    void areaBoxes();
    void slaveSerialStart();
    void refusals();
    void writeBeforeAReadIsRefused();

private:
    void links()
    {
        QTest::addColumn<bool>("network");
        QTest::newRow("serial") << false;
        QTest::newRow("network") << true;
    }
};

void TestRedundancy::unchangedWriteIsTheBlockRead()
{
    QFETCH(bool, network);
    Device d(network);
    QVERIFY(d.dialog().isVisible());
    QCOMPARE(d.w().Text2->text(), QStringLiteral("读取冗余信息成功"));
    QCOMPARE(d.dialog().cb_rongyuType->currentText(), QStringLiteral("以太网冗余系统"));
    QCOMPARE(d.write(), busyBlock());
    QCOMPARE(d.w().Text2->text(), QStringLiteral("写入冗余信息成功"));
}

void TestRedundancy::areaBoxes()
{
    QFETCH(bool, network);
    Device d(network, QByteArray(208, '\0'));
    for (QCheckBox *box : d.dialog().ch_keepArea0)
        QVERIFY(box->isChecked()); // mask A 0: every area backed up
    d.dialog().bt_selNone->click();
    QCOMPARE(d.write().sliced(4, 8), hex("ffff7f00 ff7f0000"));
    d.dialog().by_selAll->click();
    QCOMPARE(d.write().sliced(4, 8), QByteArray(8, '\0'));
    QCOMPARE(d.controller().state().redundancyBlock, QByteArray(208, '\0'));
}

void TestRedundancy::slaveSerialStart()
{
    Device d(false, QByteArray(208, '\0'));
    d.dialog().slaves[3].lists[1]->setCurrentIndex(2); // active serial start "COM1"
    QByteArray expected(208, '\0');
    expected[16 + 12 * 3] = 0x02;
    expected[16 + 12 * 3 + 1] = 0x01;
    QCOMPARE(d.write(), expected);

    d.dialog().slaves[3].lists[1]->setCurrentIndex(0);
    d.feature().bt_readRongyu_Click();
    d.exchange();
    QCOMPARE(d.dialog().slaves[3].lists[1]->currentText(), QStringLiteral("COM1"));
}

void TestRedundancy::refusals()
{
    Device d(false);
    d.dialog().slaves[2].txt_switchTime->setText(QStringLiteral("32768"));
    QVERIFY(d.write().isEmpty());
    QCOMPARE(d.w().Text2->text(), QStringLiteral("数据格式错误：2号从设备切换时间"));

    // A reply with a role out of its list changes nothing.
    QByteArray bad = busyBlock();
    bad[2] = 3;
    d.controller().state().redundancyBlock = bad;
    d.dialog().slaves[2].txt_switchTime->setText(QStringLiteral("5"));
    d.feature().bt_readRongyu_Click();
    d.exchange();
    QCOMPARE(d.w().Text2->text(), QStringLiteral("数据格式错误：设备角色"));
    QCOMPARE(d.dialog().slaves[2].txt_switchTime->text(), QStringLiteral("5"));
    QCOMPARE(d.dialog().cb_rongyuRole->currentIndex(), 1);
}

void TestRedundancy::writeBeforeAReadIsRefused()
{
    rig::EitherLink l(true);
    RedundancyFeature &feature = *l.w().dialogsFeature->redundancyFeature();
    feature.bt_Rongyu_Click();
    l.w().dispatcher().stack().clear();
    feature.dialog()->bt_writeRongyu->click();
    QCOMPARE(l.w().dispatcher().stack().top(), 0);
    QCOMPARE(l.boxes().size(), 1);
    QCOMPARE(l.boxes()[0].text, QStringLiteral("请先读取参数"));
}

QTEST_MAIN(TestRedundancy)
#include "test_redundancy.moc"
