#include "protocol/network_replies.h"

#include <algorithm>

namespace kalmo {

namespace {

using A = NetworkReplyAction;
using T = NetworkReplyTimers;
using K = NetworkReplyKey;

// clang-format off
constexpr NetworkReplyRow kReadReplies[] = {
//  block  key           value status                                 action                  timers
    {10003, K::Type,      0,   u"正在将数据写入文件，请等待……",       A::Dump,                T::Untouched},
    {10003, K::Type,      1,   u"读系统参数成功",                     A::SysParam,            T::Untouched},
    {10003, K::Type,      5,   u"读实时时钟成功",                     A::Clock,               T::Untouched},
    {10003, K::Type,      9,   u"读DI/DO状态成功",                    A::DistributeDIDO,      T::Untouched},
    {10003, K::Type,      14,  u"读从设备配置信息成功",               A::SlaveInfo,           T::Untouched},
    {10003, K::Type,      16,  u"读设备MAC地址成功",                  A::DistributeMAC,       T::Untouched},
    {10003, K::Type,      18,  u"测试RAM结束",                        A::RamTest,             T::ResumeLast},
    {10010, K::Type,      1,   u"写DeviceID、PDTag成功",              A::None,                T::Untouched},
    {10010, K::Type,      2,   u"读DeviceID、PDTag成功",              A::Tags,                T::Untouched},
    {11008, K::Type,      0,   u"读取控制参数成功",                   A::ControlParameters,   T::ResumeLast},
    {14000, K::Type,      1,   u"读取zigbee参数成功",                 A::Zigbee,              T::ResumeFirst},
    {14000, K::Type,      3,   u"读取从设备转发信息成功",             A::SlaveForwarding,     T::ResumeLast},
    {14000, K::Type,      4,   u"读取转发信息成功",                   A::Forwarding,          T::ResumeLast},
    {14000, K::Type,      5,   u"读取网关信息成功",                   A::DistributeGateway,   T::ResumeLast},
    {15000, K::Type,      0,   u"读取冗余信息成功",                   A::Redundancy,          T::ResumeLast},
    {107,   K::ItemCount, 0,   {},                                    A::WeekDay,             T::ResumeLast},
    {107,   K::ItemCount, 256, {},                                    A::SmArea,              T::ResumeLast},
};

constexpr NetworkReplyRow kWriteReplies[] = {
//  block  key           value status                                 action                  timers
    {107,   K::Type,      59,  {},                                    A::None,                T::ResumeLast},
    {107,   K::Type,      257, u"写SM区信息成功",                     A::None,                T::ResumeLast},
    {10003, K::Type,      0,   u"开始升级",                           A::UpgradeStarted,      T::Untouched},
    {10003, K::Type,      1,   u"下载升级包大小成功",                 A::ClearItemCount,      T::ResumeLast},
    {10003, K::Type,      2,   u"发送升级数据成功",                   A::UpgradeBlock,        T::ResumeLast},
    {10003, K::Type,      4,   u"写系统参数成功",                     A::None,                T::ResumeLast},
    {10003, K::Type,      5,   {},                                    A::None,                T::ResumeLast},
    {10003, K::Type,      6,   {},                                    A::None,                T::ResumeLast},
    {10003, K::Type,      7,   {},                                    A::None,                T::ResumeLast},
    {10003, K::Type,      8,   {},                                    A::None,                T::ResumeLast},
    {10003, K::Type,      9,   u"写实时时钟成功",                     A::None,                T::ResumeLast},
    {10003, K::Type,      10,  {},                                    A::None,                T::ResumeLast},
    {10003, K::Type,      11,  {},                                    A::None,                T::ResumeLast},
    {10003, K::Type,      14,  {},                                    A::RepaintPoints,       T::ResumeLast},
    {10003, K::Type,      15,  {},                                    A::None,                T::ResumeLast},
    {10003, K::Type,      16,  {},                                    A::None,                T::ResumeLast},
    {10003, K::Type,      17,  u"写从设备信息成功",                   A::None,                T::ResumeLast},
    {10003, K::Type,      19,  u"写MAC地址成功",                      A::None,                T::ResumeLast},
    {10003, K::Type,      22,  u"写停止下位机运行并清除下位机命令成功", A::None,              T::ResumeLast},
    {10003, K::Type,      23,  u"灯板检测通信成功",                   A::ClearItemCount,      T::ResumeLast},
    {10003, K::Type,      28,  u"恢复选中参数成功",                   A::None,                T::ResumeLast},
    // Every type of the tag block; only type 2 has a text.
    {10010, K::Type,      2,   u"写PD_Tag成功",                       A::None,                T::ResumeLast},
    {10010, K::AnyType,   0,   {},                                    A::None,                T::ResumeLast},
    {11008, K::Type,      0,   u"写入控制参数成功",                   A::None,                T::ResumeLast},
    {14000, K::Type,      1,   u"写入zigbee参数成功",                 A::None,                T::ResumeLast},
    {14000, K::Type,      5,   u"写入从设备转发信息成功",             A::None,                T::ResumeLast},
    {14000, K::Type,      6,   u"写入转发信息成功",                   A::None,                T::ResumeLast},
    {14000, K::Type,      7,   u"写入网关信息成功",                   A::None,                T::ResumeLast},
    {15000, K::Type,      0,   u"写入冗余信息成功",                   A::None,                T::ResumeLast},
};
// clang-format on

bool matches(const NetworkReplyRow &row, qint32 blockAddress, qint32 blockType, qint32 itemCount)
{
    if (row.blockAddress != blockAddress) return false;
    switch (row.key) {
    case K::Type:
        return row.value == blockType;
    case K::ItemCount:
        return row.value == itemCount;
    case K::AnyType:
        return true;
    }
    return false;
}

const NetworkReplyRow *find(std::span<const NetworkReplyRow> rows, qint32 blockAddress,
                            qint32 blockType, qint32 itemCount)
{
    const auto it = std::find_if(rows.begin(), rows.end(), [&](const NetworkReplyRow &row) {
        return matches(row, blockAddress, blockType, itemCount);
    });
    return it == rows.end() ? nullptr : &*it;
}

} // namespace

const NetworkReplyRow *findNetworkReadReply(qint32 blockAddress, qint32 blockType, qint32 itemCount)
{
    return find(kReadReplies, blockAddress, blockType, itemCount);
}

const NetworkReplyRow *findNetworkWriteReply(qint32 blockAddress, qint32 blockType,
                                             qint32 itemCount)
{
    return find(kWriteReplies, blockAddress, blockType, itemCount);
}

std::span<const NetworkReplyRow> networkReadReplies()
{
    return kReadReplies;
}

std::span<const NetworkReplyRow> networkWriteReplies()
{
    return kWriteReplies;
}

QString dumpFileName(const QString &deviceId)
{
    QString name;
    for (const QChar c : deviceId)
        if (c.isLetter() || c.isDigit() || c == u'-' || c == u'_') name.append(c);
    return name.isEmpty() ? kUnnamedDumpFileName : name + QStringLiteral(".DAT");
}

} // namespace kalmo
