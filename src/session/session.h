#pragma once
// A session with one controller, without widgets: the command stack and its
// dispatcher, the protocol timers, the serial port and the read/write service
// socket, reply routing by the reply tables, the reply and time-out counters
// and progress. Features register a builder per builder kind and a handler per
// reply kind; the window, or any other front end, shows what the session
// reports through SessionView.
#include "protocol/link_profile.h"
#include "protocol/network_replies.h"
#include "protocol/serial_replies.h"
#include "protocol/sys_param_block.h"
#include "session/dispatcher.h"
#include "session/progress.h"
#include "transport/discovery.h"
#include "transport/transport.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <array>
#include <functional>
#include <map>
#include <memory>

class QTimer;

namespace kalmo {

// Status text for a reply whose checksum test failed.
inline const QString kCrcErrorText = QStringLiteral("CRC 校验错误");

// Log label of the service socket's data-arrival handler.
inline constexpr char kServiceDataArrivalLabel[] = "wsckR_W_DataArrival(Form1)";

// Log label of the serial receive handler.
inline constexpr char kSerialReceiveLabel[] = "comm1_OnComm(Form1)";

// A number as the status line writes counters: a leading space for values
// that are not negative (" 3", "-1").
QString numberText(qint64 value);

// The reply and time-out counters count on; past the largest value they start
// again at 0.
qint32 nextCount(qint32 count);

// What a session needs of whatever shows it.
class SessionView
{
public:
    virtual ~SessionView() = default;
    // The link chosen: serial, network, or neither.
    virtual Link selectedLink() const = 0;
    // The status line: its text, the reply counter and the time-out counter.
    virtual void setStatusText(const QString &text) = 0;
    virtual void showReplyCount(const QString &text) = 0;
    virtual void showTimeoutCount(const QString &text) = 0;
    virtual void showProgress(const ProgressState &progress) = 0;
    // A message box with an OK button.
    virtual void showMessage(const QString &text) = 0;
    // Closes the serial port and opens the chosen one again with these
    // settings; throws ProcedureError when it does not open.
    virtual void reopenSerialPort(const QString &settings) = 0;
    // Around the handling of one reply: the status line may show the texts
    // set meanwhile once the reply has been handled, so the request the reply
    // lets go out is not kept waiting for them.
    virtual void holdStatusLine() {}
    virtual void releaseStatusLine() {}
};

// A reply as a handler sees it: the whole buffer and the link it came on.
struct Reply
{
    const QByteArray &bytes;
    const LinkProfile &profile;

    // Data byte i (0 is the first byte after the link's header).
    quint8 data(qsizetype i) const;
};

// The firmware transfer: its packet table and where it stands.
struct UpgradeTransfer
{
    QList<QByteArray> packets;
    int count = 0; // UpgradePacketCount
    int index = 0; // UpgradePacketIndex
};

class Session : public QObject, private DispatcherHost
{
    Q_OBJECT
public:
    // The links come from `transports`: the real ones unless a test puts in fakes.
    explicit Session(SessionView &view, QObject *parent = nullptr,
                     const Transports &transports = {});
    ~Session() override;

    // The protocol timers, findable by objectName.
    QTimer *Timer1 = nullptr;         // command dispatcher
    QTimer *Timer2 = nullptr;         // command time-out
    QTimer *timMscon = nullptr;       // receive time-out
    QTimer *timCheckDevice = nullptr; // device presence (network)
    QTimer *Sleep_Timer = nullptr;    // restart delay
    QTimer *ProgressTimer = nullptr;  // progress stepping

    // Discovery: the announcement listener ("wsckDeviceQuery"), the port it
    // binds when network mode starts (0 binds a free one), and the devices on
    // line with the clock behind their LastSeen (replaceable so that a test
    // drives time).
    AnnouncementListener *wsckDeviceQuery = nullptr;
    quint16 discoveryPort = kDiscoveryPort;
    MonotonicClock presenceClock = [] { return std::chrono::steady_clock::now(); };
    DeviceTable deviceTable{[this] { return presenceClock(); }};

    // The serial port ("Comm1") and the read/write service socket ("wsckR_W").
    SerialPortLink *Comm1 = nullptr;
    DatagramLink *wsckR_W = nullptr;

    Dispatcher &dispatcher() { return *m_dispatcher; }
    // What shows the session.
    SessionView &view() { return m_view; }
    const Dispatcher &dispatcher() const { return *m_dispatcher; }

    // ---- Registration ---------------------------------------------------
    using BuilderFunction = std::function<BuildOutcome(BuildContext &)>;
    using ReplyHandler = std::function<void(const Reply &)>;
    // The builder of a builder kind; a kind without one answers "无此功能号".
    void registerBuilder(Builder builder, BuilderFunction function);
    bool hasBuilder(Builder builder) const { return m_builders.count(builder) != 0; }
    // A builder that exists on one link only; on the other the command is
    // "无此功能号".
    static BuilderFunction onlyOn(Link link, BuilderFunction builder);
    // What is done with a reply of this kind after the row's status text.
    void handle(SerialReplyAction action, ReplyHandler handler);
    void handle(NetworkReplyAction action, ReplyHandler handler);
    bool handles(SerialReplyAction action) const;
    bool handles(NetworkReplyAction action) const;

    // ---- Receiving -------------------------------------------------------
    // Everything waiting on Comm1, or bytes already taken from it: counted,
    // checked and routed by function number.
    void Comm1_OnComm();
    void receiveSerial(const QByteArray &input);
    // A datagram from wsckR_W: counted, checked by status bits and sequence
    // number, and routed by the request still outstanding.
    void wsckR_W_DataArrival(const QByteArray &datagram);
    // Timer2 off and Timer1 on: the command counts as answered.
    void resumeDispatcher();

    // ---- Timers ------------------------------------------------------------
    void Timer1_Timer();
    void Timer2_Timer();
    void timMscon_Timer();
    void Sleep_Timer_Timer();
    void ProgressTimer_Timer();

    // ---- Progress ----------------------------------------------------------
    void StartProgress(int steps, bool withTimer);
    void StepProgress();
    void hideProgress() override;

    // Counters back to 0 on the status line.
    void resetCounters();

    // ---- State of the connection --------------------------------------------
    QByteArray serialReply;           // the last serial reply, as read from the port
    QByteArray networkReply;          // the last datagram, data from offset 12
    qint32 serialReplyCounter = 0;    // Text4 on the serial link
    qint32 networkReplyCounter = 0;   // Text4 on the network
    qint32 receiveTimeoutCounter = 0; // Text3
    ProgressState progress;
    UpgradeTransfer upgrade;
    // The system parameter record of the device, as read and as written back.
    SysParamRecord sysParam;
    // Set by the system-parameter write on the network: the next tag read
    // fills the write payload instead of the panel. Cleared by the read button.
    qint16 tagCaptureFlag = 0;
    // The reply length of the last serial request.
    int expectedReplyLength() const { return m_expectedReplyLength; }

    // What the upgrade and slave sections do for the dispatcher: bt_Updata
    // enabled or not, the slave dialog enabled, its 16 pending flags.
    std::function<void(bool)> upgradeButtonHook = [](bool) {};
    std::function<void()> slaveDialogHook = [] {};
    std::function<std::array<bool, kSlaveRows>()> slavePendingHook = [] {
        return std::array<bool, kSlaveRows>{};
    };

signals:
    // A reply was taken: routed by its kind, or a failure status answering
    // the command.
    void replyTaken();

private:
    void routeSerialReply(const QByteArray &reply);
    void routeNetworkReply(const NetworkReplyRow &row);
    void receiveNetwork(const QByteArray &datagram);
    void takeTags();
    void runHandler(const std::map<int, ReplyHandler> &handlers, int action, const Reply &reply);
    void registerOwnBuilders();
    void registerOwnHandlers();

    // DispatcherHost
    Link selectedLink() const override { return m_view.selectedLink(); }
    void setStatusText(const QString &text) override { m_view.setStatusText(text); }
    BuildOutcome build(Builder builder, BuildContext &context) override;
    void sendSerialFrame(const QByteArray &frame, int expectedReplyLength) override;
    void sendDatagram(const QByteArray &datagram) override;
    void reopenSerialPort(const QString &settings) override { m_view.reopenSerialPort(settings); }
    void setSerialSettings(const QString &settings) override;
    void startProgress(int steps, bool withTimer) override { StartProgress(steps, withTimer); }
    void stepProgress() override { StepProgress(); }
    bool progressFull() const override { return progress.full(); }
    void setUpgradeButtonEnabled(bool enabled) override { upgradeButtonHook(enabled); }
    void enableSlaveDialog() override { slaveDialogHook(); }
    std::array<bool, kSlaveRows> slavePendingFlags() const override { return slavePendingHook(); }
    int upgradePacketIndex() const override { return upgrade.index; }
    void emptyUpgradePacketTable() override { upgrade.packets = {QByteArray(), QByteArray()}; }
    void resetUpgradePacketCounters() override;
    void showMessage(const QString &text) override { m_view.showMessage(text); }

    SessionView &m_view;
    std::unique_ptr<Dispatcher> m_dispatcher;
    std::map<Builder, BuilderFunction> m_builders;
    std::map<int, ReplyHandler> m_serialHandlers;
    std::map<int, ReplyHandler> m_networkHandlers;
    int m_expectedReplyLength = 0;
    int m_outstandingFunction = -1; // function number of the last serial request
};

} // namespace kalmo
