// What the window's sections register with the session: a builder for each
// request whose data they fill, a handler for each reply they show; and what
// the session asks of the window (SessionView).
#include "app/form1.h"

#include "core/error_log.h"
#include "features/clock_io/clock_io_panel.h"
#include "features/maintenance/maintenance_panel.h"
#include "features/network_identity/network_identity_panel.h"
#include "features/system_info/system_info_panel.h"
#include "features/upgrade/upgrade_panel.h"
#include "protocol/clock_block.h"
#include "protocol/dido_block.h"
#include "protocol/frames.h"
#include "protocol/network_reply.h"
#include "protocol/tag_block.h"
#include "transport/serial_link.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <exception>

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

// ---- SessionView --------------------------------------------------------------

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

void Form1::showReplyCount(const QString &text)
{
    Text4->setText(text);
}

void Form1::showTimeoutCount(const QString &text)
{
    Text3->setText(text);
}

void Form1::showMessage(const QString &text)
{
    showMessageBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(), text});
}

void Form1::reopenSerialPort(const QString &settings)
{
    ReopenSerialPort(settings);
}

// ---- Registration ---------------------------------------------------------------

void Form1::registerWithSession()
{
    Session &s = *m_session;
    using A = SerialReplyAction;
    using N = NetworkReplyAction;
    const auto call = [this](void (Form1::*routine)()) {
        return [this, routine](const Reply &) { (this->*routine)(); };
    };
    const auto withReply = [this](void (Form1::*routine)(const Reply &)) {
        return [this, routine](const Reply &reply) { (this->*routine)(reply); };
    };

    // System information: the parameter block, its read and write.
    s.registerBuilder(Builder::SetSysInfo, [this](BuildContext &c) { return buildSetSysInfo(c); });
    s.handle(A::SystemInformation, [this](const Reply &r) { showSystemInformation(r.bytes); });
    s.handle(A::SensorTypes, [this](const Reply &r) {
        for (std::size_t i = 0; i < sysParam.SensorTypes.size(); ++i)
            sysParam.SensorTypes[i] = r.data(qsizetype(i));
    });
    s.handle(N::SysParam, call(&Form1::DistributeSysParam));
    s.handle(A::TagRead, [this](const Reply &r) { showTags(r.bytes); });
    s.handle(A::PdTagEcho, [this](const Reply &r) {
        systemInfo->txtPD_Tag->setText(decodeSerialTagWriteEcho(r.bytes));
    });
    s.handle(N::Tags, call(&Form1::DistributePDTagandDeviceID));
    s.registerBuilder(Builder::TagWrite, [this](BuildContext &c) { return buildTagWrite(c); });
    s.handle(N::Dump, call(&Form1::appendDump));

    // Clock and DI/DO points.
    s.registerBuilder(Builder::ClockWrite, [this](BuildContext &c) { return buildClockWrite(c); });
    s.registerBuilder(Builder::WeekdayWrite, Session::onlyOn(Link::Network, [this](BuildContext &c) {
                          return buildWeekdayWrite(c);
                      }));
    s.handle(A::ClockRead, [this](const Reply &r) { showClock(r.bytes, true); });
    s.handle(A::ClockEcho, [this](const Reply &r) { showClock(r.bytes, false); });
    s.handle(N::Clock, call(&Form1::showNetworkClock));
    s.handle(N::WeekDay, [this](const Reply &r) {
        // A week day outside 1..7 leaves the list without a selection.
        clockIo->Combo_WeekDay->setCurrentIndex(decodeNetworkWeekDayReply(r.bytes));
    });
    s.registerBuilder(Builder::DiDoRead, Session::onlyOn(Link::Serial, [this](BuildContext &c) {
                          c.expectedReplyLength = serialDidoReplyLength(
                              DidoDevice{sysParam.DeviceType, sysParam.FirmwareVersion},
                              m_session->expectedReplyLength());
                          return BuildOutcome::built();
                      }));
    s.registerBuilder(Builder::DiDoWrite, [this](BuildContext &c) { return buildDoWrite(c); });
    s.handle(A::DistributeDIDO, call(&Form1::DistributeDIDO));
    s.handle(N::DistributeDIDO, call(&Form1::DistributeDIDO));
    s.handle(A::RepaintPoints, call(&Form1::RepaintPointButtons));
    s.handle(N::RepaintPoints, call(&Form1::RepaintPointButtons));

    // Network identity: MAC address and gateway.
    s.registerBuilder(Builder::MacWrite, [this](BuildContext &c) { return buildMacWrite(c); });
    s.handle(A::DistributeMAC, withReply(&Form1::DistributeMAC));
    s.handle(N::DistributeMAC, withReply(&Form1::DistributeMAC));
    s.handle(A::DistributeGateway, withReply(&Form1::DistributeGateway));
    s.handle(N::DistributeGateway, withReply(&Form1::DistributeGateway));

    // Maintenance: RAM test and Profibus.
    s.handle(A::RamTest, [this](const Reply &r) {
        timMscon->setInterval(kReceiveTimeoutMs);
        timMscon->start();
        DistributeRAMTest(r);
    });
    s.handle(N::RamTest, [this](const Reply &r) {
        DistributeRAMTest(r);
        timMscon->setInterval(kReceiveTimeoutMs);
        timMscon->start();
    });
    s.registerBuilder(Builder::ProfibusWrite, Session::onlyOn(Link::Serial, [this](BuildContext &c) {
                          setByteAt(c.frame, 3, maintenance->ckProfibus->isChecked() ? 1 : 0);
                          return BuildOutcome::built();
                      }));
    s.handle(A::Profibus, [this](const Reply &r) {
        const bool on = r.data(0) != 0;
        maintenance->ckProfibus->setChecked(on);
        maintenance->ckProfibus->setText(on ? QStringLiteral("开启") : QStringLiteral("关闭"));
    });
    s.handle(A::CanSettings, [this](const Reply &r) {
        canReplyValues.canBaudIndex = r.data(0);
        canReplyValues.canMsIndex = r.data(1);
        CanSetReplied();
    });
    s.handle(A::CanCheck, [this](const Reply &r) {
        canReplyValues.checkValue = r.data(0);
        CanSetReplied();
    });

    // Zigbee.
    const auto zigbeeBlock = [this](const Reply &r) {
        zigbeeRecord = splitZigbeeBlock(r.bytes, r.profile.dataOffset);
        DistributeZigbee();
    };
    s.handle(A::Zigbee, zigbeeBlock);
    s.handle(N::Zigbee, zigbeeBlock);
    s.handle(A::ZigbeeTest, [this](const Reply &r) { Text2->setText(zigbeeTestText(r.data(0))); });

    // Firmware upgrade.
    s.upgradeButtonHook = [this](bool enabled) { upgrade->bt_Updata->setEnabled(enabled); };
    s.handle(A::UpgradeBlock, call(&Form1::upgradeBlockAcknowledged));
    s.handle(N::UpgradeBlock, call(&Form1::networkUpgradeBlockAcknowledged));

    // The parameter dialogs and the slave devices.
    s.slaveDialogHook = [this] {
        if (slaveInfoForm) slaveInfoForm->setEnabled(true);
    };
    for (const auto &[serial, network, routine] :
         {std::tuple{A::SlaveInfo, N::SlaveInfo, &Form1::DistributeSlaveInfo},
          std::tuple{A::SlaveForwarding, N::SlaveForwarding, &Form1::OnReadSlave},
          std::tuple{A::Forwarding, N::Forwarding, &Form1::OnReadResend},
          std::tuple{A::Redundancy, N::Redundancy, &Form1::OnReadRongyu},
          std::tuple{A::SmArea, N::SmArea, &Form1::OnReadSM},
          std::tuple{A::ControlParameters, N::ControlParameters, &Form1::OnReadCtrl}}) {
        s.handle(serial, call(routine));
        s.handle(network, call(routine));
    }
}

// ---- Builders ---------------------------------------------------------------------

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

// ---- Replies ------------------------------------------------------------------------

void Form1::showSystemInformation(const QByteArray &reply)
{
    showSysParamReply(Link::Serial, [&](SysParamPanelItems &items) {
        decodeSerialSysInfoReply(reply, sysParam, items);
    });
}

void Form1::DistributeSysParam()
{
    runLogged(kDistributeSysParamLabel, [&] {
        showSysParamReply(Link::Network, [&](SysParamPanelItems &items) {
            decodeNetworkSysParamReply(m_session->networkReply, sysParam, items);
        });
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

void Form1::showNetworkClock()
{
    for (QWidget *w :
         std::initializer_list<QWidget *>{clockIo->clkDate, clockIo->clkTime, clockIo->cmdWrclock,
                                          clockIo->cmdTimeInit, clockIo->cmdReclock})
        w->setEnabled(true);

    showClockOnPickers(decodeNetworkClockReply(m_session->networkReply), true);
}

void Form1::appendDump()
{
    // Appended, so that dumps of one device follow each other in its file.
    QFile file(dumpFileName(systemInfo->txtDevID->text()));
    if (!file.open(QIODevice::Append)) throw ProcedureError(file.errorString());
    const QByteArray area = m_session->networkReply.mid(kDumpDataOffset);
    if (file.write(area) != area.size()) throw ProcedureError(file.errorString());
}

void Form1::upgradeBlockAcknowledged()
{
    Session &s = *m_session;
    Timer2->stop();
    Timer1->stop();
    s.dispatcher().sendState().itemCount = 0;

    if (s.progress.maximum > s.progress.value) {
        // Blocks remain: the next one goes out now; sending it sets the
        // upgrade flag again.
        s.dispatcher().setUpgradeFlag(0);
        s.Timer1_Timer();
        return;
    }

    s.progress.value = 0;
    s.hideProgress();
    upgrade->bt_Updata->setEnabled(true);
    Timer1->setInterval(kDispatchIntervalMs);
    ReopenSerialPort(kNormalPortSettings);

    Text2->setText(kUpgradeDoneText);
    StartRun_Click();

    Timer2->stop();
    Timer1->start();
    s.dispatcher().setUpgradeFlag(0);
}

void Form1::networkUpgradeBlockAcknowledged()
{
    Session &s = *m_session;
    s.dispatcher().sendState().itemCount = 0;
    if (s.progress.maximum <= s.progress.value) {
        // The last block is in.
        s.progress.value = 0;
        s.hideProgress();
        upgrade->bt_Updata->setEnabled(true);
        Timer1->setInterval(kDispatchIntervalMs);
        timCheckDevice->setInterval(kCheckDeviceAfterUpgradeMs);
        timCheckDevice->start();
        showMessageBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                        kUpgradeSucceededMessage});
    }
    s.dispatcher().setUpgradeFlag(0);
}

} // namespace kalmo
