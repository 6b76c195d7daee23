#pragma once
// The data blocks of a controller as bytes: what a read answers and how a
// written block changes the state. Blocks that both links carry alike (tags,
// MAC, gateway, Zigbee, the dialogs' blocks) are link-neutral; the system
// parameter read and the DI/DO block have a serial and a network layout each.
// All multi-byte values are low byte first unless a function says otherwise.
#include "device_state.h"

#include <QByteArray>

namespace kalmo::sim {

// ---- System parameter block -------------------------------------------------

// The data of the serial system-information reply: frame bytes 3..106, 104
// bytes; the offsets inside are frame offsets minus 3.
inline constexpr int kSystemInfoSerialDataLength = 104;
QByteArray systemInfoSerialData(const DeviceState &state);

// The data of the network system-parameter read (block 10003 type 1),
// datagram bytes 12..115: up to the boot version the serial offsets + 9, the
// three RS485_2 items at 99..103, the flash flags at 112..113, the rest 0.
inline constexpr int kSystemInfoNetworkDataLength = 104;
QByteArray systemInfoNetworkData(const DeviceState &state);

// The 52-byte write image, as a write carries it and as the device echoes it.
inline constexpr int kWriteImageLength = 52;
QByteArray writeImage(const DeviceState &state);
// Takes every field the image carries. An image without its end marker
// (0x55 0xAA at 45..46) or of another length changes nothing: false.
bool applyWriteImage(DeviceState &state, const QByteArray &image);

// ---- DI/DO --------------------------------------------------------------------

// Length of the serial DI/DO reply for a model: 22, or 23 with the battery
// byte (types 28 and 36, or firmware above 12855); 14 or 15 for type 4.
// Codes the tool has no length for answer 22.
int serialDioReplyLength(quint8 typeCode, quint16 firmwareVersion);
// The data of that reply (its length minus 7 bytes).
QByteArray dioSerialData(const DeviceState &state, int replyLength);
// The 6 data bytes of a DO write: the outputs of the model packed as a write
// carries them. Only outputs change; input bits are ignored.
inline constexpr int kDoWriteDataLength = 6;
QByteArray doWriteData(const DeviceState &state);
void applyDoWrite(DeviceState &state, const QByteArray &data);

// The network DI/DO read (block 10003 type 9), for every model alike: states
// 0..47 in button order (the outputs, then the inputs) packed eight to a
// byte, state 8i+c in bit c of byte i; then the hard address and the battery
// voltage.
inline constexpr int kDioNetworkDataLength = 8;
QByteArray dioNetworkData(const DeviceState &state);
// A network DO write (block 10003 type 14): 6 bytes in that same numbering.
// The model's output buttons take their bits; input bits are ignored.
void applyNetworkDoWrite(DeviceState &state, const QByteArray &data);

// ---- Clock --------------------------------------------------------------------

// Year (2), month, day, hour, minute, second, week day (1 = Monday): 8 bytes,
// binary. A reply of the serial clock read carries it at frame byte 3.
inline constexpr int kClockDataLength = 8;
QByteArray clockData(const QDateTime &reading, quint8 weekday);
// Reads such 8 bytes; nullopt for a date or time that does not exist. A week
// day outside 1..7 comes back as 0.
struct ClockSetting
{
    QDateTime reading;
    quint8 weekday = 0;
};
std::optional<ClockSetting> parseClockData(const QByteArray &data);

// ---- Identity and network identity -------------------------------------------

inline constexpr int kTagBlockLength = 64; // device ID, then PD tag
QByteArray tagBlock(const Identity &identity);
void applyTagBlock(Identity &identity, const QByteArray &block);
// The network tag read (block 10010 type 2): the 64 bytes, then 18 zeros.
inline constexpr int kNetworkTagReadLength = 82;
QByteArray networkTagRead(const Identity &identity);

inline constexpr int kMacLength = 6;
inline constexpr int kGatewayBlockLength = 8; // gateway, then subnet mask
QByteArray gatewayBlock(const NetworkIdentity &network);
void applyGatewayBlock(NetworkIdentity &network, const QByteArray &block);

// ---- Zigbee -------------------------------------------------------------------

inline constexpr int kZigbeeBlockLength = 34;
QByteArray zigbeeBlock(const ZigbeeParameters &zigbee);
void applyZigbeeBlock(ZigbeeParameters &zigbee, const QByteArray &block);
// On the network the block travels with 8 zero bytes after it.
inline constexpr int kNetworkZigbeeItemLength = 42;

// ---- Parameter dialogs' blocks -----------------------------------------------

inline constexpr int kSmBlockLength = 4 * kSmValueCount;
QByteArray smBlock(const std::array<qint32, kSmValueCount> &values);
void applySmBlock(std::array<qint32, kSmValueCount> &values, const QByteArray &block);

inline constexpr int kSlaveForwardingBlockLength = 4 * kSlaveCount;
QByteArray slaveForwardingBlock(const std::array<AddressRange, kSlaveCount> &ranges);
void applySlaveForwardingBlock(std::array<AddressRange, kSlaveCount> &ranges,
                               const QByteArray &block);

// A forwarding write carries the count, the reserve and n entries; the device
// copies what came and keeps the entries after them.
void applyForwardingWrite(QByteArray &forwardingBlock, const QByteArray &written);

// One slave record, 12 bytes: number, 0, 0, 0, address, format, type (2),
// scan period (2), scan function, 0. A number outside 0..15 reads as a
// record of zeros that carries the number.
inline constexpr int kSlaveRecordLength = 12;
QByteArray slaveRecord(const DeviceState &state, quint8 number);
// Takes a written record into the slave its byte 0 names; false for a
// number outside 0..15.
bool applySlaveRecord(DeviceState &state, const QByteArray &record);

// ---- Whole areas of the network service -------------------------------------

// The system memory area that a read of block 107 with item count 0 answers:
// 128 bytes, the week day (1 = Monday .. 7 = Sunday) as a 16-bit value at 116
// (datagram offset 128), the rest 0.
inline constexpr int kSystemMemoryLength = 128;
inline constexpr int kWeekdayOffsetInSystemMemory = 116;
QByteArray systemMemoryData(quint8 weekday);

// The whole user area (block 10003 type 0, datagram data from offset 14):
// the system parameter item (104 bytes, network layout), the clock item
// (8 bytes), the DI/DO item (8), the MAC address (6) and the 16 slave
// records (12 each): 318 bytes.
inline constexpr int kUserAreaLength = kSystemInfoNetworkDataLength + kClockDataLength +
                                       kDioNetworkDataLength + kMacLength +
                                       kSlaveCount * kSlaveRecordLength;
QByteArray userArea(const DeviceState &state, const QByteArray &clock);

} // namespace kalmo::sim
