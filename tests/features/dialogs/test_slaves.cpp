// The slave-device window against the virtual controller on both links: the
// 16 reads byte for byte, each record in the row its slave number names, a
// lost reply that shifts nothing and ends in the failure message, and "写入"
// sending exactly the rows the user changed.
#include "app/form1.h"
#include "features/dialogs/dialogs_feature.h"

#include "support/either_link.h"
#include "support/hex.h"
#include "support/log_text.h"

using namespace kalmo;

namespace {

// The serial reads of slaves 0..15: function 32, the slave number, 1.
const QByteArray kSerialReads =
    hex("5555200001b1caaaaa 5555200101b05aaaaa 5555200201b0aaaaaa 5555200301b13aaaaa"
        "5555200401b30aaaaa 5555200501b29aaaaa 5555200601b26aaaaa 5555200701b3faaaaa"
        "5555200801b60aaaaa 5555200901b79aaaaa 5555200a01b76aaaaa 5555200b01b6faaaaa"
        "5555200c01b4caaaaa 5555200d01b55aaaaa 5555200e01b5aaaaaa 5555200f01b43aaaaa");

struct Device : rig::EitherLink
{
    explicit Device(bool onNetwork) : EitherLink(onNetwork)
    {
        // Slave k answers with address 100 + k, so that a row shows whose record it holds.
        for (int k = 0; k < 16; ++k)
            controller().state().slaves[std::size_t(k)].address = quint8(100 + k);
    }
    SlaveFeature &feature() const { return *w().dialogsFeature->slaveFeature(); }
    SlaveInfoDialog &dialog() const { return *feature().dialog(); }
    const SlaveInfoRow &row(int k) const { return dialog().rows[std::size_t(k)]; }
    bool onSerial() const { return serial != nullptr; }

    // One tick; a request the controller leaves unanswered ends by its time-out.
    QByteArray step()
    {
        if (!serial) {
            const QByteArray request = network->tick();
            if (!request.isEmpty()) network->answer(request);
            return request;
        }
        const QByteArray request = serial->step();
        if (request.isEmpty()) return {};
        const QByteArray reply = controller().answerSerial(request);
        if (reply.isEmpty())
            w().session().Timer2_Timer();
        else
            serial->deliver(reply);
        return request;
    }
    // " 查看从设备信息" and `steps` ticks; the requests sent.
    QList<QByteArray> show(int steps = 16)
    {
        w().dialogsFeature->panel()->btSlaveShow->click();
        // The test steps time itself.
        QObject::disconnect(dialog().CheckTimer, &QTimer::timeout, nullptr, nullptr);
        QList<QByteArray> sent;
        for (int i = 0; i < steps; ++i)
            sent << step();
        return sent;
    }
    // The slave number of a slave write, or -1 for any other request.
    int writtenSlave(const QByteArray &request) const
    {
        const bool write =
            onSerial() ? quint8(request[2]) == 0x21
                       : quint8(request[0]) == 0x0D && request.sliced(10, 4) == hex("13271100");
        return write ? quint8(written(request, 12)[0]) : -1;
    }
};

} // namespace

class TestSlaves : public QObject
{
    Q_OBJECT
private slots:
    void readsEachSlaveIntoItsRow_data() { links(); }
    void readsEachSlaveIntoItsRow();
    void lostReplyShiftsNothing_data() { links(); }
    void lostReplyShiftsNothing();
    void writesExactlyTheEditedRows_data() { links(); }
    void writesExactlyTheEditedRows();
    void typesAndFormatsOutsideTheLists();
    void badBoxKeepsTheRowPending();

private:
    void links()
    {
        QTest::addColumn<bool>("network");
        QTest::newRow("serial") << false;
        QTest::newRow("network") << true;
    }
};

void TestSlaves::readsEachSlaveIntoItsRow()
{
    QFETCH(bool, network);
    Device d(network);
    sim::SlaveDevice &three = d.controller().state().slaves[3];
    three = {7, 2, 254, 1000, 4};
    d.w().dialogsFeature->panel()->btSlaveShow->click();
    QObject::disconnect(d.dialog().CheckTimer, &QTimer::timeout, nullptr, nullptr);
    QCOMPARE(d.dialog().windowTitle(), QStringLiteral("从设备信息"));
    QVERIFY(d.dialog().isVisible());
    QVERIFY(!d.dialog().isEnabled());
    QVERIFY(!d.w().isEnabled());
    QCOMPARE(d.dialog().CheckTimer->interval(), 5000);

    QByteArray sent;
    for (int k = 0; k < 16; ++k) {
        QByteArray request = d.step();
        if (network) {
            // Read of block 10003 type 14, item count 256 + k; the sequence
            // number is the link's business.
            QByteArray expected = hex("0c000000 1000 0000 0000 1327 0e00 0001");
            expected[6] = request[6];
            expected[7] = request[7];
            expected[14] = char(k);
            QCOMPARE(request.toHex(' '), expected.toHex(' '));
        }
        sent += request;
        QVERIFY(d.dialog().CheckTimer->isActive() == (k < 15));
    }
    if (!network) QCOMPARE(sent.toHex(' '), kSerialReads.toHex(' '));

    for (int k = 0; k < 16; ++k)
        QCOMPARE(d.row(k).txtAddr->text(), QString::number(k == 3 ? 7 : 100 + k));
    QCOMPARE(d.row(3).ComboCommType->currentText(), QStringLiteral("ModbusASCII"));
    QCOMPARE(d.row(3).ComboSlave->currentText(), QStringLiteral("其它设备"));
    QCOMPARE(d.row(3).txtScanTime->text(), QStringLiteral("1000"));
    QCOMPARE(d.row(3).txtScanNo->text(), QStringLiteral("4"));
    QCOMPARE(d.row(0).ComboSlave->currentText(), QStringLiteral("未配置设备"));
    QCOMPARE(d.row(15).Label6->text(), QStringLiteral("15号从设备"));
    // Filled by a read: nothing pending, both windows usable, "写入" waits for an edit.
    QCOMPARE(d.feature().pending(), (std::array<bool, 16>{}));
    QVERIFY(d.dialog().isEnabled());
    QVERIFY(d.w().isEnabled());
    QVERIFY(!d.dialog().Command1->isEnabled());
    QVERIFY(!d.dialog().CheckTimer->isActive());
}

void TestSlaves::lostReplyShiftsNothing()
{
    QFETCH(bool, network);
    Device d(network);
    sim::FaultOptions faults;
    faults.dropSlave = 5;
    d.controller().setFaults(faults);
    d.show();
    QVERIFY(d.row(5).txtAddr->text().isEmpty());
    QVERIFY(!d.row(5).txtAddr->isEnabled());
    for (int k : {4, 6, 15})
        QCOMPARE(d.row(k).txtAddr->text(), QString::number(100 + k));
    QVERIFY(d.dialog().CheckTimer->isActive());
    QVERIFY(!d.w().isEnabled());

    d.feature().CheckTimer_Timer();
    QCOMPARE(d.boxes().size(), 1);
    QCOMPARE(d.boxes()[0].text, QStringLiteral("读取从设备信息失败"));
    QCOMPARE(d.boxes()[0].title, QStringLiteral("系统提示"));
    QVERIFY(!d.dialog().isVisible());
    QVERIFY(d.dialog().isEnabled());
    QVERIFY(d.w().isEnabled());
    QVERIFY(!d.dialog().CheckTimer->isActive());
    // Emptied, and the emptying marks nothing.
    QVERIFY(d.row(4).txtAddr->text().isEmpty());
    QCOMPARE(d.feature().pending(), (std::array<bool, 16>{}));

    // Given up half-way: the reads still queued go too.
    d.show(3);
    d.feature().CheckTimer_Timer();
    QCOMPARE(d.w().dispatcher().stack().top(), 0);
    QVERIFY(d.w().isEnabled());
}

void TestSlaves::writesExactlyTheEditedRows()
{
    QFETCH(bool, network);
    Device d(network);
    d.show();
    d.row(7).txtScanTime->setText(QStringLiteral("1234"));
    d.row(3).txtAddr->setText(QStringLiteral("42"));
    QCOMPARE(d.row(3).Label6->palette().color(QPalette::Window), QColor(0, 255, 0));
    QVERIFY(d.dialog().Command1->isEnabled());

    d.dialog().Command1->click();
    QVERIFY(!d.dialog().isEnabled());
    QList<int> writes;
    for (int i = 0; i < 8; ++i)
        if (const QByteArray request = d.step(); !request.isEmpty())
            if (const int slave = d.writtenSlave(request); slave >= 0) writes << slave;
    QCOMPARE(writes, (QList<int>{3, 7}));
    QCOMPARE(d.w().dispatcher().stack().top(), 0);
    QCOMPARE(d.controller().state().slaves[3].address, quint8(42));
    QCOMPARE(d.controller().state().slaves[7].scanPeriod, quint16(1234));
    QCOMPARE(d.controller().state().slaves[7].address, quint8(107));
    QVERIFY(d.dialog().isEnabled());
    QVERIFY(!d.dialog().Command1->isEnabled());
    QVERIFY(d.row(3).Label6->palette().color(QPalette::Window) != QColor(0, 255, 0));

    d.dialog().Command2->click(); // "退出"
    QVERIFY(!d.dialog().isVisible());
    QVERIFY(d.row(3).txtAddr->text().isEmpty());
}

void TestSlaves::typesAndFormatsOutsideTheLists()
{
    QFile::remove(QStringLiteral("TAVG501ErrorLog.ini"));
    Device d(false);
    auto &slaves = d.controller().state().slaves;
    slaves[4].typeCode = 99; // no such type
    slaves[5].typeCode = 18; // KVRX201: a name, not in the list
    slaves[6].format = 9;
    d.show();
    QCOMPARE(d.row(4).ComboSlave->currentIndex(), -1);
    QCOMPARE(d.row(4).ComboSlave->placeholderText(), QStringLiteral("错误！"));
    QCOMPARE(d.row(5).ComboSlave->placeholderText(), QStringLiteral("KVRX201"));
    QCOMPARE(d.row(6).ComboCommType->currentIndex(), -1);
    QVERIFY(logText().contains(QStringLiteral("DistributeSlaveInfo(Form1)")));

    // Written back with their own codes unless another is picked.
    for (int k : {4, 5, 6})
        d.row(k).txtScanNo->setText(QStringLiteral("6"));
    d.row(5).ComboSlave->setCurrentText(QStringLiteral("KVRQ105"));
    d.dialog().Command1->click();
    for (int i = 0; i < 6; ++i)
        d.step();
    QCOMPARE(slaves[4].typeCode, quint16(99));
    QCOMPARE(slaves[5].typeCode, quint16(28));
    QCOMPARE(slaves[6].format, quint8(9));
    QCOMPARE(slaves[6].scanFunction, quint8(6));
}

void TestSlaves::badBoxKeepsTheRowPending()
{
    Device d(false);
    d.show();
    d.row(2).txtScanTime->setText(QStringLiteral("65536"));
    d.dialog().Command1->click();
    const QByteArray request = d.step();
    QVERIFY(request.isEmpty());
    QCOMPARE(d.w().Text2->text(), QStringLiteral("数据格式错误：2号从设备扫描周期"));
    QVERIFY(d.feature().pending()[2]);
    QVERIFY(d.dialog().isEnabled());
    QVERIFY(d.dialog().Command1->isEnabled());
    QCOMPARE(d.w().dispatcher().stack().top(), 0);
}

QTEST_MAIN(TestSlaves)
#include "test_slaves.moc"
