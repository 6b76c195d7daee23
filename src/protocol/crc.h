#pragma once
// CRC-16/MODBUS (polynomial 0xA001 reflected, initial 0xFFFF, no final XOR),
// the checksum of every serial frame; and the CRC-32 of a firmware image.
#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <array>

namespace kalmo {

// Label under which a failed checksum run is logged.
inline constexpr char kCrcCheckLabel[] = "CrcCheck(Module1)";

// The register's starting value.
inline constexpr quint16 kCrcInitial = 0xFFFF;

// One entry per byte value of a reflected CRC: the register change after
// eight shift steps with the given (reflected) polynomial.
template <typename Register>
constexpr std::array<Register, 256> makeReflectedCrcTable(Register polynomial)
{
    std::array<Register, 256> table{};
    for (unsigned n = 0; n < 256; ++n) {
        Register reg = static_cast<Register>(n);
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 1u) ? static_cast<Register>((reg >> 1) ^ polynomial)
                             : static_cast<Register>(reg >> 1);
        table[n] = reg;
    }
    return table;
}

inline constexpr std::array<quint16, 256> kCrc16ModbusTable =
    makeReflectedCrcTable<quint16>(0xA001);

// Table-driven CRC over the bytes, starting from `initial` (so a long run can
// be fed in pieces).
quint16 crc16Modbus(QByteArrayView bytes, quint16 initial = kCrcInitial);

// The same CRC, one bit at a time: the reference for tests and benchmarks.
quint16 crc16ModbusBitwise(QByteArrayView bytes, quint16 initial = kCrcInitial);

// The frame checksum: the CRC over bytes 2 .. checksumLength - 5 of the
// buffer. A request frame of N bytes is checked with checksumLength = N (the
// function number and payload); a received reply of M bytes with
// checksumLength = M + 2 (which takes in its two CRC bytes, so a sound reply
// gives 0). An empty range gives 0xFFFF. A range that runs past the buffer
// throws ProcedureError("下标越界"); callers log it under kCrcCheckLabel.
quint16 CrcCheck(const QByteArray &buffer, qsizetype checksumLength);

// CRC-32 as in zlib and Ethernet (polynomial 0xEDB88320 reflected, initial
// and final XOR 0xFFFFFFFF): the checksum of a firmware image shown to the
// engineer before an upgrade, to compare with the one the file came with.
inline constexpr std::array<quint32, 256> kCrc32Table =
    makeReflectedCrcTable<quint32>(0xEDB88320u);

quint32 crc32(QByteArrayView bytes);

} // namespace kalmo
