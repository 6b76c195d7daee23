#pragma once
// The main window: the connection bar, the status line and the panel
// sections in tabs; start-up, the clock display, the keyboard shortcuts and
// closing; starting, pausing and stopping a connection on either link
// (form1_connection.cpp, form1_network.cpp); and the wiring of the sections
// to the session and to each other (form1_wiring.cpp).
#include "app/program_options.h"
#include "app/serial_ports.h"
#include "app/window_bars.h"
#include "features/common/feature.h"
#include "protocol/device_catalogue.h"
#include "session/session.h"

#include <QDateTime>
#include <QMainWindow>
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

class SystemInfoFeature;
class ClockIoFeature;
class NetworkIdentityFeature;
class ZigbeeFeature;
class MaintenanceFeature;
class UpgradeFeature;
class ImageFilesFeature;
class DialogsFeature;
struct SerialPortFailure;

class Form1 : public QMainWindow,
              public ConnectionBarControls,
              public StatusLineControls,
              private SessionView,
              private WindowServices
{
    Q_OBJECT
public:
    explicit Form1(const ProgramOptions &options, WindowTransports transports = {},
                   QWidget *parent = nullptr);
    ~Form1() override;

    static constexpr int kVersionMajor = 1;
    static constexpr int kVersionMinor = 14;
    static constexpr int kVersionRevision = 0;

    // Body: the panel sections, each with its panel.
    QTabWidget *bodyTabs = nullptr;
    SystemInfoFeature *systemInfoFeature = nullptr;
    ClockIoFeature *clockIoFeature = nullptr;
    NetworkIdentityFeature *networkIdentityFeature = nullptr;
    ZigbeeFeature *zigbeeFeature = nullptr;
    MaintenanceFeature *maintenanceFeature = nullptr;
    UpgradeFeature *upgradeFeature = nullptr;
    ImageFilesFeature *imageFilesFeature = nullptr;
    DialogsFeature *dialogsFeature = nullptr;

    // The window's own timers
    QTimer *DisTimer = nullptr;   // clock display
    QTimer *Time2Start = nullptr; // delayed automatic start, one shot

    QString commandLine; // the command-line record, kept for the whole run

    // The time NowDis shows; replaceable so that a test can fix it.
    std::function<QDateTime()> currentTime;
    // How "退出(ESC)" ends the program; replaceable so that a test can watch it.
    std::function<void()> endProgram;

    SerialPortChoice serialPort{QStringLiteral("COM1"), 0}; // the port used last

    // The session with the device: command stack, dispatcher, timers, links,
    // reply routing, counters, progress, the system parameter record.
    Session &session() { return *m_session; }
    const Session &session() const { return *m_session; }
    Dispatcher &dispatcher() { return m_session->dispatcher(); }
    const Dispatcher &dispatcher() const { return m_session->dispatcher(); }

    // Every message box of the window goes through here. The default opens a
    // window-modal box and returns at once, so no timer tick or reply is
    // handled inside the procedure that shows it.
    std::function<void(const MessageBoxRequest &)> showMessageBox;
    // Every question goes through here and answers whether Yes or OK was
    // chosen; the default waits for the answer in a modal box.
    std::function<bool(const MessageBoxRequest &)> askQuestion;

    // Keyboard shortcuts of the main window, seen before its controls: F7 runs
    // the system-parameter write, Esc closes the window, Enter does nothing.
    // Answers whether the key was handled.
    bool Form_KeyUp(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // The announcement event for a datagram already taken from the socket:
    // anything but 91 bytes of kind 4 is ignored.
    void wsckDeviceQuery_DataArrival(const QByteArray &datagram);

    // Closes the port, opens the chosen port again with these settings.
    // Throws ProcedureError when the port does not open.
    void ReopenSerialPort(const QString &settings);

public slots:
    void DisTimer_Timer();
    void cmdESC_Click();
    void Form_Unload();
    void ForCustomer() override;
    // The system-parameter write ("写入系统参数", F7).
    virtual void cmdSetPara_Click();

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
    void holdStatusLine() override { holdTexts(); }
    void releaseStatusLine() override { releaseTexts(); }

    // WindowServices
    Link chosenLink() const override { return selectedLink(); }
    QDateTime now() const override { return currentTime(); }
    void setStatus(const QString &text) override { setStatusText(text); }
    // A box shows the status line as it stands.
    void showBox(const MessageBoxRequest &box) override { showHeldTexts(), showMessageBox(box); }
    bool ask(const MessageBoxRequest &box) override { return showHeldTexts(), askQuestion(box); }
    void refuseField(const QString &control, const QString &label, const QString &logLabel,
                     const QString &description) override;
    void startCommunication() override { StartRun_Click(); }

    // The sections and what the window itself does when they report
    // (form1_wiring.cpp).
    void buildSections();
    // Every section at one moment of the connection.
    void tellSections(ConnectionEvent event);

    // Connection
    void startSerialLink();
    std::optional<SerialPortFailure> openChosenPort(const QString &settings);
    void lockLinkChoice();
    void startNetworkLink();
    void openingFailed(const QString &text);
    void serialPortFailed(const SerialPortFailure &failure);
    void resetPauseButton(bool enabled);

    // Network link (form1_network.cpp)
    void buildNetworkLink();
    void stopNetworkLink();
    void listeningFailed(const SocketFailure &failure);
    void takeAnnouncement(const Announcement &announcement);
    void stopReadingLostDevice();

    QTabWidget *buildBody();

    ProgramOptions m_options;
    WindowTransports m_transports;
    Session *m_session = nullptr;
    SectionRequests m_requests;
    QList<Feature *> m_sections;
    bool m_deviceAutoChosen = false; // --device: chosen once per start of listening
};

} // namespace kalmo
