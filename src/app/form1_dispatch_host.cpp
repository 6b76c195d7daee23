// What the dispatcher asks of the main window: the link choice, the status
// box, the request builders of the panel sections, the serial port, the
// progress bar and the upgrade controls.
#include "app/form1.h"

#include "features/system_info/system_info_panel.h"
#include "transport/serial_link.h"
#include "protocol/dido_block.h"
#include "features/maintenance/maintenance_panel.h"
#include "core/error_log.h"
#include "features/upgrade/upgrade_panel.h"

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

namespace kalmo {

namespace {

constexpr char kSetSysInfoLabel[] = "SetSysInfo(Form1)";

// A box of the RS485_2 frame read as a number 0..max. A box that does not
// hold one gives the format error that names the box's label.
struct NumericBox
{
    const QLineEdit *box;
    QString label;
    qint64 max;
};

std::optional<BuildOutcome> readBox(const NumericBox &field, qint64 &value)
{
    const std::optional<qint64> number = panelInteger(field.box->text());
    if (!number)
        return BuildOutcome::formatError(field.label, QString::fromUtf8(kSetSysInfoLabel),
                                         typeMismatchText());
    if (*number < 0 || *number > field.max)
        return BuildOutcome::formatError(field.label, QString::fromUtf8(kSetSysInfoLabel),
                                         overflowText());
    value = *number;
    return std::nullopt;
}

} // namespace

Link Form1::selectedLink() const
{
    if (optComm[0]->isChecked()) return Link::Serial;
    if (optComm[1]->isChecked()) return Link::Network;
    return Link::None;
}

void Form1::setStatusText(const QString &text)
{
    Text2->setText(text);
}

BuildOutcome Form1::build(Builder builder, BuildContext &context)
{
    const bool serial = context.link == Link::Serial;
    switch (builder) {
    case Builder::SetSysInfo:
        return buildSetSysInfo(context);
    case Builder::ProfibusWrite:
        if (!serial) break;
        return buildProfibusWrite(context);
    case Builder::DiDoRead:
        if (!serial) break;
        context.expectedReplyLength = serialDidoReplyLength(
            DidoDevice{sysParam.DeviceType, sysParam.FirmwareVersion}, m_expectedReplyLength);
        return BuildOutcome::built();
    // Bare serial reads: the row has made the whole request.
    case Builder::GetSysInfo: // GetSysInfo
    case Builder::GetPdtag:   // GetPdtag
    case Builder::ClockRead:  // ReadClock_S
    case Builder::MacRead:
    case Builder::RamTest:
        if (!serial) break;
        return BuildOutcome::built();
    // Clock, DI/DO, tags and MAC address (form1_clock_io.cpp, form1_system_info.cpp)
    case Builder::ClockWrite: // WriteClock_S, WriteClock_E
        return buildClockWrite(context);
    case Builder::WeekdayWrite:
        if (serial) break;
        return buildWeekdayWrite(context);
    case Builder::DiDoWrite:
        return buildDoWrite(context);
    case Builder::TagWrite: // SetPdtag, StorePDTag
        return buildTagWrite(context);
    case Builder::MacWrite:
        return buildMacWrite(context);
    default:
        // The builders of the sections still to come (gateway, Zigbee,
        // slaves, the dialogs, upgrade, CAN, high-speed I/O, output
        // frequencies, restore-selected, light board, stop-and-clear).
        break;
    }
    return BuildOutcome::notAvailable();
}

BuildOutcome Form1::buildSetSysInfo(BuildContext &context)
{
    qint64 maxErrors = 0;
    qint64 interval = 0;
    qint64 wait = 0;
    const NumericBox boxes[] = {
        {systemInfo->Text_ErrorTimeComm2, QStringLiteral("最大错误数"), 0xFF},
        {systemInfo->Text_InterTimeComm2, QStringLiteral("通信间隔ms"), 0xFFFF},
        {systemInfo->Text_WaitTimeComm2, QStringLiteral("等待时间ms"), 0xFFFF},
    };
    qint64 *values[] = {&maxErrors, &interval, &wait};
    for (int i = 0; i < 3; ++i)
        if (auto error = readBox(boxes[i], *values[i])) return *error;

    const Rs485_2Settings rs485_2{quint8(maxErrors), quint16(interval), quint16(wait)};
    if (context.link == Link::Serial)
        context.frame = setSysInfoFrame(sysParam, rs485_2);
    else
        context.send.writePayload = sysParamWriteImage(sysParam, rs485_2);
    return BuildOutcome::built();
}

BuildOutcome Form1::buildProfibusWrite(BuildContext &context)
{
    setByteAt(context.frame, 3, maintenance->ckProfibus->isChecked() ? 1 : 0);
    return BuildOutcome::built();
}

void Form1::sendSerialFrame(const QByteArray &frame, int expectedReplyLength)
{
    m_expectedReplyLength = expectedReplyLength;
    // The input is cleared and the threshold set before the frame goes out,
    // so a quick reply is never thrown away.
    Comm1->write(frame, expectedReplyLength);
    timMscon->start();
}

void Form1::sendDatagram(const QByteArray &datagram)
{
    wsckR_W->send(datagram);
}

void Form1::reopenSerialPort(const QString &settings)
{
    ReopenSerialPort(settings);
}

void Form1::setSerialSettings(const QString &settings)
{
    Comm1->setSettings(settings);
}

void Form1::startProgress(int steps, bool withTimer)
{
    StartProgress(steps, withTimer);
}

void Form1::stepProgress()
{
    StepProgress();
}

bool Form1::progressFull() const
{
    return progress.full();
}

void Form1::hideProgress()
{
    progress.hide();
    showProgress();
}

void Form1::setUpgradeButtonEnabled(bool enabled)
{
    upgrade->bt_Updata->setEnabled(enabled);
}

int Form1::upgradePacketIndex() const
{
    return UpgradePacketIndex;
}

void Form1::emptyUpgradePacketTable()
{
    upgradePackets = {QByteArray(), QByteArray()};
}

void Form1::resetUpgradePacketCounters()
{
    UpgradePacketCount = 0;
    UpgradePacketIndex = 0;
}

void Form1::enableSlaveDialog()
{
    if (slaveInfoForm) slaveInfoForm->setEnabled(true);
}

std::array<bool, kSlaveRows> Form1::slavePendingFlags() const
{
    // The per-slave pending flags live in the slave-device dialog, which
    // comes with the slave devices; none is pending without it.
    return {};
}

void Form1::showMessage(const QString &text)
{
    showMessageBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(), text});
}

} // namespace kalmo
