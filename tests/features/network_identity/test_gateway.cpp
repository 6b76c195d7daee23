// The gateway and subnet mask: written on both links as the device's eight
// bytes and read back into the boxes; a box that does not convert sends
// nothing.
#include "app/form1.h"
#include "features/network_identity/network_identity_feature.h"

#include "support/hex.h"
#include "support/network_rig.h"
#include "support/serial_rig.h"

using namespace kalmo;

namespace {

void fill(const NetworkIdentityPanel &panel, const QStringList &gateway, const QStringList &mask)
{
    for (int i = 0; i < 4; ++i) {
        panel.txtGate[std::size_t(i)]->setText(gateway[i]);
        panel.txtSubNet[std::size_t(i)]->setText(mask[i]);
    }
}

QStringList shown(const std::array<QLineEdit *, 4> &boxes)
{
    QStringList texts;
    for (const QLineEdit *box : boxes)
        texts << box->text();
    return texts;
}

const QStringList kGateway = {"192", "168", "1", "1"};
const QStringList kMask = {"255", "255", "255", "0"};

} // namespace

class TestGateway : public QObject
{
    Q_OBJECT
private slots:
    void serialWriteAndReadBack();
    void networkWriteAndReadBack();
    void boxThatDoesNotConvert_data();
    void boxThatDoesNotConvert();
};

void TestGateway::serialWriteAndReadBack()
{
    rig::SerialRig r;
    r.w->StartRun_Click();
    QVERIFY(r.runToIdle());
    const NetworkIdentityPanel &panel = *r.w->networkIdentityFeature->panel();
    fill(panel, kGateway, kMask);

    panel.bt_NetGate->click();
    const QByteArray request = r.step();
    QCOMPARE(request, hex("5555 4e c0a80101 ffffff00 2f0c aaaa"));
    r.answer(request);
    QCOMPARE(r.w->Text2->text(), QStringLiteral("写入网关信息成功"));

    fill(panel, {"", "", "", ""}, {"", "", "", ""});
    r.w->dispatcher().stack().push(serial_cmd::ReadGateway);
    r.answer(r.step());
    QCOMPARE(shown(panel.txtGate), kGateway);
    QCOMPARE(shown(panel.txtSubNet), kMask);
}

void TestGateway::networkWriteAndReadBack()
{
    rig::NetworkRig r;
    const NetworkIdentityPanel &panel = *r.w->networkIdentityFeature->panel();
    fill(panel, kGateway, kMask);
    const auto sequence = quint8(r.w->dispatcher().sendState().writeSequence + 1);

    panel.bt_NetGate->click();
    const QByteArray request = r.tick();
    // Write header: 0D, length 26, sequence, block 14000, type 7, item count 0.
    QByteArray expected = hex("0d000000 1a00 0000 0000 b036 0700 0000 0000 c0a80101 ffffff00");
    expected[6] = char(sequence);
    QCOMPARE(request, expected);
    r.answer(request);
    QCOMPARE(r.w->Text2->text(), QStringLiteral("写入网关信息成功"));

    fill(panel, {"", "", "", ""}, {"", "", "", ""});
    r.w->dispatcher().stack().push(network_cmd::ReadGateway);
    r.answer(r.tick());
    QCOMPARE(shown(panel.txtGate), kGateway);
    QCOMPARE(shown(panel.txtSubNet), kMask);
}

void TestGateway::boxThatDoesNotConvert_data()
{
    QTest::addColumn<QStringList>("gateway");
    QTest::addColumn<QStringList>("mask");
    QTest::addColumn<QString>("status");
    QTest::newRow("gateway part above a byte")
        << QStringList{"192", "256", "1", "1"} << kMask << "数据格式错误：网关";
    QTest::newRow("mask part not a number")
        << kGateway << QStringList{"255", "x", "255", "0"} << "数据格式错误：子网掩码";
    QTest::newRow("empty mask part")
        << kGateway << QStringList{"255", "255", "255", ""} << "数据格式错误：子网掩码";
}

void TestGateway::boxThatDoesNotConvert()
{
    QFETCH(QStringList, gateway);
    QFETCH(QStringList, mask);
    QFETCH(QString, status);
    rig::SerialRig r;
    r.w->StartRun_Click();
    QVERIFY(r.runToIdle());
    const NetworkIdentityPanel &panel = *r.w->networkIdentityFeature->panel();
    fill(panel, gateway, mask);
    panel.bt_NetGate->click();
    QVERIFY(r.step().isEmpty());
    QCOMPARE(r.w->Text2->text(), status);
    QVERIFY(r.w->session().Timer1->isActive()); // the queue goes on
}

QTEST_MAIN(TestGateway)
#include "test_gateway.moc"
