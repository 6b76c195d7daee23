// Saving the panel as a parameter image: the checks and questions before the
// file is written, the write itself, and the image read back into a fresh
// window.
#include "app/form1.h"
#include "core/codepage.h"
#include "features/image_files/image_files_feature.h"
#include "support/log_text.h"
#include "support/scratch_dir.h"
#include "support/serial_rig.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QTimeEdit>
#include <QtTest>

using namespace kalmo;
using rig::control;

namespace {

// A window filled by the start-up reads from a virtual KVRQ101.
struct ReadWindow
{
    rig::SerialRig r;
    QStringList questions; // every question asked, in order
    bool answer = true;
    QString chosen = QStringLiteral("pump");

    ReadWindow()
    {
        Form1 &w = *r.w;
        w.StartRun_Click();
        QVERIFY(r.runToIdle());
        // A PD tag that starts with the device type, as a saved one should.
        control<QLineEdit>(w, "txtPD_Tag")->setText(QStringLiteral("KVRQ101 泵站一号"));
        w.askQuestion = [this](const MessageBoxRequest &q) {
            questions << q.text;
            return answer;
        };
        w.imageFilesFeature->chooseImageFile = [] { return QString(); };
        w.imageFilesFeature->chooseSaveFile = [this](const QString &) { return chosen; };
    }
    Form1 &w() { return *r.w; }
    QLineEdit *box(const char *name) { return control<QLineEdit>(w(), name); }
};

QByteArray fileBytes(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every box and list the image carries, by objectName, with what it shows.
QMap<QString, QString> imageControls(const Form1 &w)
{
    QMap<QString, QString> shown;
    for (const char *name :
         {"lblNUM", "txthardwarenum", "txtSeries", "txtModuleAddr", "txtInnerVersion",
          "txtHardAddr", "uPortTxt", "txtDevID", "txtPD_Tag", "txtCellPressure", "txtDIPrevent",
          "txtSubErr", "txtSubcommIntv", "txtSubWaitTime", "ScanCtrl", "ScanInterval"})
        shown[name] = control<QLineEdit>(w, name)->text();
    for (int i = 0; i < 4; ++i)
        shown[QStringLiteral("txtIp_%1").arg(i)] =
            control<QLineEdit>(w, QStringLiteral("txtIp_%1").arg(i))->text();
    for (int i = 0; i < 6; ++i)
        shown[QStringLiteral("txt_MAC_%1").arg(i)] =
            control<QLineEdit>(w, QStringLiteral("txt_MAC_%1").arg(i))->text();
    for (int p = 0; p < 2; ++p) {
        for (const char *list : {"Combo6", "Combo7", "Combo8", "Combo9", "Combo10", "ComboMS"}) {
            const QString name = QStringLiteral("%1_%2").arg(QLatin1String(list)).arg(p);
            shown[name] = control<QComboBox>(w, name)->currentText();
        }
        shown[QStringLiteral("txt_RSDataTime_%1").arg(p)] =
            control<QLineEdit>(w, QStringLiteral("txt_RSDataTime_%1").arg(p))->text();
    }
    shown["lblVersion"] = control<QLabel>(w, "lblVersion")->text();
    shown["datePicker"] = control<QDateEdit>(w, "datePicker")->date().toString(Qt::ISODate);
    shown["timePicker"] = control<QTimeEdit>(w, "timePicker")->time().toString(Qt::ISODate);
    return shown;
}

} // namespace

class TestImageSave : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<ScratchWorkingDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    void savedFileHoldsThePanel();
    void savedImageLoadsIntoAFreshWindow();
    void refusals_data();
    void refusals();
    void overwriteIsAskedOnce_data();
    void overwriteIsAskedOnce();
    void cancelledOrFailedSave();
    void composedSerialNumberIsAccepted();
    void loadedImageIsWrittenToAnotherDevice();

private:
    std::unique_ptr<ScratchWorkingDir> m_dir;
};

// The panel after the start-up reads from a virtual KVRQ101, saved: the whole
// file, line by line. Boxes the reads leave empty are written as "0".
void TestImageSave::savedFileHoldsThePanel()
{
    ReadWindow a;
    a.w().imageFilesFeature->cmdSave_Click();
    const char *const lines[] = {"设备序号\t"
                                 "90201512090001|",
                                 "硬件版号\t"
                                 "200000000000000|",
                                 "序列号\t"
                                 "1|",
                                 "版本号\t"
                                 "2.1|",
                                 "模块地址\t"
                                 "1|",
                                 "内版本号\t"
                                 "3.305|",
                                 "硬地址\t"
                                 "0|",
                                 "软地址\t"
                                 "1|",
                                 "UDP端口号\t"
                                 "5000|",
                                 "~",
                                 "DeviceID号\t"
                                 "02000000000000000090201512090001|",
                                 "PD_Tag标识\t"
                                 "KVRQ101 泵站一号|",
                                 "~",
                                 "0段IP地址\t"
                                 "127|",
                                 "1段IP地址\t"
                                 "0|",
                                 "2段IP地址\t"
                                 "0|",
                                 "3段IP地址\t"
                                 "2|",
                                 "~",
                                 "0段MAC地址\t"
                                 "00|",
                                 "1段MAC地址\t"
                                 "FE|",
                                 "2段MAC地址\t"
                                 "0F|",
                                 "3段MAC地址\t"
                                 "0C|",
                                 "4段MAC地址\t"
                                 "09|",
                                 "5段MAC地址\t"
                                 "01|",
                                 "~",
                                 "0号串口检验位\t"
                                 "无校验|",
                                 "0号串口数据位\t"
                                 "8位|",
                                 "0号串口停止位\t"
                                 "1位|",
                                 "0号串口波特率\t"
                                 "9600bps|",
                                 "0号串口通讯协议\t"
                                 "ModbusRTU|",
                                 "0号串口主从口\t"
                                 "从|",
                                 "0号串口数据包通讯时间间隔\t"
                                 "4|",
                                 "~",
                                 "1号串口检验位\t"
                                 "无校验|",
                                 "1号串口数据位\t"
                                 "8位|",
                                 "1号串口停止位\t"
                                 "1位|",
                                 "1号串口波特率\t"
                                 "9600bps|",
                                 "1号串口通讯协议\t"
                                 "ModbusRTU|",
                                 "1号串口主从口\t"
                                 "主|",
                                 "1号串口数据包通讯时间间隔\t"
                                 "4|",
                                 "~",
                                 "生产时间 年月日\t"
                                 "2015-12-9|",
                                 "生产时间 时分秒\t"
                                 "10-30-0|",
                                 "~",
                                 "电池电压\t"
                                 "0|",
                                 "DI防抖时间\t"
                                 "10|",
                                 "从设备最大错误次数\t"
                                 "3|",
                                 "从设备通讯时间间隔\t"
                                 "100|",
                                 "从设备最大等待时间\t"
                                 "500|",
                                 "从设备自恢复扫描控制字\t"
                                 "0|",
                                 "从设备自恢复扫描时间间隔\t"
                                 "0|",
                                 "~"};
    // The lines are UTF-8 with a tab for the separator: each part in code page
    // 936, joined by the byte 0x80.
    QByteArray expected;
    for (const char *line : lines) {
        const QList<QByteArray> parts = QByteArray(line).split('\t');
        for (qsizetype i = 0; i < parts.size(); ++i)
            expected += (i ? QByteArray("\x80") : QByteArray()) +
                        cp936::encode(QString::fromUtf8(parts[i]));
        expected += "\r\n";
    }
    QCOMPARE(fileBytes(QStringLiteral("pump.txt")), expected);
}

void TestImageSave::savedImageLoadsIntoAFreshWindow()
{
    ReadWindow a;
    // A tag whose second bytes are "|" and the separator byte.
    const QString tag = QStringLiteral("KVRQ101") + cp936::decode(QByteArray("\x81\x7C\x81\x80"));
    a.box("txtPD_Tag")->setText(tag);
    QString proposed;
    a.w().imageFilesFeature->chooseSaveFile = [&proposed](const QString &name) {
        proposed = name;
        return QStringLiteral("pump");
    };
    a.w().imageFilesFeature->cmdSave_Click();

    QCOMPARE(proposed, a.box("lblNUM")->text());
    QCOMPARE(a.w().Text2->text(), QStringLiteral("信息存盘成功"));
    QVERIFY(a.questions.isEmpty());
    const QByteArray bytes = fileBytes(QStringLiteral("pump.txt")); // ".txt" added
    QCOMPARE(bytes.count("\r\n"), 52);
    QCOMPARE(bytes.count('\x80') - 1, 44); // one item separator per item, one in the tag
    QVERIFY(bytes.startsWith(cp936::encode(QStringLiteral("设备序号")) + '\x80' +
                             a.box("lblNUM")->text().toLatin1() + "|\r\n"));

    QList<MessageBoxRequest> boxes;
    const auto b = rig::steppedWindow(ProgramOptions{}, &boxes);
    control<QLineEdit>(*b, "txtISOAddr")->setText(QStringLiteral("pump.txt"));
    b->imageFilesFeature->ReadTxtPublic_Click();
    const QMap<QString, QString> loaded = imageControls(*b);
    const QMap<QString, QString> saved = imageControls(a.w());
    // An empty box is written as "0".
    for (auto it = saved.begin(); it != saved.end(); ++it)
        QCOMPARE(loaded.value(it.key()), it.value().isEmpty() ? QStringLiteral("0") : it.value());
    QCOMPARE(control<QLineEdit>(*b, "txtPD_Tag")->text(), tag);
    QVERIFY(boxes.isEmpty());
    QVERIFY2(logText().isEmpty(), qPrintable(logText()));
}

void TestImageSave::refusals_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("question"); // empty: none asked
    QTest::addColumn<QString>("message");  // empty: none shown
    QTest::newRow("unknown device type") << "txtDeviceType"
                                         << "ABC123"
                                         << ""
                                         << "“设备类型”不正确，无法保存镜像！";
    QTest::newRow("PD tag of another type") << "txtPD_Tag"
                                            << "KVRX201 pump"
                                            << "“PDTag”与“设备类型”不符，是否确定保存？"
                                            << "";
    QTest::newRow("serial number of another type") << "lblNUM"
                                                   << "79201512090001"
                                                   << "“设备序列号”与“设备类型”不符，是否确定保存？"
                                                   << "";
    QTest::newRow("a bar in a value") << "txtSubErr"
                                      << "3|4"
                                      << ""
                                      << "“从设备最大错误次数”含有非法字符“|”或“€”，无法保存镜像！";
    QTest::newRow("a euro sign in a value") << "txtDevID"
                                            << "02€"
                                            << ""
                                            << "“DeviceID号”含有非法字符“|”或“€”，无法保存镜像！";
}

void TestImageSave::refusals()
{
    QFETCH(QString, box);
    QFETCH(QString, value);
    QFETCH(QString, question);
    QFETCH(QString, message);
    ReadWindow a;
    a.answer = false;
    a.box(qPrintable(box))->setText(value);
    // A serial number also names its model: the panel keeps showing KVRQ101.
    if (box != QStringLiteral("txtDeviceType")) a.box("txtDeviceType")->setText("KVRQ101");
    a.w().imageFilesFeature->cmdSave_Click();
    QCOMPARE(a.questions, question.isEmpty() ? QStringList() : QStringList{question});
    QCOMPARE(a.r.boxes.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) QCOMPARE(a.r.boxes[0].text, message);
    QVERIFY(!QFile::exists(QStringLiteral("pump.txt")));
}

void TestImageSave::overwriteIsAskedOnce_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("No keeps the file") << false;
    QTest::newRow("Yes replaces it") << true;
}

void TestImageSave::overwriteIsAskedOnce()
{
    QFETCH(bool, answer);
    QFile old(QStringLiteral("pump.txt"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old image");
    old.close();
    ReadWindow a;
    a.answer = answer;
    a.w().imageFilesFeature->cmdSave_Click();
    QCOMPARE(a.questions, QStringList{QStringLiteral("文件已存在，是否要覆盖？")});
    QCOMPARE(fileBytes(QStringLiteral("pump.txt")) == "old image", !answer);
}

void TestImageSave::cancelledOrFailedSave()
{
    ReadWindow a;
    a.chosen.clear(); // cancelled
    a.w().imageFilesFeature->cmdSave_Click();
    QVERIFY(a.r.boxes.isEmpty());
    QVERIFY(logText().isEmpty());

    a.chosen = QStringLiteral("no-such-folder/pump.txt");
    a.w().imageFilesFeature->cmdSave_Click();
    QCOMPARE(a.r.boxes.size(), 1);
    QCOMPARE(a.r.boxes[0].text, QStringLiteral("镜像文件保存失败：no-such-folder/pump.txt"));
    QVERIFY(logText().contains(QStringLiteral("\"cmdSave_Click(Form1)\"")));
}

// The parameter write composes a KVRQ101 number as "090…": no question.
void TestImageSave::composedSerialNumberIsAccepted()
{
    ReadWindow a;
    a.box("lblNUM")->setText(QStringLiteral("0902015120900001"));
    a.box("txtDeviceType")->setText(QStringLiteral("KVRQ101"));
    a.w().imageFilesFeature->cmdSave_Click();
    QVERIFY(a.questions.isEmpty());
    QVERIFY(QFile::exists(QStringLiteral("pump.txt")));
}

// An image saved from one device, loaded and written with F7 to another: read
// back, the second device shows the image's values.
void TestImageSave::loadedImageIsWrittenToAnotherDevice()
{
    QMap<QString, QString> saved;
    {
        ReadWindow a;
        a.box("txtSubErr")->setText(QStringLiteral("7"));
        control<QComboBox>(a.w(), "Combo9_0")->setCurrentIndex(4); // 19200bps
        a.box("txt_RSDataTime_1")->setText(QStringLiteral("9"));
        a.box("txtDIPrevent")->setText(QStringLiteral("25"));
        a.box("txtModuleAddr")->setText(QStringLiteral("12"));
        a.w().imageFilesFeature->cmdSave_Click();
        QVERIFY(QFile::exists(QStringLiteral("pump.txt")));
        saved = imageControls(a.w());
    }
    sim::DeviceProfile other;
    other.series = 2;
    other.productionDate = QDate(2019, 3, 28);
    other.ipAddress = {127, 0, 0, 3};
    other.hardwareNumber = QStringLiteral("300000000000000");
    rig::SerialRig b(other);
    Form1 &w = *b.w;
    w.StartRun_Click();
    QVERIFY(b.runToIdle());
    QCOMPARE(control<QLineEdit>(w, "txtSeries")->text(), QStringLiteral("2"));

    control<QLineEdit>(w, "txtISOAddr")->setText(QStringLiteral("pump.txt"));
    w.imageFilesFeature->ReadTxtPublic_Click();
    QVERIFY(w.Form_KeyUp(Qt::Key_F7));
    QVERIFY(b.runToIdle());

    // The device keeps its tags padded with blanks; the MAC boxes the write
    // fills show their bytes without a leading zero.
    const QMap<QString, QString> readBack = imageControls(w);
    for (auto it = saved.begin(); it != saved.end(); ++it) {
        const QString expected = it.value().isEmpty() ? QStringLiteral("0") : it.value();
        if (it.key().startsWith(QStringLiteral("txt_MAC")))
            QCOMPARE(readBack.value(it.key()).toInt(nullptr, 16), expected.toInt(nullptr, 16));
        else
            QCOMPARE(readBack.value(it.key()).trimmed(), expected);
    }
    QCOMPARE(b.controller.state().network.mac,
             (std::array<quint8, 6>{0x00, 0xFE, 0x0F, 0x0C, 0x09, 0x01}));
    const sim::SystemParameters &s = b.controller.state().system;
    QCOMPARE(s.serialNumber, 1);
    QCOMPARE(s.slaveMaxErrors, quint8(7));
    QCOMPARE(s.diDebounce, quint16(25));
    QCOMPARE(s.port2.packetInterval, quint8(9));
    QVERIFY(b.boxes.isEmpty());
}

QTEST_MAIN(TestImageSave)
#include "test_image_save.moc"
