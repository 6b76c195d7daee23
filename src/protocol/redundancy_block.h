#pragma once
// The redundancy block, 208 bytes: whether redundancy runs, its type, this
// device's role and fault-tolerance level, the two masks of backed-up areas
// (a set bit means the area is not backed up), and how each of 16 slave
// devices is handled. Bytes no control shows are kept, so that a write gives
// them back as they were read.
#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <array>
#include <optional>

namespace kalmo {

inline constexpr qsizetype kRedundancyLength = 208;
inline constexpr int kRedundancySlaves = 16;
inline constexpr int kAreaMaskABits = 23;
inline constexpr int kAreaMaskBBits = 15;

struct RedundancySlave
{
    quint8 flags =
        0; // bit 0 start, 1 active serial, 2 active wireless, 3 backup serial, 4 backup wireless
    quint8 ports = 0; // bit 0 active serial on COM1, bit 4 backup serial on COM1
    qint16 maxErrors = 0;
    qint16 switchTime = 0;
    qint16 address = 0;
    std::array<quint8, 4> reserved{};

    // The slave's five lists as indices: start "不使能"/"使能", active serial
    // "不使能"/"COM0"/"COM1", active wireless, backup serial, backup wireless.
    std::array<int, 5> choices() const;
    // The inverse of choices(); bits no list decides are kept.
    void setChoices(const std::array<int, 5> &choices);

    bool operator==(const RedundancySlave &) const = default;
};

struct RedundancyRecord
{
    quint8 started = 0; // 0 or 1
    quint8 type = 0;    // redundancyTypeNames()
    quint8 role = 0;    // redundancyRoleNames()
    quint8 level = 0;   // 0..3
    quint32 maskA = 0;  // bits 0..22: SMW and VW areas
    quint32 maskB = 0;  // bits 0..14: the other areas
    std::array<quint8, 4> reserved{};
    std::array<RedundancySlave, kRedundancySlaves> slaves{};

    bool operator==(const RedundancyRecord &) const = default;
};

const QStringList &redundancyTypeNames(); // "未定义", "串口冗余系统", "以太网冗余系统"
const QStringList &redundancyRoleNames();  // "未定义", "活动设备", "备份设备"
const QStringList &redundancyLevelNames(); // "0" … "3"
// The captions of the mask bits, bit 0 first.
QStringList areaMaskANames();        // "SMW0~255", "SMW256~511", "VW0~511" … "VW10240~10751"
const QStringList &areaMaskBNames(); // "Q区 L区" … "PAQ区"

QByteArray encodeRedundancy(const RedundancyRecord &record);
// The whole block checked first: a short block or a type, role or level
// outside its list gives nothing and names the field in `badField`.
std::optional<RedundancyRecord> decodeRedundancy(QByteArrayView data, QString *badField = nullptr);

} // namespace kalmo
