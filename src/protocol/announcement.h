#pragma once
// The presence announcement that every controller sends to UDP port 12000:
// one 91-byte datagram carrying its identity, address and service port.
// Pure functions over bytes: no sockets, no timers.
//
//   0       message kind, 4
//   1..7    not interpreted
//   8..39   device ID, 32 ASCII characters; characters 18..20 (bytes 25..27)
//           are the device type code as three digits, or FF FF FF when the
//           identity has never been programmed
//   40..71  PD tag, 32 bytes in code page 936
//   72..75  IPv4 address, first octet first
//   76..86  not interpreted
//   87..88  read/write service port, unsigned, low byte first
//   89..90  not interpreted
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace kalmo {

inline constexpr quint16 kDiscoveryPort = 12000;
inline constexpr qsizetype kAnnouncementLength = 91;
inline constexpr quint8 kAnnouncementKind = 4;

inline constexpr qsizetype kAnnouncementDeviceIdOffset = 8;
inline constexpr qsizetype kAnnouncementPdTagOffset = 40;
inline constexpr qsizetype kAnnouncementAddressOffset = 72;
inline constexpr qsizetype kAnnouncementPortOffset = 87;
inline constexpr qsizetype kIdentityTextLength = 32; // device ID and PD tag each
// The type code inside the device ID: characters 18..20.
inline constexpr qsizetype kTypeCodeOffsetInDeviceId = 17;
inline constexpr qsizetype kTypeCodeLength = 3;

// An IPv4 address as four bytes, first octet first.
using Ipv4Address = std::array<quint8, 4>;

// Dotted-decimal text of an address, each octet without leading zeros:
// {192, 168, 0, 7} -> "192.168.0.7". This is a device's item text in the list.
QString dottedAddress(const Ipv4Address &address);

struct Announcement
{
    Ipv4Address address{};
    QByteArray deviceId; // 32 bytes as received
    QByteArray pdTag;    // 32 bytes as received
    quint16 servicePort = 0;

    // The three type-code bytes of the device ID (fewer if the ID is short).
    QByteArray typeCode() const;
};

// A datagram of exactly 91 bytes whose first byte is 4; anything else is
// not an announcement and gives nothing.
std::optional<Announcement> parseAnnouncement(QByteArrayView datagram);

// The 91-byte datagram for an announcement, as a controller sends it. The
// device ID and PD tag are cut or padded with zero bytes to 32 bytes; bytes
// that are not interpreted are zero.
QByteArray encodeAnnouncement(const Announcement &announcement);

} // namespace kalmo
