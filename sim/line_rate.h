#pragma once
// Line rates of a serial line as the terminal settings give them, and the
// time bytes take on the wire at such a rate.
#include <QtGlobal>

#include <termios.h>

namespace kalmo::sim {

inline constexpr qint32 kNormalLineRate = 9600;
inline constexpr qint32 kUpgradeLineRate = 115200;

// The rate in bit/s a termios speed constant stands for; 0 for B0 and
// anything not listed.
qint32 lineRateOf(speed_t speed);

// The output rate of the terminal behind `fd`; 0 when it cannot be read. On
// the master end of a pseudo-terminal this is the rate the slave end was set
// to.
qint32 terminalLineRate(int fd);

// Nanoseconds `bytes` take at `baud`, 10 bits a byte (8N1); 0 for an unknown
// rate.
qint64 wireTimeNs(qsizetype bytes, qint32 baud);

} // namespace kalmo::sim
