// The clock and I/O section of the main window on both links: the clock
// buttons and their request builders, the DI/DQ point grid with its decode,
// the output switching and the repaint after a DO write, and the identity
// tags (the network decode and the write builders).
#include "app/form1.h"

#include "core/error_log.h"
#include "features/clock_io/clock_io_panel.h"
#include "features/system_info/system_info_panel.h"
#include "protocol/clock_block.h"
#include "protocol/dido_block.h"
#include "protocol/tag_block.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <exception>

namespace kalmo {

namespace {

constexpr char kReclockLabel[] = "cmdReclock_Click(Form1)";
constexpr char kWrclockLabel[] = "cmdWrclock_Click(Form1)";
constexpr char kTimeInitLabel[] = "cmdTimeInit_Click(Form1)";
constexpr char kDateChangeLabel[] = "clkDate_Change(Form1)";
constexpr char kPointClickLabel[] = "bt_DIQ_Click(Form1)";
constexpr char kSetPdtagLabel[] = "SetPdtag(Form1)";
constexpr char kStorePdTagLabel[] = "StorePDTag(Form1)";

void pushAll(CommandStack &stack, std::initializer_list<qint16> codes)
{
    for (const qint16 code : codes)
        stack.push(code);
}

} // namespace

// ---- Clock -------------------------------------------------------------------

void Form1::cmdReclock_Click()
{
    runLogged(kReclockLabel, [&] {
        switch (selectedLink()) {
        case Link::Serial:
            pushAll(dispatcher().stack(), {serial_cmd::ReadClock});
            break;
        case Link::Network: // week day, then the clock
            pushAll(dispatcher().stack(), {network_cmd::ReadClock, network_cmd::ReadWeekday});
            break;
        case Link::None:
            break;
        }
    });
}

void Form1::cmdWrclock_Click()
{
    runLogged(kWrclockLabel, [&] {
        switch (selectedLink()) {
        case Link::Serial: // write, then read back
            pushAll(dispatcher().stack(), {serial_cmd::ReadClock, serial_cmd::WriteClock});
            break;
        case Link::Network: // week day and clock written, then both read back
            pushAll(dispatcher().stack(), {network_cmd::ReadClock, network_cmd::ReadWeekday,
                                           network_cmd::WriteClock, network_cmd::WriteWeekday});
            break;
        case Link::None:
            break;
        }
    });
}

void Form1::cmdTimeInit_Click()
{
    runLogged(kTimeInitLabel, [&] {
        const QDateTime now = currentTime();
        clockIo->clkDate->setDate(now.date());
        clockIo->clkTime->setTime(now.time());
        clockIo->Combo_WeekDay->setCurrentIndex(weekDayIndexFromDate(now.date()));
    });
}

void Form1::clkDate_Change()
{
    runLogged(kDateChangeLabel, [&] {
        clockIo->Combo_WeekDay->setCurrentIndex(weekDayIndexFromDate(clockIo->clkDate->date()));
    });
}

BuildOutcome Form1::buildClockWrite(BuildContext &context)
{
    const ClockValue clock = clockFromPickers(clockIo->clkDate->date(), clockIo->clkTime->time(),
                                              clockIo->Combo_WeekDay->currentIndex());
    if (context.link == Link::Serial)
        context.frame = writeClockFrame(clock); // WriteClock_S
    else
        context.send.writePayload = clockPayload(clock); // WriteClock_E
    return BuildOutcome::built();
}

BuildOutcome Form1::buildWeekdayWrite(BuildContext &context)
{
    const ClockValue clock = clockFromPickers(clockIo->clkDate->date(), clockIo->clkTime->time(),
                                              clockIo->Combo_WeekDay->currentIndex());
    context.send.writePayload = weekDayPayload(clock.weekDay.value_or(0));
    return BuildOutcome::built();
}

// ---- DI/DQ points ------------------------------------------------------------

DidoGroup Form1::pointLayoutGroup() const
{
    // The network block numbers every model's points as group C does: the
    // outputs of a group A model after Q15 are states 16..19 there.
    const DidoGroup group = didoGroup(sysParam.DeviceType);
    if (selectedLink() == Link::Network && group == DidoGroup::A) return DidoGroup::C;
    return group;
}

void Form1::paintPointButton(int button, int state)
{
    clockIo->paintPoint(button, state == 1);
}

void Form1::setupPointButtons(int deviceType)
{
    clockIo->setUpPoints(didoButtonSetup(deviceType));
}

void Form1::DistributeDIDO()
{
    runLogged(kDistributeDidoLabel, [&] {
        const DidoDevice device{sysParam.DeviceType, sysParam.FirmwareVersion};
        DidoReading reading;
        std::exception_ptr failure;
        try {
            if (selectedLink() == Link::Serial)
                decodeSerialDido(m_session->serialReply, device, pointStates, reading);
            else
                decodeNetworkDido(m_session->networkReply, device, pointStates, reading);
        } catch (const std::exception &) {
            failure = std::current_exception();
        }

        // What was decoded goes onto the panel, also when the reply ended early.
        if (reading.hardAddress)
            systemInfo->txtHardAddr->setText(QString::number(*reading.hardAddress));
        for (int b = 0; b < kPointStateCount; ++b)
            if (reading.buttons[std::size_t(b)] >= 0)
                paintPointButton(b, reading.buttons[std::size_t(b)]);
        for (std::size_t i = 0; i < reading.highSpeed.size(); ++i)
            if (const auto value = reading.highSpeed[i])
                clockIo->Text5[std::size_t(kHighSpeedValueBoxes[i])]->setText(
                    QString::number(*value));
        switch (reading.battery.action) {
        case BatteryUpdate::Action::Leave:
            break;
        case BatteryUpdate::Action::Clear:
            systemInfo->txtCellPressure->clear();
            break;
        case BatteryUpdate::Action::Show:
            systemInfo->txtCellPressure->setText(reading.battery.text);
            break;
        }
        if (failure) std::rethrow_exception(failure);
    });
}

void Form1::bt_DIQ_Click(int index)
{
    runLogged(kPointClickLabel, [&] {
        if (index < 0 || index >= ClockIoPanel::kPointCount) return;
        if (!clockIo->bt_DIQ[std::size_t(index)]->isEnabled()) return;
        const int state = toggledStateIndex(pointLayoutGroup(), index);
        quint8 &point = pointStates.at(std::size_t(state));
        point = point ? 0 : 1;
        // The read goes in first so that it runs after the write.
        switch (selectedLink()) {
        case Link::Serial:
            pushAll(dispatcher().stack(), {kSerialIdleCommand, serial_cmd::WriteDo});
            break;
        case Link::Network:
            pushAll(dispatcher().stack(), {kNetworkIdleCommand, network_cmd::WriteDo});
            break;
        case Link::None:
            break;
        }
    });
}

void Form1::RepaintPointButtons()
{
    const std::array<int, kPointStateCount> shown = buttonStatesAfterDoWrite(pointLayoutGroup());
    for (int b = 0; b < kPointStateCount; ++b)
        if (const int state = shown[std::size_t(b)]; state >= 0)
            paintPointButton(b, pointStates[std::size_t(state)]);
}

BuildOutcome Form1::buildDoWrite(BuildContext &context)
{
    if (context.link == Link::Serial)
        context.frame = doWriteFrame(pointLayoutGroup(), pointStates);
    else
        context.send.writePayload = doWritePayload(pointStates);
    return BuildOutcome::built();
}

// ---- Identity tags -------------------------------------------------------------

void Form1::DistributePDTagandDeviceID()
{
    runLogged(kDistributeTagsLabel, [&] {
        // The tag block is the reply's data: device ID at 12..43, PD tag at 44..75.
        TagReading tags;
        std::exception_ptr failure;
        try {
            decodeNetworkTagReply(m_session->networkReply, tags);
        } catch (const std::exception &) {
            failure = std::current_exception();
        }
        if (tags.hardwareNumber) systemInfo->txthardwarenum->setText(*tags.hardwareNumber);
        if (tags.pdTag) systemInfo->txtPD_Tag->setText(*tags.pdTag);
        if (failure) std::rethrow_exception(failure);
    });
}

BuildOutcome Form1::buildTagWrite(BuildContext &context)
{
    const bool serial = context.link == Link::Serial;
    const QString deviceId = systemInfo->txtDevID->text();
    const QString pdTag = systemInfo->txtPD_Tag->text();
    try {
        if (serial)
            context.frame = setPdtagFrame(deviceId, pdTag); // SetPdtag
        else
            context.send.writePayload = storePdTagPayload(deviceId, pdTag); // StorePDTag
    } catch (const FieldConversionError &e) {
        return BuildOutcome::formatError(
            e.label(), QString::fromUtf8(serial ? kSetPdtagLabel : kStorePdTagLabel),
            e.description());
    }
    return BuildOutcome::built();
}

// A clock read from the device onto the pickers. A date or time that does not
// exist is refused as the pickers refuse it: the handler ends there and the
// pickers keep what they showed. Week day 1 is Monday, the first entry; a
// value outside 1..7 leaves the list without a selection.
void Form1::showClockOnPickers(const ClockValue &clock, bool withWeekday)
{
    const std::optional<QDate> date = clock.date();
    if (!date || *date < clockIo->clkDate->minimumDate() || *date > clockIo->clkDate->maximumDate())
        throw ProcedureError(QStringLiteral("无效属性值"));
    clockIo->clkDate->setDate(*date);
    const std::optional<QTime> time = clock.time();
    if (!time) throw ProcedureError(QStringLiteral("无效属性值"));
    clockIo->clkTime->setTime(*time);
    if (withWeekday) clockIo->Combo_WeekDay->setCurrentIndex(clock.weekDayIndex());
}

} // namespace kalmo
