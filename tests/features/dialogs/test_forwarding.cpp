// The forwarding windows against the virtual controller on both links: one
// entry read and written back byte for byte, the write as long as the count,
// refused values, and the slave map's edit reaching the device.
#include "app/form1.h"
#include "features/dialogs/dialogs_feature.h"

#include "support/either_link.h"
#include "support/hex.h"

using namespace kalmo;

namespace {

// Count 1, reserved bytes set; Modbus RTU on 串口1 at station 7 to UDP on
// Ethernet, 192.168.1.10 port 10000.
const QByteArray kOneEntry = hex("0100 112233445566"
                                 "05 02 abcd 07a80105 f601 eeff  01 00 0000 c0a8010a 1027 0000");

struct Device : rig::EitherLink
{
    explicit Device(bool onNetwork, const QByteArray &block = kOneEntry) : EitherLink(onNetwork)
    {
        controller().state().forwardingBlock = block + QByteArray(488 - block.size(), '\0');
        feature().bt_Resend_Click();
        exchange();
    }
    ForwardingFeature &feature() const { return *w().dialogsFeature->forwardingFeature(); }
    ForwardingDialog &dialog() const { return *feature().dialog(); }
    ForwardingEndControls &end(int entry, int side) const
    {
        return dialog().entries[std::size_t(entry)][std::size_t(side)];
    }
};

void links()
{
    QTest::addColumn<bool>("network");
    QTest::newRow("serial") << false;
    QTest::newRow("network") << true;
}

} // namespace

class TestForwarding : public QObject
{
    Q_OBJECT
private slots:
    void oneEntryReadAndWrittenBack_data() { links(); }
    void oneEntryReadAndWrittenBack();
    void writeLengthFollowsTheCount_data();
    void writeLengthFollowsTheCount();
    void refusals();
    void slaveMap_data() { links(); }
    void slaveMap();
    void writeBeforeAReadIsRefused();
};

void TestForwarding::oneEntryReadAndWrittenBack()
{
    QFETCH(bool, network);
    Device d(network);
    QVERIFY(d.dialog().isVisible());
    QCOMPARE(d.w().Text2->text(),
             network ? QStringLiteral("读取转发信息成功") : QStringLiteral("读取转发参数成功"));
    QCOMPARE(d.dialog().cb_resendCount->currentText(), QStringLiteral("1"));
    const ForwardingEndControls &source = d.end(0, 0);
    QCOMPARE(source.protocol->currentText(), QStringLiteral("Modbus RTU"));
    QCOMPARE(source.interfaceList->currentText(), QStringLiteral("串口1"));
    QCOMPARE(source.serial->text(), QStringLiteral("7"));
    QVERIFY(!source.serial->isHidden());
    QVERIFY(source.ip[0]->isHidden());
    QVERIFY(!source.port->isEnabled());
    const ForwardingEndControls &destination = d.end(0, 1);
    QCOMPARE(destination.protocol->currentText(), QStringLiteral("UDP透明协议"));
    QCOMPARE(destination.interfaceList->currentText(), QStringLiteral("以太网"));
    QStringList ip;
    for (QLineEdit *box : destination.ip)
        ip << box->text();
    QCOMPARE(ip.join('.'), QStringLiteral("192.168.1.10"));
    QVERIFY(destination.serial->isHidden());
    QCOMPARE(destination.port->text(), QStringLiteral("10000"));

    d.dialog().bt_writeResend->click();
    const QByteArray request = d.exchange();
    QCOMPARE(request, network ? hex("0d000000 3200 0100 0000 b036 0600 0000 0000") + kOneEntry
                              : hex("555545") + kOneEntry + hex("a97f aaaa"));
    QCOMPARE(d.w().Text2->text(),
             network ? QStringLiteral("写入转发信息成功") : QStringLiteral("写入转发参数成功"));

    // Switching the source to Ethernet shows the IP boxes, as read.
    source.interfaceList->setCurrentIndex(0);
    QVERIFY(source.serial->isHidden());
    QCOMPARE(source.ip[1]->text(), QStringLiteral("168"));
    QVERIFY(source.port->isEnabled());
}

void TestForwarding::writeLengthFollowsTheCount_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("requestLength");
    QTest::newRow("serial, 0") << false << 0 << 15;
    QTest::newRow("network, 0") << true << 0 << 26;
    QTest::newRow("serial, 20") << false << 20 << 495;
    QTest::newRow("network, 20") << true << 20 << 506;
}

void TestForwarding::writeLengthFollowsTheCount()
{
    QFETCH(bool, network);
    QFETCH(int, count);
    QFETCH(int, requestLength);
    Device d(network);
    d.dialog().cb_resendCount->setCurrentIndex(count);
    d.dialog().bt_writeResend->click();
    const QByteArray request = d.exchange();
    QCOMPARE(request.size(), requestLength);
    const QByteArray block = d.written(request, 8 + 24 * count);
    QCOMPARE(block.first(8), hex("00 00 112233445566").replace(0, 1, QByteArray(1, char(count))));
    QCOMPARE(d.controller().state().forwardingBlock.first(block.size()), block);
    if (count == 20) // entries past the one read are written as the window shows them
        QCOMPARE(block.last(24),
                 hex("00 00 0000 00000000 0000 0000  00 00 0000 00000000 0000 0000"));
}

void TestForwarding::refusals()
{
    Device d(false);
    // Ports are unsigned: 40000 goes, 65536 does not. The station box, not
    // the hidden first IP box, gives a serial interface's address byte.
    d.end(0, 1).port->setText(QStringLiteral("40000"));
    d.end(0, 0).serial->setText(QStringLiteral("9"));
    d.dialog().bt_writeResend->click();
    const QByteArray entry = d.exchange().sliced(3 + 8, 24);
    QCOMPARE(entry.sliced(4, 4), hex("09a80105"));
    QCOMPARE(entry.sliced(20, 2), hex("409c"));
    d.feature().bt_readResend_Click();
    d.exchange();
    QCOMPARE(d.end(0, 1).port->text(), QStringLiteral("40000"));

    d.end(0, 1).port->setText(QStringLiteral("65536"));
    d.end(0, 0).serial->setText(QStringLiteral("256"));
    d.dialog().bt_writeResend->click();
    QVERIFY(d.exchange().isEmpty());
    QCOMPARE(d.w().Text2->text(), QStringLiteral("数据格式错误：转发配置1源地址"));

    // A count above 20 in a reply changes nothing.
    QByteArray bad = kOneEntry;
    bad[0] = 21;
    d.controller().state().forwardingBlock.replace(0, bad.size(), bad);
    d.feature().bt_readResend_Click();
    d.exchange();
    QCOMPARE(d.w().Text2->text(), QStringLiteral("数据格式错误：转发数目"));
    QCOMPARE(d.dialog().cb_resendCount->currentIndex(), 1);
    QCOMPARE(d.end(0, 0).serial->text(), QStringLiteral("256"));
}

void TestForwarding::slaveMap()
{
    QFETCH(bool, network);
    Device d(network);
    auto &ranges = d.controller().state().slaveForwarding;
    for (int i = 0; i < 16; ++i)
        ranges[std::size_t(i)] = {quint16(100 * i), quint16(40000 + i)};
    d.dialog().bt_resendSlave->click();
    d.exchange();
    SlaveMapDialog &map = *d.feature().slaveDialog();
    QVERIFY(map.isVisible());
    QCOMPARE(map.txt_end[15]->text(), QStringLiteral("40015"));

    map.txt_start[5]->setText(QStringLiteral("65536"));
    map.bt_writeSlave->click();
    QVERIFY(d.exchange().isEmpty());
    QCOMPARE(d.w().Text2->text(), QStringLiteral("数据格式错误：从设备5起始地址"));

    map.txt_start[5]->setText(QStringLiteral("65535"));
    map.bt_writeSlave->click();
    QVERIFY(!d.exchange().isEmpty());
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(int(ranges[std::size_t(i)].start), i == 5 ? 65535 : 100 * i);
        QCOMPARE(int(ranges[std::size_t(i)].end), 40000 + i);
    }
}

void TestForwarding::writeBeforeAReadIsRefused()
{
    rig::EitherLink l(true);
    ForwardingFeature &feature = *l.w().dialogsFeature->forwardingFeature();
    feature.bt_Resend_Click();
    feature.bt_resendSlave_Click();
    l.w().dispatcher().stack().clear();
    feature.dialog()->bt_writeResend->click();
    feature.slaveDialog()->bt_writeSlave->click();
    QCOMPARE(l.w().dispatcher().stack().top(), 0);
    QCOMPARE(l.boxes().size(), 2);
    QCOMPARE(l.boxes()[1].text, QStringLiteral("请先读取参数"));
}

QTEST_MAIN(TestForwarding)
#include "test_forwarding.moc"
