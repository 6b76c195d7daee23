// The CAN window against the virtual controller: read, write and the
// configuration check on the serial link, the refusals, and nothing on the
// network.
#include "app/form1.h"
#include "features/dialogs/dialogs_feature.h"

#include "support/hex.h"
#include "support/serial_rig.h"

using namespace kalmo;

namespace {

struct CanRig : rig::SerialRig
{
    CanFeature &can() const { return *w->dialogsFeature->canFeature(); }
    CanSetDialog &dialog() const { return *can().dialog(); }

    CanRig()
    {
        w->StartRun_Click();
        QVERIFY(runToIdle());
        can().Command2_Click();
    }
    // The one request a click queued, answered.
    QByteArray exchange()
    {
        const QByteArray request = step();
        if (!request.isEmpty()) answer(request);
        return request;
    }
};

} // namespace

class TestCan : public QObject
{
    Q_OBJECT
private slots:
    void readShowsTheDevice_data();
    void readShowsTheDevice();
    void writeSendsTheSelection();
    void writeBeforeAnySelectionIsRefused();
    void checkLamp_data();
    void checkLamp();
    void nothingOnTheNetwork();
};

void TestCan::readShowsTheDevice_data()
{
    QTest::addColumn<quint8>("baud");
    QTest::addColumn<quint8>("role");
    QTest::addColumn<QString>("baudShown"); // empty: the list keeps what it showed
    QTest::addColumn<QString>("roleShown");
    QTest::addColumn<QString>("status");
    QTest::newRow("1M master") << quint8(7) << quint8(1) << "1M"
                               << "主口"
                               << "读CAN配置成功";
    QTest::newRow("20K slave") << quint8(0) << quint8(0) << "20K"
                               << "从口"
                               << "读CAN配置成功";
    QTest::newRow("rate out of the list") << quint8(8) << quint8(1) << ""
                                          << ""
                                          << "数据格式错误：波特率";
    QTest::newRow("role out of the list") << quint8(7) << quint8(2) << ""
                                          << ""
                                          << "数据格式错误：主从";
}

void TestCan::readShowsTheDevice()
{
    QFETCH(quint8, baud);
    QFETCH(quint8, role);
    QFETCH(QString, baudShown);
    QFETCH(QString, roleShown);
    QFETCH(QString, status);

    CanRig r;
    r.controller.state().can.baudIndex = baud;
    r.controller.state().can.role = role;
    r.dialog().CanRead->click();
    QCOMPARE(r.exchange(), hex("5555 59 7f7a aaaa"));

    QCOMPARE(r.w->Text2->text(), status);
    QCOMPARE(r.dialog().CanBaud->currentText(), baudShown);
    QCOMPARE(r.dialog().CanMS->currentText(), roleShown);
}

void TestCan::writeSendsTheSelection()
{
    CanRig r;
    r.dialog().CanBaud->setCurrentIndex(7); // "1M"
    r.dialog().CanMS->setCurrentIndex(1);   // "主口"
    r.dialog().CanWrite->click();
    QCOMPARE(r.exchange(), hex("5555 57 0701 03e0 aaaa"));
    QCOMPARE(r.w->Text2->text(), QStringLiteral("写CAN配置成功"));
    QCOMPARE(r.controller.state().can.baudIndex, quint8(7));
    QCOMPARE(r.controller.state().can.role, quint8(1));
}

void TestCan::writeBeforeAnySelectionIsRefused()
{
    // A device's settings are never overwritten with 00 00 by an empty window.
    CanRig r;
    r.dialog().CanBaud->setCurrentIndex(3);
    r.dialog().CanWrite->click();
    QCOMPARE(r.w->dispatcher().stack().top(), 0);
    QCOMPARE(r.boxes.size(), 1);
    QCOMPARE(r.boxes[0].text, QStringLiteral("请先读取参数"));
}

void TestCan::checkLamp_data()
{
    QTest::addColumn<quint8>("reported");
    QTest::addColumn<QColor>("lamp");
    QTest::newRow("10 is sound") << quint8(10) << QColor(0, 255, 0);
    QTest::newRow("9 is a fault") << quint8(9) << QColor(255, 0, 0);
}

void TestCan::checkLamp()
{
    QFETCH(quint8, reported);
    QFETCH(QColor, lamp);
    CanRig r;
    r.controller.state().can.detectValue = reported;
    r.dialog().CanDetect->click();
    QCOMPARE(r.exchange(), hex("5555 58 beba aaaa"));
    QCOMPARE(r.w->Text2->text(), QStringLiteral("检测CAN配置成功"));
    QCOMPARE(r.dialog().shpFlashCan->color(), lamp);
}

void TestCan::nothingOnTheNetwork()
{
    QList<MessageBoxRequest> boxes;
    ProgramOptions options;
    options.link = ProgramOptions::Link::Network;
    auto w = rig::steppedWindow(options, &boxes);
    w->StartRun_Click();
    CanFeature &can = *w->dialogsFeature->canFeature();
    can.Command2_Click();
    const CanSetDialog &dialog = *can.dialog();
    for (QPushButton *button : {dialog.CanDetect, dialog.CanRead, dialog.CanWrite})
        QVERIFY(!button->isEnabled());
    dialog.CanBaud->setCurrentIndex(1);
    dialog.CanMS->setCurrentIndex(1);
    can.CanDetect_Click();
    can.CanRead_Click();
    can.CanWrite_Click();
    QCOMPARE(w->dispatcher().stack().top(), 0);
}

QTEST_MAIN(TestCan)
#include "test_can.moc"
