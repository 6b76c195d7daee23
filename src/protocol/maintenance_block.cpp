#include "protocol/maintenance_block.h"

#include <algorithm>
#include <span>

namespace kalmo {

namespace {

// Box indices in the order the device takes the flags.
constexpr int kSixFlagOrder[] = {0, 1, 4, 5, 2, 3}; // DI22, DI23, DI21, DI20, Q0.0, Q0.1
constexpr int kFourFlagOrder[] = {0, 1, 2, 3};      // DI22, DI23, Q0.0, Q0.1

constexpr quint8 kFourFlagTypes[] = {8, 10};
constexpr quint16 kFourFlagFirmware[] = {0x2529, 0x1101};

template <typename T, std::size_t N> bool contains(const T (&values)[N], T value)
{
    return std::find(std::begin(values), std::end(values), value) != std::end(values);
}

} // namespace

bool takesFourHighSpeedFlags(quint8 deviceType, quint16 firmwareVersion)
{
    return contains(kFourFlagTypes, deviceType) && contains(kFourFlagFirmware, firmwareVersion);
}

QByteArray highSpeedIoPayload(const HighSpeedFlags &flags, quint8 deviceType,
                              quint16 firmwareVersion)
{
    const std::span<const int> order = takesFourHighSpeedFlags(deviceType, firmwareVersion)
                                           ? std::span<const int>(kFourFlagOrder)
                                           : std::span<const int>(kSixFlagOrder);
    QByteArray payload;
    for (const int box : order)
        payload.append(char(flags[std::size_t(box)] ? 1 : 0));
    return payload;
}

QByteArray outputFrequencyPayload(quint16 q00, quint16 q01)
{
    QByteArray payload;
    for (const quint16 f : {q00, q01})
        payload.append(char(f >> 8)).append(char(f & 0xFF));
    return payload;
}

quint8 restoreSelectionByte(const std::array<bool, kRestoreGroupCount> &groups)
{
    quint8 byte = 0;
    for (int i = 0; i < kRestoreGroupCount; ++i)
        if (groups[std::size_t(i)]) byte |= quint8(1u << i);
    return byte;
}

} // namespace kalmo
