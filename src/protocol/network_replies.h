#pragma once
// What an accepted network reply means: it carries no block address of its
// own, so it is routed by the request still outstanding. One row per block
// address and type (block 107 reads by item count) naming its status text,
// what is done with the datagram and how the command queue goes on; one table
// for read replies and one for write replies. Adding a reply kind is adding a
// row to network_replies.cpp. No widgets, sockets or timers here.
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <span>

namespace kalmo {

// What a row does with the datagram besides writing its status text.
enum class NetworkReplyAction : quint8 {
    None,
    // Read replies
    Dump,              // 10003/0: append bytes 14.. to "<device ID>.DAT"
    SysParam,          // 10003/1: DistributeSysParam
    Clock,             // 10003/5: clock with week day into the pickers
    DistributeDIDO,    // 10003/9
    SlaveInfo,         // 10003/14: DistributeSlaveInfo
    DistributeMAC,     // 10003/16
    RamTest,           // 10003/18: DistributeRAMTest, timMscon restarted at 5000 ms
    Tags,              // 10010/2: to the panel with the row's text, or silently into the
                       // write payload while the tag capture flag is set
    ControlParameters, // 11008/0: Form_Ctrl.OnReadCtrl
    Zigbee,            // 14000/1: the Zigbee block from offset 12, then DistributeZigbee
    SlaveForwarding,   // 14000/3: Form_Resend_Slave.OnReadSlave
    Forwarding,        // 14000/4: Form_Resend.OnReadResend
    DistributeGateway, // 14000/5
    Redundancy,        // 15000/0: Form_Rongyu.OnReadRongyu
    WeekDay,           // 107, item count 0: the week day at 128..129
    SmArea,            // 107, item count 256: Form_SM.OnReadSM
    // Write replies
    UpgradeStarted, // 10003/0: presence check and dispatcher stopped, Sleep_Timer 3000 ms
    ClearItemCount, // 10003/1, 10003/23: item count := 0
    UpgradeBlock,   // 10003/2: next block, or the end of the upgrade
    RepaintPoints,  // 10003/14: the DI/DQ buttons from the point states
};

// How a row moves Timer2 (the command time-out, off) and Timer1 (the
// dispatcher, on).
enum class NetworkReplyTimers : quint8 {
    Untouched,   // the request went on without waiting, or the action decides
    ResumeFirst, // before the text and the action
    ResumeLast,  // after the text and the action; a failing action leaves the wait to Timer2
};

// What selects a row besides the block address.
enum class NetworkReplyKey : quint8 {
    Type,      // the block type
    ItemCount, // the item count (block 107 reads)
    AnyType,   // nothing: every type of the block
};

struct NetworkReplyRow
{
    qint32 blockAddress;
    NetworkReplyKey key;
    qint32 value;       // block type or item count, by key
    QStringView status; // empty: the row writes no text of its own
    NetworkReplyAction action;
    NetworkReplyTimers timers;
};

// The row for the outstanding request, first match in table order, or
// nullptr: a reply without a row changes nothing at all.
const NetworkReplyRow *findNetworkReadReply(qint32 blockAddress, qint32 blockType,
                                            qint32 itemCount);
const NetworkReplyRow *findNetworkWriteReply(qint32 blockAddress, qint32 blockType,
                                             qint32 itemCount);

// The whole tables.
std::span<const NetworkReplyRow> networkReadReplies();
std::span<const NetworkReplyRow> networkWriteReplies();

// ---- Texts and intervals the actions use -----------------------------------

// Sleep_Timer once the device has taken the upgrade start and restarts into
// its loader; timCheckDevice once the last block is in.
inline constexpr int kUpgradeRestartDelayMs = 3000;
inline constexpr int kCheckDeviceAfterUpgradeMs = 7000;

// ---- The whole-area dump ----------------------------------------------------

// The dump's file name in the working directory: the device ID with every
// character that is not a letter, a digit, "-" or "_" removed, then ".DAT".
// A device ID that leaves nothing gives kUnnamedDumpFileName, so a dump never
// goes to a hidden file nor outside the working directory.
inline const QString kUnnamedDumpFileName = QStringLiteral("UserBlock.DAT");
QString dumpFileName(const QString &deviceId);

} // namespace kalmo
