#include "protocol/command_tables.h"

#include "protocol/command_codes.h"

#include <algorithm>

namespace kalmo {

namespace {

using B = Builder;
namespace SC = serial_cmd;
namespace NC = network_cmd;
using R = Request;
using namespace note;

// Slave read: byte 3 is replaced by the item count (the slave index).
constexpr char kSlaveReadPayload[] = {0x00, 0x01};
// Restore selected: the selection byte follows at offset 5.
constexpr char kRestoreSelectedPayload[] = {'\x55', '\xAA'};
constexpr QByteArrayView kSlaveRead(kSlaveReadPayload, 2);
constexpr QByteArrayView kRestoreSelected(kRestoreSelectedPayload, 2);
constexpr qint16 K = kSetByBuilder;

// clang-format off
constexpr SerialCommand kSerialCommands[] = {
//  code                        status                                      status2                     fn   N    R    builder                   payload           wait   T1   rx    notes
    {SC::ReadSystemInfo,         u"读系统参数",                                {},                          1,   7,   111, B::GetSysInfo,           {},               5000,  0,   0,    None},
    {SC::WriteSystemParameters,  u"置系统参数",                                {},                          4,   91,  91,  B::SetSysInfo,           {},               5000,  0,   0,    None},
    {SC::ReadDido,               u"读DI/DO状态",                               {},                          13,  7,   K,   B::DiDoRead,             {},               1000,  0,   0,    None},
    {SC::WriteDo,                u"正在写DI/DO状态",                           {},                          14,  13,  13,  B::DiDoWrite,            {},               2000,  0,   0,    None},
    {SC::ReadTags,               u"读DeviceID、PDTag",                         {},                          21,  7,   71,  B::GetPdtag,             {},               2000,  0,   0,    None},
    {SC::WriteTags,              u"正在写DeviceID、PDTag",                     {},                          22,  71,  71,  B::TagWrite,             {},               2000,  0,   0,    None},
    {SC::ReadClock,              u"正在读实时时钟",                            {},                          19,  7,   15,  B::ClockRead,            {},               2000,  0,   0,    None},
    {SC::WriteClock,             u"正在写实时时钟",                            {},                          20,  15,  15,  B::ClockWrite,           {},               2000,  0,   0,    None},
    {SC::ReadSlave,              u"正在读从设备信息",                          {},                          32,  9,   19,  B::SlaveRead,            kSlaveRead,       2000,  0,   0,    ItemCountPayload},
    {SC::WriteSlave,             u"正在写从设备信息",                          {},                          33,  19,  19,  B::SlaveWrite,           {},               1000,  0,   0,    PendingSlaveCheck},
    {SC::WriteMac,               u"正在写设备MAC地址",                         {},                          36,  13,  13,  B::MacWrite,             {},               1000,  0,   0,    None},
    {SC::ReadMac,                u"正在读设备MAC地址",                         {},                          37,  7,   13,  B::MacRead,              {},               2000,  0,   0,    None},
    {SC::RamTest,                u"正在测试扩展RAM",                           {},                          40,  7,   8,   B::RamTest,              {},               8000,  0,   8000, StartRamProgress},
    {SC::StopAndClear,           u"正在写停止下位机运行并清除下位机指令命令",  {},                          43,  7,   7,   B::StopAndClear,         {},               3000,  0,   0,    None},
    {SC::LightBoard,             u"正在写使能灯板自动检测功能",                u"正在写禁止灯板自动检测功能", 44, 8,   8,   B::LightBoard,           {},               2000,  0,   0,    TextByItemCount},
    {SC::UpgradeStart,           u"正在启动下位机刷主程序",                    {},                          45,  7,   7,   B::UpgradeStart,         {},               10000, 0,   0,    UpgradeFlag | ProgressStep | DisableUpgradeButton},
    {SC::UpgradeSize,            u"正在通知下位机主程序大小",                  {},                          46,  9,   9,   B::UpgradeSize,          {},               10000, 500, 0,    UpgradeFlag | ProgressStep},
    {SC::UpgradeBlock,           u"正在发送主程序",                            {},                          47,  519, 7,   B::UpgradeBlock,         {},               10000, 10,  0,    UpgradeFlag | ReopenFastBeforeFirstPacket | ProgressStep},
    {SC::SaveParameters,         {},                                           {},                          55,  7,   7,   B::Inline,               {},               1000,  0,   0,    None},
    {SC::RestoreParameters,      {},                                           {},                          56,  7,   7,   B::Inline,               {},               1000,  0,   0,    None},
    {SC::ReadZigbee,             u"正在读取zigbee配置参数",                    {},                          57,  7,   41,  B::Inline,               {},               1000,  0,   0,    None},
    {SC::WriteHighSpeedIo,       u"正在写入高速输入输出使能标志",              {},                          58,  13,  13,  B::HighSpeedIo,          {},               1000,  0,   0,    None},
    {SC::WriteOutputFrequency,   u"正在写入输出频率",                          {},                          59,  11,  11,  B::OutputFrequency,      {},               1000,  0,   0,    None},
    {SC::WriteZigbee,            u"正在写入zigbee配置参数",                    {},                          64,  41,  41,  B::ZigbeeWrite,          {},               1000,  0,   0,    None},
    {SC::TestZigbee,             u"正在进行zigbee通信测试",                    {},                          65,  7,   9,   B::Inline,               {},               12000, 0,   0,    None},
    {SC::ReadControl,            u"正在读取控制参数",                          {},                          75,  7,   249, B::Inline,               {},               10000, 0,   0,    None},
    {SC::WriteControl,           u"正在写入控制参数",                          {},                          76,  249, 7,   B::ControlWrite,         {},               10000, 0,   0,    None},
    {SC::ReadSm,                 u"正在读取SM区数据",                          {},                          73,  7,   519, B::Inline,               {},               10000, 0,   0,    None},
    {SC::WriteSm,                u"正在写入SM区数据",                          {},                          74,  519, 7,   B::SmWrite,              {},               10000, 0,   0,    None},
    {SC::ReadForwarding,         u"正在读取转发参数",                          {},                          68,  7,   495, B::Inline,               {},               10000, 0,   0,    None},
    {SC::WriteForwarding,        u"正在写入转发参数",                          {},                          69,  K,   7,   B::ForwardingWrite,      {},               10000, 0,   0,    None},
    {SC::ReadRedundancy,         u"正在读取冗余信息",                          {},                          70,  7,   215, B::Inline,               {},               10000, 0,   0,    None},
    {SC::WriteRedundancy,        u"正在写入冗余信息",                          {},                          71,  215, 7,   B::RedundancyWrite,      {},               10000, 0,   0,    None},
    {SC::ReadGateway,            u"正在读取网关信息",                          {},                          77,  7,   15,  B::Inline,               {},               3000,  0,   0,    None},
    {SC::WriteGateway,           u"正在写入网关信息",                          {},                          78,  15,  7,   B::GatewayWrite,         {},               3000,  0,   0,    None},
    {SC::ReadSlaveForwarding,    u"正在读取从设备转发信息",                    {},                          66,  7,   71,  B::Inline,               {},               3000,  0,   0,    None},
    {SC::WriteSlaveForwarding,   u"正在写入从设备转发信息",                    {},                          67,  71,  7,   B::SlaveForwardingWrite, {},               3000,  0,   0,    None},
    {SC::RestoreDefaults,        u"正在恢复系统默认参数",                      {},                          52,  7,   7,   B::Inline,               {},               12000, 0,   0,    None},
    {SC::RestoreSelected,        u"正在恢复选中参数",                          {},                          56,  10,  7,   B::RestoreSelected,      kRestoreSelected, 12000, 0,   0,    None},
    {SC::ReadProfibus,           u"正在读Profibus状态",                        {},                          79,  7,   8,   B::Inline,               {},               1000,  0,   0,    None},
    {SC::WriteProfibus,          u"正在写Profibus状态",                        {},                          80,  8,   8,   B::ProfibusWrite,        {},               3000,  0,   0,    None},
    {SC::CanDetect,              u"正在进行CAN配置检测",                       {},                          88,  7,   8,   B::CanDetect,            {},               3000,  0,   0,    None},
    {SC::ReadCan,                u"正在读取CAN参数配置",                       {},                          89,  7,   9,   B::CanRead,              {},               3000,  0,   0,    None},
    {SC::WriteCan,               u"正在写入CAN参数配置",                       {},                          87,  9,   9,   B::CanWrite,             {},               3000,  0,   0,    None},
};

constexpr qint32 C = kItemCountByCaller;
constexpr qint32 S = kItemCountByBuilder;
constexpr int GO = kGoOn;

constexpr NetworkCommand kNetworkCommands[] = {
//  code                        status                                   status2                        block  type count request    builder                   wait   T1  rx     notes
    {NC::ReadDump,               {},                                      {},                            10003, 0,   0,   R::Read,  B::Inline,               10000, 0,  0,     None},
    {NC::ReadSystemParameters,   u"读系统参数",                           {},                            10003, 1,   0,   R::Read,  B::Inline,               GO,    0,  0,     None},
    {NC::WriteSystemParameters,  u"置系统参数",                           u"正在写入系统参数，请等待",   10003, 4,   0,   R::Write, B::SetSysInfo,           10000, 0,  0,     SecondText},
    {NC::ReadDido,               {},                                      {},                            10003, 9,   0,   R::Read,  B::Inline,               GO,    0,  0,     None},
    {NC::ReadClock,              u"读实时时钟",                           {},                            10003, 5,   0,   R::Read,  B::Inline,               GO,    0,  0,     None},
    {NC::WriteDo,                u"正在写DI/DO状态",                      {},                            10003, 14,  0,   R::Write, B::DiDoWrite,            2000,  0,  0,     None},
    {NC::WriteClock,             u"写实时时钟",                           {},                            10003, 9,   0,   R::Write, B::ClockWrite,           GO,    0,  0,     None},
    {NC::ReadSlave,              {},                                      {},                            10003, 14,  C,   R::Read,  B::Inline,               GO,    0,  0,     None},
    {NC::WriteSlave,             u"正在写从设备信息，请等待",             {},                            10003, 17,  0,   R::Write, B::SlaveWrite,           1000,  0,  0,     PendingSlaveCheck},
    {NC::ReadMac,                u"正在读MAC地址",                        {},                            10003, 16,  0,   R::Read,  B::Inline,               GO,    0,  0,     None},
    {NC::WriteMac,               u"正在写MAC地址",                        {},                            10003, 19,  0,   R::Write, B::MacWrite,             2000,  0,  0,     None},
    {NC::RamTest,                u"正在测试扩展RAM",                      {},                            10003, 18,  0,   R::Read,  B::Inline,               8000,  0,  8000,  StartRamProgress},
    {NC::StopAndClear,           u"正在写停止下位机指令运行并清除指令命令", {},                          10003, 22,  0,   R::Write, B::StopAndClear,         3000,  0,  0,     None},
    {NC::LightBoard,             u"正在写使能灯板自动检测功能",           u"正在写禁止灯板自动检测功能", 10003, 23,  C,   R::Write, B::LightBoard,           2000,  0,  0,     TextByItemCount},
    {NC::UpgradeStart,           u"正在启动下位机刷主程序",               {},                            10003, 0,   S,   R::Write, B::UpgradeStart,         9000,  0,  10000, UpgradeFlag | ProgressStep | DisableUpgradeButton},
    {NC::UpgradeSize,            u"正在通知下位机主程序大小",             {},                            10003, 1,   S,   R::Write, B::UpgradeSize,          3000,  10, 0,     UpgradeFlag | ProgressStep},
    {NC::UpgradeBlock,           u"正在发送主程序",                       {},                            10003, 2,   S,   R::Write, B::UpgradeBlock,         5000,  10, 0,     UpgradeFlag | ProgressStep},
    {NC::ReadWeekday,            u"正在读实时时钟星期",                   {},                            107,   0,   0,   R::Read,  B::Inline,               3000,  0,  0,     None},
    {NC::WriteWeekday,           u"正在写实时时钟星期",                   {},                            107,   59,  0,   R::Write, B::WeekdayWrite,         5000,  0,  0,     None},
    {NC::RestoreSelected,        u"正在恢复选中参数",                     {},                            10003, 28,  S,   R::Write, B::RestoreSelected,      3000,  0,  0,     None},
    {NC::ReadControl,            u"正在读取控制参数",                     {},                            11008, 0,   0,   R::Read,  B::Inline,               10000, 0,  0,     None},
    {NC::WriteControl,           u"正在写入控制参数",                     {},                            11008, 0,   0,   R::Write, B::ControlWrite,         10000, 0,  0,     None},
    {NC::ReadSm,                 u"正在读取SM区信息",                     {},                            107,   0,   256, R::Read,  B::Inline,               10000, 0,  0,     None},
    {NC::WriteSm,                u"正在写入SM区信息",                     {},                            107,   257, 0,   R::Write, B::SmWrite,              10000, 0,  0,     None},
    {NC::ReadForwarding,         u"正在读取转发信息",                     {},                            14000, 4,   0,   R::Read,  B::Inline,               10000, 0,  0,     None},
    {NC::WriteForwarding,        u"正在写入转发信息",                     {},                            14000, 6,   0,   R::Write, B::ForwardingWrite,      10000, 0,  0,     None},
    {NC::ReadRedundancy,         u"正在读取冗余信息",                     {},                            15000, 0,   0,   R::Read,  B::Inline,               10000, 0,  0,     None},
    {NC::WriteRedundancy,        u"正在写入冗余信息",                     {},                            15000, 0,   0,   R::Write, B::RedundancyWrite,      10000, 0,  0,     None},
    {NC::ReadGateway,            u"正在读取网关信息",                     {},                            14000, 5,   0,   R::Read,  B::Inline,               3000,  0,  0,     None},
    {NC::WriteGateway,           u"正在写入网关信息",                     {},                            14000, 7,   0,   R::Write, B::GatewayWrite,         3000,  0,  0,     None},
    {NC::ReadSlaveForwarding,    u"正在读取从设备转发信息",               {},                            14000, 3,   0,   R::Read,  B::Inline,               3000,  0,  0,     None},
    {NC::WriteSlaveForwarding,   u"正在写入从设备转发信息",               {},                            14000, 5,   0,   R::Write, B::SlaveForwardingWrite, 3000,  0,  0,     None},
    {NC::ReadTags,               {},                                      {},                            10010, 2,   0,   R::Read,  B::Inline,               GO,    0,  0,     None},
    {NC::WriteTags,              {},                                      {},                            10010, 1,   0,   R::Write, B::TagWrite,             5000,  0,  0,     None},
    {NC::ReadZigbee,             u"读取以太网zigbee参数",                 {},                            14000, 1,   0,   R::Read,  B::Inline,               1000,  0,  0,     None},
    {NC::WriteZigbee,            u"写入以太网zigbee参数",                 {},                            14000, 1,   0,   R::Write, B::ZigbeeWrite,          1000,  0,  0,     None},
    {NC::Nothing,                {},                                      {},                            0,     0,   0,   R::None,  B::Inline,               GO,    0,  0,     NothingSent},
};
// clang-format on

template <typename Row, std::size_t N> constexpr bool codesAscending(const Row (&rows)[N])
{
    for (std::size_t i = 1; i < N; ++i)
        if (rows[i - 1].code >= rows[i].code) return false;
    return true;
}
static_assert(codesAscending(kSerialCommands), "one serial row per code, in code order");
static_assert(codesAscending(kNetworkCommands), "one network row per code, in code order");

template <typename Row> const Row *findRow(std::span<const Row> rows, qint16 code)
{
    const auto it = std::lower_bound(rows.begin(), rows.end(), code,
                                     [](const Row &row, qint16 c) { return row.code < c; });
    return it != rows.end() && it->code == code ? &*it : nullptr;
}

} // namespace

std::span<const SerialCommand> serialCommands()
{
    return kSerialCommands;
}
std::span<const NetworkCommand> networkCommands()
{
    return kNetworkCommands;
}

const SerialCommand *findSerialCommand(qint16 code)
{
    return findRow(serialCommands(), code);
}

const NetworkCommand *findNetworkCommand(qint16 code)
{
    return findRow(networkCommands(), code);
}

} // namespace kalmo
