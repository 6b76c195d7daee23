#pragma once
// The command codes that go on the command stack, by link. The same number
// can mean different commands on the two links (17 writes the tags on the
// serial link and the clock on the network), so each link has its own names.
#include <QtGlobal>

namespace kalmo {

namespace serial_cmd {
enum : qint16 {
    ReadSystemInfo = 1,
    WriteSystemParameters = 4,
    ReadDido = 13, // the idle read
    WriteDo = 14,
    ReadTags = 15,
    WriteTags = 17,
    ReadClock = 18,
    WriteClock = 19,
    ReadSlave = 32,
    WriteSlave = 33,
    WriteMac = 36,
    ReadMac = 37,
    RamTest = 40,
    StopAndClear = 43,
    LightBoard = 44,
    UpgradeStart = 45,
    UpgradeSize = 46,
    UpgradeBlock = 47,
    SaveParameters = 55,
    RestoreParameters = 56,
    ReadZigbee = 57,
    WriteHighSpeedIo = 58,
    WriteOutputFrequency = 59,
    WriteZigbee = 64,
    TestZigbee = 65,
    ReadControl = 66,
    WriteControl = 67,
    ReadSm = 68,
    WriteSm = 69,
    ReadForwarding = 70,
    WriteForwarding = 71,
    ReadRedundancy = 73,
    WriteRedundancy = 74,
    ReadGateway = 75,
    WriteGateway = 76,
    ReadSlaveForwarding = 77,
    WriteSlaveForwarding = 78,
    RestoreDefaults = 80,
    RestoreSelected = 81,
    ReadProfibus = 82,
    WriteProfibus = 83,
    CanDetect = 84,
    ReadCan = 85,
    WriteCan = 86,
};
} // namespace serial_cmd

namespace network_cmd {
enum : qint16 {
    ReadDump = 0,
    ReadSystemParameters = 1,
    WriteSystemParameters = 4,
    ReadDido = 9, // the idle read
    ReadClock = 12,
    WriteDo = 14,
    WriteClock = 17,
    ReadSlave = 19,
    WriteSlave = 20,
    ReadMac = 25,
    WriteMac = 26,
    RamTest = 27,
    StopAndClear = 32,
    LightBoard = 33,
    UpgradeStart = 34,
    UpgradeSize = 35,
    UpgradeBlock = 36,
    ReadWeekday = 63,
    WriteWeekday = 64,
    RestoreSelected = 65,
    ReadControl = 66,
    WriteControl = 67,
    ReadSm = 68,
    WriteSm = 69,
    ReadForwarding = 70,
    WriteForwarding = 71,
    ReadRedundancy = 73,
    WriteRedundancy = 74,
    ReadGateway = 75,
    WriteGateway = 76,
    ReadSlaveForwarding = 77,
    WriteSlaveForwarding = 78,
    ReadTags = 101,
    WriteTags = 102,
    ReadZigbee = 176,
    WriteZigbee = 177,
    Nothing = 200, // sends nothing
};
} // namespace network_cmd

} // namespace kalmo
