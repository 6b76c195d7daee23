// The serial receive event: every reply is counted, checked and routed by its
// function number through the serial reply table; the blocks the handler
// decodes itself (system information, tags, clock, Zigbee, Profibus, CAN) go
// onto the panel here.
#include "app/form1.h"

#include "protocol/device_catalogue.h"
#include "features/system_info/system_info_panel.h"
#include "protocol/frames.h"
#include "transport/serial_link.h"
#include "protocol/clock_block.h"
#include "features/clock_io/clock_io_panel.h"
#include "features/maintenance/maintenance_panel.h"
#include "features/network_identity/network_identity_panel.h"
#include "protocol/tag_block.h"
#include "core/error_log.h"
#include "features/upgrade/upgrade_panel.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <exception>

namespace kalmo {

namespace {

} // namespace

void Form1::Comm1_OnComm()
{
    receiveSerial([this] { return Comm1->readAll(); });
}

void Form1::Comm1_Input(const QByteArray &input)
{
    receiveSerial([&input] { return input; });
}

void Form1::receiveSerial(const std::function<QByteArray()> &takeInput)
{
    runLogged(kSerialReceiveLabel, [&] {
        serialReplyCounter = nextCount(serialReplyCounter);
        Text4->setText(QString::number(serialReplyCounter));
        timMscon->stop();

        serialReply = takeInput();
        switch (verifySerialReply(serialReply).verdict) {
        case SerialReplyVerdict::DropWithChecksumError:
            // Dropped: the message stays and the command ends by its time-out.
            Text2->setText(kCrcErrorText);
            return;
        case SerialReplyVerdict::DropSilently:
            return;
        case SerialReplyVerdict::Accept:
            break;
        }
        Text2->clear();
        routeSerialReply(serialReply);
    });
}

void Form1::resumeDispatcher()
{
    Timer2->stop();
    if (!Timer1->isActive()) Timer1->start();
}

void Form1::routeSerialReply(const QByteArray &reply)
{
    const SerialReplyRow &row = findSerialReply(byteAt(reply, 2));
    if (row.timers == ReplyTimers::ResumeFirst) resumeDispatcher();
    if (!row.status.isEmpty()) Text2->setText(row.status.toString());
    runSerialReplyAction(row.action, reply);
    if (row.timers == ReplyTimers::ResumeLast) resumeDispatcher();
}

void Form1::runSerialReplyAction(SerialReplyAction action, const QByteArray &reply)
{
    using A = SerialReplyAction;
    switch (action) {
    case A::None:
        break;
    case A::SystemInformation:
        showSystemInformation(reply);
        break;
    case A::SysParamWritten:
        Timer1->setInterval(kDispatchIntervalMs);
        Timer2->setInterval(kDispatchIntervalMs);
        break;
    case A::SensorTypes:
        for (std::size_t i = 0; i < sysParam.SensorTypes.size(); ++i)
            sysParam.SensorTypes[i] = byteAt(reply, 3 + qsizetype(i));
        break;
    case A::LongReceiveTimeout:
        timMscon->setInterval(kLongSerialReceiveTimeoutMs);
        break;
    case A::DistributeDIDO:
        DistributeDIDO();
        break;
    case A::RepaintPoints:
        RepaintPointButtons();
        break;
    case A::TagRead:
        showTags(reply);
        break;
    case A::PdTagEcho:
        systemInfo->txtPD_Tag->setText(decodeSerialTagWriteEcho(reply));
        break;
    case A::ClockRead:
        showClock(reply, true);
        break;
    case A::ClockEcho:
        showClock(reply, false);
        break;
    case A::SlaveInfo:
        DistributeSlaveInfo();
        break;
    case A::DistributeMAC:
        DistributeMAC();
        break;
    case A::RamTest:
        timMscon->setInterval(kReceiveTimeout);
        timMscon->start();
        DistributeRAMTest();
        break;
    case A::ClearItemCount:
        m_dispatcher->sendState().itemCount = 0;
        break;
    case A::UpgradeBlock:
        upgradeBlockAcknowledged();
        break;
    case A::Zigbee:
        zigbeeRecord = splitZigbeeBlock(reply, kSerialZigbeeOffset);
        DistributeZigbee();
        break;
    case A::ZigbeeTest:
        Text2->setText(zigbeeTestText(byteAt(reply, 3)));
        break;
    case A::SlaveForwarding:
        OnReadSlave();
        break;
    case A::Forwarding:
        OnReadResend();
        break;
    case A::Redundancy:
        OnReadRongyu();
        break;
    case A::SmArea:
        OnReadSM();
        break;
    case A::ControlParameters:
        OnReadCtrl();
        break;
    case A::DistributeGateway:
        DistributeGateway();
        break;
    case A::Profibus: {
        const bool on = byteAt(reply, 3) != 0;
        maintenance->ckProfibus->setChecked(on);
        maintenance->ckProfibus->setText(on ? QStringLiteral("开启") : QStringLiteral("关闭"));
        break;
    }
    case A::CanSettings:
        canReplyValues.canBaudIndex = byteAt(reply, 3);
        canReplyValues.canMsIndex = byteAt(reply, 4);
        CanSetReplied();
        break;
    case A::CanCheck:
        canReplyValues.checkValue = byteAt(reply, 3);
        CanSetReplied();
        break;
    }
}

void Form1::showSystemInformation(const QByteArray &reply)
{
    showSysParamReply(Link::Serial, [&](SysParamPanelItems &items) {
        decodeSerialSysInfoReply(reply, sysParam, items);
    });
}

void Form1::showTags(const QByteArray &reply)
{
    // Each text is shown as soon as it is decoded; a reply cut short inside
    // the PD tag leaves the hardware number shown.
    TagReading tags;
    try {
        decodeSerialTagReply(reply, tags);
    } catch (const std::exception &) {
        if (tags.hardwareNumber) systemInfo->txthardwarenum->setText(*tags.hardwareNumber);
        throw;
    }
    systemInfo->txthardwarenum->setText(tags.hardwareNumber.value_or(QString()));
    systemInfo->txtPD_Tag->setText(tags.pdTag.value_or(QString()));
}

void Form1::showClock(const QByteArray &reply, bool withWeekday)
{
    if (withWeekday)
        for (QWidget *w : std::initializer_list<QWidget *>{
                 clockIo->clkDate, clockIo->clkTime, clockIo->cmdWrclock, clockIo->cmdTimeInit,
                 clockIo->cmdReclock})
            w->setEnabled(true);

    showClockOnPickers(withWeekday ? decodeSerialClockReply(reply) : decodeSerialClockEcho(reply),
                       withWeekday);
}

void Form1::upgradeBlockAcknowledged()
{
    Timer2->stop();
    Timer1->stop();
    m_dispatcher->sendState().itemCount = 0;

    if (progress.maximum > progress.value) {
        // Blocks remain: the next one goes out now; sending it sets the
        // upgrade flag again.
        m_dispatcher->setUpgradeFlag(0);
        Timer1_Timer();
        return;
    }

    progress.value = 0;
    progress.hide();
    showProgress();
    upgrade->bt_Updata->setEnabled(true);
    Timer1->setInterval(kDispatchIntervalMs);
    ReopenSerialPort(kNormalPortSettings);

    Text2->setText(kUpgradeDoneText);
    StartRun_Click();

    Timer2->stop();
    Timer1->start();
    m_dispatcher->setUpgradeFlag(0);
}

} // namespace kalmo
