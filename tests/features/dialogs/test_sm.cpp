// The SM window against the virtual controller on both links: what is read
// is written back unchanged, one edit changes only its bytes, "清0" writes
// zeros, and nothing is written from an empty window or a box that is not a
// 32-bit number.
#include "app/form1.h"
#include "features/dialogs/dialogs_feature.h"

#include "protocol/sm_block.h"
#include "support/either_link.h"
#include "support/hex.h"

using namespace kalmo;

namespace {

struct Device : rig::EitherLink
{
    explicit Device(bool onNetwork) : EitherLink(onNetwork)
    {
        sim::fillBusyBlocks(controller().state());
    }
    QByteArray written(const QByteArray &request) const
    {
        return EitherLink::written(request, 512);
    }
    SmFeature &sm() const { return *w().dialogsFeature->smFeature(); }
    SmDialog &dialog() const { return *sm().dialog(); }
};

} // namespace

class TestSm : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void clearWritesZeros();
    void refusals_data();
    void refusals();
    void shortNetworkReplyChangesNothing();
};

void TestSm::roundTrip_data()
{
    QTest::addColumn<bool>("network");
    QTest::newRow("serial") << false;
    QTest::newRow("network") << true;
}

void TestSm::roundTrip()
{
    QFETCH(bool, network);
    Device l(network);
    const QByteArray onDevice = encodeSmBlock(l.controller().state().smValues);

    l.sm().bt_SM_Click();
    QVERIFY(l.dialog().isVisible());
    QVERIFY(!l.exchange().isEmpty());
    QCOMPARE(l.dialog().txt_sm[1]->text(), QStringLiteral("-131586"));
    QCOMPARE(l.w().Text2->text(),
             network ? QStringLiteral("正在读取SM区信息") : QStringLiteral("读取SM区数据成功"));

    l.dialog().bt_writeSM->click();
    QCOMPARE(l.written(l.exchange()), onDevice);
    QCOMPARE(l.w().Text2->text(),
             network ? QStringLiteral("写SM区信息成功") : QStringLiteral("写入SM区数据成功"));

    l.dialog().txt_sm[0]->setText(QStringLiteral(" -1 "));
    l.dialog().bt_writeSM->click();
    QCOMPARE(l.written(l.exchange()), hex("ffffffff") + onDevice.sliced(4));
    QCOMPARE(l.controller().state().smValues[0], -1);
}

void TestSm::clearWritesZeros()
{
    Device l(false);
    l.sm().bt_SM_Click();
    l.w().dispatcher().stack().clear(); // the read never comes
    l.dialog().btClear->click();
    l.dialog().bt_writeSM->click();
    QCOMPARE(l.written(l.exchange()), QByteArray(512, '\0'));
    QCOMPARE(l.controller().state().smValues, SmValues{});
}

void TestSm::refusals_data()
{
    QTest::addColumn<QString>("box0");    // empty: no read, the window stays empty
    QTest::addColumn<QString>("message"); // box or status text
    QTest::newRow("write before a read") << QString() << "请先读取参数";
    QTest::newRow("above 32 bits") << "2147483648"
                                   << "数据格式错误：SMD256";
    QTest::newRow("not a whole number") << "1.5"
                                        << "数据格式错误：SMD256";
    QTest::newRow("emptied box") << " "
                                 << "数据格式错误：SMD256";
}

void TestSm::refusals()
{
    QFETCH(QString, box0);
    QFETCH(QString, message);
    Device l(false);
    l.sm().bt_SM_Click();
    if (box0.isEmpty()) {
        l.w().dispatcher().stack().clear();
    } else {
        l.exchange();
        l.dialog().txt_sm[0]->setText(box0);
    }
    const SmValues before = l.controller().state().smValues;
    l.dialog().bt_writeSM->click();
    if (box0.isEmpty())
        QCOMPARE(l.w().dispatcher().stack().top(), 0); // nothing queued
    else
        QVERIFY(l.exchange().isEmpty()); // queued, but nothing sent
    if (box0.isEmpty()) {
        QCOMPARE(l.boxes().size(), 1);
        QCOMPARE(l.boxes()[0].text, message);
    } else {
        QCOMPARE(l.w().Text2->text(), message);
    }
    QCOMPARE(l.controller().state().smValues, before);
}

void TestSm::shortNetworkReplyChangesNothing()
{
    Device l(true);
    l.sm().bt_SM_Click();
    const QByteArray request = l.network->tick();
    const QByteArray reply = l.controller().answerNetwork(request);
    QCOMPARE(reply.size(), 524);
    l.network->link().arrive(reply.first(523));
    QCOMPARE(l.dialog().txt_sm[0]->text(), QString());
    QCOMPARE(l.w().Text2->text(), QStringLiteral("数据格式错误：SM区"));
    l.dialog().bt_writeSM->click();
    QCOMPARE(l.boxes().size(), 1); // still nothing read: the write is refused
}

QTEST_MAIN(TestSm)
#include "test_sm.moc"
