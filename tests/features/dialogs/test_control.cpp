// The control-parameter window against the virtual controller on both
// links: what is read is written back byte for byte, unshown bytes included;
// one edit changes only its bytes; a reply it cannot show changes nothing;
// a box out of its width stops the write.
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
    return state.controlBlock;
}

struct Device : rig::EitherLink
{
    explicit Device(bool onNetwork, const QByteArray &block = busyBlock()) : EitherLink(onNetwork)
    {
        controller().state().controlBlock = block;
        feature().bt_Ctrl_Click();
        exchange();
    }
    ControlFeature &feature() const { return *w().dialogsFeature->controlFeature(); }
    ControlDialog &dialog() const { return *feature().dialog(); }
    QLineEdit *box(const char *name) const { return dialog().boxes.value(name); }
    QByteArray write()
    {
        dialog().bt_writeCtrl->click();
        const QByteArray request = exchange();
        return request.isEmpty() ? QByteArray() : written(request, 242);
    }
};

} // namespace

class TestControl : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void portWordAndMapping();
    void unshowableReply_data();
    void unshowableReply();
    void writeBeforeAReadIsRefused();
    void boxOutOfItsWidth_data();
    void boxOutOfItsWidth();
};

void TestControl::roundTrip_data()
{
    QTest::addColumn<bool>("network");
    QTest::newRow("serial") << false;
    QTest::newRow("network") << true;
}

void TestControl::roundTrip()
{
    QFETCH(bool, network);
    Device d(network);
    QVERIFY(d.dialog().isVisible());
    QCOMPARE(d.w().Text2->text(), QStringLiteral("读取控制参数成功"));
    // Check code bytes 4..13 as 20 digits.
    QCOMPARE(d.box("txt_fbdCheck")->text(), QStringLiteral("171C21262B30353A3F44"));

    QCOMPARE(d.write(), busyBlock());
    QCOMPARE(d.w().Text2->text(), QStringLiteral("写入控制参数成功"));

    d.box("txt_freeze_1")->setText(QStringLiteral("-2"));
    d.box("txt_fbdCheck")->setText(QStringLiteral("0")); // display only
    QByteArray expected = busyBlock();
    expected[186] = char(0xFE);
    expected[187] = char(0xFF);
    QCOMPARE(d.write(), expected);
    QCOMPARE(d.controller().state().controlBlock, expected);
}

void TestControl::portWordAndMapping()
{
    QByteArray block(242, '\0');
    block[206] = 0x06;
    block[216] = 0x21;
    Device d(false, block);
    QCOMPARE(d.dialog().lists.value("cb_bandWidth")->currentText(), QStringLiteral("自适应"));
    QCOMPARE(d.dialog().lists.value("cb_workType")->currentText(), QStringLiteral("全双工"));
    QVERIFY(d.dialog().checks.value("ck_ai_0")->isChecked());
    QVERIFY(d.dialog().checks.value("ck_aq_1")->isChecked());
    QVERIFY(!d.dialog().checks.value("ck_aq_0")->isChecked());
    QCOMPARE(d.write().sliced(206, 2), hex("0600"));
}

void TestControl::unshowableReply_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<quint8>("value");
    QTest::addColumn<QString>("status");
    QTest::newRow("run flag 5") << 0 << quint8(5) << "数据格式错误：功能块运行标志";
    QTest::newRow("bandwidth 3") << 206 << quint8(0x03) << "数据格式错误：以太网带宽";
}

void TestControl::unshowableReply()
{
    QFETCH(int, offset);
    QFETCH(quint8, value);
    QFETCH(QString, status);
    Device d(false);
    QByteArray bad(242, '\0');
    bad[offset] = char(value);
    d.controller().state().controlBlock = bad;
    d.feature().bt_readCtrl_Click();
    d.exchange();
    QCOMPARE(d.w().Text2->text(), status);
    QCOMPARE(d.dialog().lists.value("cb_Run")->currentIndex(), 1);
    QCOMPARE(d.box("txt_rySlave")->text(), QString::number(qint16(0xB8B3)));
    QCOMPARE(d.write(), busyBlock()); // still the block read before
}

void TestControl::writeBeforeAReadIsRefused()
{
    // The read never comes: an empty window never overwrites the device.
    rig::EitherLink l(false);
    ControlFeature &feature = *l.w().dialogsFeature->controlFeature();
    feature.bt_Ctrl_Click();
    l.w().dispatcher().stack().clear();
    feature.dialog()->bt_writeCtrl->click();
    QCOMPARE(l.w().dispatcher().stack().top(), 0);
    QCOMPARE(l.boxes().size(), 1);
    QCOMPARE(l.boxes()[0].text, QStringLiteral("请先读取参数"));
}

void TestControl::boxOutOfItsWidth_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("label");
    QTest::newRow("int16 32768") << "txt_delayTime"
                                 << "32768"
                                 << "运行延迟时间 s";
    QTest::newRow("int32 2147483648") << "txt_fbdCount"
                                      << "2147483648"
                                      << "功能块个数";
    QTest::newRow("int32 1.5") << "txt_SlaveADQ_3"
                               << "1.5"
                               << "3从设备AQDQ扫描时间";
    QTest::newRow("byte 256") << "txt_resendFreshTime"
                              << "256"
                              << "转发命令刷新时间 s";
}

void TestControl::boxOutOfItsWidth()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, label);
    Device d(false);
    d.dialog().boxes.value(box)->setText(text);
    QVERIFY(d.write().isEmpty());
    QCOMPARE(d.w().Text2->text(), QStringLiteral("数据格式错误：") + label);
    QCOMPARE(d.controller().state().controlBlock, busyBlock());
}

QTEST_MAIN(TestControl)
#include "test_control.moc"
