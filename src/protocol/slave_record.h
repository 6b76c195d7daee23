#pragma once
// One slave device's record, 12 bytes: the slave number (its row), the write
// marker, the slave's bus address, communication format, type code, scan
// period and scan function number. Serial replies carry it from frame byte 3,
// network replies from datagram byte 12; a write sends it whole.
#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <optional>

namespace kalmo {

inline constexpr qsizetype kSlaveRecordLength = 12;
inline constexpr int kSlaveCount = 16;

struct SlaveRecord
{
    quint8 number = 0;       // slave number 0..15: the row
    quint8 writeMarker = 0;  // 1 in a write
    quint8 address = 0;      // bus address
    quint8 format = 0;       // 1 "ModbusRTU", 2 "ModbusASCII"
    quint16 typeCode = 0;    // slave type numbering of the device catalogue
    quint16 scanPeriod = 0;  // unsigned
    quint8 scanFunction = 0; // scan function number

    bool operator==(const SlaveRecord &) const = default;
};

// The format list, in list order: index = format byte - 1.
const QStringList &slaveFormatNames(); // "ModbusRTU", "ModbusASCII"

// Bytes 2, 3 and 11 are 0.
QByteArray encodeSlaveRecord(const SlaveRecord &record);
// Nothing for fewer than 12 bytes; the values are taken as they come.
std::optional<SlaveRecord> decodeSlaveRecord(QByteArrayView data);

} // namespace kalmo
