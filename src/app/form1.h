#pragma once
// The main window: the connection bar, the status line and the panel
// sections in tabs; start-up, the clock display, the keyboard shortcuts and
// closing; starting, pausing and stopping a connection on either link
// (form1_connection.cpp, form1_network.cpp) and the builders and reply
// handlers it registers with its session (form1_wiring.cpp).
#include "protocol/device_catalogue.h"
#include "protocol/sys_param_block.h"
#include "session/session.h"
#include "transport/discovery.h"
#include "protocol/dido_block.h"
#include "app/program_options.h"

#include <QDateTime>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

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
struct ClockValue;

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

// What the window runs on: the session's links and the probe that lists the
// serial ports at start-up. By default the real ones; tests put in fakes and
// a probe that never reaches the host's ports.
struct WindowTransports
{
    Transports links;
    std::function<QStringList()> portCandidates = platformPortCandidates;
    std::function<bool(const QString &)> testCom = TestCom;
};

// The clock label's text: "yyyy年MM月dd日    hh:mm:ss", 24-hour.
QString clockDisplayText(const QDateTime &time);

// The serial port a connection opens. An entry "COMn" opens port n (the port
// index n - 1 is kept); any other entry (a device path, ttyUSB0) is opened by
// its name. With no entry selected the port used last is opened again.
struct SerialPortChoice
{
    QString name;
    qint16 index = 0; // zero-based COM port number, kept between connections
};
SerialPortChoice chooseSerialPort(const QString *selectedEntry, const SerialPortChoice &last);

// A message box the window shows; tests replace Form1::showMessageBox to
// watch them.
struct MessageBoxRequest
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
};

class Form1 : public QMainWindow, private SessionView
{
    Q_OBJECT
public:
    explicit Form1(const ProgramOptions &options, WindowTransports transports = {},
                   QWidget *parent = nullptr);
    ~Form1() override;

    static constexpr int kVersionMajor = 1;
    static constexpr int kVersionMinor = 14;
    static constexpr int kVersionRevision = 0;

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

    // The window's own timers
    QTimer *DisTimer = nullptr;   // clock display
    QTimer *Time2Start = nullptr; // delayed automatic start, one shot

    // The session's timers and links, as the window's procedures use them.
    QTimer *Timer1 = nullptr;         // command dispatcher
    QTimer *Timer2 = nullptr;         // command time-out
    QTimer *timMscon = nullptr;       // receive time-out
    QTimer *Sleep_Timer = nullptr;    // restart delay
    QTimer *ProgressTimer = nullptr;  // progress stepping
    QTimer *timCheckDevice = nullptr; // device presence
    SerialPortLink *Comm1 = nullptr;  // the serial port
    DatagramLink *wsckR_W = nullptr;  // the read/write service socket

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

    // The network link (form1_network.cpp): the announcement listener
    // ("wsckDeviceQuery") and the devices on line, index-aligned with
    // cmbDevice.
    DiscoveryListener *wsckDeviceQuery = nullptr;
    // The port the listener binds when network mode starts; 0 binds a free
    // one (tests read it back from wsckDeviceQuery).
    quint16 discoveryPort = kDiscoveryPort;
    // The clock behind each device's LastSeen; replaceable so that a test
    // drives time.
    MonotonicClock presenceClock = [] { return std::chrono::steady_clock::now(); };
    DeviceTable deviceTable{[this] { return presenceClock(); }};

    // Program-wide state of a connection
    SysParamRecord sysParam;       // the system parameter record of the device
    ZigbeeRecord zigbeeRecord;     // the Zigbee block, shown by DistributeZigbee
    CanReplyValues canReplyValues; // the last CAN replies, shown by the CAN dialog
    PointStates pointStates{};     // DI/DQ point states behind bt_DIQ
    // The firmware-version check, armed by the communicate button and run
    // at most once per press by the system information display.
    VersionCheck versionCheck;
    SerialPortChoice serialPort{QStringLiteral("COM1"), 0}; // the port used last

    // The session with the device: command stack, dispatcher, timers, links,
    // reply routing, counters, progress.
    Session &session() { return *m_session; }
    const Session &session() const { return *m_session; }
    Dispatcher &dispatcher() { return m_session->dispatcher(); }
    const Dispatcher &dispatcher() const { return m_session->dispatcher(); }

    // Every message box of the window goes through here. The default opens a
    // window-modal box and returns at once, so no timer tick or reply is
    // handled inside the procedure that shows it.
    std::function<void(const MessageBoxRequest &)> showMessageBox;

    // Keyboard shortcuts of the main window, seen before its controls: F7 runs
    // the system-parameter write, Esc closes the window, Enter does nothing.
    // Answers whether the key was handled.
    bool Form_KeyUp(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // The announcement event for a datagram already taken from the socket:
    // anything but 91 bytes of kind 4 is ignored.
    void wsckDeviceQuery_DataArrival(const QByteArray &datagram);

    // Decodes networkReply, a reply to block 10003 type 1, into sysParam and
    // the panel, then calls ShowSysInfo.
    void DistributeSysParam();

    // Closes the port, opens the chosen port again with these settings.
    // Throws ProcedureError when the port does not open.
    void ReopenSerialPort(const QString &settings);

public slots:
    void DisTimer_Timer();
    void cmdESC_Click();
    void Form_Unload();
    void ForCustomer();
    virtual void cmdSetPara_Click();

    // System information panel, serial-number box and the number boxes that
    // normalise what is typed into them (form1_system_info.cpp)
    void cmdGetSys_Click();
    void txtSeries_Change();
    void lblNUM_Change();
    void Text_DNO_Change();
    void Text5_Change(int index); // the output frequency boxes 2 and 3
    void bt_MAC_Click();
    void ophandornot_Click(int index);

    // Clock and DI/DQ points (form1_clock_io.cpp)
    void cmdReclock_Click();
    void cmdWrclock_Click();
    void cmdTimeInit_Click();
    void clkDate_Change();
    void bt_DIQ_Click(int index);

    // Connection control
    void optComm_Click(int index);
    void StartRun_Click();
    void cmdPause_Click();
    void cmdStop_Click();
    void Time2Start_Timer();

    // Network: the device chosen in cmbDevice (its current index), and the
    // presence check.
    void cmbDevice_Click();
    void timCheckDevice_Timer();

protected:
    // Routines of the panel sections and dialogs that the reply handling calls
    // once a reply's data are in place. The sections that own them fill them
    // in; until then they do nothing.
    // Each reads the session's serial or network reply buffer by the link
    // that is chosen, or the reply it is given.
    virtual void ShowSysInfo();                // system information panel from sysParam
    virtual void DistributeDIDO();             // DI/DO grid, battery, hard address
    virtual void RepaintPointButtons();        // DI/DQ buttons after a DO write
    virtual void DistributePDTagandDeviceID(); // network tag reply: hardware number, PD tag
    virtual void DistributeMAC(const Reply &reply);     // MAC boxes
    virtual void DistributeGateway(const Reply &reply); // gateway and subnet mask boxes
    virtual void DistributeRAMTest(const Reply &reply); // RAM test lamps

    virtual void DistributeSlaveInfo() {} // slave dialog (its CheckTimer stops first)
    virtual void DistributeZigbee() {}    // Zigbee controls from zigbeeRecord
    virtual void OnReadSlave() {}         // Form_Resend_Slave
    virtual void OnReadResend() {}        // Form_Resend
    virtual void OnReadRongyu() {}        // Form_Rongyu
    virtual void OnReadSM() {}            // Form_SM
    virtual void OnReadCtrl() {}          // Form_Ctrl
    virtual void CanSetReplied() {}       // CanSet lists and lamp from canReplyValues

    // Applies a command-line record to the panel (image-file grammar).
    void AnalysisParam(const QString &record);

    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void InitialComboBox();

    // SessionView
    Link selectedLink() const override;
    void setStatusText(const QString &text) override;
    void showReplyCount(const QString &text) override;
    void showTimeoutCount(const QString &text) override;
    void showProgress(const ProgressState &progress) override;
    void showMessage(const QString &text) override;
    void reopenSerialPort(const QString &settings) override;

    // The builders and reply handlers of the window's sections (form1_wiring.cpp)
    void registerWithSession();

    // Builders of this window's sections
    BuildOutcome buildSetSysInfo(BuildContext &context);
    BuildOutcome buildProfibusWrite(BuildContext &context);
    BuildOutcome buildClockWrite(BuildContext &context);   // WriteClock_S, WriteClock_E
    BuildOutcome buildWeekdayWrite(BuildContext &context); // block 107 type 59
    BuildOutcome buildDoWrite(BuildContext &context);
    BuildOutcome buildTagWrite(BuildContext &context); // SetPdtag, StorePDTag
    BuildOutcome buildMacWrite(BuildContext &context);

    // Panel sections (form1_system_info.cpp, form1_clock_io.cpp)
    void connectPanel();
    bool collectSystemParameters(SysParamRecord &record);
    void refuseField(const QString &control, const QString &label, const QString &logLabel,
                     const QString &description);
    DidoGroup pointLayoutGroup() const;
    void paintPointButton(int button, int state);
    void setupPointButtons(int deviceType);

    // Connection
    void startSerialLink();
    void lockLinkChoice();
    void startNetworkLink();
    void openingFailed(const QString &text);
    void serialPortFailed(const SerialPortFailure &failure);

    // Network link (form1_network.cpp)
    void buildNetworkLink();
    void stopNetworkLink();
    void listeningFailed(const SocketFailure &failure);
    void takeAnnouncement(const Announcement &announcement);
    void resetPanelForDeviceChoice();
    void clearDeviceBoxes();
    void chosenDeviceGone();
    void stopReadingLostDevice();
    void disablePanelWithoutDevice();

    // Replies (form1_wiring.cpp)
    void appendDump();
    void showNetworkClock();
    void networkUpgradeBlockAcknowledged();
    void showSystemInformation(const QByteArray &reply);
    void showClockOnPickers(const ClockValue &clock, bool withWeekday);
    void showSysParamReply(Link link, const std::function<void(SysParamPanelItems &)> &decode);
    void showTags(const QByteArray &reply);
    void showClock(const QByteArray &reply, bool withWeekday);
    void upgradeBlockAcknowledged();

    QWidget *buildConnectionBar();
    QWidget *buildStatusLine();
    QTabWidget *buildBody();
    void buildTimers();

    ProgramOptions m_options;
    WindowTransports m_transports;
    Session *m_session = nullptr;
    bool m_deviceAutoChosen = false; // --device: chosen once per start of listening
};

} // namespace kalmo
