#pragma once
// The data of the maintenance commands: the high-speed input/output enable
// flags (function 58), the two output frequencies (function 59) and the
// selection byte of "restore selected". No widgets here.
#include <QByteArray>
#include <QtGlobal>

#include <array>

namespace kalmo {

// The high-speed boxes in panel order: DI22, DI23, Q0.0, Q0.1, DI21, DI20.
inline constexpr int kHighSpeedBoxCount = 6;
using HighSpeedFlags = std::array<bool, kHighSpeedBoxCount>;

// Models of type 8 or 10 with firmware 0x2529 or 0x1101 take four flags
// (DI22, DI23, Q0.0, Q0.1); every other device takes all six.
bool takesFourHighSpeedFlags(quint8 deviceType, quint16 firmwareVersion);

// The payload of function 58: one byte per flag, 1 on and 0 off, in the order
// the device takes them (DI22, DI23, DI21, DI20, Q0.0, Q0.1, or the four).
QByteArray highSpeedIoPayload(const HighSpeedFlags &flags, quint8 deviceType,
                              quint16 firmwareVersion);

// The payload of function 59: the Q0.0 and Q0.1 frequencies, high byte first.
QByteArray outputFrequencyPayload(quint16 q00, quint16 q01);

// The parameter groups of "restore selected", bit i for group i: control,
// SM retained area, slave devices, description, device, forwarding, Zigbee,
// redundancy.
inline constexpr int kRestoreGroupCount = 8;
quint8 restoreSelectionByte(const std::array<bool, kRestoreGroupCount> &groups);

} // namespace kalmo
