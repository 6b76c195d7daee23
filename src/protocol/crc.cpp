#include "protocol/crc.h"

#include "core/error_log.h"

namespace kalmo {

quint16 crc16Modbus(QByteArrayView bytes, quint16 initial)
{
    quint16 reg = initial;
    for (const char c : bytes) {
        const auto index = static_cast<quint8>(reg ^ static_cast<quint8>(c));
        reg = static_cast<quint16>((reg >> 8) ^ kCrc16ModbusTable[index]);
    }
    return reg;
}

quint16 crc16ModbusBitwise(QByteArrayView bytes, quint16 initial)
{
    quint16 reg = initial;
    for (const char c : bytes) {
        reg ^= static_cast<quint8>(c);
        for (int bit = 0; bit < 8; ++bit) {
            if (reg & 1u)
                reg = static_cast<quint16>((reg >> 1) ^ 0xA001u);
            else
                reg = static_cast<quint16>(reg >> 1);
        }
    }
    return reg;
}

quint16 CrcCheck(const QByteArray &buffer, qsizetype checksumLength)
{
    constexpr qsizetype first = 2;
    if (checksumLength < first + 5) return kCrcInitial;
    const qsizetype last = checksumLength - 5;
    byteAt(buffer, last); // the whole range must lie inside the buffer
    return crc16Modbus(QByteArrayView(buffer).sliced(first, last - first + 1));
}

quint32 crc32(QByteArrayView bytes)
{
    quint32 reg = 0xFFFFFFFFu;
    for (const char c : bytes)
        reg = (reg >> 8) ^ kCrc32Table[(reg ^ static_cast<quint8>(c)) & 0xFFu];
    return reg ^ 0xFFFFFFFFu;
}

} // namespace kalmo
