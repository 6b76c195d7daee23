// The network receive event: every datagram on the read/write service socket
// is counted, checked by its status bits and sequence number, and routed by
// the request still outstanding through the network read and write reply
// tables; the blocks the handler decodes itself (system parameters, clock,
// week day, tags, Zigbee, the whole-area dump) go onto the panel here.
#include "app/form1.h"

#include "protocol/device_catalogue.h"
#include "features/system_info/system_info_panel.h"
#include "protocol/network_reply.h"
#include "protocol/clock_block.h"
#include "features/clock_io/clock_io_panel.h"
#include "features/maintenance/maintenance_panel.h"
#include "features/network_identity/network_identity_panel.h"
#include "protocol/tag_block.h"
#include "core/error_log.h"
#include "features/upgrade/upgrade_panel.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <exception>

namespace kalmo {

namespace {

} // namespace

void Form1::wsckR_W_DataArrival(const QByteArray &datagram)
{
    runLogged(kServiceDataArrivalLabel, [&] { receiveNetwork(datagram); });
}

void Form1::receiveNetwork(const QByteArray &datagram)
{
    // A datagram of no bytes leaves no buffer to take it.
    if (datagram.isEmpty()) throw ProcedureError(subscriptOutOfRangeText());
    networkReply = datagram;
    networkReplyCounter = nextCount(networkReplyCounter);
    Text4->setText(QString::number(networkReplyCounter));
    timMscon->stop();

    const SendState &send = m_dispatcher->sendState();
    const NetworkReplyVerdict verdict =
        classifyNetworkReply(networkReply, send.readSequence, send.writeSequence);
    const NetworkReplyRow *row = nullptr;
    switch (verdict.kind) {
    case NetworkReplyKind::ReadError:
    case NetworkReplyKind::WriteError:
        // The command counts as answered: the queue goes on.
        Text2->setText(verdict.statusText());
        resumeDispatcher();
        return;
    case NetworkReplyKind::ReadReply:
        row = findNetworkReadReply(send.blockAddress, send.blockType, send.itemCount);
        break;
    case NetworkReplyKind::WriteReply:
        row = findNetworkWriteReply(send.blockAddress, send.blockType, send.itemCount);
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

void Form1::routeNetworkReply(const NetworkReplyRow &row)
{
    if (row.timers == NetworkReplyTimers::ResumeFirst) resumeDispatcher();
    // A tag read that goes into the write payload writes no text.
    const bool capturing = row.action == NetworkReplyAction::Tags && tagCaptureFlag != 0;
    if (!row.status.isEmpty() && !capturing) Text2->setText(row.status.toString());
    runNetworkReplyAction(row);
    if (row.timers == NetworkReplyTimers::ResumeLast) resumeDispatcher();
}

void Form1::runNetworkReplyAction(const NetworkReplyRow &row)
{
    using A = NetworkReplyAction;
    switch (row.action) {
    case A::None:
        break;
    case A::Dump:
        appendDump();
        break;
    case A::SysParam:
        DistributeSysParam();
        break;
    case A::Clock:
        showNetworkClock();
        break;
    case A::DistributeDIDO:
        DistributeDIDO();
        break;
    case A::SlaveInfo:
        DistributeSlaveInfo();
        break;
    case A::DistributeMAC:
        DistributeMAC();
        break;
    case A::RamTest:
        DistributeRAMTest();
        timMscon->setInterval(kReceiveTimeoutAfterRamTestMs);
        timMscon->start();
        break;
    case A::Tags: {
        // The whole data part, 82 bytes, or nothing at all.
        byteAt(networkReply, kTagReplyDataOffset + kTagBlockLength - 1);
        const QByteArray block = networkReply.mid(kTagReplyDataOffset, kTagBlockLength);
        if (tagCaptureFlag != 0) {
            tagCaptureFlag = 0;
            m_dispatcher->sendState().writePayload = block;
        } else {
            DistributePDTagandDeviceID();
        }
        break;
    }
    case A::ControlParameters:
        OnReadCtrl();
        break;
    case A::Zigbee:
        zigbeeRecord = splitZigbeeBlock(networkReply, kNetworkZigbeeOffset);
        DistributeZigbee();
        break;
    case A::SlaveForwarding:
        OnReadSlave();
        break;
    case A::Forwarding:
        OnReadResend();
        break;
    case A::DistributeGateway:
        DistributeGateway();
        break;
    case A::Redundancy:
        OnReadRongyu();
        break;
    case A::WeekDay:
        // A week day outside 1..7 leaves the list without a selection.
        clockIo->Combo_WeekDay->setCurrentIndex(decodeNetworkWeekDayReply(networkReply));
        break;
    case A::SmArea:
        OnReadSM();
        break;
    case A::UpgradeStarted:
        // The device restarts into its loader: the dispatcher and the
        // presence check wait, Sleep_Timer resumes them.
        m_dispatcher->sendState().itemCount = 0;
        timCheckDevice->stop();
        Timer1->stop();
        Sleep_Timer->setInterval(kUpgradeRestartDelayMs);
        Sleep_Timer->start();
        break;
    case A::ClearItemCount:
        m_dispatcher->sendState().itemCount = 0;
        break;
    case A::UpgradeBlock:
        networkUpgradeBlockAcknowledged();
        break;
    case A::RepaintPoints:
        RepaintPointButtons();
        break;
    }
}

void Form1::appendDump()
{
    // Appended, so that dumps of one device follow each other in its file.
    QFile file(dumpFileName(systemInfo->txtDevID->text()));
    if (!file.open(QIODevice::Append)) throw ProcedureError(file.errorString());
    const QByteArray area = networkReply.mid(kDumpDataOffset);
    if (file.write(area) != area.size()) throw ProcedureError(file.errorString());
}

void Form1::showNetworkClock()
{
    for (QWidget *w :
         std::initializer_list<QWidget *>{clockIo->clkDate, clockIo->clkTime, clockIo->cmdWrclock,
                                          clockIo->cmdTimeInit, clockIo->cmdReclock})
        w->setEnabled(true);

    showClockOnPickers(decodeNetworkClockReply(networkReply), true);
}

void Form1::networkUpgradeBlockAcknowledged()
{
    m_dispatcher->sendState().itemCount = 0;
    if (progress.maximum <= progress.value) {
        // The last block is in.
        progress.value = 0;
        progress.hide();
        showProgress();
        upgrade->bt_Updata->setEnabled(true);
        Timer1->setInterval(kDispatchIntervalMs);
        timCheckDevice->setInterval(kCheckDeviceAfterUpgradeMs);
        timCheckDevice->start();
        showMessageBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                        kUpgradeSucceededMessage});
    }
    m_dispatcher->setUpgradeFlag(0);
}

void Form1::DistributeSysParam()
{
    runLogged(kDistributeSysParamLabel, [&] {
        showSysParamReply(Link::Network, [&](SysParamPanelItems &items) {
            decodeNetworkSysParamReply(networkReply, sysParam, items);
        });
    });
}

} // namespace kalmo
