#include "features/clock_io/clock_io_feature.h"
#include "features/common/controls.h"

#include "core/error_log.h"
#include "features/common/number_box.h"
#include "protocol/command_codes.h"
#include "protocol/device_catalogue.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <exception>

namespace kalmo {

namespace {

constexpr char kDistributeDidoLabel[] = "DistributeDIDO(Form1)";
constexpr char kReclockLabel[] = "cmdReclock_Click(Form1)";
constexpr char kWrclockLabel[] = "cmdWrclock_Click(Form1)";
constexpr char kTimeInitLabel[] = "cmdTimeInit_Click(Form1)";
constexpr char kDateChangeLabel[] = "clkDate_Change(Form1)";
constexpr char kPointClickLabel[] = "bt_DIQ_Click(Form1)";
const QString kInvalidPropertyText = QStringLiteral("无效属性值");

void pushAll(CommandStack &stack, std::initializer_list<qint16> codes)
{
    for (const qint16 code : codes)
        stack.push(code);
}

} // namespace

ClockIoFeature::ClockIoFeature(const FeatureContext &context, QObject *parent)
    : Feature(context, parent), m_panel(new ClockIoPanel)
{
    m_switchedPoints.fill(-1);
    ClockIoPanel *p = m_panel;
    connect(p->cmdReclock, &QPushButton::clicked, this, &ClockIoFeature::cmdReclock_Click);
    connect(p->cmdWrclock, &QPushButton::clicked, this, &ClockIoFeature::cmdWrclock_Click);
    connect(p->cmdTimeInit, &QPushButton::clicked, this, &ClockIoFeature::cmdTimeInit_Click);
    // A date the user picks sets the week day; a date a reply shows leaves the
    // list to the reply (the clock echo does not touch it).
    connect(p->clkDate, &QDateEdit::dateChanged, this, [this] {
        QDateEdit *picker = m_panel->clkDate;
        if (picker->hasFocus() || picker->calendarWidget()->isVisible()) clkDate_Change();
    });
    for (int i = 0; i < ClockIoPanel::kPointCount; ++i)
        connect(p->bt_DIQ[std::size_t(i)], &QPushButton::clicked, this,
                [this, i] { bt_DIQ_Click(i); });
    for (int i : {2, 3})
        connect(p->Text5[std::size_t(i)], &QLineEdit::textChanged, this,
                [this, i] { Text5_Change(i); });

    Session &s = session();
    using A = SerialReplyAction;
    using N = NetworkReplyAction;
    s.registerBuilder(Builder::ClockWrite, [this](BuildContext &c) { return buildClockWrite(c); });
    s.registerBuilder(
        Builder::WeekdayWrite,
        Session::onlyOn(Link::Network, [this](BuildContext &c) { return buildWeekdayWrite(c); }));
    s.registerBuilder(Builder::DiDoRead, Session::onlyOn(Link::Serial, [this](BuildContext &c) {
                          const SysParamRecord &r = session().sysParam;
                          c.expectedReplyLength =
                              serialDidoReplyLength(DidoDevice{r.DeviceType, r.FirmwareVersion},
                                                    session().expectedReplyLength());
                          return BuildOutcome::built();
                      }));
    s.registerBuilder(Builder::DiDoWrite, [this](BuildContext &c) { return buildDoWrite(c); });

    s.handle(A::ClockRead, [this](const Reply &r) {
        enableClock();
        showClock(decodeSerialClockReply(r.bytes), true);
    });
    s.handle(A::ClockEcho,
             [this](const Reply &r) { showClock(decodeSerialClockEcho(r.bytes), false); });
    s.handle(N::Clock, [this](const Reply &r) {
        enableClock();
        showClock(decodeNetworkClockReply(r.bytes), true);
    });
    s.handle(N::WeekDay, [this](const Reply &r) {
        // A week day outside 1..7 leaves the list without a selection.
        m_panel->Combo_WeekDay->setCurrentIndex(decodeNetworkWeekDayReply(r.bytes));
    });
    for (const auto &[serial, network] : {std::pair{A::DistributeDIDO, N::DistributeDIDO}}) {
        s.handle(serial, [this](const Reply &r) { DistributeDIDO(r); });
        s.handle(network, [this](const Reply &r) { DistributeDIDO(r); });
    }
    s.handle(A::RepaintPoints, [this](const Reply &) { RepaintPointButtons(); });
    s.handle(N::RepaintPoints, [this](const Reply &) { RepaintPointButtons(); });

    requests().readClock = [this] { cmdReclock_Click(); };
    requests().systemInformationShown.listen([this](bool known) {
        if (known) m_panel->setUpPoints(didoButtonSetup(session().sysParam.DeviceType));
    });
}

void ClockIoFeature::onConnection(ConnectionEvent event)
{
    m_switchedPoints.fill(-1);
    ClockIoPanel &p = *m_panel;
    switch (event) {
    case ConnectionEvent::SerialStarting:
        p.cmdReclock->setEnabled(true);
        break;
    case ConnectionEvent::Stopped:
        for (QWidget *w : std::initializer_list<QWidget *>{p.clkDate, p.clkTime, p.cmdWrclock,
                                                           p.cmdTimeInit, p.cmdReclock})
            w->setEnabled(false);
        break;
    case ConnectionEvent::DeviceChosen:
        p.cmdReclock->setEnabled(true);
        p.disablePoints();
        break;
    case ConnectionEvent::ChosenDeviceGone:
        p.disablePoints();
        for (int i = 0; i < ClockIoPanel::kPointCount; ++i)
            p.paintPoint(i, false); // the button face colour
        break;
    case ConnectionEvent::NoDeviceListed:
        p.disablePoints();
        break;
    default:
        break;
    }
}

// ---- Clock -------------------------------------------------------------------

void ClockIoFeature::cmdReclock_Click()
{
    runLogged(kReclockLabel, [&] {
        for (qint16 code : clockReadCommands(window().chosenLink()))
            session().dispatcher().stack().push(code);
    });
}

// Serial: write, then read back. Network: week day and clock written, then
// both read back.
void ClockIoFeature::cmdWrclock_Click()
{
    runLogged(kWrclockLabel, [&] {
        for (qint16 code : clockWriteCommands(window().chosenLink()))
            session().dispatcher().stack().push(code);
    });
}

void ClockIoFeature::cmdTimeInit_Click()
{
    runLogged(kTimeInitLabel, [&] {
        const QDateTime now = window().now();
        m_panel->clkDate->setDate(now.date());
        m_panel->clkTime->setTime(now.time());
        m_panel->Combo_WeekDay->setCurrentIndex(weekDayIndexFromDate(now.date()));
    });
}

void ClockIoFeature::clkDate_Change()
{
    runLogged(kDateChangeLabel, [&] {
        m_panel->Combo_WeekDay->setCurrentIndex(weekDayIndexFromDate(m_panel->clkDate->date()));
    });
}

BuildOutcome ClockIoFeature::buildClockWrite(BuildContext &context)
{
    const ClockValue clock = clockFromPickers(m_panel->clkDate->date(), m_panel->clkTime->time(),
                                              m_panel->Combo_WeekDay->currentIndex());
    if (context.link == Link::Serial)
        context.frame = writeClockFrame(clock); // WriteClock_S
    else
        context.send.writePayload = clockPayload(clock); // WriteClock_E
    return BuildOutcome::built();
}

BuildOutcome ClockIoFeature::buildWeekdayWrite(BuildContext &context)
{
    const ClockValue clock = clockFromPickers(m_panel->clkDate->date(), m_panel->clkTime->time(),
                                              m_panel->Combo_WeekDay->currentIndex());
    context.send.writePayload = weekDayPayload(clock.weekDay.value_or(0));
    return BuildOutcome::built();
}

void ClockIoFeature::enableClock()
{
    for (QWidget *w :
         std::initializer_list<QWidget *>{m_panel->clkDate, m_panel->clkTime, m_panel->cmdWrclock,
                                          m_panel->cmdTimeInit, m_panel->cmdReclock})
        w->setEnabled(true);
}

// A clock read from the device onto the pickers. A date or time that does not
// exist is refused as the pickers refuse it: the handler ends there and the
// pickers keep what they showed. Week day 1 is Monday, the first entry; a
// value outside 1..7 leaves the list without a selection.
void ClockIoFeature::showClock(const ClockValue &clock, bool withWeekday)
{
    const std::optional<QDate> date = clock.date();
    QDateEdit *picker = m_panel->clkDate;
    if (!date || *date < picker->minimumDate() || *date > picker->maximumDate())
        throw ProcedureError(kInvalidPropertyText);
    picker->setDate(*date);
    const std::optional<QTime> time = clock.time();
    if (!time) throw ProcedureError(kInvalidPropertyText);
    m_panel->clkTime->setTime(*time);
    if (withWeekday) m_panel->Combo_WeekDay->setCurrentIndex(clock.weekDayIndex());
}

// ---- DI/DQ points ------------------------------------------------------------

DidoGroup ClockIoFeature::pointLayoutGroup() const
{
    // The network block numbers every model's points as group C does: the
    // outputs of a group A model after Q15 are states 16..19 there.
    const DidoGroup group = didoGroup(session().sysParam.DeviceType);
    if (window().chosenLink() == Link::Network && group == DidoGroup::A) return DidoGroup::C;
    return group;
}

void ClockIoFeature::paintPointButton(int button, int state)
{
    m_panel->paintPoint(button, state == 1);
}

void ClockIoFeature::DistributeDIDO(const Reply &reply)
{
    runLogged(kDistributeDidoLabel, [&] {
        const SysParamRecord &r = session().sysParam;
        const DidoDevice device{r.DeviceType, r.FirmwareVersion};
        DidoReading reading;
        std::exception_ptr failure;
        try {
            if (reply.profile.link == Link::Serial)
                decodeSerialDido(reply.bytes, device, pointStates, reading);
            else
                decodeNetworkDido(reply.bytes, device, pointStates, reading);
        } catch (const std::exception &) {
            failure = std::current_exception();
        }
        for (std::size_t s = 0; s < pointStates.size(); ++s)
            if (m_switchedPoints[s] >= 0) pointStates[s] = quint8(m_switchedPoints[s]);

        // What was decoded goes onto the panel, also when the reply ended early.
        requests().didoRead(reading);
        for (int b = 0; b < kPointStateCount; ++b)
            if (reading.buttons[std::size_t(b)] >= 0)
                paintPointButton(b, reading.buttons[std::size_t(b)]);
        for (std::size_t i = 0; i < reading.highSpeed.size(); ++i)
            if (const auto value = reading.highSpeed[i])
                controls::showText(m_panel->Text5[std::size_t(kHighSpeedValueBoxes[i])],
                                   QString::number(*value));
        if (failure) std::rethrow_exception(failure);
    });
}

void ClockIoFeature::bt_DIQ_Click(int index)
{
    runLogged(kPointClickLabel, [&] {
        if (index < 0 || index >= ClockIoPanel::kPointCount) return;
        if (!m_panel->bt_DIQ[std::size_t(index)]->isEnabled()) return;
        const int state = toggledStateIndex(pointLayoutGroup(), index);
        quint8 &point = pointStates.at(std::size_t(state));
        point = point ? 0 : 1;
        m_switchedPoints.at(std::size_t(state)) = qint8(point);
        // The read goes in first so that it runs after the write.
        CommandStack &stack = session().dispatcher().stack();
        switch (window().chosenLink()) {
        case Link::Serial:
            pushAll(stack, {kSerialIdleCommand, serial_cmd::WriteDo});
            break;
        case Link::Network:
            pushAll(stack, {kNetworkIdleCommand, network_cmd::WriteDo});
            break;
        case Link::None:
            break;
        }
    });
}

void ClockIoFeature::RepaintPointButtons()
{
    const std::array<int, kPointStateCount> shown = buttonStatesAfterDoWrite(pointLayoutGroup());
    for (int b = 0; b < kPointStateCount; ++b)
        if (const int state = shown[std::size_t(b)]; state >= 0)
            paintPointButton(b, pointStates[std::size_t(state)]);
}

BuildOutcome ClockIoFeature::buildDoWrite(BuildContext &context)
{
    m_switchedPoints.fill(-1); // the write carries them
    if (context.link == Link::Serial)
        context.frame = doWriteFrame(pointLayoutGroup(), pointStates);
    else
        context.send.writePayload = doWritePayload(pointStates);
    return BuildOutcome::built();
}

void ClockIoFeature::Text5_Change(int index)
{
    if (index != 2 && index != 3) return;
    normaliseNumberBox(m_panel->Text5[std::size_t(index)], [](const QString &text) {
        return QString::number(integerValue(text.isEmpty() ? QStringLiteral("0") : text) % 65535);
    });
}

} // namespace kalmo
