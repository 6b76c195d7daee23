#include "session/session.h"

#include "core/error_log.h"
#include "protocol/frames.h"
#include "protocol/network_reply.h"
#include "protocol/tag_block.h"

#include <QTimer>

#include <limits>

namespace kalmo {

namespace {

// The state every protocol timer has when a session begins.
struct TimerSetup
{
    QTimer *Session::*member;
    const char *name;
    int interval;
    bool running;
};
constexpr TimerSetup kTimers[] = {
    {&Session::Timer1, "Timer1", 0, false},
    {&Session::Timer2, "Timer2", 20000, false},
    {&Session::timMscon, "timMscon", 0, false},
    {&Session::Sleep_Timer, "Sleep_Timer", 1000, false},
    {&Session::ProgressTimer, "ProgressTimer", 1000, true},
    {&Session::timCheckDevice, "timCheckDevice", kPresenceIntervalMs, false},
};

// The status line held while one reply is handled.
class StatusLineHold
{
public:
    explicit StatusLineHold(SessionView &view) : m_view(view) { m_view.holdStatusLine(); }
    ~StatusLineHold() { m_view.releaseStatusLine(); }
    StatusLineHold(const StatusLineHold &) = delete;
    StatusLineHold &operator=(const StatusLineHold &) = delete;

private:
    SessionView &m_view;
};

} // namespace

QString numberText(qint64 value)
{
    return value >= 0 ? u' ' + QString::number(value) : QString::number(value);
}

qint32 nextCount(qint32 count)
{
    return count == std::numeric_limits<qint32>::max() ? 0 : count + 1;
}

quint8 Reply::data(qsizetype i) const
{
    return byteAt(bytes, profile.dataOffset + i);
}

Session::Session(SessionView &view, QObject *parent, const Transports &transports)
    : QObject(parent), m_view(view)
{
    setObjectName(QStringLiteral("session"));
    for (const TimerSetup &setup : kTimers) {
        auto *timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(setup.name));
        // The protocol's pauses to the millisecond: a coarse timer may fire
        // 5 % of its interval late, 150 ms of a 3 s restart pause.
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(setup.interval);
        if (setup.running) timer->start();
        this->*setup.member = timer;
    }
    Comm1 = transports.serial(this);
    Comm1->setObjectName(QStringLiteral("Comm1"));
    wsckR_W = transports.datagram(this);
    wsckR_W->setObjectName(QStringLiteral("wsckR_W"));

    wsckDeviceQuery = transports.listener(this);
    wsckDeviceQuery->setObjectName(QStringLiteral("wsckDeviceQuery"));

    m_dispatcher = std::make_unique<Dispatcher>(
        static_cast<DispatcherHost &>(*this),
        DispatcherTimers{Timer1, Timer2, timMscon, timCheckDevice, Sleep_Timer});

    connect(Timer1, &QTimer::timeout, this, &Session::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &Session::Timer2_Timer);
    connect(timMscon, &QTimer::timeout, this, &Session::timMscon_Timer);
    connect(Sleep_Timer, &QTimer::timeout, this, &Session::Sleep_Timer_Timer);
    connect(ProgressTimer, &QTimer::timeout, this, &Session::ProgressTimer_Timer);
    connect(Comm1, &SerialPortLink::received, this, &Session::Comm1_OnComm);
    connect(wsckR_W, &DatagramLink::datagramArrived, this, &Session::wsckR_W_DataArrival);

    registerOwnBuilders();
    registerOwnHandlers();
}

Session::~Session() = default;

// ---- Registration -----------------------------------------------------------

void Session::registerBuilder(Builder builder, BuilderFunction function)
{
    m_builders[builder] = std::move(function);
}

void Session::handle(SerialReplyAction action, ReplyHandler handler)
{
    m_serialHandlers[int(action)] = std::move(handler);
}

void Session::handle(NetworkReplyAction action, ReplyHandler handler)
{
    m_networkHandlers[int(action)] = std::move(handler);
}

bool Session::handles(SerialReplyAction action) const
{
    return action == SerialReplyAction::None || m_serialHandlers.count(int(action));
}

bool Session::handles(NetworkReplyAction action) const
{
    return action == NetworkReplyAction::None || m_networkHandlers.count(int(action));
}

Session::BuilderFunction Session::onlyOn(Link link, BuilderFunction builder)
{
    return [link, builder = std::move(builder)](BuildContext &context) {
        return context.link == link ? builder(context) : BuildOutcome::notAvailable();
    };
}

// The bare serial reads: the row has made the whole request, nothing is added.
void Session::registerOwnBuilders()
{
    const BuilderFunction bare =
        onlyOn(Link::Serial, [](BuildContext &) { return BuildOutcome::built(); });
    for (const Builder builder : {Builder::GetSysInfo, Builder::GetPdtag, Builder::ClockRead,
                                  Builder::MacRead, Builder::RamTest})
        registerBuilder(builder, bare);
}

// What the session does itself with a reply: timer moves and the item count.
void Session::registerOwnHandlers()
{
    handle(SerialReplyAction::SysParamWritten, [this](const Reply &) {
        Timer1->setInterval(kDispatchIntervalMs);
        Timer2->setInterval(kDispatchIntervalMs);
    });
    handle(SerialReplyAction::LongReceiveTimeout,
           [this](const Reply &) { timMscon->setInterval(kReceiveTimeoutMs); });
    const auto clearItemCount = [this](const Reply &) { m_dispatcher->sendState().itemCount = 0; };
    handle(SerialReplyAction::ClearItemCount, clearItemCount);
    handle(NetworkReplyAction::ClearItemCount, clearItemCount);
    handle(NetworkReplyAction::UpgradeStarted, [this](const Reply &) {
        // The device restarts into its loader: the dispatcher, the presence
        // check and the command time-out wait; Sleep_Timer resumes them.
        m_dispatcher->sendState().itemCount = 0;
        timCheckDevice->stop();
        Timer1->stop();
        Timer2->stop();
        Sleep_Timer->setInterval(kUpgradeRestartDelayMs);
        Sleep_Timer->start();
    });
}

void Session::runHandler(const std::map<int, ReplyHandler> &handlers, int action,
                         const Reply &reply)
{
    const auto it = handlers.find(action);
    if (it != handlers.end()) it->second(reply);
}

BuildOutcome Session::build(Builder builder, BuildContext &context)
{
    const auto it = m_builders.find(builder);
    if (it == m_builders.end()) return BuildOutcome::notAvailable();
    return it->second(context);
}

// ---- Sending ------------------------------------------------------------------

void Session::sendSerialFrame(const QByteArray &frame, int expectedReplyLength)
{
    m_expectedReplyLength = expectedReplyLength;
    m_outstandingFunction = byteAt(frame, 2);
    // The input is cleared and the threshold set before the frame goes out,
    // so a quick reply is never thrown away.
    Comm1->write(frame, expectedReplyLength);
    timMscon->start();
}

void Session::sendDatagram(const QByteArray &datagram)
{
    wsckR_W->send(datagram);
}

void Session::setSerialSettings(const QString &settings)
{
    Comm1->setSettings(settings);
}

void Session::resetUpgradePacketCounters()
{
    upgrade.count = 0;
    upgrade.index = 0;
}

// ---- Serial replies -------------------------------------------------------------

void Session::Comm1_OnComm()
{
    receiveSerial(Comm1->readAll());
}

void Session::receiveSerial(const QByteArray &input)
{
    const StatusLineHold hold(m_view);
    runLogged(kSerialReceiveLabel, [&] {
        serialReplyCounter = nextCount(serialReplyCounter);
        m_view.showReplyCount(QString::number(serialReplyCounter));
        timMscon->stop();

        serialReply = input;
        switch (verifySerialReply(serialReply).verdict) {
        case SerialReplyVerdict::DropWithChecksumError:
            // Dropped: the message stays and the command ends by its time-out.
            m_view.setStatusText(kCrcErrorText);
            return;
        case SerialReplyVerdict::DropSilently:
            return;
        case SerialReplyVerdict::Accept:
            break;
        }
        // While an upgrade step waits, only its own reply counts; anything
        // else is dropped and the step ends by its time-out.
        if (m_dispatcher->upgradeFlag() != 0 && byteAt(serialReply, 2) != m_outstandingFunction)
            return;
        m_view.setStatusText(QString());
        routeSerialReply(serialReply);
    });
}

void Session::resumeDispatcher()
{
    Timer2->stop();
    if (!Timer1->isActive()) Timer1->start();
}

void Session::routeSerialReply(const QByteArray &reply)
{
    emit replyTaken();
    const SerialReplyRow &row = findSerialReply(byteAt(reply, 2));
    if (row.timers == ReplyTimers::ResumeFirst) resumeDispatcher();
    if (!row.status.isEmpty()) m_view.setStatusText(row.status.toString());
    runHandler(m_serialHandlers, int(row.action), Reply{reply, kSerialProfile});
    if (row.timers == ReplyTimers::ResumeLast) resumeDispatcher();
}

// ---- Network replies --------------------------------------------------------------

void Session::wsckR_W_DataArrival(const QByteArray &datagram)
{
    const StatusLineHold hold(m_view);
    runLogged(kServiceDataArrivalLabel, [&] { receiveNetwork(datagram); });
}

void Session::receiveNetwork(const QByteArray &datagram)
{
    // A datagram of no bytes leaves no buffer to take it.
    if (datagram.isEmpty()) throw ProcedureError(subscriptOutOfRangeText());
    networkReply = datagram;
    networkReplyCounter = nextCount(networkReplyCounter);
    m_view.showReplyCount(QString::number(networkReplyCounter));
    timMscon->stop();

    const SendState &send = m_dispatcher->sendState();
    const NetworkReplyVerdict verdict =
        classifyNetworkReply(networkReply, send.readSequence, send.writeSequence);
    const NetworkReplyRow *row = nullptr;
    switch (verdict.kind) {
    case NetworkReplyKind::WriteError:
        // A refused upgrade write ends the upgrade: no packet follows it.
        if (m_dispatcher->upgradeFlag() != 0) {
            m_dispatcher->abortUpgrade(verdict.statusText(),
                                       verdict.statusText() + kUpgradeFailedSuffix);
            return;
        }
        [[fallthrough]];
    case NetworkReplyKind::ReadError:
        // The command counts as answered: the queue goes on.
        emit replyTaken();
        m_view.setStatusText(verdict.statusText());
        resumeDispatcher();
        return;
    case NetworkReplyKind::ReadReply:
        row = findNetworkReadReply(send.lastRead.blockAddress, send.lastRead.blockType,
                                   send.lastRead.itemCount);
        break;
    case NetworkReplyKind::WriteReply:
        row = findNetworkWriteReply(send.lastWrite.blockAddress, send.lastWrite.blockType,
                                    send.lastWrite.itemCount);
        break;
    case NetworkReplyKind::Ignored:
        // A good reply too short to carry its sequence number cannot be
        // matched: logged. A wrong sequence number or an unknown first byte
        // is dropped without a word; the command time-out ends the wait.
        if (verdict.ignoredBecause == IgnoredBecause::TooShort)
            throw ProcedureError(subscriptOutOfRangeText());
        return;
    }
    // A block without a row changes nothing.
    if (row) routeNetworkReply(*row);
}

void Session::routeNetworkReply(const NetworkReplyRow &row)
{
    emit replyTaken();
    if (row.timers == NetworkReplyTimers::ResumeFirst) resumeDispatcher();
    // A tag read that goes into the write payload writes no text.
    const bool capturing = row.action == NetworkReplyAction::Tags && tagCaptureFlag != 0;
    if (!row.status.isEmpty() && !capturing) m_view.setStatusText(row.status.toString());
    if (row.action == NetworkReplyAction::Tags)
        takeTags();
    else
        runHandler(m_networkHandlers, int(row.action), Reply{networkReply, kNetworkProfile});
    if (row.timers == NetworkReplyTimers::ResumeLast) resumeDispatcher();
}

void Session::takeTags()
{
    // The whole data part, 82 bytes, or nothing at all.
    byteAt(networkReply, kTagReplyDataOffset + kTagBlockLength - 1);
    if (tagCaptureFlag != 0) {
        tagCaptureFlag = 0;
        m_dispatcher->sendState().writePayload =
            networkReply.mid(kTagReplyDataOffset, kTagBlockLength);
        return;
    }
    runHandler(m_networkHandlers, int(NetworkReplyAction::Tags),
               Reply{networkReply, kNetworkProfile});
}

// ---- Timers -------------------------------------------------------------------------

void Session::Timer1_Timer()
{
    m_dispatcher->step();
}

void Session::Timer2_Timer()
{
    m_dispatcher->commandTimedOut();
}

void Session::timMscon_Timer()
{
    timMscon->stop();
    receiveTimeoutCounter = nextCount(receiveTimeoutCounter);
    m_view.showTimeoutCount(numberText(receiveTimeoutCounter));
    if (m_view.selectedLink() == Link::Serial) Comm1->clearInput();
}

void Session::Sleep_Timer_Timer()
{
    m_dispatcher->restartAfterDelay();
}

// ---- Progress -------------------------------------------------------------------------

void Session::StartProgress(int steps, bool withTimer)
{
    progress.start(steps);
    m_view.showProgress(progress);
    if (withTimer) ProgressTimer->start();
}

void Session::StepProgress()
{
    progress.step();
    m_view.showProgress(progress);
}

void Session::hideProgress()
{
    progress.hide();
    m_view.showProgress(progress);
}

void Session::ProgressTimer_Timer()
{
    if (progress.timerTick()) ProgressTimer->stop();
    m_view.showProgress(progress);
}

void Session::resetCounters()
{
    m_view.showReplyCount(QStringLiteral("0"));
    m_view.showTimeoutCount(QStringLiteral("0"));
    serialReplyCounter = 0;
    networkReplyCounter = 0;
    receiveTimeoutCounter = 0;
}

} // namespace kalmo
