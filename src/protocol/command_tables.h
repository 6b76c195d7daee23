#pragma once
// The command codes of both links, as data: one row per code naming its status
// text, its request, the builder that fills the request's data, its wait and
// its timer moves. Adding a command is adding a row to command_tables.cpp.
#include <QByteArrayView>
#include <QStringView>
#include <QtGlobal>

#include <span>

namespace kalmo {

// The link option that is selected (optComm(0) serial, optComm(1) network).
enum class Link : quint8 {
    None,
    Serial,
    Network,
};

// The procedure of the panel or a dialog that fills a request's data.
// Inline rows are made by the dispatcher from the row alone.
enum class Builder : quint8 {
    Inline,
    GetSysInfo,      // system information read (serial 1)
    SetSysInfo,      // system parameter write (serial 4, network 4)
    DiDoRead,        // DI/DO read, reply length by model (serial 13)
    DiDoWrite,       // DO write (serial 14, network 14)
    GetPdtag,        // device ID and PD tag read (serial 15)
    TagWrite,        // device ID and PD tag write (serial 17, network 102)
    ClockRead,       // clock read (serial 18)
    ClockWrite,      // clock write (serial 19, network 17)
    WeekdayWrite,    // week day write (network 64)
    SlaveRead,       // slave information read (serial 32)
    SlaveWrite,      // slave information write (serial 33, network 20)
    MacRead,         // MAC address read (serial 37)
    MacWrite,        // MAC address write (serial 36, network 26)
    GatewayWrite,    // gateway and subnet mask write (76)
    RamTest,         // extended RAM test (serial 40)
    StopAndClear,    // stop the controller and clear its program (serial 43, network 32)
    LightBoard,      // light-board self-test on/off (serial 44, network 33)
    UpgradeStart,    // firmware upgrade start (serial 45, network 34)
    UpgradeSize,     // firmware package size (serial 46, network 35)
    UpgradeBlock,    // one firmware packet (serial 47, network 36)
    ZigbeeWrite,     // Zigbee parameter write (serial 64, network 177)
    HighSpeedIo,     // high-speed input/output enable flags (serial 58)
    OutputFrequency, // two output frequencies (serial 59)
    RestoreSelected, // selection byte of the parameter groups to restore (serial 81, network 65)
    ProfibusWrite,   // Profibus on/off (serial 83)
    ControlWrite,    // control-parameter dialog (67)
    SmWrite,         // SM retained-area dialog (69)
    ForwardingWrite, // forwarding dialog (71)
    RedundancyWrite, // redundancy dialog (74)
    SlaveForwardingWrite, // slave-forwarding dialog (78)
    CanDetect,            // CAN configuration check (serial 84)
    CanRead,              // CAN settings read (serial 85)
    CanWrite,             // CAN settings write (serial 86)
};

// What a row does besides sending and waiting.
namespace note {
enum : quint32 {
    None = 0,
    UpgradeFlag = 1u << 0,                 // upgrade flag = 1
    StartRamProgress = 1u << 1,            // progress with 9 steps and its timer
    ProgressStep = 1u << 2,                // one progress step
    DisableUpgradeButton = 1u << 3,        // bt_Updata disabled
    ReopenFastBeforeFirstPacket = 1u << 5, // "115200,N,8,1" before packet 0
    PendingSlaveCheck = 1u << 6,           // slave dialog enabled; kept while a slave is pending
    ItemCountPayload = 1u << 7,            // payload byte 3 = item count, count + 1 after sending
    TextByItemCount = 1u << 8,             // status for item count 1, status2 otherwise
    SecondText = 1u << 9,                  // status2 once the request is out
    NothingSent = 1u << 10,                // popped with "无此功能号"
};
} // namespace note

// Serial N/R column "builder" / "by model": the builder sets the length.
inline constexpr qint16 kSetByBuilder = -1;
// Network item count left for the caller or the builder to set.
inline constexpr qint32 kItemCountByCaller = -1;
inline constexpr qint32 kItemCountByBuilder = -2;
// Network "go on": no wait.
inline constexpr int kGoOn = -1;
// Progress steps of the extended RAM test.
inline constexpr int kRamTestProgressSteps = 9;

struct SerialCommand
{
    qint16 code;
    QStringView status;  // empty: the row writes no text
    QStringView status2; // see note::TextByItemCount
    quint8 functionNumber;
    qint16 requestLength; // N, or kSetByBuilder
    qint16 replyLength;   // R, or kSetByBuilder
    Builder builder;
    QByteArrayView payload; // fixed bytes from offset 3, before the builder runs
    int waitMs;             // Timer2 interval
    int timer1IntervalMs;   // 0: Timer1 keeps its interval
    int receiveTimeoutMs;   // 0: timMscon as the function number decides
    quint32 notes;
};

enum class Request : quint8 {
    None,
    Read,
    Write,
};

struct NetworkCommand
{
    qint16 code;
    QStringView status;
    QStringView status2; // see note::TextByItemCount and note::SecondText
    qint32 blockAddress;
    qint32 blockType;
    qint32 itemCount; // a value, kItemCountByCaller or kItemCountByBuilder
    Request request;
    Builder builder;
    int waitMs; // Timer2 interval, or kGoOn
    int timer1IntervalMs;
    int receiveTimeoutMs;
    quint32 notes;
};

// The row of a code, or nullptr for a code the link has no row for.
const SerialCommand *findSerialCommand(qint16 code);
const NetworkCommand *findNetworkCommand(qint16 code);

// The whole tables, in code order.
std::span<const SerialCommand> serialCommands();
std::span<const NetworkCommand> networkCommands();

} // namespace kalmo
