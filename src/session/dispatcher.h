#pragma once
// The dispatcher: on every Timer1 tick it runs the command on top of the
// command stack by its row of the link's command table, and the command
// time-out, restart delay, pause and stop that move its timers. It talks to its
// session only through DispatcherHost.
#include "protocol/command_tables.h"
#include "protocol/frames.h"
#include "session/command_stack.h"

#include <QByteArray>
#include <QString>

#include <array>

class QTimer;

namespace kalmo {

// Texts the dispatcher writes.
inline const QString kNoSuchCommandText = QStringLiteral("无此功能号");
inline const QString kFormatErrorText = QStringLiteral("数据格式错误：");
inline const QString kTimeOutText = QStringLiteral("通讯超时");
inline const QString kUpgradeTimeOutText = QStringLiteral("系统升级超时");
inline const QString kUpgradeFailedMessage = QStringLiteral("通讯超时，系统升级失败！");
// The message of an upgrade broken off for another cause: the cause, then this.
inline const QString kUpgradeFailedSuffix = QStringLiteral("，系统升级失败！");

// Serial port settings.
inline const QString kNormalPortSettings = QStringLiteral("9600,N,8,1");
inline const QString kUpgradePortSettings = QStringLiteral("115200,N,8,1");

// Log label of a failed dispatcher step.
inline constexpr char kDispatcherStepLabel[] = "Timer1_Timer(Form1)";
// Log labels of the send routines.
inline constexpr char kSendCommandLabel[] = "SendCommand(Form1)";
inline constexpr char kReadCmdLabel[] = "ReadCmd(Form1)";
inline constexpr char kWriteCmdLabel[] = "WriteCmd(Form1)";

// Timer1's interval while communicating.
inline constexpr int kDispatchIntervalMs = 300;
// timCheckDevice's interval once the device has restarted into its loader.
inline constexpr int kCheckDeviceAfterDelayMs = 5000;

inline constexpr int kSlaveRows = 16;

// What a builder is given. The dispatcher has prepared the request from the
// row; the builder fills in the data.
struct BuildContext
{
    Link link;
    qint16 code;
    // Serial: the frame of the row's N bytes (7 where the builder sets N), the
    // function number at offset 2 and the row's fixed payload bytes from
    // offset 3 (the slave read's item count at 3). The builder fills the
    // payload and may re-size the frame; header, CRC and trailer are added
    // after it.
    QByteArray frame;
    // Serial: the row's R, or kSetByBuilder until the builder sets it.
    int expectedReplyLength = 0;
    // Network: block address and type are set from the row, the item count
    // too where the row gives one. The builder fills writePayload and, where
    // the row says "set by the builder", itemCount.
    SendState &send;
};

struct BuildOutcome
{
    enum class Kind {
        Built,        // send the request
        NotAvailable, // this builder is not there: "无此功能号", nothing sent
        FormatError,  // a box did not convert: "数据格式错误：" + field, nothing sent
    };
    Kind kind = Kind::Built;
    QString fieldLabel;  // FormatError: the label of the box
    QString logLabel;    // FormatError: the builder's own log label, e.g. "WriteClock_S(Form1)"
    QString description; // FormatError: the log description

    static BuildOutcome built() { return {}; }
    static BuildOutcome notAvailable() { return {Kind::NotAvailable, {}, {}, {}}; }
    static BuildOutcome formatError(const QString &field, const QString &logLabel,
                                    const QString &description);
};

// What the dispatcher needs of its session.
class DispatcherHost
{
public:
    virtual ~DispatcherHost() = default;

    // The link chosen: serial, network, or neither.
    virtual Link selectedLink() const = 0;
    // The status text.
    virtual void setStatusText(const QString &text) = 0;

    // Fills a request's data for a row that names a builder. Builders of
    // bare requests (GetSysInfo, GetPdtag, ClockRead, MacRead, RamTest,
    // SlaveRead, CanDetect, CanRead, and the serial StopAndClear and
    // UpgradeStart) have nothing to add and answer Built. May throw: the step
    // is then logged and popped.
    virtual BuildOutcome build(Builder builder, BuildContext &context) = 0;

    // The serial link's part of SendCommand: write the completed frame, start
    // timMscon, clear the input buffer, set the receive threshold.
    virtual void sendSerialFrame(const QByteArray &frame, int expectedReplyLength) = 0;
    // One datagram on wsckR_W (the dispatcher starts timMscon after it).
    virtual void sendDatagram(const QByteArray &datagram) = 0;
    // ReopenSerialPort.
    virtual void reopenSerialPort(const QString &settings) = 0;
    // The port's settings string, without reopening it.
    virtual void setSerialSettings(const QString &settings) = 0;

    // StartProgress / StepProgress, the bar being full (Max <= Value), and
    // hiding ProgressBar with lb_ProgProc.
    virtual void startProgress(int steps, bool withTimer) = 0;
    virtual void stepProgress() = 0;
    virtual bool progressFull() const = 0;
    virtual void hideProgress() = 0;

    // bt_Updata.
    virtual void setUpgradeButtonEnabled(bool enabled) = 0;
    // UpgradePacketIndex, read before a packet is built.
    virtual int upgradePacketIndex() const = 0;
    // An abandoned upgrade: the packet table back to two blank packets, and
    // UpgradePacketCount and UpgradePacketIndex to 0.
    virtual void emptyUpgradePacketTable() = 0;
    virtual void resetUpgradePacketCounters() = 0;

    // The slave-device dialog: enabled after a slave write, and its 16
    // per-row pending flags.
    virtual void enableSlaveDialog() = 0;
    virtual std::array<bool, kSlaveRows> slavePendingFlags() const = 0;

    // A message box with an OK button.
    virtual void showMessage(const QString &text) = 0;
};

// The session's timers that the dispatcher starts, stops and sets.
struct DispatcherTimers
{
    QTimer *timer1 = nullptr;         // Timer1: dispatcher tick
    QTimer *timer2 = nullptr;         // Timer2: command time-out
    QTimer *timMscon = nullptr;       // receive time-out
    QTimer *timCheckDevice = nullptr; // device presence
    QTimer *sleepTimer = nullptr;     // Sleep_Timer: restart delay
};

class Dispatcher
{
public:
    // The timers belong to the session and must outlive the dispatcher.
    Dispatcher(DispatcherHost &host, const DispatcherTimers &timers);

    CommandStack &stack() { return m_stack; }
    const CommandStack &stack() const { return m_stack; }
    SendState &sendState() { return m_send; }
    const SendState &sendState() const { return m_send; }

    // Set by the upgrade commands, cleared by their replies and the time-out.
    qint16 upgradeFlag() const { return m_upgradeFlag; }
    void setUpgradeFlag(qint16 flag) { m_upgradeFlag = flag; }

    // Timer1_Timer: one step. A step that fails is logged once under
    // "Timer1_Timer(Form1)" and its entry popped.
    void step();

    // Timer2_Timer: the command's reply did not come in time. During an
    // upgrade the upgrade is abandoned.
    void commandTimedOut();

    // An upgrade broken off: the status and message box texts, then the
    // upgrade state cleared as after its time-out (flag 0, packet table
    // emptied, progress hidden, Timer1 back to 300 ms, counters 0, stack
    // emptied and released, Sleep_Timer stopped, bt_Updata enabled, serial
    // settings back to 9600), Timer1 running and Timer2 stopped.
    void abortUpgrade(const QString &status, const QString &message);

    // Sleep_Timer_Timer: resume once the device has restarted.
    void restartAfterDelay();

    // The engine's part of cmdPause_Click: Timer1 stopped while paused.
    void setPaused(bool paused);

    // The engine's part of cmdStop_Click: Timer1, Timer2, timMscon,
    // timCheckDevice and Sleep_Timer stopped, the stack emptied, and an
    // upgrade in progress ended: its state cleared as by an abort, without
    // its texts.
    void stop();

private:
    void runStep();
    void runSerial(const SerialCommand &row);
    void runNetwork(const NetworkCommand &row);
    bool accepted(const BuildOutcome &outcome);
    void afterSending(int waitMs, int timer1IntervalMs, quint32 notes);
    void noSuchCommand();
    void endUpgrade();

    DispatcherHost &m_host;
    DispatcherTimers m_timers;
    CommandStack m_stack;
    SendState m_send;
    qint16 m_upgradeFlag = 0;
};

} // namespace kalmo
