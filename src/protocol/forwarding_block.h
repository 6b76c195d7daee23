#pragma once
// The forwarding table and the slave forwarding map.
//
// The table is read whole (488 bytes: the entry count, 6 reserved bytes and 20
// entries of 24) and written as far as the count goes (8 + 24·n bytes). An
// entry is a source and a destination of 12 bytes each: protocol, interface,
// 2 reserved bytes, the IPv4 address (its first byte the station address on a
// serial interface), the port and 2 reserved bytes. The map holds a start and
// an end address for each of the 16 slaves. All words little-endian; bytes no
// control shows are kept, so that a write gives them back as read.
#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <array>
#include <optional>

namespace kalmo {

inline constexpr int kForwardingEntries = 20;
inline constexpr qsizetype kForwardingHeaderLength = 8;
inline constexpr qsizetype kForwardingEntryLength = 24;
inline constexpr qsizetype kForwardingTableLength =
    kForwardingHeaderLength + kForwardingEntryLength * kForwardingEntries; // 488
inline constexpr int kSlaveMapRows = 16;
inline constexpr qsizetype kSlaveMapLength = 4 * kSlaveMapRows;
// Interface index 0, "以太网": the address is an IP address, not a station.
inline constexpr quint8 kEthernetInterface = 0;

// One side of an entry.
struct ForwardingEnd
{
    quint8 protocol = 0;       // forwardingProtocolNames()
    quint8 interfaceIndex = 0; // forwardingInterfaceNames()
    std::array<quint8, 2> reserved{};
    std::array<quint8, 4> ip{}; // ip[0] is the station address on a serial interface
    quint16 port = 0;
    std::array<quint8, 2> reservedAfterPort{};

    bool operator==(const ForwardingEnd &) const = default;
};

struct ForwardingEntry
{
    ForwardingEnd source;
    ForwardingEnd destination;

    bool operator==(const ForwardingEntry &) const = default;
};

struct ForwardingTable
{
    int count = 0; // entries in use, 0..20
    std::array<quint8, 6> reserved{};
    std::array<ForwardingEntry, kForwardingEntries> entries{};

    bool operator==(const ForwardingTable &) const = default;
};

// "串口透明协议" … "Modbus ASCII", and "以太网", "串口0", "串口1", "循环接口".
const QStringList &forwardingProtocolNames();
const QStringList &forwardingInterfaceNames();

// The header and the first `count` entries: 8 + 24·count bytes.
QByteArray encodeForwarding(const ForwardingTable &table);
// The whole table checked first: a short block, a count outside 0..20 or a
// list byte of an entry in use outside its list gives nothing and names the
// field in `badField`. Entries past the count are taken as they are.
std::optional<ForwardingTable> decodeForwarding(QByteArrayView data, QString *badField = nullptr);

// "转发配置3" for entry index 2: the caption of its frame.
QString forwardingEntryCaption(int index);

struct SlaveAddressRange
{
    quint16 start = 0;
    quint16 end = 0;

    bool operator==(const SlaveAddressRange &) const = default;
};
using SlaveMap = std::array<SlaveAddressRange, kSlaveMapRows>;

QByteArray encodeSlaveMap(const SlaveMap &map);
// The first 64 bytes of `data`; nothing when fewer are there.
std::optional<SlaveMap> decodeSlaveMap(QByteArrayView data);

} // namespace kalmo
