#pragma once
// The 34-byte Zigbee parameter block, low byte first: record <-> bytes, the
// channel mask of the sixteen channel boxes, the hexadecimal address boxes,
// the four timing values the advanced dialog checks, and the text of a link
// test result. Pure functions and plain structs: no widgets, ports or timers.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace kalmo {

inline constexpr qsizetype kZigbeeBlockLength = 34;
// The network write carries the block and 8 bytes of 0 after it.
inline constexpr qsizetype kZigbeeNetworkPayloadLength = 42;
// Serial frame offset of the block, in requests and replies alike.
inline constexpr qsizetype kZigbeeSerialOffset = 3;

struct ZigbeeRecord
{
    quint8 deviceLogic = 0;                // 0: Combo_zlogic index
    quint8 networkType = 0;                // 1: Combo_Nettype index
    quint16 deviceNumber = 0;              // 2..3: Text_DNO
    quint32 channelMask = 0;               // 4..7: bit 11 + k for channel box k
    std::array<quint8, 8> mac{};           // 8..15: txt_AC
    std::array<quint8, 8> extendedPanId{}; // 16..23: txt_EXPAN
    quint8 enabled = 0;                    // 24: Zigbee_Enable, 0 or 1
    quint8 chainAddress = 0;               // 25: Text_ChainAddr
    quint16 readInterval = 0;              // 26..27
    quint16 writeInterval = 0;             // 28..29
    quint16 maxWaitCount = 0;              // 30..31
    quint16 selfCheckTime = 0;             // 32..33

    friend bool operator==(const ZigbeeRecord &, const ZigbeeRecord &) = default;
};

// The block at `offset` of a reply: 3 on the serial link (function 57), 12 in
// a network reply (block 14000 type 1). A reply too short for the block
// throws ProcedureError("下标越界") and yields nothing.
ZigbeeRecord splitZigbeeBlock(const QByteArray &reply, qsizetype offset);
// The 34 bytes of the block.
QByteArray zigbeeBlockBytes(const ZigbeeRecord &record);

// ---- Channels --------------------------------------------------------------

inline constexpr int kZigbeeChannelCount = 16;
inline constexpr int kZigbeeFirstChannelBit = 11;
// The bits the channel boxes own (11..26).
inline constexpr quint32 kZigbeeChannelBits = 0xFFFFu << kZigbeeFirstChannelBit;

inline bool zigbeeChannelOn(quint32 mask, int box)
{
    return (mask >> (kZigbeeFirstChannelBit + box)) & 1u;
}
// The mask with the channel boxes' bits set from `boxes` (bit k: box k
// checked); the bits no box shows stay as they were.
inline quint32 withZigbeeChannels(quint32 mask, quint16 boxes)
{
    return (mask & ~kZigbeeChannelBits) | (quint32(boxes) << kZigbeeFirstChannelBit);
}

// ---- Address boxes ---------------------------------------------------------

// One MAC or EXPANID box: hexadecimal digits of either case worth at most
// FF; an empty box is 0. Anything else is nothing.
std::optional<quint8> zigbeeHexByte(const QString &text);
// How a byte is shown: upper-case hexadecimal without a leading zero.
QString zigbeeHexText(quint8 value);

// ---- Timing values ---------------------------------------------------------

inline constexpr int kZigbeeMinInterval = 50;

// The first of the four timing values that the device cannot work with, in
// the advanced dialog's order (read interval and write interval at least 50,
// wait count and self-check time not 0): its message, or nothing when all
// four are good.
std::optional<QString> zigbeeTimingFault(quint16 readInterval, quint16 writeInterval,
                                         quint16 maxWaitCount, quint16 selfCheckTime);

// ---- Link test ---------------------------------------------------------------

// The status text of a link test result (the first data byte of the reply
// to function 65): 0 good, 1 not on line, 2 silent, anything else unknown.
QString zigbeeTestText(quint8 result);

} // namespace kalmo
