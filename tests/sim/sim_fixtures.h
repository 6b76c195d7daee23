#pragma once
// What the virtual controller's tests share: literal bytes, filler patterns
// and one known system parameter block.
#include "sim/device_state.h"
#include "support/hex.h"

#include <QByteArray>

inline QByteArray pattern(int length, int seed)
{
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    return bytes;
}

// The 52-byte system parameter write image, field by field.
inline const QByteArray kImage = hex("70110000"       // W0 serial number 4464
                                     "C0A8000A"       // W4 IP 192.168.0.10
                                     "07"             // W8 soft address
                                     "C3112301"       // W9 port 1 line, protocol; port 2
                                     "AB"             // W13 carried byte 1
                                     "3200"           // W14 DI debounce 50
                                     "CDEF"           // W16 carried word
                                     "99"             // W18 carried byte 2
                                     "E007021D08090A" // W19 2016-02-29 08:09:10
                                     "0100"           // W26 roles
                                     "45"             // W28 flags
                                     "1027"           // W29 UDP port 10000
                                     "0200"           // W31 CPU type
                                     "05C8005802"     // W33 slave errors 5, interval 200, wait 600
                                     "0F003C00"       // W38 self-recovery control 15, interval 60
                                     "0810"           // W42 packet intervals
                                     "0055AA"         // W44 0, end marker
                                     "092C012003");

// A system parameter block whose every field has a value of its own, so that
// each lands at an offset a test can check.
inline void setKnownSystemBlock(kalmo::sim::DeviceState &s)
{
    s.system.serialNumber = 0x0102;
    s.system.ipAddress = {192, 168, 1, 20};
    s.system.softAddress = 5;
    s.system.sensorTypes = {1, 2, 3, 4, 5, 6, 7};
    s.system.port1.line = 0xC3;
    s.system.port1.protocol = 0x11;
    s.system.diDebounce = 0x1234;
    s.system.deviceType = 8;
    s.system.firmwareVersion = 0x3305;
    s.system.version = 0x21;
    s.system.productionYear = 2015;
    s.system.productionMonth = 12;
    s.system.productionDay = 9;
    s.system.flagBits = 0x05;
    s.system.udpPort = 3000;
    s.system.port1.packetInterval = 4;
    s.system.port2.packetInterval = 16;
    s.travel.noUserProgram = 1;
    s.travel.bootVersion = 0x21;
    s.travel.rs485_2MaxErrors = 7;
    s.travel.rs485_2CommInterval = 400;
    s.travel.rs485_2WaitTime = 1000;
    s.travel.flashFlags = 0x0001;
}
