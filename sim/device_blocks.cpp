#include "device_blocks.h"

#include "core/bytes.h"

#include <algorithm>

namespace kalmo::sim {

namespace {

// Appends fields low byte first.
class BlockWriter
{
public:
    BlockWriter &u8(quint8 v)
    {
        m_bytes.append(static_cast<char>(v));
        return *this;
    }
    BlockWriter &u16(quint16 v) { return u8(v & 0xFF).u8(v >> 8); }
    BlockWriter &u32(quint32 v) { return u16(v & 0xFFFF).u16(v >> 16); }
    BlockWriter &zeros(int count)
    {
        m_bytes.append(QByteArray(count, '\0'));
        return *this;
    }
    template <std::size_t N> BlockWriter &bytes(const std::array<quint8, N> &a)
    {
        for (const quint8 b : a)
            u8(b);
        return *this;
    }
    QByteArray take() { return std::move(m_bytes); }

private:
    QByteArray m_bytes;
};

// Reads fields low byte first; an offset outside the block throws.
class BlockReader
{
public:
    explicit BlockReader(const QByteArray &bytes) : m_bytes(bytes) {}
    quint8 u8() { return byteAt(m_bytes, m_pos++); }
    quint16 u16()
    {
        const quint16 v = le16At(m_bytes, m_pos);
        m_pos += 2;
        return v;
    }
    quint32 u32()
    {
        const quint32 v = le32At(m_bytes, m_pos);
        m_pos += 4;
        return v;
    }
    void skip(int count) { m_pos += count; }
    template <std::size_t N> void bytes(std::array<quint8, N> &a)
    {
        for (quint8 &b : a)
            b = u8();
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
};

bool hasBattery(int replyLength)
{
    return replyLength == 23 || replyLength == 15;
}

// Bit i of the result is point first + i.
quint8 packPoints(const std::array<bool, kPointCount> &points, int first, int count)
{
    quint8 byte = 0;
    for (int i = 0; i < 8 && i < count; ++i)
        if (first + i < kPointCount && points[first + i]) byte |= quint8(1u << i);
    return byte;
}

void unpackPoints(std::array<bool, kPointCount> &points, int first, int count, quint8 byte)
{
    for (int i = 0; i < 8 && i < count; ++i)
        if (first + i < kPointCount) points[first + i] = (byte >> i) & 1u;
}

// The points in the numbering of a standard model: outputs, then inputs.
std::array<bool, kPointCount> standardStates(const DioState &dio, const ModelInfo &model)
{
    std::array<bool, kPointCount> states{};
    for (int k = 0; k < model.outputs; ++k)
        states[k] = dio.outputs[k];
    for (int k = 0; k < model.inputs && model.outputs + k < kPointCount; ++k)
        states[model.outputs + k] = dio.inputs[k];
    return states;
}

ModelInfo modelOf(quint8 typeCode)
{
    const ModelInfo *model = findModel(typeCode);
    return model ? *model : ModelInfo{typeCode, "", "", 16, 24, DioGroup::Standard};
}

} // namespace

// ---- System parameter block -------------------------------------------------

QByteArray systemInfoSerialData(const DeviceState &state)
{
    const SystemParameters &s = state.system;
    const TravelItems &t = state.travel;
    BlockWriter w;
    w.u32(static_cast<quint32>(s.serialNumber)).bytes(s.ipAddress).u8(s.softAddress);
    w.bytes(s.sensorTypes);
    w.u8(s.port1.line).u8(s.port1.protocol).u8(s.port2.line).u8(s.port2.protocol);
    w.u8(s.carriedByte1).u16(s.diDebounce).u16(s.carriedWord).u8(s.carriedByte2);
    w.u16(s.selfRecoveryControl).u16(s.selfRecoveryInterval);
    w.u8(s.deviceType).u16(s.versionWord1).u16(s.versionWord2).u16(s.firmwareVersion);
    w.u8(s.reservedByte).u8(s.version).bytes(s.spare);
    w.u16(s.productionYear).u8(s.productionMonth).u8(s.productionDay);
    w.u8(s.productionHour).u8(s.productionMinute).u8(s.productionSecond);
    w.u8(s.port1.role).u8(s.port2.role).u8(s.flagBits).u16(s.udpPort).u16(s.cpuType);
    w.u8(s.slaveMaxErrors).u16(s.slaveCommInterval).u16(s.slaveMaxWait);
    w.u8(s.port1.packetInterval).u8(s.port2.packetInterval);
    w.u8(t.noUserProgram).u8(t.bootVersion).zeros(19);
    w.u8(t.rs485_2MaxErrors).u16(t.rs485_2CommInterval).u16(t.rs485_2WaitTime);
    w.u16(t.flashFlags).zeros(12);
    QByteArray data = w.take();
    Q_ASSERT(data.size() == kSystemInfoSerialDataLength);
    return data;
}

QByteArray systemInfoNetworkData(const DeviceState &state)
{
    // Up to the boot version (serial data 0..65) the two layouts agree.
    constexpr int kCommonLength = 66;
    const TravelItems &t = state.travel;
    BlockWriter w;
    w.zeros(21);                                                                // 78..98
    w.u8(t.rs485_2MaxErrors).u16(t.rs485_2CommInterval).u16(t.rs485_2WaitTime); // 99..103
    w.zeros(8);                                                                 // 104..111
    w.u16(t.flashFlags).zeros(2);                                               // 112..115
    QByteArray data = systemInfoSerialData(state).left(kCommonLength) + w.take();
    Q_ASSERT(data.size() == kSystemInfoNetworkDataLength);
    return data;
}

QByteArray writeImage(const DeviceState &state)
{
    const SystemParameters &s = state.system;
    const TravelItems &t = state.travel;
    BlockWriter w;
    w.u32(static_cast<quint32>(s.serialNumber)).bytes(s.ipAddress).u8(s.softAddress);
    w.u8(s.port1.line).u8(s.port1.protocol).u8(s.port2.line).u8(s.port2.protocol);
    w.u8(s.carriedByte1).u16(s.diDebounce).u16(s.carriedWord).u8(s.carriedByte2);
    w.u16(s.productionYear).u8(s.productionMonth).u8(s.productionDay);
    w.u8(s.productionHour).u8(s.productionMinute).u8(s.productionSecond);
    w.u8(s.port1.role).u8(s.port2.role).u8(s.flagBits);
    w.u16(s.udpPort).u16(s.cpuType).u8(s.slaveMaxErrors).u16(s.slaveCommInterval);
    w.u16(s.slaveMaxWait).u16(s.selfRecoveryControl).u16(s.selfRecoveryInterval);
    w.u8(s.port1.packetInterval).u8(s.port2.packetInterval);
    w.u8(0).u8(0x55).u8(0xAA);
    w.u8(t.rs485_2MaxErrors).u16(t.rs485_2CommInterval).u16(t.rs485_2WaitTime);
    QByteArray image = w.take();
    Q_ASSERT(image.size() == kWriteImageLength);
    return image;
}

bool applyWriteImage(DeviceState &state, const QByteArray &image)
{
    if (image.size() != kWriteImageLength || byteAt(image, 45) != 0x55 || byteAt(image, 46) != 0xAA)
        return false;
    SystemParameters &s = state.system;
    TravelItems &t = state.travel;
    BlockReader r(image);
    s.serialNumber = static_cast<qint32>(r.u32());
    r.bytes(s.ipAddress);
    s.softAddress = r.u8();
    s.port1.line = r.u8();
    s.port1.protocol = r.u8();
    s.port2.line = r.u8();
    s.port2.protocol = r.u8();
    s.carriedByte1 = r.u8();
    s.diDebounce = r.u16();
    s.carriedWord = r.u16();
    s.carriedByte2 = r.u8();
    s.productionYear = r.u16();
    s.productionMonth = r.u8();
    s.productionDay = r.u8();
    s.productionHour = r.u8();
    s.productionMinute = r.u8();
    s.productionSecond = r.u8();
    s.port1.role = r.u8();
    s.port2.role = r.u8();
    s.flagBits = r.u8();
    s.udpPort = r.u16();
    s.cpuType = r.u16();
    s.slaveMaxErrors = r.u8();
    s.slaveCommInterval = r.u16();
    s.slaveMaxWait = r.u16();
    s.selfRecoveryControl = r.u16();
    s.selfRecoveryInterval = r.u16();
    s.port1.packetInterval = r.u8();
    s.port2.packetInterval = r.u8();
    r.skip(3); // 0 and the end marker
    t.rs485_2MaxErrors = r.u8();
    t.rs485_2CommInterval = r.u16();
    t.rs485_2WaitTime = r.u16();
    return true;
}

// ---- DI/DO --------------------------------------------------------------------

int serialDioReplyLength(quint8 typeCode, quint16 firmwareVersion)
{
    // The models whose block may end with the battery byte.
    static constexpr quint8 kWithBattery[] = {8,  10, 12, 15, 24, 25, 26, 28, 30, 31,
                                              34, 36, 37, 42, 43, 47, 50, 52, 56, 57};
    const bool newFirmware = firmwareVersion > 12855;
    if (typeCode == 4) return newFirmware ? 15 : 14;
    if (std::find(std::begin(kWithBattery), std::end(kWithBattery), typeCode) ==
        std::end(kWithBattery))
        return 22;
    return (typeCode == 28 || typeCode == 36 || newFirmware) ? 23 : 22;
}

QByteArray dioSerialData(const DeviceState &state, int replyLength)
{
    const DioState &dio = state.dio;
    const ModelInfo model = modelOf(state.system.deviceType);
    QByteArray d(replyLength - 7, '\0');
    auto put = [&d](int frameOffset, quint8 value) { setByteAt(d, frameOffset - 3, value); };

    switch (model.group) {
    case DioGroup::Standard: {
        const auto states = standardStates(dio, model);
        for (int i = 0; i < 6; ++i)
            put(3 + i, packPoints(states, 8 * i, 8));
        break;
    }
    case DioGroup::Split20:
        put(3, packPoints(dio.outputs, 0, 8));
        put(4, packPoints(dio.outputs, 8, 8));
        for (int i = 0; i < 3; ++i)
            put(5 + i, packPoints(dio.inputs, 8 * i, 8));
        put(8, packPoints(dio.outputs, 16, 4));
        break;
    case DioGroup::Wide:
        put(3, packPoints(dio.outputs, 0, 8));
        put(4, packPoints(dio.outputs, 8, 8));
        put(12, packPoints(dio.outputs, 16, 8));
        for (int i = 0; i < 4; ++i)
            put(5 + i, packPoints(dio.inputs, 8 * i, 8));
        put(10, packPoints(dio.inputs, 32, model.inputs - 32));
        break;
    }
    put(9, dio.hardAddress);

    if (replyLength >= 22 && model.group != DioGroup::Wide) {
        for (int i = 0; i < 4; ++i) {
            const auto v = static_cast<quint16>(dio.highSpeedValues[i]);
            put(10 + 2 * i, v & 0xFF);
            put(11 + 2 * i, v >> 8);
        }
    }
    if (hasBattery(replyLength)) put(replyLength == 15 ? 10 : 18, dio.batteryTenths);
    return d;
}

QByteArray doWriteData(const DeviceState &state)
{
    const DioState &dio = state.dio;
    const ModelInfo model = modelOf(state.system.deviceType);
    QByteArray d(kDoWriteDataLength, '\0');
    if (model.group == DioGroup::Split20) {
        d[0] = static_cast<char>(packPoints(dio.outputs, 0, 8));
        d[1] = static_cast<char>(packPoints(dio.outputs, 8, 8));
        d[2] = static_cast<char>(packPoints(dio.outputs, 16, 4));
        return d;
    }
    for (int i = 0; i < kDoWriteDataLength && 8 * i < model.outputs; ++i)
        d[i] = static_cast<char>(packPoints(dio.outputs, 8 * i, model.outputs - 8 * i));
    return d;
}

void applyDoWrite(DeviceState &state, const QByteArray &data)
{
    DioState &dio = state.dio;
    const ModelInfo model = modelOf(state.system.deviceType);
    if (model.group == DioGroup::Split20) {
        unpackPoints(dio.outputs, 0, 8, byteAt(data, 0));
        unpackPoints(dio.outputs, 8, 8, byteAt(data, 1));
        unpackPoints(dio.outputs, 16, 4, byteAt(data, 2));
        return;
    }
    for (int i = 0; i < kDoWriteDataLength && 8 * i < model.outputs; ++i)
        unpackPoints(dio.outputs, 8 * i, model.outputs - 8 * i, byteAt(data, i));
}

QByteArray dioNetworkData(const DeviceState &state)
{
    const DioState &dio = state.dio;
    const auto states = standardStates(dio, modelOf(state.system.deviceType));
    BlockWriter w;
    for (int i = 0; i < kDoWriteDataLength; ++i)
        w.u8(packPoints(states, 8 * i, 8));
    w.u8(dio.hardAddress).u8(dio.batteryTenths);
    return w.take();
}

void applyNetworkDoWrite(DeviceState &state, const QByteArray &data)
{
    const ModelInfo model = modelOf(state.system.deviceType);
    byteAt(data, kDoWriteDataLength - 1);
    const int outputs = std::min(model.outputs, 8 * kDoWriteDataLength);
    for (int k = 0; k < outputs; ++k)
        state.dio.outputs[k] = (byteAt(data, k / 8) >> (k % 8)) & 1u;
}

// ---- Clock --------------------------------------------------------------------

QByteArray clockData(const QDateTime &reading, quint8 weekday)
{
    const QDate date = reading.date();
    const QTime time = reading.time();
    BlockWriter w;
    w.u16(static_cast<quint16>(date.year())).u8(date.month()).u8(date.day());
    w.u8(time.hour()).u8(time.minute()).u8(time.second()).u8(weekday);
    return w.take();
}

std::optional<ClockSetting> parseClockData(const QByteArray &data)
{
    BlockReader r(data);
    const int year = r.u16();
    const int month = r.u8();
    const int day = r.u8();
    const int hour = r.u8();
    const int minute = r.u8();
    const int second = r.u8();
    const quint8 weekday = r.u8();
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid()) return std::nullopt;
    return ClockSetting{QDateTime(date, time, Qt::UTC),
                        (weekday >= 1 && weekday <= 7) ? weekday : quint8(0)};
}

// ---- Identity and network identity -------------------------------------------

QByteArray tagBlock(const Identity &identity)
{
    return identity.deviceId + identity.pdTag;
}

void applyTagBlock(Identity &identity, const QByteArray &block)
{
    byteAt(block, kTagBlockLength - 1);
    identity.deviceId = block.left(kTagLength);
    identity.pdTag = block.mid(kTagLength, kTagLength);
}

QByteArray networkTagRead(const Identity &identity)
{
    return tagBlock(identity) + QByteArray(kNetworkTagReadLength - kTagBlockLength, '\0');
}

QByteArray gatewayBlock(const NetworkIdentity &network)
{
    return BlockWriter().bytes(network.gateway).bytes(network.subnetMask).take();
}

void applyGatewayBlock(NetworkIdentity &network, const QByteArray &block)
{
    BlockReader r(block);
    r.bytes(network.gateway);
    r.bytes(network.subnetMask);
}

// ---- Zigbee -------------------------------------------------------------------

QByteArray zigbeeBlock(const ZigbeeParameters &z)
{
    BlockWriter w;
    w.u8(z.deviceLogic).u8(z.networkType).u16(z.deviceNumber).u32(z.channelMask);
    w.bytes(z.mac).bytes(z.extendedPanId).u8(z.enabled).u8(z.chainAddress);
    w.u16(z.readInterval).u16(z.writeInterval).u16(z.maxWaitCount).u16(z.selfCheckTime);
    return w.take();
}

void applyZigbeeBlock(ZigbeeParameters &z, const QByteArray &block)
{
    byteAt(block, kZigbeeBlockLength - 1);
    BlockReader r(block);
    z.deviceLogic = r.u8();
    z.networkType = r.u8();
    z.deviceNumber = r.u16();
    z.channelMask = r.u32();
    r.bytes(z.mac);
    r.bytes(z.extendedPanId);
    z.enabled = r.u8();
    z.chainAddress = r.u8();
    z.readInterval = r.u16();
    z.writeInterval = r.u16();
    z.maxWaitCount = r.u16();
    z.selfCheckTime = r.u16();
}

// ---- Parameter dialogs' blocks -----------------------------------------------

QByteArray smBlock(const std::array<qint32, kSmValueCount> &values)
{
    BlockWriter w;
    for (const qint32 v : values)
        w.u32(static_cast<quint32>(v));
    return w.take();
}

void applySmBlock(std::array<qint32, kSmValueCount> &values, const QByteArray &block)
{
    byteAt(block, kSmBlockLength - 1);
    BlockReader r(block);
    for (qint32 &v : values)
        v = static_cast<qint32>(r.u32());
}

QByteArray slaveForwardingBlock(const std::array<AddressRange, kSlaveCount> &ranges)
{
    BlockWriter w;
    for (const AddressRange &range : ranges)
        w.u16(range.start).u16(range.end);
    return w.take();
}

void applySlaveForwardingBlock(std::array<AddressRange, kSlaveCount> &ranges,
                               const QByteArray &block)
{
    byteAt(block, kSlaveForwardingBlockLength - 1);
    BlockReader r(block);
    for (AddressRange &range : ranges) {
        range.start = r.u16();
        range.end = r.u16();
    }
}

void applyForwardingWrite(QByteArray &forwardingBlock, const QByteArray &written)
{
    forwardingBlock.resize(kForwardingBlockLength, '\0');
    const qsizetype count = std::min<qsizetype>(written.size(), kForwardingBlockLength);
    std::copy_n(written.cbegin(), count, forwardingBlock.begin());
}

QByteArray slaveRecord(const DeviceState &state, quint8 number)
{
    BlockWriter w;
    w.u8(number).zeros(3);
    if (number >= kSlaveCount) return w.zeros(kSlaveRecordLength - 4).take();
    const SlaveDevice &slave = state.slaves[number];
    w.u8(slave.address).u8(slave.format).u16(slave.typeCode).u16(slave.scanPeriod);
    w.u8(slave.scanFunction).u8(0);
    return w.take();
}

bool applySlaveRecord(DeviceState &state, const QByteArray &record)
{
    BlockReader r(record);
    const quint8 number = r.u8();
    byteAt(record, kSlaveRecordLength - 1);
    if (number >= kSlaveCount) return false;
    SlaveDevice &slave = state.slaves[number];
    r.skip(3);
    slave.address = r.u8();
    slave.format = r.u8();
    slave.typeCode = r.u16();
    slave.scanPeriod = r.u16();
    slave.scanFunction = r.u8();
    return true;
}

// ---- Whole areas of the network service -------------------------------------

QByteArray systemMemoryData(quint8 weekday)
{
    QByteArray area(kSystemMemoryLength, '\0');
    setByteAt(area, kWeekdayOffsetInSystemMemory, weekday);
    return area;
}

QByteArray userArea(const DeviceState &state, const QByteArray &clock)
{
    QByteArray area =
        systemInfoNetworkData(state) + clock.left(kClockDataLength) + dioNetworkData(state) +
        QByteArray(reinterpret_cast<const char *>(state.network.mac.data()), kMacLength);
    for (quint8 number = 0; number < kSlaveCount; ++number)
        area += slaveRecord(state, number);
    Q_ASSERT(area.size() == kUserAreaLength);
    return area;
}

} // namespace kalmo::sim
