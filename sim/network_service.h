#pragma once
// The device side of the UDP read/write service: taking a request datagram
// apart and putting a reply datagram together. Pure functions over bytes.
//
// Request (all two-byte fields low byte first):
//   0       0x0C read, 0x0D write
//   1..3    0
//   4..5    total length of the datagram
//   6..7    sequence number
//   8..9    0
//   10..11  block address
//   12..13  block type
//   14..15  item count
//   16..17  0 (writes, except to block address 107)
//   16/18.. write payload
//
// Reply, as this controller sends it:
//   0       0x0C or 0x0D with the status in bits 6..7: 01 the service was
//           carried out (0x4C, 0x4D), 11 it was refused (0xCC, 0xCD)
//   1..3    0
//   4..5    total length of the datagram
//   6..7    the sequence number of the request
//   8..9    0
//   10..11  the block address of the request
//   12..    data of a read, in the layout of the block; a write reply has none
#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

namespace kalmo::sim {

// Block addresses of the service.
inline constexpr quint16 kUserBlockAddress = 10003;
inline constexpr quint16 kTagBlockAddress = 10010;
inline constexpr quint16 kControlBlockAddress = 11008;
inline constexpr quint16 kCommunicationBlockAddress = 14000;
inline constexpr quint16 kRedundancyBlockAddress = 15000;
inline constexpr quint16 kSystemMemoryBlockAddress = 107; // week day, SM area

inline constexpr qsizetype kNetworkRequestHeaderLength = 16;
inline constexpr qsizetype kNetworkWriteHeaderLength = 18; // 16 for block address 107
inline constexpr qsizetype kNetworkReplyHeaderLength = 12;

enum class NetworkService : quint8 {
    Read = 0x0C,
    Write = 0x0D,
};

// Status bits 6..7 of a reply's first byte.
enum class NetworkStatus : quint8 {
    Failed00 = 0x00,
    Done = 0x40,
    Failed10 = 0x80,
    Refused =
        0xC0, // the "11" failure: what this controller answers to a request it cannot carry out
};

struct NetworkRequest
{
    NetworkService service = NetworkService::Read;
    quint16 lengthField = 0; // bytes 4..5 as sent
    quint16 sequence = 0;
    quint16 blockAddress = 0;
    quint16 blockType = 0;
    quint16 itemCount = 0;
    QByteArray payload; // a write's data; empty for a read
    // The length field agrees with the datagram, a read is exactly 16 bytes
    // and a write holds its whole header.
    bool wellFormed = false;
};

// A datagram of at least 16 bytes whose first byte is 0x0C or 0x0D is a
// request; anything else is not and gets no reply.
std::optional<NetworkRequest> parseNetworkRequest(QByteArrayView datagram);

// The reply to a request: header as above, then the data.
QByteArray buildNetworkReply(NetworkService service, NetworkStatus status, quint16 sequence,
                             quint16 blockAddress, QByteArrayView data = {});

} // namespace kalmo::sim
