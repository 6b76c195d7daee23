#pragma once
// Everything one virtual controller keeps, organised by meaning so that the
// serial link and the network link can both serve it. Plain data; the block
// layouts that travel on the links are in device_blocks.h.
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QtGlobal>

#include <array>
#include <optional>

namespace kalmo::sim {

// ---- Models ---------------------------------------------------------------

// How a model packs its DI/DO points into the serial DI/DO block.
enum class DioGroup {
    Standard, // outputs first, then inputs, one bit per point
    Split20,  // 20 outputs, 24 inputs: Q16..Q19 travel after the inputs
    Wide,     // 24 outputs, 36 inputs spread over two extra bytes
};

struct ModelInfo
{
    quint8 typeCode = 0;
    const char *name = "";   // model name, e.g. "KVRQ101"
    const char *prefix = ""; // serial-number prefix, two or three digits
    int outputs = 16;        // output channels in button order (Q, then HQ)
    int inputs = 24;         // input channels in button order (I, then HI)
    DioGroup group = DioGroup::Standard;
};

// The model of a device type code, or nullptr for a code the catalogue does
// not know.
const ModelInfo *findModel(quint8 typeCode);
// Every known model, in type-code order.
const std::array<ModelInfo, 20> &models();

// ---- System parameter block -------------------------------------------------

struct PortSettings
{
    quint8 line = 0x03;     // parity bits 7-6, data bits bit 5, stop bits bit 4, baud bits 3-0
    quint8 protocol = 0x01; // protocol bits 3-0, mark-parity flag bit 4
    quint8 role = 0;        // 0 slave, 1 master
    quint8 packetInterval = 4;
};

struct SystemParameters
{
    qint32 serialNumber = 0; // the series number of the device, 0..4095 in practice
    std::array<quint8, 4> ipAddress{};
    quint8 softAddress = 1;
    std::array<quint8, 7> sensorTypes{};
    PortSettings port1;
    PortSettings port2;
    quint8 carriedByte1 = 0;
    quint16 diDebounce = 10;
    quint16 carriedWord = 0;
    quint8 carriedByte2 = 0;
    quint16 selfRecoveryControl = 0;
    quint16 selfRecoveryInterval = 0;
    quint8 deviceType = 0;
    quint16 versionWord1 = 0;
    quint16 versionWord2 = 0;
    quint16 firmwareVersion = 0;
    quint8 reservedByte = 0; // sent after the firmware version, not interpreted
    quint8 version = 0;
    std::array<quint8, 4> spare{};
    quint16 productionYear = 2000;
    quint8 productionMonth = 1;
    quint8 productionDay = 1;
    quint8 productionHour = 0;
    quint8 productionMinute = 0;
    quint8 productionSecond = 0;
    quint8 flagBits = 0; // seven opaque flags in bits 0..6
    quint16 udpPort = 3000;
    quint16 cpuType = 0;
    quint8 slaveMaxErrors = 3;
    quint16 slaveCommInterval = 100;
    quint16 slaveMaxWait = 500;
};

// Items that travel with the system parameter block but are not part of it.
struct TravelItems
{
    quint8 bootVersion = 0x21; // high nibble . low nibble
    quint8 noUserProgram = 0;  // 1 = no user program loaded
    quint8 rs485_2MaxErrors = 3;
    quint16 rs485_2CommInterval = 100;
    quint16 rs485_2WaitTime = 500;
    quint16 flashFlags = 0; // 16 flash-parameter indicator bits
};

// ---- Identity, clock, points ------------------------------------------------

inline constexpr int kTagLength = 32;

struct Identity
{
    QByteArray deviceId = QByteArray(kTagLength, '0'); // 32 ASCII digits
    QByteArray pdTag = QByteArray(kTagLength, ' ');    // 32 bytes, code page 936
};

// The real-time clock runs from the moment it was set: its reading is the
// time set plus the milliseconds elapsed on the controller's tick since then.
// The week day is kept apart, as a clock chip does, and advances with the
// date.
struct DeviceClock
{
    QDateTime setTo{QDate(2000, 1, 1), QTime(0, 0), Qt::UTC}; // a calendar value
    qint64 setAtTick = 0;
    quint8 weekdayAtSet = 6; // 1 = Monday .. 7 = Sunday

    QDateTime readingAt(qint64 tick) const;
    quint8 weekdayAt(qint64 tick) const;
    void set(const QDateTime &reading, quint8 weekday, qint64 tick);
};

inline constexpr int kPointCount = 64;

struct DioState
{
    std::array<bool, kPointCount> outputs{}; // output channel k in button order
    std::array<bool, kPointCount> inputs{};  // input channel k in button order
    quint8 hardAddress = 1;                  // the address switches
    std::array<qint16, 4> highSpeedValues{};
    quint8 batteryTenths = 36; // battery voltage in tenths of a volt
};

struct NetworkIdentity
{
    std::array<quint8, 6> mac{};
    std::array<quint8, 4> gateway{};
    std::array<quint8, 4> subnetMask{};
};

struct ZigbeeParameters
{
    quint8 deviceLogic = 0;
    quint8 networkType = 0;
    quint16 deviceNumber = 1;
    quint32 channelMask = 0x00000800; // bit 11 + k: channel 11 + k
    std::array<quint8, 8> mac{};
    std::array<quint8, 8> extendedPanId{};
    quint8 enabled = 0;
    quint8 chainAddress = 0;
    quint16 readInterval = 100;
    quint16 writeInterval = 100;
    quint16 maxWaitCount = 3;
    quint16 selfCheckTime = 60;
    quint8 testResult = 0; // what a link test reports: 0 good, 1 not on line, 2 silent
};

// ---- Parameter dialogs' blocks ----------------------------------------------

inline constexpr int kControlBlockLength = 242;
inline constexpr int kSmValueCount = 128;
inline constexpr int kForwardingBlockLength = 488; // count, reserve, 20 entries of 24
inline constexpr int kForwardingEntryLength = 24;
inline constexpr int kForwardingMaxEntries = 20;
inline constexpr int kRedundancyBlockLength = 208;
inline constexpr int kSlaveCount = 16;

struct AddressRange
{
    quint16 start = 0;
    quint16 end = 0;
};

struct SlaveDevice
{
    quint8 address = 0;
    quint8 format = 1;      // 1 ModbusRTU, 2 ModbusASCII
    quint16 typeCode = 255; // slave type numbering; 255 = not configured
    quint16 scanPeriod = 1000;
    quint8 scanFunction = 3;
};

struct CanSettings
{
    quint8 baudIndex = 4;    // 125K
    quint8 role = 0;         // 0 slave, 1 master
    quint8 detectValue = 10; // what a CAN check reports; below 10 means a fault
};

struct HighSpeedIo
{
    quint8 di22 = 0;
    quint8 di23 = 0;
    quint8 di21 = 0;
    quint8 di20 = 0;
    quint8 q00 = 0;
    quint8 q01 = 0;
};

struct Maintenance
{
    quint8 lightBoardCheck = 0; // 1 while the light-board self-test runs
    quint8 ramTestResult = 0;   // bit i set: RAM area i failed
    bool programRunning = true;
    int stopAndClearCount = 0;
    // Every maintenance command carried out, oldest first, on either link:
    // "RAM test", "light board on", "light board off", "stop and clear",
    // "save", "restore", "restore selected with 0x82", "restore defaults",
    // "high-speed I/O DI22=1 DI23=0 DI21=0 DI20=0 Q0.0=1 Q0.1=0" (four flags
    // for the short frame), "output frequencies 1000 2000", "Profibus on",
    // "Profibus off".
    QStringList received;
};

// A firmware transfer and the image it stored. Packets are 512 bytes and carry
// no index: they are appended in the order they arrive. The loader gives an
// open transfer up when no size or packet has come for kLoaderIdleMs (after
// a start, which restarts the device into its loader, kLoaderStartIdleMs),
// when a new start arrives, or when a packet fails; the stored image then
// stays the one before.
inline constexpr int kFirmwarePacketSize = 512;
inline constexpr qint64 kLoaderIdleMs = 3000;
inline constexpr qint64 kLoaderStartIdleMs = 10000;

struct FirmwareStore
{
    bool transferOpen = false; // between a start and the last announced packet
    bool fastLine = false;     // the serial size command was acknowledged: packets come at 115200
    bool silent = false;       // fallen silent at a packet: nothing is answered until it gives up
    int announcedPackets = 0;
    QByteArray receiving;        // packets of the open transfer
    qint64 lastActivityTick = 0; // when the open transfer last took a start, size or packet
    int strayPackets = 0;        // packets outside a transfer or beyond the count
    int completedTransfers = 0;
    int abandonedTransfers = 0;
    QByteArray image;       // the last complete image: the packets' bytes, padding included
    quint32 imageCrc32 = 0; // CRC-32 of the image
};

// ---- Saved parameters -------------------------------------------------------

// Groups of the "restore selected" byte, bit i for group i.
enum ParameterGroup : quint8 {
    ControlGroup = 0x01,
    SmGroup = 0x02,
    SlaveDeviceGroup = 0x04,
    DescriptionGroup = 0x08, // PD tag
    DeviceGroup = 0x10,      // the settings of the system parameter block
    ForwardingGroup = 0x20,  // forwarding table and slave forwarding map
    ZigbeeGroup = 0x40,
    RedundancyGroup = 0x80,
    AllGroups = 0xFF,
};

struct DeviceState;

// The parameters that can be saved inside the device and restored.
struct ParameterSet
{
    QByteArray controlBlock;
    std::array<qint32, kSmValueCount> smValues{};
    std::array<SlaveDevice, kSlaveCount> slaves{};
    QByteArray pdTag;
    SystemParameters system;
    TravelItems travel;
    QByteArray forwardingBlock;
    std::array<AddressRange, kSlaveCount> slaveForwarding{};
    ZigbeeParameters zigbee;
    QByteArray redundancyBlock;

    static ParameterSet capture(const DeviceState &state);
    // Puts the chosen groups back. The identity of the device (series number,
    // type, versions, production date) is never touched.
    void restoreInto(DeviceState &state, quint8 groups) const;
};

// ---- The whole device -------------------------------------------------------

struct DeviceState
{
    SystemParameters system;
    TravelItems travel;
    Identity identity;
    DeviceClock clock;
    DioState dio;
    NetworkIdentity network;
    ZigbeeParameters zigbee;
    QByteArray controlBlock = QByteArray(kControlBlockLength, '\0'); // opaque to the device
    std::array<qint32, kSmValueCount> smValues{};
    QByteArray forwardingBlock = QByteArray(kForwardingBlockLength, '\0'); // opaque
    std::array<AddressRange, kSlaveCount> slaveForwarding{};
    QByteArray redundancyBlock = QByteArray(kRedundancyBlockLength, '\0'); // opaque
    std::array<SlaveDevice, kSlaveCount> slaves{};
    quint8 profibusEnabled = 0;
    CanSettings can;
    HighSpeedIo highSpeedIo;
    std::array<quint16, 2> outputFrequencies{};
    Maintenance maintenance;
    FirmwareStore firmware;
    std::optional<ParameterSet> savedParameters; // what "save" stored
    ParameterSet factoryParameters;              // what "defaults" restores
};

// ---- Profile ----------------------------------------------------------------

// What makes one virtual device: its model, versions and identity. The
// serial number, device ID and MAC address are composed from these.
struct DeviceProfile
{
    quint8 deviceType = 8; // KVRQ101
    quint16 firmwareVersion = 0x3305;
    quint8 version = 0x21;
    quint8 bootVersion = 0x21;
    int series = 1; // 0..4095
    QDate productionDate{2015, 12, 9};
    QTime productionTime{10, 30, 0};
    QString hardwareNumber = QStringLiteral("200000000000000"); // 15 digits
    std::array<quint8, 4> ipAddress{127, 0, 0, 2};              // the address it serves from
    quint16 udpPort = 5000;                                     // its read/write service port
    QString pdTag;                                              // empty: a text naming the model
};

// Prefix + production date (YYYYMMDD) + series (4 digits); empty for a type
// the catalogue does not know.
QString composeSerialNumber(quint8 typeCode, const QDate &productionDate, int series);
// "0" + 15-digit hardware number (or "00" + 14 digits), then the serial
// number right-aligned in 16 characters padded with "0"; 32 ASCII bytes.
QByteArray composeDeviceId(const QString &hardwareNumber, const QString &serialNumber);
// 00, FE (FD for type 4), year mod 100, month (with the series' high byte as
// a further hex digit above 255), day, series low byte.
std::array<quint8, 6> composeMac(quint8 typeCode, const QDate &productionDate, int series);

// A device as it leaves the factory. The clock is set to `clockReading` at
// tick `tick`.
DeviceState makeDeviceState(const DeviceProfile &profile, const QDateTime &clockReading,
                            qint64 tick);

// Fills the control, redundancy and SM blocks with varied non-zero bytes,
// every list byte within its list, so that a tool's round trip shows whether
// it keeps every byte; and gives the forwarding table three entries and the
// slave map 16 ranges.
void fillBusyBlocks(DeviceState &state);

} // namespace kalmo::sim
