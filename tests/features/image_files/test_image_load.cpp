// Loading a parameter image into the panel, and the command-line record that
// pre-fills it the same way before communication starts by itself.
#include "app/form1.h"
#include "core/codepage.h"
#include "features/image_files/image_files_feature.h"
#include "support/hex.h"
#include "support/log_text.h"
#include "support/scratch_dir.h"
#include "support/window_rig.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>

using namespace kalmo;
using rig::control;

namespace {

struct Window
{
    QList<MessageBoxRequest> boxes;
    std::unique_ptr<Form1> w;
    explicit Window(const ProgramOptions &options = {}) : w(rig::steppedWindow(options, &boxes)) {}
    QString text(const char *name) const { return control<QLineEdit>(*w, name)->text(); }
    int index(const char *name) const { return control<QComboBox>(*w, name)->currentIndex(); }
};

// An image as bytes: "label€value|" CR LF in code page 936, "~" lines between.
QByteArray image(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += cp936::encode(line) + "\r\n";
    return bytes;
}

QString item(const QString &label, const QString &value)
{
    return label + QChar(0x20AC) + value + u'|';
}

} // namespace

class TestImageLoad : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<ScratchWorkingDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    void loadFillsThePanel();
    void refusedValuesAreSkipped_data();
    void refusedValuesAreSkipped();
    void loadMessages_data();
    void loadMessages();
    void browseKeepsThePathOnCancel();
    void commandLineRecord_data();
    void commandLineRecord();
    void automaticStartHappensOnce();
    void recordSkipsARefusedValue();

private:
    std::unique_ptr<ScratchWorkingDir> m_dir;
};

void TestImageLoad::loadFillsThePanel()
{
    // A PD tag whose second bytes are "|" and the separator byte survives.
    const QByteArray tagBytes = hex("B1C3 817C 8180");
    QByteArray file = image({item("设备序号", "90201306150001"),
                             item("硬件版号", "200000000000000"),
                             "~",
                             item("0段IP地址", "10"),
                             item("IP地址", "192.168.1.20"),
                             item("3段IP地址", "21"),
                             "~",
                             item("MAC地址", "00-11-22-33-44-55"),
                             item("5段MAC地址", "5A"),
                             "~",
                             item("0号串口波特率", "9600bps"),
                             item("1号串口主从口", "主"),
                             item("1号串口通讯协议", "OMRON"),
                             item("0号串口数据包通讯时间间隔", "4"),
                             "~",
                             item("生产时间 年月日", "2013-6-15"),
                             item("生产时间 时分秒", "8-5-0"),
                             "~",
                             item("员工编号", "77"),
                             item("未知标签", "x"),
                             item("从设备自恢复扫描时间间隔", "30")});
    file += cp936::encode(QStringLiteral("PD_Tag标识")) + "\x80" + tagBytes + "|\r\n~\r\n";
    QFile out(QStringLiteral("image.txt"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();

    Window win;
    control<QLineEdit>(*win.w, "txtISOAddr")->setText(QStringLiteral(" image.txt "));
    win.w->imageFilesFeature->ReadTxtPublic_Click();

    QCOMPARE(win.text("lblNUM"), QStringLiteral("90201306150001"));
    // Setting the serial number runs its lookup as a typed one does.
    QCOMPARE(win.text("txtDeviceType"), QStringLiteral("KVRQ101"));
    QCOMPARE(win.text("txthardwarenum"), QStringLiteral("200000000000000"));
    QCOMPARE(win.text("txtPD_Tag"), cp936::decode(tagBytes));
    // Later items win: the whole address overrides byte 0, byte 3 overrides it.
    const QStringList ip{"192", "168", "1", "21"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(win.text(qPrintable(QStringLiteral("txtIp_%1").arg(i))), ip[i]);
    const QStringList mac{"00", "11", "22", "33", "44", "5A"};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(win.text(qPrintable(QStringLiteral("txt_MAC_%1").arg(i))), mac[i]);
    QCOMPARE(win.index("Combo9_0"), 3);
    QCOMPARE(win.index("ComboMS_1"), 1);
    QCOMPARE(win.index("Combo10_1"), 6);
    QCOMPARE(win.text("txt_RSDataTime_0"), QStringLiteral("4"));
    QCOMPARE(control<QDateEdit>(*win.w, "datePicker")->date(), QDate(2013, 6, 15));
    QCOMPARE(control<QTimeEdit>(*win.w, "timePicker")->time(), QTime(8, 5, 0));
    QCOMPARE(win.text("ScanInterval"), QStringLiteral("30"));
    QVERIFY(win.boxes.isEmpty());
    QVERIFY2(logText().isEmpty(), qPrintable(logText()));
}

void TestImageLoad::refusedValuesAreSkipped_data()
{
    QTest::addColumn<QString>("refused");
    QTest::newRow("list index the list lacks") << item("1号串口检验位", "");
    QTest::newRow("no such date") << item("生产时间 年月日", "2013-2-30");
    QTest::newRow("no such time") << item("生产时间 时分秒", "25-0-0");
    QTest::newRow("whole IP of three parts") << item("IP地址", "10.0.1");
    QTest::newRow("whole MAC of five parts") << item("MAC地址", "00-11-22-33-44");
}

void TestImageLoad::refusedValuesAreSkipped()
{
    QFETCH(QString, refused);
    QFile out(QStringLiteral("image.txt"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(image({item("序列号", "12"), refused, item("软地址", "7")}));
    out.close();

    Window win;
    const QDate date = control<QDateEdit>(*win.w, "datePicker")->date();
    control<QLineEdit>(*win.w, "txtISOAddr")->setText(QStringLiteral("image.txt"));
    win.w->imageFilesFeature->ReadTxtPublic_Click();

    // The refused item changes nothing and logs one line; the rest applies.
    QCOMPARE(win.text("txtSeries"), QStringLiteral("12"));
    QCOMPARE(win.text("txtModuleAddr"), QStringLiteral("7"));
    QCOMPARE(win.index("Combo6_1"), -1);
    QCOMPARE(control<QDateEdit>(*win.w, "datePicker")->date(), date);
    QVERIFY(win.text("txtIp_0").isEmpty());
    QVERIFY(win.text("txt_MAC_0").isEmpty());
    const QStringList lines = logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines[0].contains(QStringLiteral("\"cmdGetSys_Click(Form1)\"")));
}

void TestImageLoad::loadMessages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("logged");
    QTest::newRow("blank path") << "  "
                                << "镜像文件不能为空" << false;
    QTest::newRow("no such file") << "missing.txt"
                                  << "该镜像文件不存在" << false;
    QTest::newRow("unreadable") << "folder"
                                << "镜像文件读取失败：folder" << true;
}

void TestImageLoad::loadMessages()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    QFETCH(bool, logged);
    QVERIFY(QDir().mkdir(QStringLiteral("folder")));
    Window win;
    control<QLineEdit>(*win.w, "txtISOAddr")->setText(path);
    win.w->imageFilesFeature->ReadTxtPublic_Click();
    QCOMPARE(win.boxes.size(), 1);
    QCOMPARE(win.boxes[0].text, message);
    QCOMPARE(!logText().isEmpty(), logged);
}

void TestImageLoad::browseKeepsThePathOnCancel()
{
    Window win;
    QString chosen = QStringLiteral("/images/pump.txt");
    win.w->imageFilesFeature->chooseImageFile = [&chosen] { return chosen; };
    win.w->imageFilesFeature->cmdRead_Click();
    QCOMPARE(win.text("txtISOAddr"), chosen);
    chosen.clear(); // cancelled
    win.w->imageFilesFeature->cmdRead_Click();
    QCOMPARE(win.text("txtISOAddr"), QStringLiteral("/images/pump.txt"));
    QVERIFY(logText().isEmpty());
}

void TestImageLoad::commandLineRecord_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("serialNumber");
    QTest::addColumn<int>("baud");
    QTest::addColumn<bool>("starts");
    QTest::newRow("two items") << item("设备序号", "90201306150001") +
                                      item("0号串口波特率", "9600bps")
                               << "90201306150001" << 3 << true;
    QTest::newRow("the last item lacks its bar")
        << item("设备序号", "90201306150001") + "0号串口波特率€9600bps"
        << "90201306150001" << -1 << true;
    QTest::newRow("a line break and ~ before a label")
        << "\r\n~" + item("0号串口波特率", "19200bps") << "" << 4 << true;
    QTest::newRow("blank") << "   "
                           << "" << -1 << false;
}

void TestImageLoad::commandLineRecord()
{
    QFETCH(QString, record);
    QFETCH(QString, serialNumber);
    QFETCH(int, baud);
    QFETCH(bool, starts);
    ProgramOptions options;
    options.commandLineRecord = record;
    Window win(options);
    QCOMPARE(win.text("lblNUM"), serialNumber);
    QCOMPARE(win.index("Combo9_0"), baud);
    QCOMPARE(win.w->Time2Start->isActive(), starts);
    QVERIFY(win.w->Time2Start->isSingleShot());
}

// The automatic start runs once, also when it fails with a box left open.
void TestImageLoad::automaticStartHappensOnce()
{
    ProgramOptions options;
    options.ports = {QStringLiteral("COM7")}; // no such port on the fake link
    options.commandLineRecord = item("序列号", "5");
    Form1 w(options, rig::fakeLinks());
    QList<MessageBoxRequest> boxes;
    w.showMessageBox = [&boxes](const MessageBoxRequest &request) { boxes.append(request); };
    QVERIFY(w.Time2Start->isActive());
    QTRY_COMPARE(boxes.size(), 1);
    QTest::qWait(3 * w.Time2Start->interval());
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("请注意串行口错误!"));
    QVERIFY(!w.Time2Start->isActive());
}

// A refused value in the record skips its item with one log line; the items
// after it still apply.
void TestImageLoad::recordSkipsARefusedValue()
{
    ProgramOptions options;
    options.commandLineRecord = item("1号串口检验位", "") + item("序列号", "5");
    Window win(options);
    QCOMPARE(win.index("Combo6_1"), -1);
    QCOMPARE(win.text("txtSeries"), QStringLiteral("5"));
    const QStringList lines = logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines[0].contains(QStringLiteral("\"AnalysisParam(Form1)\"")));
}

QTEST_MAIN(TestImageLoad)
#include "test_image_load.moc"
