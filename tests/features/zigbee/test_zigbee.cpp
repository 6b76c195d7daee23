// The Zigbee section against the virtual controller: the block read into the
// panel and written back on both links, every check of the write click and
// the chain address, the link test, the advanced dialog, and a block the
// panel cannot show.
#include "app/form1.h"
#include "features/zigbee/zigbee_feature.h"

#include "protocol/announcement.h"
#include "sim/device_blocks.h"
#include "support/hex.h"
#include "support/log_text.h"
#include "support/scratch_dir.h"
#include "support/serial_rig.h"

#include <QRegularExpression>

using namespace kalmo;
using rig::control;

namespace {

// Boxes 1 and 15 on; MAC bytes shown as "0", "A", "1F", "FF"; chain 9.
const QByteArray kBlock = hex("01 05 3412 00100004 000A1FFF01020304 0000000000001234"
                              "01 09 6400 c800 0300 3c00");

// The device's block with bytes from `at` replaced.
QByteArray patched(int at, const char *bytes, int at2 = 0, const char *bytes2 = "")
{
    QByteArray b = kBlock;
    b.replace(at, hex(bytes).size(), hex(bytes));
    return b.replace(at2, hex(bytes2).size(), hex(bytes2));
}

struct SerialZigbee : rig::SerialRig
{
    explicit SerialZigbee(bool read = true)
    {
        sim::applyZigbeeBlock(controller.state().zigbee, kBlock);
        w->show();
        w->StartRun_Click();
        if (read) QVERIFY(runToIdle());
    }
    ZigbeePanel &p() const { return *w->zigbeeFeature->panel(); }
    QByteArray held() { return sim::zigbeeBlock(controller.state().zigbee); }
    QStringList messages()
    {
        QStringList texts;
        for (const MessageBoxRequest &box : std::exchange(boxes, {}))
            texts << box.text;
        return texts;
    }
};

// "name=value": a box's text, a list's index or a check box (1 or 0); "name_*"
// sets a whole control array.
void edit(QWidget &w, const QString &change)
{
    const QString name = change.section(u'=', 0, 0);
    const QString value = change.section(u'=', 1);
    if (name.endsWith(u'*')) {
        for (QWidget *c : w.findChildren<QWidget *>(
                 QRegularExpression(u'^' + name.chopped(1) + QStringLiteral("\\d+$"))))
            edit(w, c->objectName() + u'=' + value);
        return;
    }
    QWidget *c = control(w, name);
    if (auto *box = qobject_cast<QLineEdit *>(c)) box->setText(value);
    if (auto *list = qobject_cast<QComboBox *>(c)) list->setCurrentIndex(value.toInt());
    if (auto *check = qobject_cast<QCheckBox *>(c)) check->setChecked(value == u"1");
}

} // namespace

class TestZigbee : public QObject
{
    Q_OBJECT
private slots:
    void readAndWriteOnTheNetwork();
    void writeClick_data();
    void writeClick();
    void testReplyTexts();
    void advancedCancelAndConfirm();
    void unshowableBlockChangesNothing();

private:
    ScratchWorkingDir m_dir; // for the error log
};

void TestZigbee::readAndWriteOnTheNetwork()
{
    QList<MessageBoxRequest> boxes;
    ProgramOptions options;
    options.link = ProgramOptions::Link::Network;
    auto w = rig::steppedWindow(options, &boxes);
    w->session().discoveryPort = 0;
    sim::VirtualController device;
    sim::applyZigbeeBlock(device.state().zigbee, kBlock);
    QByteArray last;
    const auto run = [&] {
        for (int i = 0; i < 40 && w->dispatcher().stack().top() > 0; ++i) {
            w->session().Timer1_Timer();
            if (const QByteArray sent = rig::fakeDatagram(*w).takeSent(); !sent.isEmpty())
                rig::fakeDatagram(*w).arrive(device.answerNetwork(last = sent));
        }
    };
    w->StartRun_Click();
    Announcement a;
    a.address = {127, 0, 0, 2};
    a.deviceId = "02" + QByteArray(15, '0') + "090" + QByteArray(12, '0');
    a.servicePort = 5020;
    w->wsckDeviceQuery_DataArrival(encodeAnnouncement(a));
    w->cmbDevice->setCurrentIndex(0);
    w->cmbDevice_Click();
    run();
    ZigbeePanel &p = *w->zigbeeFeature->panel();
    QCOMPARE(p.Combo_Nettype->currentText(), QStringLiteral("网型"));
    QCOMPARE(p.txt_AC[2]->text(), QStringLiteral("1F"));
    QVERIFY(p.Cmd_TestZigbee->isHidden());

    p.Cmd_TestZigbee->click(); // no link test on the network
    p.Cmd_WritezParam->click();
    run();
    QVERIFY(boxes.isEmpty());
    // A write of block 14000 type 1, count 0: the block unchanged, 8 zero bytes.
    QCOMPARE(last.left(2) + last.mid(10, 6), hex("0D00 b036 0100 0000"));
    QCOMPARE(last.mid(18), kBlock + QByteArray(8, '\0'));
    QCOMPARE(sim::zigbeeBlock(device.state().zigbee), kBlock);
}

void TestZigbee::writeClick_data()
{
    QTest::addColumn<bool>("read");
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");      // with its whole text selected
    QTest::addColumn<QByteArray>("written"); // empty: nothing queued

    const auto row = [](const char *name, QStringList edits, const char *message, const char *focus,
                        const QByteArray &written, bool read = true) {
        QTest::newRow(name) << read << edits << QString::fromUtf8(message)
                            << QString::fromUtf8(focus) << written;
    };
    row("unchanged", {}, "", "", kBlock);
    row("channels 0 and 15", {"Check1_*=0", "Check1_0=1", "Check1_15=1"}, "", "",
        patched(4, "00080004"));
    row("disabled, no channel", {"Check1_*=0", "Zigbee_Enable=0"}, "", "",
        patched(4, "00000000", 24, "00"));
    row("enabled, no channel", {"Check1_*=0"}, "通道使能,请至少选择一个通道!", "", {});
    row("MAC box 3 G1", {"txt_AC_3=G1"}, "zigbee参数中的 3号Mac地址书写错误", "txt_AC_3", {});
    row("EXPANID box 7 above FF", {"txt_EXPAN_7=100"}, "zigbee参数中的 7号EXPANID地址书写错误",
        "txt_EXPAN_7", {});
    row("MAC all 0, empty counts 0", {"txt_AC_*=", "txt_AC_0=00"}, "zigbee参数中的MAC地址不能全为0",
        "", {});
    row("EXPANID all 0", {"txt_EXPAN_*=0"}, "zigbee参数中的EXPANID地址不能全为0", "", {});
    row("device number empty", {"Text_DNO="}, "数据格式错误：设备编号", "Text_DNO", {});
    row("list without a choice", {"Combo_Nettype=-1"}, "请先读取参数", "Combo_Nettype", {});
    row("before any read", {}, "读时间间隔不合法，请重新输入。该值至少为50", "", {}, false);
    row("chain 255", {"Text_ChainAddr=255"}, "", "", patched(25, "ff"));
    row("chain 256", {"Text_ChainAddr=256"}, "输入地址错，请重新输入", "", patched(25, "00"));
    row("chain empty", {"Text_ChainAddr="}, "", "", patched(25, "00"));
    row("chain no number", {"Text_ChainAddr=1x"}, "数据格式错误：链中地址", "Text_ChainAddr",
        patched(25, "00"));
}

void TestZigbee::writeClick()
{
    QFETCH(bool, read);
    QFETCH(QStringList, edits);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(QByteArray, written);
    SerialZigbee r(read);
    if (QWidget *focused = r.w->focusWidget()) focused->clearFocus();
    for (const QString &e : edits)
        edit(*r.w, e);
    const int queued = r.w->dispatcher().stack().top();

    r.w->zigbeeFeature->Cmd_WritezParam_Click();

    QCOMPARE(r.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!focus.isEmpty()) QCOMPARE(r.w->focusWidget(), control(*r.w, focus));
    if (auto *box = qobject_cast<QLineEdit *>(r.w->focusWidget()); box && !focus.isEmpty())
        QCOMPARE(box->selectedText(), box->text());
    if (written.isEmpty()) {
        QCOMPARE(r.w->dispatcher().stack().top(), queued);
        return;
    }
    QVERIFY(r.runToIdle());
    QCOMPARE(r.lastRequest(64).mid(3, 34), written);
    QCOMPARE(r.held(), written);
}

void TestZigbee::testReplyTexts()
{
    SerialZigbee r;
    const QStringList texts{"测试zigbee成功", "测试zigbee失败:  设备未上线",
                            "测试zigbee失败:  设备不通信", "测试zigbee失败:  未知错误"};
    for (int result = 0; result < 4; ++result) {
        r.controller.state().zigbee.testResult = quint8(result);
        r.p().Cmd_TestZigbee->click();
        QVERIFY(r.runToIdle());
        QCOMPARE(r.w->Text2->text(), texts[result]);
    }
}

void TestZigbee::advancedCancelAndConfirm()
{
    SerialZigbee r;
    ZigbeeAdvanceParam &d = r.w->zigbeeFeature->advanceDialog();
    const auto texts = [&] {
        return QStringList{d.Text1->text(), d.Text2->text(), d.Text3->text(), d.Text4->text()};
    };
    // Opens the dialog; while it is up, each step types its boxes and clicks.
    QList<QStringList> shown;
    const auto advanced = [&](const QList<std::pair<QStringList, QPushButton *>> &steps) {
        QTimer::singleShot(0, &d, [&, steps] {
            for (const auto &[typed, button] : steps) {
                for (const QString &t : typed)
                    edit(d, t);
                shown << texts();
                button->click();
            }
            if (d.isVisible()) d.Cmd_Cancel->click();
        });
        r.p().Cmd_Advance->click();
    };

    advanced({{{}, d.Cmd_Cancel}});
    QCOMPARE(shown.at(0), (QStringList{"100", "200", "3", "60"}));
    advanced({{{"Text1=999"}, d.Cmd_Cancel}});
    QCOMPARE(r.w->dispatcher().stack().top(), 0);
    QCOMPARE(r.w->zigbeeFeature->zigbeeRecord.readInterval, quint16(100));

    // The typing rules, then "确定" refused in order until every value is good.
    advanced({{{"Text1=70000", "Text2= 65535 ", "Text3=", "Text4=-5"}, d.Cmd_Ok},
              {{"Text1=49"}, d.Cmd_Ok},
              {{"Text1=50", "Text3=7"}, d.Cmd_Ok},
              {{"Text4=1"}, d.Cmd_Ok}});
    QCOMPARE(shown.at(2), (QStringList{"50", "65535", "0", "0"}));
    QCOMPARE(r.messages(),
             (QStringList{"该数据不合法，请重新输入。该值至少为50", "该数据不合法，请重新输入",
                          "最大等待时间不能为0，请重新输入",
                          "读时间间隔不合法，请重新输入。该值至少为50",
                          "在线自检时间不能为0，请重新输入"}));
    QVERIFY(r.runToIdle());
    QCOMPARE(r.held(), patched(26, "3200 ffff 0700 0100"));
}

void TestZigbee::unshowableBlockChangesNothing()
{
    SerialZigbee r;
    const ZigbeeRecord before = r.w->zigbeeFeature->zigbeeRecord;
    const struct
    {
        int at;
        const char *value;
        QString label;
    } cases[] = {{0, "03", "设备逻辑"}, {1, "06", "网络类型"}, {24, "02", "zigbee使能"}};
    for (const auto &c : cases) {
        // With a device number that must not reach the panel.
        sim::applyZigbeeBlock(r.controller.state().zigbee, patched(c.at, c.value, 2, "5555"));
        r.p().Cmd_ReadzParam->click();
        QVERIFY(r.runToIdle());
        QCOMPARE(r.w->Text2->text(), QStringLiteral("数据格式错误：") + c.label);
        QCOMPARE(r.w->zigbeeFeature->zigbeeRecord, before);
        QCOMPARE(r.p().Text_DNO->text(), QStringLiteral("4660"));
    }
    // Logged; the same line again within a second is written once.
    QVERIFY(logText().count(QStringLiteral("DistributeZigbee(Form1)")) >= 1);
}

QTEST_MAIN(TestZigbee)
#include "test_zigbee.moc"
