#pragma once
// What a serial reply means: one row per function number naming its status
// text, what is done with the reply and how the command queue goes on; and the
// small blocks the receive handler decodes itself (the Profibus and CAN
// bytes). Adding a reply kind is adding a row to
// serial_replies.cpp. No widgets, ports or timers here.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <span>

namespace kalmo {


// What a row does with the reply besides writing its status text.
enum class SerialReplyAction : quint8 {
    None,
    SystemInformation,  // fn 1: decode the block onto the panel, then ShowSysInfo
    SysParamWritten,    // fn 4: Timer1 and Timer2 intervals back to 300 ms
    SensorTypes,        // fn 5: bytes 3..9 are the seven sensor-type codes
    LongReceiveTimeout, // fn 10, 11: timMscon interval 5000 ms
    DistributeDIDO,     // fn 13
    RepaintPoints,      // fn 14: the DI/DQ buttons from the point states
    TagRead,            // fn 21: device ID and PD tag
    PdTagEcho,          // fn 22: the PD tag that was written
    ClockRead,          // fn 19: clock with week day
    ClockEcho,          // fn 20: clock without week day
    SlaveInfo,          // fn 32: DistributeSlaveInfo
    DistributeMAC,      // fn 37
    RamTest,            // fn 40: timMscon restarted at 5000 ms, DistributeRAMTest
    ClearItemCount,     // fn 44, 45, 46, 55, 56: item count := 0
    UpgradeBlock,       // fn 47: the next packet at once, or the end of the upgrade
    Zigbee,             // fn 57: the Zigbee block, then DistributeZigbee
    ZigbeeTest,         // fn 65: status text by the test result
    SlaveForwarding,    // fn 66: Form_Resend_Slave.OnReadSlave
    Forwarding,         // fn 68: Form_Resend.OnReadResend
    Redundancy,         // fn 70: Form_Rongyu.OnReadRongyu
    SmArea,             // fn 73: Form_SM.OnReadSM
    ControlParameters,  // fn 75: Form_Ctrl.OnReadCtrl
    DistributeGateway,  // fn 77
    Profibus,           // fn 79: ckProfibus and its caption
    CanSettings,        // fn 89: CanSet's baud and master/slave lists
    CanCheck,           // fn 88: CanSet's lamp
};

// How a row moves the timers: Timer2 (the command time-out) off and Timer1
// (the dispatcher) on.
enum class ReplyTimers : quint8 {
    ResumeFirst, // before the text and the action
    ResumeLast,  // after the text and the action; a failing action leaves the wait to Timer2
    ByAction,    // the action moves them itself (fn 47)
};

inline constexpr int kAnyOtherFunction = -1;

struct SerialReplyRow
{
    int functionNumber; // kAnyOtherFunction for the last row
    QStringView status; // empty: the row writes no text of its own
    SerialReplyAction action;
    ReplyTimers timers;
};

// The row of a function number; a number without a row gets the last row
// ("无此功能号").
const SerialReplyRow &findSerialReply(int functionNumber);
// The whole table, the catch-all row last.
std::span<const SerialReplyRow> serialReplies();

} // namespace kalmo
