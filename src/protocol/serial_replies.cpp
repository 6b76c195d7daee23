#include "protocol/serial_replies.h"

#include <algorithm>

namespace kalmo {

namespace {

using A = SerialReplyAction;
using T = ReplyTimers;

// clang-format off
constexpr SerialReplyRow kSerialReplies[] = {
//  fn  status                                          action                  timers
    {1,  u"取系统信息",                                  A::SystemInformation,   T::ResumeLast},
    {4,  u"设置配置信息成功",                            A::SysParamWritten,     T::ResumeLast},
    {5,  {},                                             A::SensorTypes,         T::ResumeLast},
    {6,  {},                                             A::None,                T::ResumeLast},
    {7,  {},                                             A::None,                T::ResumeLast},
    {10, {},                                             A::LongReceiveTimeout,  T::ResumeLast},
    {11, {},                                             A::LongReceiveTimeout,  T::ResumeLast},
    {13, u"读DI/DQ状态成功",                             A::DistributeDIDO,      T::ResumeFirst},
    {14, u"写DI/DO状态成功",                             A::RepaintPoints,       T::ResumeLast},
    {21, u"读PDTag、DeviceID成功",                       A::TagRead,             T::ResumeLast},
    {22, u"写PDTag、DeviceID成功",                       A::PdTagEcho,           T::ResumeLast},
    {19, u"读实时时钟成功",                              A::ClockRead,           T::ResumeLast},
    {20, u"写实时时钟成功",                              A::ClockEcho,           T::ResumeLast},
    {32, u"读从设备信息成功",                            A::SlaveInfo,           T::ResumeLast},
    {33, u"写从设备信息成功",                            A::None,                T::ResumeLast},
    {36, u"写设备MAC地址成功",                           A::None,                T::ResumeLast},
    {37, u"读设备MAC地址成功",                           A::DistributeMAC,       T::ResumeLast},
    {40, u"读测试扩展RAM结束",                           A::RamTest,             T::ResumeLast},
    {43, u"写停止下位机运行并清空下位机程序命令成功",    A::None,                T::ResumeLast},
    {44, u"灯板自动检测通信成功",                        A::ClearItemCount,      T::ResumeLast},
    {45, u"开始升级",                                    A::ClearItemCount,      T::ResumeLast},
    {46, u"下载升级包大小成功",                          A::ClearItemCount,      T::ResumeLast},
    {47, {},                                             A::UpgradeBlock,        T::ByAction},
    {55, u"保存参数成功",                                A::ClearItemCount,      T::ResumeLast},
    {56, u"恢复参数成功",                                A::ClearItemCount,      T::ResumeLast},
    {57, u"读取zigbee参数成功",                          A::Zigbee,              T::ResumeFirst},
    {64, u"写入zigbee参数成功",                          A::None,                T::ResumeLast},
    {65, {},                                             A::ZigbeeTest,          T::ResumeLast},
    {52, u"恢复默认参数成功",                            A::None,                T::ResumeLast},
    {58, u"写输入输出使能标志成功",                      A::None,                T::ResumeLast},
    {59, u"写输出频率成功",                              A::None,                T::ResumeLast},
    {66, u"读取从设备转发参数成功",                      A::SlaveForwarding,     T::ResumeLast},
    {67, u"写从设备转发参数成功",                        A::None,                T::ResumeLast},
    {68, u"读取转发参数成功",                            A::Forwarding,          T::ResumeLast},
    {69, u"写入转发参数成功",                            A::None,                T::ResumeLast},
    {70, u"读取冗余信息成功",                            A::Redundancy,          T::ResumeLast},
    {71, u"写入冗余信息成功",                            A::None,                T::ResumeLast},
    {73, u"读取SM区数据成功",                            A::SmArea,              T::ResumeLast},
    {74, u"写入SM区数据成功",                            A::None,                T::ResumeLast},
    {75, u"读取控制参数成功",                            A::ControlParameters,   T::ResumeLast},
    {76, u"写入控制参数成功",                            A::None,                T::ResumeLast},
    {77, u"读取网关信息成功",                            A::DistributeGateway,   T::ResumeLast},
    {78, u"写入网关信息成功",                            A::None,                T::ResumeLast},
    {79, u"读Profibus成功",                              A::Profibus,            T::ResumeFirst},
    {80, u"写Profibus成功",                              A::None,                T::ResumeLast},
    {87, u"写CAN配置成功",                               A::None,                T::ResumeLast},
    {89, u"读CAN配置成功",                               A::CanSettings,         T::ResumeLast},
    {88, u"检测CAN配置成功",                             A::CanCheck,            T::ResumeLast},
    {kAnyOtherFunction, u"无此功能号",                   A::None,                T::ResumeLast},
};
// clang-format on

constexpr bool oneRowPerFunction()
{
    const std::size_t n = std::size(kSerialReplies);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            if (kSerialReplies[i].functionNumber == kSerialReplies[j].functionNumber) return false;
    return kSerialReplies[n - 1].functionNumber == kAnyOtherFunction;
}
static_assert(oneRowPerFunction(), "one row per function number, the catch-all last");

} // namespace

const SerialReplyRow &findSerialReply(int functionNumber)
{
    const auto rows = serialReplies();
    const auto it = std::find_if(rows.begin(), rows.end() - 1, [&](const SerialReplyRow &row) {
        return row.functionNumber == functionNumber;
    });
    return *it; // the catch-all when nothing matched
}

std::span<const SerialReplyRow> serialReplies()
{
    return kSerialReplies;
}

} // namespace kalmo
