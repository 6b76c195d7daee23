#include "virtual_controller.h"

#include "core/bytes.h"
#include "core/error_log.h"
#include "device_blocks.h"
#include "line_rate.h"
#include "network_service.h"
#include "protocol/crc.h"
#include "protocol/frames.h"
#include "serial_functions.h"

#include <QElapsedTimer>

#include <memory>
#include <utility>

namespace kalmo::sim {

namespace {

VirtualController::TickSource monotonicTick()
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] { return timer->elapsed(); };
}

// The wall-clock time of the host, as a calendar value.
QDateTime hostClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QDateTime(now.date(), now.time(), Qt::UTC);
}

// Frame bytes from..from+count-1 of a request whose length is already known
// to cover them.
QByteArray payload(const QByteArray &request, qsizetype from, qsizetype count)
{
    byteAt(request, from + count - 1);
    return request.mid(from, count);
}

// The request is a sound frame: header, trailer and the CRC over the function
// number and payload.
bool soundFrame(const QByteArray &request)
{
    const qsizetype n = request.size();
    if (n < kMinSerialFrameLength) return false;
    if (byteAt(request, 0) != kSerialHeaderByte || byteAt(request, 1) != kSerialHeaderByte ||
        byteAt(request, n - 2) != kSerialTrailerByte ||
        byteAt(request, n - 1) != kSerialTrailerByte)
        return false;
    const quint16 crc = CrcCheck(request, n);
    return le16At(request, n - 4) == crc;
}

} // namespace

VirtualController::VirtualController(const DeviceProfile &profile)
    : m_random(m_faults.seed), m_delayRandom(m_faults.seed), m_tick(monotonicTick())
{
    m_state = makeDeviceState(profile, hostClock(), tick());
}

void VirtualController::setFaults(const FaultOptions &faults)
{
    m_faults = faults;
    m_random.seed(faults.seed);
    m_delayRandom.seed(faults.seed);
}

int VirtualController::nextReplyDelayMs()
{
    const int low = m_faults.delayMs;
    const int high = m_faults.delayMaxMs;
    if (high <= low) return low;
    return low + int(m_delayRandom() % quint64(high - low + 1));
}

void VirtualController::setTickSource(TickSource source)
{
    const QDateTime reading = clockReading();
    const quint8 weekday = clockWeekday();
    m_tick = std::move(source);
    m_state.clock.set(reading, weekday, tick());
}

qint64 VirtualController::tick() const
{
    return m_tick();
}

QDateTime VirtualController::clockReading() const
{
    return m_state.clock.readingAt(tick());
}

quint8 VirtualController::clockWeekday() const
{
    return m_state.clock.weekdayAt(tick());
}

void VirtualController::setClock(const QDateTime &reading, quint8 weekday)
{
    m_state.clock.set(reading, weekday, tick());
}

bool VirtualController::setInput(int channel, bool on)
{
    const ModelInfo *model = findModel(m_state.system.deviceType);
    const int inputs = model ? model->inputs : 24;
    if (channel < 0 || channel >= inputs) return false;
    m_state.dio.inputs[channel] = on;
    return true;
}

qint32 VirtualController::expectedLineRate() const
{
    return m_state.firmware.fastLine && !loaderIdle() ? kUpgradeLineRate : kNormalLineRate;
}

SerialExchange VirtualController::serveSerial(const QByteArray &request)
{
    SerialExchange exchange;
    exchange.request = request;
    if (request.size() >= 3) exchange.functionNumber = static_cast<quint8>(request[2]);
    giveUpIdleTransfer();
    if (m_state.firmware.silent) {
        exchange.fault = ReplyFault::Silent;
        return exchange;
    }
    if (m_lineRate != 0 && m_lineRate != expectedLineRate()) {
        exchange.wrongRate = true;
        return exchange;
    }
    if (!soundFrame(request)) return exchange;
    const quint8 number = static_cast<quint8>(request[2]);
    const SerialFunction *function = findSerialFunction(number);
    if (!function || !function->requestLengths.contains(int(request.size()))) return exchange;

    bool answered = false;
    QByteArray data;
    try {
        data = replyData(number, request, answered);
    } catch (const ProcedureError &) {
        answered = false; // a request the handler could not read
    }
    const ReplyFault loaderFault = std::exchange(m_loaderFault, ReplyFault::None);
    if (loaderFault == ReplyFault::Silent) exchange.fault = loaderFault;
    if (!answered) return exchange;

    exchange.requestSound = true;
    exchange.cleanReply = buildSerialFrame(number, data);
    if (number == 32 && byteAt(request, 3) == m_faults.dropSlave) {
        exchange.fault = ReplyFault::Dropped;
        return exchange;
    }
    Q_ASSERT(function->replyLength <= 0 || exchange.cleanReply.size() == function->replyLength);
    if (loaderFault == ReplyFault::PacketFailed) {
        exchange.fault = loaderFault;
        exchange.reply = exchange.cleanReply;
        const qsizetype crc = exchange.reply.size() - 4;
        setLe16At(exchange.reply, crc, static_cast<quint16>(~le16At(exchange.reply, crc)));
        return exchange;
    }
    exchange.reply = applyFaults(exchange.cleanReply, exchange.fault);
    return exchange;
}

double VirtualController::draw()
{
    // 53 random bits as a fraction in [0, 1): the same on every platform.
    return double(m_random() >> 11) * 0x1.0p-53;
}

qsizetype VirtualController::pick(qsizetype lowest, qsizetype highest)
{
    return lowest + qsizetype(m_random() % quint64(highest - lowest + 1));
}

QByteArray VirtualController::applyFaults(const QByteArray &reply, ReplyFault &fault)
{
    // Four draws for every reply, so one option does not shift the others.
    const double drop = draw();
    const double corrupt = draw();
    const double truncate = draw();
    const double trailer = draw();
    const qsizetype n = reply.size();

    if (drop < m_faults.dropProbability) {
        fault = ReplyFault::Dropped;
        return {};
    }
    if (corrupt < m_faults.corruptProbability) {
        fault = ReplyFault::Corrupted;
        QByteArray bad = reply;
        const qsizetype bit = pick(2 * 8, (n - 2) * 8 - 1); // number, data or CRC
        bad[bit / 8] = static_cast<char>(bad[bit / 8] ^ (1 << (bit % 8)));
        return bad;
    }
    if (truncate < m_faults.truncateProbability) {
        fault = ReplyFault::Truncated;
        return reply.left(pick(1, n - 1));
    }
    if (trailer < m_faults.wrongTrailerProbability) {
        fault = ReplyFault::WrongTrailer;
        QByteArray bad = reply;
        bad[n - 2] = static_cast<char>(0xBB);
        bad[n - 1] = static_cast<char>(0xBB);
        return bad;
    }
    fault = ReplyFault::None;
    return reply;
}

// The loader has had nothing for too long: what it holds open is given up
// at the next request.
bool VirtualController::loaderIdle() const
{
    const FirmwareStore &fw = m_state.firmware;
    const qint64 limit = fw.announcedPackets > 0 ? kLoaderIdleMs : kLoaderStartIdleMs;
    return fw.transferOpen && tick() - fw.lastActivityTick >= limit;
}

void VirtualController::giveUpIdleTransfer()
{
    if (loaderIdle()) abandonTransfer();
}

// The open transfer goes; the stored image stays the one before.
void VirtualController::abandonTransfer()
{
    FirmwareStore &fw = m_state.firmware;
    fw.transferOpen = false;
    fw.fastLine = false;
    fw.silent = false;
    fw.announcedPackets = 0;
    fw.receiving.clear();
    ++fw.abandonedTransfers;
}

void VirtualController::startFirmwareTransfer()
{
    FirmwareStore &fw = m_state.firmware;
    if (fw.transferOpen) abandonTransfer();
    fw.transferOpen = true;
    fw.lastActivityTick = tick();
}

void VirtualController::announceFirmwarePackets(int count, bool serial)
{
    // Packets received before the count start again.
    FirmwareStore &fw = m_state.firmware;
    fw.announcedPackets = count;
    fw.receiving.clear();
    fw.lastActivityTick = tick();
    // The serial packets follow at the upgrade rate.
    fw.fastLine = serial && fw.transferOpen && count > 0;
}

void VirtualController::stopAndClear()
{
    // Stop the user program and clear it.
    m_state.maintenance.programRunning = false;
    ++m_state.maintenance.stopAndClearCount;
    record(QStringLiteral("stop and clear"));
    m_state.travel.noUserProgram = 1;
    m_state.controlBlock[0] = 0; // function blocks stopped
}

void VirtualController::record(const QString &command)
{
    m_state.maintenance.received.append(command);
}

void VirtualController::switchLightBoard(bool on)
{
    m_state.maintenance.lightBoardCheck = on ? 1 : 0;
    record(on ? QStringLiteral("light board on") : QStringLiteral("light board off"));
}

void VirtualController::restoreSelected(quint8 groups)
{
    record(QString::asprintf("restore selected with 0x%02X", unsigned(groups)));
    restoreSaved(groups);
}

void VirtualController::restoreSaved(quint8 groups)
{
    if (m_state.savedParameters) m_state.savedParameters->restoreInto(m_state, groups);
}

// Stores one packet of the open transfer. Answers the loader fault it hit.
ReplyFault VirtualController::receivePacket(const QByteArray &packet)
{
    FirmwareStore &fw = m_state.firmware;
    const int number = int(fw.receiving.size() / kFirmwarePacketSize);
    if (!fw.transferOpen || number >= fw.announcedPackets) {
        ++fw.strayPackets;
        return ReplyFault::None;
    }
    fw.lastActivityTick = tick();
    if (number == m_faults.silentAtPacket) {
        fw.silent = true;
        return ReplyFault::Silent;
    }
    if (number == m_faults.failPacket) {
        abandonTransfer();
        return ReplyFault::PacketFailed;
    }
    fw.receiving.append(packet);
    if (number + 1 == fw.announcedPackets) {
        fw.image = fw.receiving;
        fw.imageCrc32 = crc32(fw.image);
        fw.receiving.clear();
        fw.transferOpen = false;
        fw.fastLine = false;
        ++fw.completedTransfers;
    }
    return ReplyFault::None;
}

// The data part of the reply (between the function number and the CRC).
// `answered` stays false for a request the device refuses.
QByteArray VirtualController::replyData(quint8 function, const QByteArray &request, bool &answered)
{
    DeviceState &s = m_state;
    const qsizetype n = request.size();
    answered = true;
    const auto data = [&](qsizetype count) { return payload(request, 3, count); };

    switch (function) {
    case 1:
        return systemInfoSerialData(s);
    case 4:
        if (!applyWriteImage(s, data(kWriteImageLength))) {
            answered = false;
            return {};
        }
        return writeImage(s) + QByteArray(32, '\0');
    case 13:
        return dioSerialData(s,
                             serialDioReplyLength(s.system.deviceType, s.system.firmwareVersion));
    case 14:
        applyDoWrite(s, data(kDoWriteDataLength));
        return doWriteData(s);
    case 19:
        return clockData(clockReading(), clockWeekday());
    case 20: {
        // A date or time that does not exist leaves the clock as it was.
        if (const auto setting = parseClockData(data(kClockDataLength)))
            setClock(setting->reading, setting->weekday);
        return clockData(clockReading(), clockWeekday());
    }
    case 21:
        return tagBlock(s.identity);
    case 22:
        applyTagBlock(s.identity, data(kTagBlockLength));
        return tagBlock(s.identity);
    case 32:
        return slaveRecord(s, byteAt(request, 3));
    case 33: {
        const QByteArray record = data(kSlaveRecordLength);
        applySlaveRecord(s, record);
        return slaveRecord(s, byteAt(record, 0));
    }
    case 36: {
        const QByteArray mac = data(kMacLength);
        for (int i = 0; i < kMacLength; ++i)
            s.network.mac[i] = byteAt(mac, i);
        return mac;
    }
    case 37:
        return QByteArray(reinterpret_cast<const char *>(s.network.mac.data()), kMacLength);
    case 40:
        record(QStringLiteral("RAM test"));
        return QByteArray(1, static_cast<char>(s.maintenance.ramTestResult));
    case 43:
        stopAndClear();
        return {};
    case 44:
        switchLightBoard(byteAt(request, 3) != 0);
        return QByteArray(1, static_cast<char>(s.maintenance.lightBoardCheck));
    case 45:
        startFirmwareTransfer();
        return {};
    case 46:
        announceFirmwarePackets(le16At(request, 3), true);
        return data(2);
    case 47:
        m_loaderFault = receivePacket(data(kFirmwarePacketSize));
        answered = m_loaderFault != ReplyFault::Silent;
        return {};
    case 52:
        s.factoryParameters.restoreInto(s, AllGroups);
        record(QStringLiteral("restore defaults"));
        return {};
    case 55:
        s.savedParameters = ParameterSet::capture(s);
        record(QStringLiteral("save"));
        return {};
    case 56: {
        // Bare: everything saved comes back. With 0x55 0xAA and a selection
        // byte: the selected groups only.
        if (n == 10) {
            if (byteAt(request, 3) != 0x55 || byteAt(request, 4) != 0xAA) {
                answered = false;
                return {};
            }
            restoreSelected(byteAt(request, 5));
            return {};
        }
        record(QStringLiteral("restore"));
        restoreSaved(AllGroups);
        return {};
    }
    case 57:
        return zigbeeBlock(s.zigbee);
    case 58: {
        HighSpeedIo &io = s.highSpeedIo;
        if (n == 13) {
            io.di22 = byteAt(request, 3);
            io.di23 = byteAt(request, 4);
            io.di21 = byteAt(request, 5);
            io.di20 = byteAt(request, 6);
            io.q00 = byteAt(request, 7);
            io.q01 = byteAt(request, 8);
            record(QStringLiteral("high-speed I/O DI22=%1 DI23=%2 DI21=%3 DI20=%4 Q0.0=%5 Q0.1=%6")
                       .arg(io.di22)
                       .arg(io.di23)
                       .arg(io.di21)
                       .arg(io.di20)
                       .arg(io.q00)
                       .arg(io.q01));
            return QByteArray{} + char(io.di22) + char(io.di23) + char(io.di21) + char(io.di20) +
                   char(io.q00) + char(io.q01);
        }
        io.di22 = byteAt(request, 3);
        io.di23 = byteAt(request, 4);
        io.q00 = byteAt(request, 5);
        io.q01 = byteAt(request, 6);
        record(QStringLiteral("high-speed I/O DI22=%1 DI23=%2 Q0.0=%3 Q0.1=%4")
                   .arg(io.di22)
                   .arg(io.di23)
                   .arg(io.q00)
                   .arg(io.q01));
        return QByteArray{} + char(io.di22) + char(io.di23) + char(io.q00) + char(io.q01);
    }
    case 59: {
        // Two frequencies, high byte first.
        for (int i = 0; i < 2; ++i)
            s.outputFrequencies[i] = static_cast<quint16>((byteAt(request, 3 + 2 * i) << 8) |
                                                          byteAt(request, 4 + 2 * i));
        record(QStringLiteral("output frequencies %1 %2")
                   .arg(s.outputFrequencies[0])
                   .arg(s.outputFrequencies[1]));
        return data(4);
    }
    case 64:
        applyZigbeeBlock(s.zigbee, data(kZigbeeBlockLength));
        return zigbeeBlock(s.zigbee);
    case 65:
        return QByteArray(1, static_cast<char>(s.zigbee.testResult)) + '\0';
    case 66:
        return slaveForwardingBlock(s.slaveForwarding);
    case 67:
        applySlaveForwardingBlock(s.slaveForwarding, data(kSlaveForwardingBlockLength));
        return {};
    case 68:
        return s.forwardingBlock;
    case 69:
        applyForwardingWrite(s.forwardingBlock, data(n - 7));
        return {};
    case 70:
        return s.redundancyBlock;
    case 71:
        s.redundancyBlock = data(kRedundancyBlockLength);
        return {};
    case 73:
        return smBlock(s.smValues);
    case 74:
        applySmBlock(s.smValues, data(kSmBlockLength));
        return {};
    case 75:
        return s.controlBlock;
    case 76:
        s.controlBlock = data(kControlBlockLength);
        return {};
    case 77:
        return gatewayBlock(s.network);
    case 78:
        applyGatewayBlock(s.network, data(kGatewayBlockLength));
        return {};
    case 79:
        return QByteArray(1, static_cast<char>(s.profibusEnabled));
    case 80:
        s.profibusEnabled = byteAt(request, 3);
        record(s.profibusEnabled ? QStringLiteral("Profibus on") : QStringLiteral("Profibus off"));
        return QByteArray(1, static_cast<char>(s.profibusEnabled));
    case 87:
        s.can.baudIndex = byteAt(request, 3);
        s.can.role = byteAt(request, 4);
        return QByteArray{} + char(s.can.baudIndex) + char(s.can.role);
    case 88:
        return QByteArray(1, static_cast<char>(s.can.detectValue));
    case 89:
        return QByteArray{} + char(s.can.baudIndex) + char(s.can.role);
    default:
        answered = false;
        return {};
    }
}

// ---- The read/write service ----------------------------------------------------

NetworkExchange VirtualController::serveNetwork(const QByteArray &datagram)
{
    NetworkExchange exchange;
    exchange.request = parseNetworkRequest(datagram);
    if (!exchange.request) return exchange;
    const NetworkRequest &r = *exchange.request;
    giveUpIdleTransfer();
    if (m_state.firmware.silent) {
        exchange.fault = ReplyFault::Silent;
        return exchange;
    }

    // Five draws for every request, so one option does not shift the others.
    const bool drop = draw() < m_faults.dropProbability;
    const bool errorStatus = draw() < m_faults.errorStatusProbability;
    const bool wrongSequence = draw() < m_faults.wrongSequenceProbability;
    const bool corrupt = draw() < m_faults.corruptProbability;
    const bool truncate = draw() < m_faults.truncateProbability;

    const auto reply = [&r](NetworkStatus status, const QByteArray &data = {}) {
        return buildNetworkReply(r.service, status, r.sequence, r.blockAddress, data);
    };

    if (!drop && errorStatus) {
        // A failure reported is a failure: the request is not carried out.
        static constexpr NetworkStatus kFailures[] = {
            NetworkStatus::Failed00, NetworkStatus::Failed10, NetworkStatus::Refused};
        exchange.fault = ReplyFault::ErrorStatus;
        exchange.reply = reply(kFailures[pick(0, 2)]);
        return exchange;
    }

    std::optional<QByteArray> data;
    if (r.wellFormed) {
        try {
            if (r.service == NetworkService::Read)
                data = networkReadData(r);
            else if (applyNetworkWrite(r))
                data = QByteArray();
        } catch (const ProcedureError &) {
            data.reset(); // a payload the block could not read
        }
    }
    if (const ReplyFault loaderFault = std::exchange(m_loaderFault, ReplyFault::None);
        loaderFault != ReplyFault::None) {
        // Refused or unanswered as the loader says, with no other fault on top.
        exchange.fault = loaderFault;
        if (loaderFault == ReplyFault::PacketFailed)
            exchange.reply = exchange.cleanReply = reply(NetworkStatus::Refused);
        return exchange;
    }
    exchange.served = data.has_value();
    exchange.cleanReply = data ? reply(NetworkStatus::Done, *data) : reply(NetworkStatus::Refused);

    QByteArray out = exchange.cleanReply;
    const qsizetype n = out.size();
    const bool droppedSlave = r.service == NetworkService::Read &&
                              r.blockAddress == kUserBlockAddress && r.blockType == 14 &&
                              (r.itemCount & 0xFF) == m_faults.dropSlave;
    if (drop || droppedSlave) {
        exchange.fault = ReplyFault::Dropped;
        out.clear();
    } else if (wrongSequence) {
        exchange.fault = ReplyFault::WrongSequence;
        const auto other = static_cast<quint16>(r.sequence + pick(1, 0xFFFF));
        setLe16At(out, 6, other);
    } else if (corrupt && n > kNetworkReplyHeaderLength) {
        exchange.fault = ReplyFault::Corrupted;
        const qsizetype bit = pick(kNetworkReplyHeaderLength * 8, n * 8 - 1);
        out[bit / 8] = static_cast<char>(out[bit / 8] ^ (1 << (bit % 8)));
    } else if (truncate) {
        exchange.fault = ReplyFault::Truncated;
        out.truncate(pick(1, n - 1));
    }
    exchange.reply = out;
    return exchange;
}

// The data of a read reply (from datagram offset 12), or nothing for a block
// the controller does not have.
std::optional<QByteArray> VirtualController::networkReadData(const NetworkRequest &r)
{
    const DeviceState &s = m_state;
    switch (r.blockAddress) {
    case kUserBlockAddress:
        switch (r.blockType) {
        case 0: {
            // The dump: a length word, then the whole area from offset 14.
            const QByteArray area = userArea(s, clockData(clockReading(), clockWeekday()));
            QByteArray data(2, '\0');
            setLe16At(data, 0, static_cast<quint16>(area.size()));
            return data + area;
        }
        case 1:
            return systemInfoNetworkData(s);
        case 5:
            return clockData(clockReading(), clockWeekday());
        case 9:
            return dioNetworkData(s);
        case 14:
            // The low byte of the item count is the slave number.
            return slaveRecord(s, static_cast<quint8>(r.itemCount & 0xFF));
        case 16:
            return QByteArray(reinterpret_cast<const char *>(s.network.mac.data()), kMacLength);
        case 18:
            record(QStringLiteral("RAM test"));
            return QByteArray(1, static_cast<char>(s.maintenance.ramTestResult));
        }
        break;
    case kTagBlockAddress:
        if (r.blockType == 2) return networkTagRead(s.identity);
        break;
    case kControlBlockAddress:
        if (r.blockType == 0) return s.controlBlock;
        break;
    case kCommunicationBlockAddress:
        switch (r.blockType) {
        case 1:
            return zigbeeBlock(s.zigbee) +
                   QByteArray(kNetworkZigbeeItemLength - kZigbeeBlockLength, '\0');
        case 3:
            return slaveForwardingBlock(s.slaveForwarding);
        case 4:
            return s.forwardingBlock;
        case 5:
            return gatewayBlock(s.network);
        }
        break;
    case kRedundancyBlockAddress:
        if (r.blockType == 0) return s.redundancyBlock;
        break;
    case kSystemMemoryBlockAddress:
        // The item count, not the type, chooses the area.
        if (r.itemCount == 0) return systemMemoryData(clockWeekday());
        if (r.itemCount == 256) return smBlock(s.smValues);
        break;
    }
    return std::nullopt;
}

// Carries out a write; false for a block the controller does not have or a
// payload it refuses, which then changes nothing.
bool VirtualController::applyNetworkWrite(const NetworkRequest &r)
{
    DeviceState &s = m_state;
    const QByteArray &p = r.payload;
    const qsizetype n = p.size();
    switch (r.blockAddress) {
    case kUserBlockAddress:
        switch (r.blockType) {
        case 0:
            startFirmwareTransfer();
            return true;
        case 1:
            if (n != 2) return false;
            announceFirmwarePackets(le16At(p, 0), false);
            return true;
        case 2:
            if (n != kFirmwarePacketSize) return false;
            m_loaderFault = receivePacket(p);
            return m_loaderFault == ReplyFault::None;
        case 4:
            return n == kWriteImageLength && applyWriteImage(s, p);
        case 9: {
            // Date and time only: the week day has a block of its own and
            // stays as it is.
            if (n != kClockDataLength - 1) return false;
            const quint8 weekday = clockWeekday();
            const auto setting = parseClockData(p + char(weekday));
            if (!setting) return false;
            setClock(setting->reading, weekday);
            return true;
        }
        case 14:
            if (n != kDoWriteDataLength) return false;
            applyNetworkDoWrite(s, p);
            return true;
        case 17:
            return n == kSlaveRecordLength && applySlaveRecord(s, p);
        case 19:
            if (n != kMacLength) return false;
            for (int i = 0; i < kMacLength; ++i)
                s.network.mac[i] = byteAt(p, i);
            return true;
        case 22:
            stopAndClear();
            return true;
        case 23:
            // The item count says on (non-zero) or off.
            switchLightBoard(r.itemCount != 0);
            return true;
        case 28:
            // The selection byte: the first payload byte, or the item count
            // when the write carries none.
            restoreSelected(n > 0 ? byteAt(p, 0) : static_cast<quint8>(r.itemCount & 0xFF));
            return true;
        }
        return false;
    case kTagBlockAddress:
        // 64 bytes, or the 82 of a tag read sent back whole.
        if (r.blockType != 1 || (n != kTagBlockLength && n != kNetworkTagReadLength)) return false;
        applyTagBlock(s.identity, p.left(kTagBlockLength));
        return true;
    case kControlBlockAddress:
        if (r.blockType != 0 || n != kControlBlockLength) return false;
        s.controlBlock = p;
        return true;
    case kCommunicationBlockAddress:
        switch (r.blockType) {
        case 1:
            if (n != kZigbeeBlockLength && n != kNetworkZigbeeItemLength) return false;
            applyZigbeeBlock(s.zigbee, p.left(kZigbeeBlockLength));
            return true;
        case 5:
            if (n != kSlaveForwardingBlockLength) return false;
            applySlaveForwardingBlock(s.slaveForwarding, p);
            return true;
        case 6:
            // The count, the reserve and 0..20 entries.
            if (n < 8 || n > kForwardingBlockLength || (n - 8) % kForwardingEntryLength != 0)
                return false;
            applyForwardingWrite(s.forwardingBlock, p);
            return true;
        case 7:
            if (n != kGatewayBlockLength) return false;
            applyGatewayBlock(s.network, p);
            return true;
        }
        return false;
    case kRedundancyBlockAddress:
        if (r.blockType != 0 || n != kRedundancyBlockLength) return false;
        s.redundancyBlock = p;
        return true;
    case kSystemMemoryBlockAddress:
        if (r.blockType == 59) {
            if (n != 2) return false;
            const int weekday = le16At(p, 0);
            if (weekday < 1 || weekday > 7) return false;
            setClock(clockReading(), static_cast<quint8>(weekday));
            return true;
        }
        if (r.blockType == 257) {
            if (n != kSmBlockLength) return false;
            applySmBlock(s.smValues, p);
            return true;
        }
        return false;
    }
    return false;
}

} // namespace kalmo::sim
