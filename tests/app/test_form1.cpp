// The main window as it comes up: caption, option lists, timers, start-up
// state, the serial-port list, the clock label, the keyboard shortcuts, the
// exit button, and every control the panel is expected to carry.
#include "app/form1.h"
#include "features/dialogs/dialogs_feature.h"
#include "features/system_info/system_info_feature.h"
#include "support/window_rig.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTest>
#include <QTimer>

using namespace kalmo;

namespace {

// Counts the system-parameter writes that reach the main window.
class CountingForm1 : public Form1
{
public:
    using Form1::Form1;
    int setParaCalls = 0;
    void cmdSetPara_Click() override { ++setParaCalls; }
};

template <typename T = QWidget> T *control(const QWidget &window, const QString &name)
{
    return window.findChild<T *>(name);
}

QStringList items(const QComboBox *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->itemText(i));
    return texts;
}

// The caption label bound to a control.
QString captionOf(const QWidget &window, const QWidget *target)
{
    const QList<QLabel *> labels = window.findChildren<QLabel *>();
    for (const QLabel *label : labels)
        if (label->buddy() == target) return label->text();
    return {};
}

QString frameOf(const QWidget *widget)
{
    for (QWidget *w = widget->parentWidget(); w; w = w->parentWidget())
        if (const auto *box = qobject_cast<QGroupBox *>(w)) return box->title();
    return {};
}

void showAndActivate(QWidget &window)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT
private slots:
    void caption();
    void optionLists_data();
    void optionLists();
    void restoreSelection_data();
    void restoreSelection();
    void timers_data();
    void timers();
    void startUpState();
    void networkLinkOption();
    void portProbe_data();
    void portProbe();
    void windowsPortCandidates();
    void namedPortsComeFirst();
    void clockText_data();
    void clockText();
    void clockLabelTicks();
    void f7RunsSetParaFromAnyControl_data();
    void f7RunsSetParaFromAnyControl();
    void escClosesAndUnloadsSlaveForm();
    void enterAndOtherKeysDoNothing_data();
    void enterAndOtherKeysDoNothing();
    void keysOfAnotherWindowAreLeftAlone();
    void exitButtonEndsProgramAtOnce();
    void userEditionKeepsWhatCallersEnable();
    void inventory_data();
    void inventory();
    void captions_data();
    void captions();
    void fieldLabels_data();
    void fieldLabels();
    void frames_data();
    void frames();
    void everyReplyKindHasAHandler();
    void everyCommandHasItsBuilder();
};

void TestForm1::caption()
{
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    QCOMPARE(
        w.windowTitle(),
        QStringLiteral("KVRQxxx,LTNQxxx,KVSQxxx,KVRXxxx,KVRB301 用户设置软件 V1.14.0 (用户版)"));
}

void TestForm1::optionLists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("expected");

    const QStringList parity{"无校验", "奇校验", "偶校验", "空格校验", "Mark校验"};
    const QStringList dataBits{"8位", "7位"};
    const QStringList stopBits{"1位", "2位"};
    const QStringList baud{"1200bps",  "2400bps",  "4800bps",   "9600bps",  "19200bps",
                           "38400bps", "57600bps", "115200bps", "500K bps", "1M bps"};
    const QStringList protocol{"Debug",    "ModbusRTU", "ModbusASII", "Adam",
                               "Panasoic", "S7-200",    "OMRON"};
    for (int p = 0; p < 2; ++p) {
        QTest::addRow("Combo6_%d", p) << QStringLiteral("Combo6_%1").arg(p) << parity;
        QTest::addRow("Combo7_%d", p) << QStringLiteral("Combo7_%1").arg(p) << dataBits;
        QTest::addRow("Combo8_%d", p) << QStringLiteral("Combo8_%1").arg(p) << stopBits;
        QTest::addRow("Combo9_%d", p) << QStringLiteral("Combo9_%1").arg(p) << baud;
        QTest::addRow("Combo10_%d", p) << QStringLiteral("Combo10_%1").arg(p) << protocol;
        QTest::addRow("ComboMS_%d", p)
            << QStringLiteral("ComboMS_%1").arg(p) << QStringList{"从", "主"};
    }
    QTest::newRow("Combo_WeekDay")
        << "Combo_WeekDay" << QStringList{"一", "二", "三", "四", "五", "六", "日"};
    QTest::newRow("Combo_Nettype")
        << "Combo_Nettype" << QStringList{"星型", "链1", "链2", "链3", "链4", "网型"};
    QTest::newRow("Combo_zlogic") << "Combo_zlogic"
                                  << QStringList{"协调器", "路由设备", "端点设备"};
}

void TestForm1::optionLists()
{
    QFETCH(QString, name);
    QFETCH(QStringList, expected);
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    const auto *list = control<QComboBox>(w, name);
    QVERIFY(list);
    QCOMPARE(items(list), expected);
    QCOMPARE(list->currentIndex(), -1); // nothing chosen until a device is read
}

void TestForm1::restoreSelection_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    const char *const texts[8] = {"恢复控制参数", "SM掉电保持区", "从设备参数",     "恢复描述参数",
                                  "恢复设备参数", "恢复转发参数", "恢复ZigBee参数", "恢复冗余参数"};
    for (int i = 0; i < 8; ++i)
        QTest::addRow("Check_SysParam_%d", i) << i << QString::fromUtf8(texts[i]);
}

void TestForm1::restoreSelection()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    const auto *box = control<QCheckBox>(w, QStringLiteral("Check_SysParam_%1").arg(index));
    QVERIFY(box);
    QCOMPARE(box->text(), text);
    QVERIFY(box->isChecked());
    QCOMPARE(frameOf(box), QStringLiteral("恢复选中参数"));
}

void TestForm1::timers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("active");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("singleShot");
    QTest::newRow("Timer1") << "Timer1" << false << 0 << false;
    QTest::newRow("Timer2") << "Timer2" << false << 20000 << false;
    QTest::newRow("timMscon") << "timMscon" << false << 0 << false;
    QTest::newRow("DisTimer") << "DisTimer" << true << 1000 << false;
    QTest::newRow("Time2Start") << "Time2Start" << false << 500 << true;
    QTest::newRow("Sleep_Timer") << "Sleep_Timer" << false << 1000 << false;
    QTest::newRow("ProgressTimer") << "ProgressTimer" << true << 1000 << false;
    QTest::newRow("timCheckDevice") << "timCheckDevice" << false << 10000 << false;
}

void TestForm1::timers()
{
    QFETCH(QString, name);
    QFETCH(bool, active);
    QFETCH(int, interval);
    QFETCH(bool, singleShot);
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    const auto *timer = w.findChild<QTimer *>(name);
    QVERIFY(timer);
    QCOMPARE(timer->isActive(), active);
    QCOMPARE(timer->interval(), interval);
    QCOMPARE(timer->isSingleShot(), singleShot);
}

void TestForm1::startUpState()
{
    ProgramOptions options;
    options.commandLineRecord = QStringLiteral("设备序号€1862013061500015|");
    Form1 w{options, rig::fakeLinks()};

    QVERIFY(control<QRadioButton>(w, "optComm_0")->isChecked());
    QVERIFY(!control<QRadioButton>(w, "optComm_1")->isChecked());

    const auto *status = control<QLineEdit>(w, "Text2");
    QCOMPARE(status->text(), QStringLiteral("连接设备，选择通信方式后点击“通讯”按钮开始通讯"));
    QVERIFY(status->font().bold());

    QCOMPARE(control<QLineEdit>(w, "Text_ErrorTimeComm2")->text(), QStringLiteral("10"));
    QCOMPARE(control<QLineEdit>(w, "Text_InterTimeComm2")->text(), QStringLiteral("100"));
    QCOMPARE(control<QLineEdit>(w, "Text_WaitTimeComm2")->text(), QStringLiteral("1000"));

    QVERIFY(w.systemInfoFeature->rangeTableValid);
    for (const RangeBounds &range : w.systemInfoFeature->rangeTable) {
        QCOMPARE(range.upper, 32767);
        QCOMPARE(range.lower, 0);
    }
    QCOMPARE(w.commandLine, options.commandLineRecord);

    // Shown only when needed: the device list, the progress bar and its label.
    QVERIFY(control(w, "cmbDevice")->isHidden());
    QVERIFY(control(w, "ProgressBar")->isHidden());
    QVERIFY(control(w, "lb_ProgProc")->isHidden());
    QVERIFY(!control(w, "cmdSave")->isHidden());
    QVERIFY(!control(w, "cmdRead")->isHidden());
}

void TestForm1::networkLinkOption()
{
    ProgramOptions options;
    options.link = ProgramOptions::Link::Network;
    Form1 w{options, rig::fakeLinks()};
    QVERIFY(control<QRadioButton>(w, "optComm_1")->isChecked());
    QVERIFY(!control<QRadioButton>(w, "optComm_0")->isChecked());
}

void TestForm1::portProbe_data()
{
    QTest::addColumn<QStringList>("named");
    QTest::addColumn<QStringList>("candidates");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("selected");

    const QStringList com = kalmo::windowsPortCandidates();
    QTest::newRow("ports 1 and 3")
        << QStringList{} << com << QStringList{"COM1", "COM3"} << QStringList{"COM1", "COM3"} << 0;
    QTest::newRow("no port") << QStringList{} << com << QStringList{} << QStringList{} << -1;
    QTest::newRow("only above 128")
        << QStringList{} << com << QStringList{"COM129", "COM200"} << QStringList{} << -1;
    QTest::newRow("128 but not 129")
        << QStringList{} << com << QStringList{"COM128", "COM129"} << QStringList{"COM128"} << 0;
    QTest::newRow("named first, not probed")
        << QStringList{"/dev/pts/3", "COM9"} << com << QStringList{"COM2"}
        << QStringList{"/dev/pts/3", "COM9", "COM2"} << 0;
    QTest::newRow("named port not repeated")
        << QStringList{"COM2"} << com << QStringList{"COM2", "COM5"} << QStringList{"COM2", "COM5"}
        << 0;
    QTest::newRow("system names") << QStringList{} << QStringList{"ttyUSB0", "ttyS0", "ttyS1"}
                                  << QStringList{"ttyS0", "ttyS1"} << QStringList{"ttyS0", "ttyS1"}
                                  << 0;
}

void TestForm1::portProbe()
{
    QFETCH(QStringList, named);
    QFETCH(QStringList, candidates);
    QFETCH(QStringList, present);
    QFETCH(QStringList, expected);
    QFETCH(int, selected);

    QStringList probed;
    const PortListing listing = listSerialPorts(named, candidates, [&](const QString &name) {
        probed.append(name);
        return present.contains(name);
    });
    QCOMPARE(listing.names, expected);
    QCOMPARE(listing.selected, selected);
    for (const QString &name : named)
        QVERIFY2(!probed.contains(name), qPrintable(name + " was probed"));
    QVERIFY(!probed.contains(QStringLiteral("COM129")));
}

void TestForm1::windowsPortCandidates()
{
    const QStringList names = kalmo::windowsPortCandidates();
    QCOMPARE(names.size(), 128);
    QCOMPARE(names.first(), QStringLiteral("COM1"));
    QCOMPARE(names.at(8), QStringLiteral("COM9"));
    QCOMPARE(names.at(9), QStringLiteral("COM10"));
    QCOMPARE(names.last(), QStringLiteral("COM128"));
}

void TestForm1::namedPortsComeFirst()
{
    ProgramOptions options;
    options.ports = {QStringLiteral("/dev/kalmo-test-a"), QStringLiteral("COM77")};
    // The window's own probe: of these candidates only ttyUSB0 opens.
    QStringList probed;
    WindowTransports transports = rig::fakeLinks();
    transports.portCandidates = [] { return QStringList{"ttyS0", "COM77", "ttyUSB0"}; };
    transports.testCom = [&probed](const QString &name) {
        probed.append(name);
        return name == u"ttyUSB0";
    };
    Form1 w{options, transports};
    const auto *ports = control<QComboBox>(w, "ComPort");
    QVERIFY(ports->count() >= 2);
    QCOMPARE(ports->itemText(0), QStringLiteral("/dev/kalmo-test-a"));
    QCOMPARE(ports->itemText(1), QStringLiteral("COM77"));
    QCOMPARE(ports->currentIndex(), 0);
    QCOMPARE(items(ports), (QStringList{"/dev/kalmo-test-a", "COM77", "ttyUSB0"}));
    QCOMPARE(probed, (QStringList{"ttyS0", "ttyUSB0"}));
}

void TestForm1::clockText_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("expected");
    QTest::newRow("morning") << QDateTime(QDate(2026, 3, 7), QTime(9, 5, 3))
                             << QStringLiteral("2026年03月07日    09:05:03");
    QTest::newRow("afternoon, 24-hour") << QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59))
                                        << QStringLiteral("2025年12月31日    23:59:59");
    QTest::newRow("midnight") << QDateTime(QDate(2024, 1, 1), QTime(0, 0, 0))
                              << QStringLiteral("2024年01月01日    00:00:00");
    QTest::newRow("one o'clock pm") << QDateTime(QDate(2019, 10, 20), QTime(13, 7, 9))
                                    << QStringLiteral("2019年10月20日    13:07:09");
}

void TestForm1::clockText()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, expected);
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    w.currentTime = [now] { return now; };
    w.DisTimer_Timer();
    QCOMPARE(control<QLabel>(w, "NowDis")->text(), expected);
}

void TestForm1::clockLabelTicks()
{
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    w.currentTime = [] { return QDateTime(QDate(2026, 5, 4), QTime(14, 30, 0)); };
    // Left alone, the clock timer fills the label by itself.
    QTRY_COMPARE_WITH_TIMEOUT(control<QLabel>(w, "NowDis")->text(),
                              QStringLiteral("2026年05月04日    14:30:00"), 5000);
}

void TestForm1::f7RunsSetParaFromAnyControl_data()
{
    QTest::addColumn<QString>("focus");
    QTest::newRow("text box") << "txtSeries";
    QTest::newRow("device id box") << "txtDevID";
    QTest::newRow("port list") << "ComPort";
    QTest::newRow("button") << "StartRun";
    QTest::newRow("status box") << "Text2";
}

void TestForm1::f7RunsSetParaFromAnyControl()
{
    QFETCH(QString, focus);
    CountingForm1 w{ProgramOptions{}, rig::fakeLinks()};
    showAndActivate(w);
    QWidget *target = control(w, focus);
    QVERIFY(target);
    target->setFocus();

    QTest::keyClick(target, Qt::Key_F7);
    QCOMPARE(w.setParaCalls, 1);
    QTest::keyClick(target, Qt::Key_F7, Qt::ShiftModifier);
    QCOMPARE(w.setParaCalls, 2);
    QVERIFY(w.isVisible());
}

void TestForm1::escClosesAndUnloadsSlaveForm()
{
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    QWidget slaveForm;
    w.dialogsFeature->slaveInfoForm = &slaveForm;
    slaveForm.show();
    showAndActivate(w);
    QLineEdit *box = control<QLineEdit>(w, "txtPD_Tag");
    box->setFocus();

    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
    QVERIFY(!slaveForm.isVisible());
}

void TestForm1::enterAndOtherKeysDoNothing_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("F6") << int(Qt::Key_F6);
    QTest::newRow("F8") << int(Qt::Key_F8);
    QTest::newRow("letter") << int(Qt::Key_A);
}

void TestForm1::enterAndOtherKeysDoNothing()
{
    QFETCH(int, key);
    CountingForm1 w{ProgramOptions{}, rig::fakeLinks()};
    showAndActivate(w);
    QLineEdit *box = control<QLineEdit>(w, "txtSeries");
    box->setFocus();

    QVERIFY(!w.Form_KeyUp(key));
    QTest::keyClick(box, Qt::Key(key));
    QCOMPARE(w.setParaCalls, 0);
    QVERIFY(w.isVisible());
}

void TestForm1::keysOfAnotherWindowAreLeftAlone()
{
    CountingForm1 w{ProgramOptions{}, rig::fakeLinks()};
    showAndActivate(w);
    QLineEdit elsewhere;
    elsewhere.show();
    QVERIFY(QTest::qWaitForWindowExposed(&elsewhere));

    QTest::keyClick(&elsewhere, Qt::Key_F7);
    QTest::keyClick(&elsewhere, Qt::Key_Escape);
    QCOMPARE(w.setParaCalls, 0);
    QVERIFY(w.isVisible());
}

void TestForm1::exitButtonEndsProgramAtOnce()
{
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    int ends = 0;
    w.endProgram = [&] { ++ends; };
    QWidget slaveForm;
    w.dialogsFeature->slaveInfoForm = &slaveForm;
    slaveForm.show();
    showAndActivate(w);

    auto *exit = control<QPushButton>(w, "cmdESC");
    QCOMPARE(exit->text(), QStringLiteral("退出(ESC)"));
    QTest::mouseClick(exit, Qt::LeftButton);
    QCOMPARE(ends, 1);
    // No unload procedure runs on the way out.
    QVERIFY(slaveForm.isVisible());
    QVERIFY(w.isVisible());
}

void TestForm1::userEditionKeepsWhatCallersEnable()
{
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    const QStringList names{"cmdSetPara", "cmdGetSys",       "cmdClearCode", "bt_DIQ_0",
                            "cmdSave",    "Cmd_WritezParam", "StartRun",     "ComPort"};
    for (const QString &name : names) {
        control(w, name)->setEnabled(true);
        control(w, name)->setVisible(true);
    }
    w.ForCustomer();
    for (const QString &name : names) {
        QVERIFY2(control(w, name)->isEnabled(), qPrintable(name));
        QVERIFY2(!control(w, name)->isHidden(), qPrintable(name));
    }
}

void TestForm1::inventory_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");

    auto add = [](const QString &name, const char *className) {
        QTest::newRow(qPrintable(name)) << name << QString::fromLatin1(className);
    };
    auto addArray = [&](const char *base, int count, const char *className) {
        for (int i = 0; i < count; ++i)
            add(QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(i), className);
    };
    auto addAll = [&](std::initializer_list<const char *> names, const char *className) {
        for (const char *name : names)
            add(QString::fromLatin1(name), className);
    };

    // Connection bar and status line
    addArray("optComm", 2, "QRadioButton");
    addAll({"ComPort", "cmbDevice"}, "QComboBox");
    addAll({"StartRun", "cmdPause", "cmdStop", "cmdESC"}, "QPushButton");
    addAll({"NowDis", "lb_ProgProc"}, "QLabel");
    addAll({"Text2", "Text3", "Text4"}, "QLineEdit");
    add(QStringLiteral("ProgressBar"), "QProgressBar");

    // System information
    addAll({"txtSeries",
            "txtModuleAddr",
            "txtInnerVersion",
            "txtHardAddr",
            "uPortTxt",
            "cpuTxt",
            "txtDIPrevent",
            "txtCellPressure",
            "txthardwarenum",
            "txtDeviceType",
            "lblNUM",
            "txtDevID",
            "txtPD_Tag",
            "Text_ErrorTimeComm2",
            "Text_InterTimeComm2",
            "Text_WaitTimeComm2",
            "txtSubErr",
            "txtSubcommIntv",
            "txtSubWaitTime",
            "ScanCtrl",
            "ScanInterval"},
           "QLineEdit");
    addAll({"lblVersion", "lb_BookNo"}, "QLabel");
    add(QStringLiteral("datePicker"), "QDateEdit");
    add(QStringLiteral("timePicker"), "QTimeEdit");
    addArray("txtIp", 4, "QLineEdit");
    for (const char *base : {"Combo6", "Combo7", "Combo8", "Combo9", "Combo10", "ComboMS"})
        addArray(base, 2, "QComboBox");
    addArray("txt_RSDataTime", 2, "QLineEdit");
    addArray("shpFlash", 16, "kalmo::Lamp");
    addAll({"cmdGetSys", "cmdSetPara"}, "QPushButton");

    // Clock, DI/DO and high-speed I/O
    add(QStringLiteral("clkDate"), "QDateEdit");
    add(QStringLiteral("clkTime"), "QTimeEdit");
    add(QStringLiteral("Combo_WeekDay"), "QComboBox");
    addAll({"cmdReclock", "cmdWrclock", "cmdTimeInit", "Cmd_WritePre"}, "QPushButton");
    addArray("bt_DIQ", 64, "QPushButton");
    addArray("Check_InAndOut", 6, "QCheckBox");
    addArray("Text5", 6, "QLineEdit");

    // Network identity
    addArray("txt_MAC", 6, "QLineEdit");
    addArray("ophandornot", 2, "QRadioButton");
    addArray("txtGate", 4, "QLineEdit");
    addArray("txtSubNet", 4, "QLineEdit");
    addAll({"bt_MAC", "bt_NetGate"}, "QPushButton");

    // Zigbee
    addAll({"Combo_zlogic", "Combo_Nettype"}, "QComboBox");
    addAll({"Text_DNO", "Text_ChainAddr"}, "QLineEdit");
    addArray("txt_AC", 8, "QLineEdit");
    addArray("txt_EXPAN", 8, "QLineEdit");
    addArray("Check1", 16, "QCheckBox");
    add(QStringLiteral("Zigbee_Enable"), "QCheckBox");
    addAll({"Cmd_ReadzParam", "Cmd_WritezParam", "Cmd_TestZigbee", "Cmd_Advance"}, "QPushButton");

    // Maintenance
    addAll({"bt_CheckRAM", "cmdCheckLight", "cmdStopCheck", "cmdClearCode", "Command_STORE",
            "Command_Resume", "Cmd_DefaultParam", "Cmd_ResumeParam", "btRProfibus"},
           "QPushButton");
    addArray("ram_sap", 8, "kalmo::Lamp");
    addArray("Check_SysParam", 8, "QCheckBox");
    add(QStringLiteral("ckProfibus"), "QCheckBox");

    // Firmware upgrade, image files and the parameter dialogs
    addAll({"bt_FindUpdataFile", "bt_Updata", "cmdSave", "cmdRead", "ReadTxtPublic", "bt_Ctrl",
            "bt_Resend", "bt_Rongyu", "bt_SM", "Command2", "btSlaveShow"},
           "QPushButton");
    addAll({"txt_UpdataAddr", "txtISOAddr"}, "QLineEdit");

    // Timers
    addAll({"Timer1", "Timer2", "timMscon", "DisTimer", "Time2Start", "Sleep_Timer",
            "ProgressTimer", "timCheckDevice"},
           "QTimer");
}

void TestForm1::inventory()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    const QList<QObject *> found = w.findChildren<QObject *>(name);
    QCOMPARE(found.size(), 1);
    QObject *object = found.first();
    QVERIFY2(object->inherits(className.toLatin1().constData()), object->metaObject()->className());
    if (object->isWidgetType()) QCOMPARE(static_cast<QWidget *>(object)->window(), &w);
}

void TestForm1::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const char *const rows[][2] = {
        {"optComm_0", "串行通信"},
        {"optComm_1", "网络通信"},
        {"StartRun", "通讯"},
        {"cmdPause", "暂停"},
        {"cmdStop", "停止"},
        {"cmdESC", "退出(ESC)"},
        {"cmdGetSys", "取参数"},
        {"cmdSetPara", "置参数"},
        {"ophandornot_0", "手动MAC"},
        {"ophandornot_1", "自动MAC"},
        {"bt_MAC", "修改MAC"},
        {"bt_NetGate", "下载网关和子网掩码"},
        {"Zigbee_Enable", "zigbee使能"},
        {"Cmd_ReadzParam", "读取参数"},
        {"Cmd_WritezParam", "写入参数"},
        {"Cmd_TestZigbee", "开始测试"},
        {"Cmd_Advance", "高级参数"},
        {"bt_CheckRAM", "测试RAM"},
        {"cmdCheckLight", "启动灯板检测"},
        {"cmdStopCheck", "停止灯板检测"},
        {"cmdClearCode", "清除指令"},
        {"Command_STORE", "保存参数"},
        {"Command_Resume", "恢复参数"},
        {"Cmd_DefaultParam", "恢复默认参数"},
        {"Cmd_ResumeParam", "恢复选中参数"},
        {"Cmd_WritePre", "写入"},
        {"btRProfibus", "读Profibus状态"},
        {"ckProfibus", "关闭"},
        {"Check_InAndOut_0", "启动DI22高速输入"},
        {"Check_InAndOut_1", "启动DI23高速输入"},
        {"Check_InAndOut_2", "启动Q0.0高速输出"},
        {"Check_InAndOut_3", "启动Q0.1高速输出"},
        {"Check_InAndOut_4", "启动DI21高速输入"},
        {"Check_InAndOut_5", "启动DI20高速输入"},
        {"bt_FindUpdataFile", "浏览升级文件"},
        {"bt_Updata", "升级"},
        {"cmdSave", "保存为镜像"},
        {"cmdRead", "浏览镜像文件"},
        {"ReadTxtPublic", "导入所有参数"},
        {"bt_Ctrl", "控制参数"},
        {"bt_Resend", "转发"},
        {"bt_Rongyu", "冗余参数"},
        {"bt_SM", "SM区"},
        {"Command2", "CAN检测与设置"},
        {"btSlaveShow", " 查看从设备信息"},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]);
}

void TestForm1::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    const auto *b = control<QAbstractButton>(w, name);
    QVERIFY(b);
    QCOMPARE(b->text(), text);
}

void TestForm1::fieldLabels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const char *const rows[][2] = {
        {"txtSeries", "序列号"},
        {"Combo6_0", "校验位"},
        {"Combo6_1", "校验位"},
        {"Combo7_0", "数据位"},
        {"Combo8_0", "停止位"},
        {"Combo9_1", "波特率"},
        {"Combo10_0", "协议"},
        {"ComboMS_1", "主从"},
        {"txt_RSDataTime_0", "间隔时间"},
        {"ScanCtrl", "自恢复控制字"},
        {"ScanInterval", "自恢复间隔"},
        {"txtSubErr", "最大错误数"},
        {"txtSubcommIntv", "通信间隔ms"},
        {"txtSubWaitTime", "等待时间ms"},
        {"lblVersion", "版本号"},
        {"txtInnerVersion", "内版本号"},
        {"uPortTxt", "UDP端口"},
        {"cpuTxt", "CPU类型"},
        {"txtDIPrevent", "防抖时间(ms)"},
        {"datePicker", "生产时间"},
        {"lblNUM", "设备序号"},
        {"txtDevID", "DeviceID"},
        {"txtIp_0", "IP"},
        {"Combo_zlogic", "设备逻辑"},
        {"Combo_Nettype", "网络类型"},
        {"Text_DNO", "设备编号"},
        {"txt_AC_0", "MAC"},
        {"txt_EXPAN_0", "EXPANID"},
        {"Text_ChainAddr", "链中地址"},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]);
}

void TestForm1::fieldLabels()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    const QWidget *field = control(w, name);
    QVERIFY(field);
    QCOMPARE(captionOf(w, field), text);
}

void TestForm1::frames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("frame");
    const char *const rows[][2] = {
        {"txtSeries", "主设备信息"},          {"txtInnerVersion", "主设备信息"},
        {"txtCellPressure", "主设备信息"},    {"Combo6_0", "RS485_1设置"},
        {"txt_RSDataTime_0", "RS485_1设置"},  {"Combo10_1", "RS485_2设置"},
        {"ComboMS_1", "RS485_2设置"},         {"bt_FindUpdataFile", "在线升级"},
        {"txt_UpdataAddr", "在线升级"},       {"bt_Updata", "在线升级"},
        {"txtGate_0", "以太网设置区域"},      {"txtSubNet_3", "以太网设置区域"},
        {"bt_NetGate", "以太网设置区域"},     {"Check_InAndOut_5", "高速输入输出"},
        {"Check_SysParam_7", "恢复选中参数"},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]);
}

void TestForm1::frames()
{
    QFETCH(QString, name);
    QFETCH(QString, frame);
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    const QWidget *field = control(w, name);
    QVERIFY(field);
    QCOMPARE(frameOf(field), frame);
}

// A reply kind that a table row names but nothing handles would be dropped
// without a word.
void TestForm1::everyReplyKindHasAHandler()
{
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    const Session &session = w.session();
    for (const SerialReplyRow &row : serialReplies())
        QVERIFY2(session.handles(row.action), qPrintable(QString::number(row.functionNumber)));
    for (const auto table : {networkReadReplies(), networkWriteReplies()})
        for (const NetworkReplyRow &row : table)
            QVERIFY2(session.handles(row.action),
                     qPrintable(QStringLiteral("%1/%2").arg(row.blockAddress).arg(row.value)));
}

// Every row that names a builder finds it, so no command answers "无此功能号"
// for want of one.
void TestForm1::everyCommandHasItsBuilder()
{
    Form1 w{ProgramOptions{}, rig::fakeLinks()};
    const auto check = [&](qint16 code, Builder builder) {
        if (builder == Builder::Inline) return;
        QVERIFY2(w.session().hasBuilder(builder), qPrintable(QString::number(code)));
    };
    for (const SerialCommand &row : serialCommands())
        check(row.code, row.builder);
    for (const NetworkCommand &row : networkCommands())
        check(row.code, row.builder);
}

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
