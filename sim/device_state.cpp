#include "device_state.h"

#include "core/codepage.h"

#include <algorithm>

namespace kalmo::sim {

namespace {

constexpr std::array<ModelInfo, 20> kModels{{
    {4, "KVRQ103", "94", 32, 8, DioGroup::Standard},
    {8, "KVRQ101", "90", 16, 24, DioGroup::Standard},
    {10, "LTNQ101", "190", 16, 24, DioGroup::Standard},
    {12, "KVRX201", "79", 16, 24, DioGroup::Standard},
    {15, "KVSQ101", "118", 16, 21, DioGroup::Standard},
    {24, "KVRX204", "199", 16, 24, DioGroup::Standard},
    {25, "KVRX203", "122", 16, 24, DioGroup::Standard},
    {26, "KVRB301", "127", 16, 24, DioGroup::Standard},
    {28, "KVRQ105", "186", 20, 24, DioGroup::Split20},
    {31, "KVRQ104", "198", 16, 24, DioGroup::Standard},
    {34, "KVRX211", "197", 20, 24, DioGroup::Split20},
    {36, "KVRQ106", "185", 16, 24, DioGroup::Standard},
    {37, "LTNQ102", "120", 16, 24, DioGroup::Standard},
    {42, "KVRX212", "131", 20, 24, DioGroup::Split20},
    {43, "KVRX206", "132", 16, 24, DioGroup::Standard},
    {47, "KVRX205", "133", 16, 16, DioGroup::Standard},
    {50, "KVRX207", "134", 16, 24, DioGroup::Standard},
    {52, "WYLM101", "160", 16, 24, DioGroup::Standard},
    {56, "KVRX208", "135", 16, 24, DioGroup::Standard},
    {57, "KVRX210", "136", 24, 36, DioGroup::Wide},
}};

// Week days 1..7 (Monday first) moved on by a number of days, either way.
quint8 addDays(quint8 weekday, qint64 days)
{
    const qint64 zeroBased = (qint64(weekday) - 1 + days) % 7;
    return static_cast<quint8>((zeroBased + 7) % 7 + 1);
}

QByteArray paddedTag(const QByteArray &bytes, char fill)
{
    QByteArray tag = bytes.left(kTagLength);
    tag.append(QByteArray(kTagLength - tag.size(), fill));
    return tag;
}

} // namespace

const ModelInfo *findModel(quint8 typeCode)
{
    const auto it = std::find_if(kModels.begin(), kModels.end(),
                                 [typeCode](const ModelInfo &m) { return m.typeCode == typeCode; });
    return it == kModels.end() ? nullptr : &*it;
}

const std::array<ModelInfo, 20> &models()
{
    return kModels;
}

QDateTime DeviceClock::readingAt(qint64 tick) const
{
    return setTo.addMSecs(tick - setAtTick);
}

quint8 DeviceClock::weekdayAt(qint64 tick) const
{
    return addDays(weekdayAtSet, setTo.date().daysTo(readingAt(tick).date()));
}

void DeviceClock::set(const QDateTime &reading, quint8 weekday, qint64 tick)
{
    setTo = QDateTime(reading.date(), reading.time(), Qt::UTC);
    setAtTick = tick;
    weekdayAtSet =
        (weekday >= 1 && weekday <= 7) ? weekday : static_cast<quint8>(reading.date().dayOfWeek());
}

ParameterSet ParameterSet::capture(const DeviceState &state)
{
    ParameterSet set;
    set.controlBlock = state.controlBlock;
    set.smValues = state.smValues;
    set.slaves = state.slaves;
    set.pdTag = state.identity.pdTag;
    set.system = state.system;
    set.travel = state.travel;
    set.forwardingBlock = state.forwardingBlock;
    set.slaveForwarding = state.slaveForwarding;
    set.zigbee = state.zigbee;
    set.redundancyBlock = state.redundancyBlock;
    return set;
}

void ParameterSet::restoreInto(DeviceState &state, quint8 groups) const
{
    if (groups & ControlGroup) state.controlBlock = controlBlock;
    if (groups & SmGroup) state.smValues = smValues;
    if (groups & SlaveDeviceGroup) state.slaves = slaves;
    if (groups & DescriptionGroup) state.identity.pdTag = pdTag;
    if (groups & DeviceGroup) {
        // The settings only: who the device is stays as it is.
        SystemParameters &s = state.system;
        s.ipAddress = system.ipAddress;
        s.softAddress = system.softAddress;
        s.sensorTypes = system.sensorTypes;
        s.port1 = system.port1;
        s.port2 = system.port2;
        s.diDebounce = system.diDebounce;
        s.selfRecoveryControl = system.selfRecoveryControl;
        s.selfRecoveryInterval = system.selfRecoveryInterval;
        s.udpPort = system.udpPort;
        s.cpuType = system.cpuType;
        s.slaveMaxErrors = system.slaveMaxErrors;
        s.slaveCommInterval = system.slaveCommInterval;
        s.slaveMaxWait = system.slaveMaxWait;
        state.travel.rs485_2MaxErrors = travel.rs485_2MaxErrors;
        state.travel.rs485_2CommInterval = travel.rs485_2CommInterval;
        state.travel.rs485_2WaitTime = travel.rs485_2WaitTime;
    }
    if (groups & ForwardingGroup) {
        state.forwardingBlock = forwardingBlock;
        state.slaveForwarding = slaveForwarding;
    }
    if (groups & ZigbeeGroup) state.zigbee = zigbee;
    if (groups & RedundancyGroup) state.redundancyBlock = redundancyBlock;
}

QString composeSerialNumber(quint8 typeCode, const QDate &productionDate, int series)
{
    const ModelInfo *model = findModel(typeCode);
    if (!model) return {};
    return QString::fromLatin1(model->prefix) +
           productionDate.toString(QStringLiteral("yyyyMMdd")) +
           QStringLiteral("%1").arg(std::clamp(series, 0, 4095), 4, 10, QLatin1Char('0'));
}

QByteArray composeDeviceId(const QString &hardwareNumber, const QString &serialNumber)
{
    QString id = hardwareNumber.size() == 14 ? QStringLiteral("00") : QStringLiteral("0");
    id += hardwareNumber;
    id += QString(std::max<qsizetype>(0, 16 - serialNumber.size()), QLatin1Char('0'));
    id += serialNumber;
    return paddedTag(id.toLatin1(), '0');
}

std::array<quint8, 6> composeMac(quint8 typeCode, const QDate &productionDate, int series)
{
    const auto s = static_cast<quint16>(std::clamp(series, 0, 4095));
    return {0x00,
            static_cast<quint8>(typeCode == 4 ? 0xFD : 0xFE),
            static_cast<quint8>(productionDate.year() % 100),
            static_cast<quint8>(16 * (s >> 8) + productionDate.month()),
            static_cast<quint8>(productionDate.day()),
            static_cast<quint8>(s & 0xFF)};
}

DeviceState makeDeviceState(const DeviceProfile &profile, const QDateTime &clockReading,
                            qint64 tick)
{
    DeviceState state;
    const ModelInfo *model = findModel(profile.deviceType);

    SystemParameters &s = state.system;
    s.serialNumber = std::clamp(profile.series, 0, 4095);
    s.ipAddress = profile.ipAddress;
    s.deviceType = profile.deviceType;
    s.firmwareVersion = profile.firmwareVersion;
    s.version = profile.version;
    s.productionYear = static_cast<quint16>(profile.productionDate.year());
    s.productionMonth = static_cast<quint8>(profile.productionDate.month());
    s.productionDay = static_cast<quint8>(profile.productionDate.day());
    s.productionHour = static_cast<quint8>(profile.productionTime.hour());
    s.productionMinute = static_cast<quint8>(profile.productionTime.minute());
    s.productionSecond = static_cast<quint8>(profile.productionTime.second());
    s.udpPort = profile.udpPort;
    s.port2.role = 1; // port 2 polls the slaves

    state.travel.bootVersion = profile.bootVersion;

    const QString serialNumber =
        composeSerialNumber(profile.deviceType, profile.productionDate, s.serialNumber);
    state.identity.deviceId = composeDeviceId(profile.hardwareNumber, serialNumber);
    const QString tagText =
        profile.pdTag.isEmpty()
            ? QStringLiteral("虚拟控制器 %1").arg(QLatin1String(model ? model->name : "?"))
            : profile.pdTag;
    state.identity.pdTag = paddedTag(cp936::encode(tagText), ' ');

    state.clock.set(clockReading, 0, tick);

    state.network.mac = composeMac(profile.deviceType, profile.productionDate, s.serialNumber);
    state.network.gateway = {profile.ipAddress[0], profile.ipAddress[1], profile.ipAddress[2], 1};
    state.network.subnetMask = {255, 255, 255, 0};

    // The radio's own address follows the Ethernet one.
    std::copy(state.network.mac.begin(), state.network.mac.end(), state.zigbee.mac.begin() + 2);
    state.zigbee.extendedPanId = {0, 0, 0, 0, 0, 0, 0x12, 0x34};

    for (int i = 0; i < kSlaveCount; ++i)
        state.slaves[i].address = static_cast<quint8>(i + 1);

    // A loaded user program that runs, with outputs enabled.
    state.controlBlock[0] = 1;   // function blocks run
    state.controlBlock[29] = 1;  // DQ/AQ mask enabled
    state.controlBlock[183] = 1; // forwarding buffer enabled
    state.controlBlock[204] = 1; // AQ 1:800

    state.factoryParameters = ParameterSet::capture(state);
    return state;
}

void fillBusyBlocks(DeviceState &state)
{
    for (int i = 0; i < kControlBlockLength; ++i)
        state.controlBlock[i] = char(i * 5 + 3);
    // Run flag, SM saved, forced run, DQ/AQ mask, forwarding buffer, AQ
    // compatibility; write mode; port word (self-adapting, full duplex).
    for (const int offset : {0, 1, 28, 29, 183, 204})
        state.controlBlock[offset] = 1;
    state.controlBlock[205] = 2;
    state.controlBlock[206] = char(0xFE);

    for (int i = 0; i < kRedundancyBlockLength; ++i)
        state.redundancyBlock[i] = char(i * 7 + 1);
    state.redundancyBlock[1] = 2; // type, role, level
    state.redundancyBlock[2] = 1;
    state.redundancyBlock[3] = 3;

    for (int i = 0; i < kSmValueCount; ++i)
        state.smValues[std::size_t(i)] = (i % 2 ? -1 : 1) * (i + 1) * 0x010101;

    // Three forwarding entries: Modbus RTU on serial port 1, station 7+k, to
    // UDP on Ethernet, 192.168.1.10+k, port 10000+k. A side is protocol,
    // interface, 2 reserved, address, port and 2 reserved bytes.
    QByteArray &table = state.forwardingBlock;
    table.fill('\0');
    table[0] = 3;
    for (int k = 0; k < 3; ++k) {
        const int at = 8 + 24 * k;
        const QByteArray source = QByteArray::fromHex("05020000") + char(7 + k) +
                                  QByteArray(3, '\0') + QByteArray(4, '\0');
        QByteArray destination = QByteArray::fromHex("01000000c0a801") + char(10 + k);
        const int port = 10000 + k;
        destination += char(port & 0xFF);
        destination += char(port >> 8);
        destination += QByteArray(2, '\0');
        table.replace(at, 12, source);
        table.replace(at + 12, 12, destination);
    }
    for (int i = 0; i < kSlaveCount; ++i)
        state.slaveForwarding[std::size_t(i)] = {quint16(1000 * i + 1), quint16(1000 * i + 999)};
}

} // namespace kalmo::sim
