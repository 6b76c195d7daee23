#include "session/dispatcher.h"

#include "core/error_log.h"
#include "protocol/link_profile.h"

#include <QTimer>

#include <algorithm>
#include <limits>

namespace kalmo {

BuildOutcome BuildOutcome::formatError(const QString &field, const QString &logLabel,
                                       const QString &description)
{
    return {Kind::FormatError, field, logLabel, description};
}

Dispatcher::Dispatcher(DispatcherHost &host, const DispatcherTimers &timers)
    : m_host(host), m_timers(timers)
{
    Q_ASSERT(timers.timer1 && timers.timer2 && timers.timMscon && timers.timCheckDevice &&
             timers.sleepTimer);
}

void Dispatcher::step()
{
    // While a transfer holds the stack every pending entry is one of its
    // steps.
    const bool upgradeStep = m_stack.held() && !m_stack.idle();
    try {
        runStep();
    } catch (const std::exception &e) {
        const QString cause = describeError(e);
        appendErrorLog(QString::fromUtf8(kDispatcherStepLabel), cause);
        // A failed step is not tried again on the next tick: its entry goes.
        // A transfer cannot go on without it.
        if (upgradeStep)
            abortUpgrade(cause, cause + kUpgradeFailedSuffix);
        else
            m_stack.pop();
    }
}

void Dispatcher::runStep()
{
    m_host.setStatusText(QString());
    const qint16 code = m_stack.current();
    // Framed requests go by the serial table, sequenced datagrams by the
    // network table; with no link chosen the code is dropped.
    const LinkProfile &profile = linkProfile(m_host.selectedLink());
    if (profile.framed) {
        if (const SerialCommand *row = findSerialCommand(code))
            runSerial(*row);
        else
            noSuchCommand();
    } else if (profile.sequenced) {
        if (const NetworkCommand *row = findNetworkCommand(code))
            runNetwork(*row);
        else
            noSuchCommand();
    } else {
        m_stack.pop();
    }
}

void Dispatcher::noSuchCommand()
{
    m_host.setStatusText(kNoSuchCommandText);
    m_stack.pop();
}

namespace {

// The status text of a row; the light-board rows choose theirs by item count.
template <typename Row> QStringView statusOf(const Row &row, qint32 itemCount)
{
    if (row.notes & note::TextByItemCount) return itemCount == 1 ? row.status : row.status2;
    return row.status;
}

} // namespace

void Dispatcher::runSerial(const SerialCommand &row)
{
    if (const QStringView text = statusOf(row, m_send.itemCount); !text.isEmpty())
        m_host.setStatusText(text.toString());

    const qsizetype length =
        row.requestLength == kSetByBuilder ? kMinSerialFrameLength : row.requestLength;
    BuildContext context{Link::Serial, row.code, QByteArray(length, '\0'), row.replyLength, m_send};
    setByteAt(context.frame, 2, row.functionNumber);
    for (qsizetype i = 0; i < row.payload.size(); ++i)
        setByteAt(context.frame, 3 + i, quint8(row.payload[i]));
    if (row.notes & note::ItemCountPayload) setByteAt(context.frame, 3, quint8(m_send.itemCount));

    if ((row.notes & note::ReopenFastBeforeFirstPacket) && m_host.upgradePacketIndex() == 0) {
        // A port that does not take the upgrade speed ends the upgrade; the
        // port is opened again at the connection speed.
        try {
            m_host.reopenSerialPort(kUpgradePortSettings);
        } catch (const std::exception &e) {
            const QString cause = describeError(e);
            appendErrorLog(QString::fromUtf8(kDispatcherStepLabel), cause);
            runLogged(kDispatcherStepLabel,
                      [this] { m_host.reopenSerialPort(kNormalPortSettings); });
            abortUpgrade(cause, cause + kUpgradeFailedSuffix);
            return;
        }
    }

    if (row.builder != Builder::Inline && !accepted(m_host.build(row.builder, context))) return;
    if (context.expectedReplyLength < 0) throw ProcedureError(subscriptOutOfRangeText());

    if (row.notes & note::UpgradeFlag) m_upgradeFlag = 1;

    // SendCommand: a failure inside it is logged under its own label and the
    // request does not go out; the command then ends by its time-out.
    runLogged(kSendCommandLabel, [&] {
        QTimer &receive = *m_timers.timMscon;
        const int functionNumber = byteAt(context.frame, 2);
        receive.setInterval(row.receiveTimeoutMs
                                ? row.receiveTimeoutMs
                                : serialReceiveTimeoutMs(functionNumber, receive.interval()));
        completeSerialFrame(context.frame);
        m_host.sendSerialFrame(context.frame, context.expectedReplyLength);
    });

    if (row.notes & note::ItemCountPayload) {
        if (m_send.itemCount == std::numeric_limits<qint32>::max())
            throw ProcedureError(overflowText());
        ++m_send.itemCount;
    }
    afterSending(row.waitMs, row.timer1IntervalMs, row.notes);
}

void Dispatcher::runNetwork(const NetworkCommand &row)
{
    // A code that sends nothing says so instead of passing in silence.
    if (row.notes & note::NothingSent) {
        noSuchCommand();
        return;
    }
    if (const QStringView text = statusOf(row, m_send.itemCount); !text.isEmpty())
        m_host.setStatusText(text.toString());

    m_send.blockAddress = row.blockAddress;
    m_send.blockType = row.blockType;
    if (row.itemCount >= 0) m_send.itemCount = row.itemCount;

    BuildContext context{Link::Network, row.code, QByteArray(), 0, m_send};
    if (row.builder != Builder::Inline && !accepted(m_host.build(row.builder, context))) return;

    if (row.notes & note::UpgradeFlag) m_upgradeFlag = 1;

    // ReadCmd / WriteCmd: a failure inside is logged under its own label and
    // the request does not go out; the command then ends by its time-out.
    const bool write = row.request == Request::Write;
    runLogged(write ? kWriteCmdLabel : kReadCmdLabel, [&] {
        QTimer &receive = *m_timers.timMscon;
        QByteArray datagram;
        if (write) {
            receive.setInterval(udpWriteTimeoutMs(m_send.blockType, receive.interval()));
            datagram = buildWriteRequest(m_send);
        } else {
            datagram = buildReadRequest(m_send);
        }
        if (row.receiveTimeoutMs) receive.setInterval(row.receiveTimeoutMs);
        m_host.sendDatagram(datagram);
        receive.start();
    });

    if (row.notes & note::SecondText) m_host.setStatusText(row.status2.toString());
    afterSending(row.waitMs, row.timer1IntervalMs, row.notes);
}

bool Dispatcher::accepted(const BuildOutcome &outcome)
{
    if (outcome.kind != BuildOutcome::Kind::Built && m_stack.held() && !m_stack.idle()) {
        // A transfer step that cannot be built ends the transfer.
        const QString cause = outcome.kind == BuildOutcome::Kind::NotAvailable
                                  ? kNoSuchCommandText
                                  : kFormatErrorText + outcome.fieldLabel;
        abortUpgrade(cause, cause + kUpgradeFailedSuffix);
        return false;
    }
    switch (outcome.kind) {
    case BuildOutcome::Kind::Built:
        return true;
    case BuildOutcome::Kind::NotAvailable:
        noSuchCommand();
        return false;
    case BuildOutcome::Kind::FormatError:
        // Nothing is sent: say which box is wrong now instead of waiting for
        // the time-out, keep the log line, and go on.
        appendErrorLog(outcome.logLabel.isEmpty() ? QString::fromUtf8(kDispatcherStepLabel)
                                                  : outcome.logLabel,
                       outcome.description.isEmpty() ? typeMismatchText() : outcome.description);
        m_host.setStatusText(kFormatErrorText + outcome.fieldLabel);
        m_stack.pop();
        return false;
    }
    return false;
}

void Dispatcher::afterSending(int waitMs, int timer1IntervalMs, quint32 notes)
{
    if (waitMs != kGoOn) {
        m_timers.timer1->stop();
        m_timers.timer2->setInterval(waitMs);
        m_timers.timer2->start();
    }
    if (timer1IntervalMs > 0) m_timers.timer1->setInterval(timer1IntervalMs);

    if (notes & note::StartRamProgress) m_host.startProgress(kRamTestProgressSteps, true);
    if (notes & note::ProgressStep) m_host.stepProgress();
    if (notes & note::DisableUpgradeButton) m_host.setUpgradeButtonEnabled(false);

    bool keep = false;
    if (notes & note::PendingSlaveCheck) {
        m_host.enableSlaveDialog();
        const auto pending = m_host.slavePendingFlags();
        keep = std::any_of(pending.begin(), pending.end(), [](bool set) { return set; });
    }
    if (!keep) m_stack.pop();
}

void Dispatcher::commandTimedOut()
{
    try {
        if (m_upgradeFlag == 0)
            m_host.setStatusText(kTimeOutText);
        else
            abortUpgrade(kUpgradeTimeOutText, kUpgradeFailedMessage);
    } catch (const std::exception &) {
        // No log line here; whatever failed, the dispatcher goes on below.
    }
    m_timers.timer1->start();
    m_timers.timer2->stop();
}

void Dispatcher::abortUpgrade(const QString &status, const QString &message)
{
    m_host.setStatusText(status);
    // No second expiry while the message box is open.
    m_timers.timer2->stop();
    m_host.showMessage(message);
    endUpgrade();
    m_timers.timer1->start();
    m_timers.timer2->stop();
}

void Dispatcher::endUpgrade()
{
    m_upgradeFlag = 0;
    m_host.emptyUpgradePacketTable();
    m_host.hideProgress();
    m_timers.timer1->setInterval(kDispatchIntervalMs);
    m_host.resetUpgradePacketCounters();
    m_stack.clear();
    m_stack.hold(false);
    m_timers.sleepTimer->stop();
    m_host.setUpgradeButtonEnabled(true);
    m_host.setSerialSettings(kNormalPortSettings);
}

void Dispatcher::restartAfterDelay()
{
    m_timers.timCheckDevice->stop();
    m_timers.timer2->stop();
    m_timers.timer1->start();
    m_timers.sleepTimer->stop();
    m_timers.timCheckDevice->setInterval(kCheckDeviceAfterDelayMs);
    m_timers.timCheckDevice->start();
}

void Dispatcher::setPaused(bool paused)
{
    if (paused)
        m_timers.timer1->stop();
    else
        m_timers.timer1->start();
}

void Dispatcher::stop()
{
    const bool upgrading = m_stack.held() || m_upgradeFlag != 0;
    m_timers.timer1->stop();
    m_timers.timer2->stop();
    m_timers.timMscon->stop();
    m_timers.timCheckDevice->stop();
    m_timers.sleepTimer->stop();
    m_stack.clear();
    // An upgrade broken off by Stop is over: a later time-out is a plain one.
    m_upgradeFlag = 0;
    if (upgrading) endUpgrade();
}

} // namespace kalmo
