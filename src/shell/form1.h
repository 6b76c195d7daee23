#pragma once
// The main window: the connection bar, the status line and the panel
// sections in tabs; start-up, the clock display, the keyboard shortcuts and
// closing.
#include "shell/program_options.h"

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;

namespace kalmo {

class SystemInfoPanel;
class ClockIoPanel;
class NetworkIdentityPanel;
class ZigbeePanel;
class MaintenancePanel;
class UpgradePanel;
class ImageFilePanel;
class ParameterDialogsPanel;

// One entry of the version range table read by the system information display.
struct RangeBounds
{
    qint32 upper = 0;
    qint32 lower = 0;
};

// The serial ports offered in ComPort and the entry selected (-1: none).
struct PortListing
{
    QStringList names;
    int selected = -1;
};

// Ports named on the command line come first and are not probed; then every
// candidate that testCom can open, in candidate order, without repeating a
// name. The first entry is selected.
PortListing listSerialPorts(const QStringList &namedPorts, const QStringList &candidates,
                            const std::function<bool(const QString &)> &testCom);

// "COM1" ... "COM128", the ports probed on Windows.
QStringList windowsPortCandidates();
// The ports this platform can offer: windowsPortCandidates() on Windows,
// elsewhere the system names QSerialPortInfo reports (ttyUSB0, ttyS0, ...).
QStringList platformPortCandidates();
// Opens the port at 9600,N,8,1 and closes it again. Any failure answers false
// and is not logged.
bool TestCom(const QString &portName);

// The clock label's text: "yyyy年MM月dd日    hh:mm:ss", 24-hour.
QString clockDisplayText(const QDateTime &time);

class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form1(const ProgramOptions &options, QWidget *parent = nullptr);
    ~Form1() override;

    static constexpr int kVersionMajor = 1;
    static constexpr int kVersionMinor = 14;
    static constexpr int kVersionRevision = 0;

    // Timer1 and timMscon are built with interval 0 and stay stopped until
    // communication starts; these are the intervals they run with then.
    static constexpr int kDispatcherInterval = 300; // Timer1
    static constexpr int kReceiveTimeout = 5000;    // timMscon

    // Connection bar
    std::array<QRadioButton *, 2> optComm{}; // "串行通信", "网络通信"
    QComboBox *ComPort = nullptr;
    QComboBox *cmbDevice = nullptr;  // devices heard on the network
    QPushButton *StartRun = nullptr; // "通讯"
    QPushButton *cmdPause = nullptr; // "暂停" / "继续"
    QPushButton *cmdStop = nullptr;  // "停止"
    QPushButton *cmdESC = nullptr;   // "退出(ESC)"
    QLabel *NowDis = nullptr;        // the PC's clock

    // Status line
    QLineEdit *Text2 = nullptr; // status box
    QLineEdit *Text4 = nullptr; // reply counter
    QLineEdit *Text3 = nullptr; // receive time-out counter
    QProgressBar *ProgressBar = nullptr;
    QLabel *lb_ProgProc = nullptr; // percentage beside the bar

    // Body
    QTabWidget *bodyTabs = nullptr;
    SystemInfoPanel *systemInfo = nullptr;
    ClockIoPanel *clockIo = nullptr;
    NetworkIdentityPanel *networkIdentity = nullptr;
    ZigbeePanel *zigbee = nullptr;
    MaintenancePanel *maintenance = nullptr;
    UpgradePanel *upgrade = nullptr;
    ImageFilePanel *imageFiles = nullptr;
    ParameterDialogsPanel *parameterDialogs = nullptr;

    // Timers
    QTimer *Timer1 = nullptr;         // command dispatcher
    QTimer *Timer2 = nullptr;         // command time-out
    QTimer *timMscon = nullptr;       // receive time-out
    QTimer *DisTimer = nullptr;       // clock display
    QTimer *Time2Start = nullptr;     // delayed automatic start, one shot
    QTimer *Sleep_Timer = nullptr;    // restart delay
    QTimer *ProgressTimer = nullptr;  // progress stepping
    QTimer *timCheckDevice = nullptr; // device presence

    // Start-up state read by later procedures
    std::array<RangeBounds, 4> rangeTable{};
    bool rangeTableValid = false;
    QString commandLine; // the command-line record, kept for the whole run

    // The time NowDis shows; replaceable so that a test can fix it.
    std::function<QDateTime()> currentTime;
    // How "退出(ESC)" ends the program; replaceable so that a test can watch it.
    std::function<void()> endProgram;
    // The slave-device dialog, unloaded together with the main window.
    QPointer<QWidget> slaveInfoForm;

    // Keyboard shortcuts of the main window, seen before its controls: F7 runs
    // the system-parameter write, Esc closes the window, Enter does nothing.
    // Answers whether the key was handled.
    bool Form_KeyUp(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

public slots:
    void DisTimer_Timer();
    void cmdESC_Click();
    void Form_Unload();
    void ForCustomer();
    virtual void cmdSetPara_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void InitialComboBox();

    QWidget *buildConnectionBar();
    QWidget *buildStatusLine();
    QTabWidget *buildBody();
    void buildTimers();

    ProgramOptions m_options;
};

} // namespace kalmo
