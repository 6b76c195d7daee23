#include "cli/device_link.h"

#include "core/error_log.h"
#include "core/error_texts.h"
#include "protocol/command_codes.h"
#include "protocol/dido_block.h"
#include "protocol/network_reply.h"
#include "protocol/tag_block.h"
#include "transport/serial_link.h"
#include "transport/udp_service.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace kalmo::cli {

namespace {

// How long the device may take to answer what one command asked, beyond the
// dispatcher's own pace.
constexpr int kWaitPerCommandMs = 3000;

// The real links, with every frame and datagram handed to the log too.
class LoggedSerialLink : public SerialLink
{
public:
    LoggedSerialLink(TrafficLog log, QObject *parent) : SerialLink(parent), m_log(std::move(log)) {}
    void write(const QByteArray &frame, int threshold) override
    {
        if (m_log) m_log(QStringLiteral(">"), frame);
        SerialLink::write(frame, threshold);
    }
    QByteArray readAll() override
    {
        const QByteArray bytes = SerialLink::readAll();
        if (m_log && !bytes.isEmpty()) m_log(QStringLiteral("<"), bytes);
        return bytes;
    }

private:
    TrafficLog m_log;
};

class LoggedUdpService : public UdpService
{
public:
    LoggedUdpService(const TrafficLog &log, QObject *parent) : UdpService(parent), m_log(log)
    {
        if (m_log)
            connect(this, &DatagramLink::datagramArrived, this,
                    [this](const QByteArray &datagram) { m_log(QStringLiteral("<"), datagram); });
    }
    void send(const QByteArray &datagram) override
    {
        if (m_log) m_log(QStringLiteral(">"), datagram);
        UdpService::send(datagram);
    }

private:
    TrafficLog m_log;
};

// Texts the session writes when a command fails.
bool isFailureText(const QString &text)
{
    for (const QString &failure :
         {kTimeOutText, kCrcErrorText, kReadServiceErrorText, kWriteServiceFailedText,
          kNoSuchCommandText, kUpgradeTimeOutText})
        if (text == failure) return true;
    return text.startsWith(kFormatErrorText);
}

} // namespace

DeviceLink::DeviceLink(const DeviceAddress &address, QObject *parent)
    : QObject(parent), m_address(address)
{
}

DeviceLink::~DeviceLink() = default;

bool DeviceLink::open(quint16 discoveryPort, int listenMs)
{
    Transports transports;
    // The log is looked up when traffic passes, so it may be set later.
    const TrafficLog log = [this](const QString &direction, const QByteArray &bytes) {
        if (m_log) m_log(direction, bytes);
    };
    transports.serial = [log](QObject *parent) { return new LoggedSerialLink(log, parent); };
    transports.datagram = [log](QObject *parent) { return new LoggedUdpService(log, parent); };
    SessionView &view = *this;
    m_session = std::make_unique<Session>(view, nullptr, transports);
    registerBuilders();
    registerHandlers();
    m_transfer = std::make_unique<FirmwareTransfer>(*m_session);
    m_session->Timer1->setInterval(kDispatchIntervalMs);
    m_session->timMscon->setInterval(kReceiveTimeoutMs);

    if (m_address.link == Link::Serial) {
        if (const auto failure = m_session->Comm1->open(m_address.port, kNormalPortSettings)) {
            m_error = m_address.port + QStringLiteral(": ") +
                      CommErrorText(failure->number, failure->description);
            return false;
        }
        m_session->dispatcher().stack().setIdle(kSerialIdleCommand);
        return true;
    }

    // The device's service port comes with its announcement.
    AnnouncementListener *listener = m_session->wsckDeviceQuery;
    if (const auto failure = listener->start(discoveryPort)) {
        m_error = QStringLiteral("UDP %1: %2")
                      .arg(discoveryPort)
                      .arg(WinsockErrorText(failure->number, failure->description));
        return false;
    }
    std::optional<quint16> servicePort;
    QEventLoop loop;
    connect(listener, &AnnouncementListener::announcementReceived, &loop,
            [&](const Announcement &a) {
                if (dottedAddress(a.address) != m_address.address) return;
                servicePort = a.servicePort;
                loop.quit();
            });
    QTimer::singleShot(listenMs, &loop, &QEventLoop::quit);
    loop.exec();
    listener->stop();
    if (!servicePort) {
        m_error = QStringLiteral("%1: no announcement within %2 s")
                      .arg(m_address.address)
                      .arg(listenMs / 1000.0);
        return false;
    }
    if (const auto failure = m_session->wsckR_W->aim(m_address.address, *servicePort)) {
        m_error = m_address.address + QStringLiteral(": ") +
                  WinsockErrorText(failure->number, failure->description);
        return false;
    }
    m_session->dispatcher().stack().setIdle(kNetworkIdleCommand);
    return true;
}

// ---- Session view ----------------------------------------------------------

void DeviceLink::setStatusText(const QString &text)
{
    if (isFailureText(text)) fail(text);
}

void DeviceLink::showTimeoutCount(const QString &text)
{
    if (text.trimmed() != QStringLiteral("0")) fail(kTimeOutText);
}

void DeviceLink::showMessage(const QString &text)
{
    fail(text);
}

void DeviceLink::reopenSerialPort(const QString &settings)
{
    m_session->Comm1->close();
    if (const auto failure = m_session->Comm1->open(m_address.port, settings))
        throw ProcedureError(failure->description);
}

void DeviceLink::fail(const QString &text)
{
    if (m_failed) return;
    m_failed = true;
    m_error = text;
}

// ---- Replies -----------------------------------------------------------------

template <typename F> void DeviceLink::decode(const char *label, F &&f)
{
    try {
        f();
    } catch (const std::exception &e) {
        appendErrorLog(QString::fromUtf8(label), describeError(e));
        fail(kFormatErrorText + QString::fromUtf8(label));
    }
}

void DeviceLink::registerHandlers()
{
    Session &s = *m_session;
    using A = SerialReplyAction;
    using N = NetworkReplyAction;
    // The session keeps the record, as the window's does: the DI/DO read and
    // the upgrade take the model from it.
    const auto showSysParam = [this](Link link,
                                     const std::function<void(SysParamPanelItems &)> &f) {
        SysParamPanelItems items;
        f(items);
        const QString lookupLog =
            kalmo::showSysParam(m_state.panel, m_session->sysParam, items, link);
        if (!lookupLog.isEmpty())
            appendErrorLog(QStringLiteral("lblNUM_Change(Form1)"), lookupLog, ErrorLogFile::Aux);
        m_state.record = m_session->sysParam;
        m_state.sysParamRead = true;
        ++m_sysParamReplies;
    };
    s.handle(A::SystemInformation, [=, this](const Reply &r) {
        decode("系统参数", [&] {
            showSysParam(Link::Serial, [&](SysParamPanelItems &items) {
                decodeSerialSysInfoReply(r.bytes, m_session->sysParam, items);
            });
        });
    });
    s.handle(N::SysParam, [=, this](const Reply &) {
        decode("系统参数", [&] {
            showSysParam(Link::Network, [&](SysParamPanelItems &items) {
                decodeNetworkSysParamReply(m_session->networkReply, m_session->sysParam, items);
            });
        });
    });
    const auto showTags = [this](const TagReading &tags) {
        m_state.panel.hardwareNumber = tags.hardwareNumber.value_or(QString());
        m_state.panel.pdTag = tags.pdTag.value_or(QString());
        m_state.tagsRead = true;
    };
    s.handle(A::TagRead, [=, this](const Reply &r) {
        decode("PDTag", [&] {
            TagReading tags;
            decodeSerialTagReply(r.bytes, tags);
            showTags(tags);
        });
    });
    s.handle(N::Tags, [=, this](const Reply &) {
        decode("PDTag", [&] {
            TagReading tags;
            decodeNetworkTagReply(m_session->networkReply, tags);
            showTags(tags);
        });
    });
    s.handle(A::PdTagEcho, [this](const Reply &r) {
        decode("PDTag", [&] { m_state.panel.pdTag = decodeSerialTagWriteEcho(r.bytes); });
    });
    const auto mac = [this](const Reply &r) {
        decode("MAC地址", [&] {
            std::array<quint8, 6> bytes{};
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                bytes[i] = r.data(qsizetype(i));
                m_state.panel.mac[i] =
                    QStringLiteral("%1").arg(bytes[i], 2, 16, QChar(u'0')).toUpper();
            }
            m_state.mac = bytes;
        });
    };
    s.handle(A::DistributeMAC, mac);
    s.handle(N::DistributeMAC, mac);
    const auto gateway = [this](const Reply &r) {
        decode("网关", [&] {
            std::array<quint8, 8> bytes{};
            for (std::size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = r.data(qsizetype(i));
            m_state.gatewayAndMask = bytes;
        });
    };
    s.handle(A::DistributeGateway, gateway);
    s.handle(N::DistributeGateway, gateway);
    // Hard address and battery, as the panel shows them.
    const auto dido = [this](const Reply &r) {
        decode("DI/DO", [&] {
            const DidoDevice device{m_session->sysParam.DeviceType,
                                    m_session->sysParam.FirmwareVersion};
            PointStates states{};
            DidoReading reading;
            if (r.profile.link == Link::Serial)
                decodeSerialDido(r.bytes, device, states, reading);
            else
                decodeNetworkDido(r.bytes, device, states, reading);
            if (reading.hardAddress)
                m_state.panel.hardAddress = QString::number(*reading.hardAddress);
            if (reading.battery.action == BatteryUpdate::Action::Clear)
                m_state.panel.battery.clear();
            else if (reading.battery.action == BatteryUpdate::Action::Show)
                m_state.panel.battery = reading.battery.text;
            m_state.didoRead = true;
        });
    };
    s.handle(A::DistributeDIDO, dido);
    s.handle(N::DistributeDIDO, dido);
    s.handle(A::ClockRead, [this](const Reply &r) {
        decode("时钟", [&] {
            m_state.clock = decodeSerialClockReply(r.bytes);
            ++m_clockReplies;
        });
    });
    s.handle(N::Clock, [this](const Reply &r) {
        decode("时钟", [&] {
            const std::optional<int> weekDay =
                m_state.clock ? m_state.clock->weekDay : std::nullopt;
            m_state.clock = decodeNetworkClockReply(r.bytes);
            if (!m_state.clock->weekDay) m_state.clock->weekDay = weekDay;
            ++m_clockReplies;
        });
    });
    s.handle(N::WeekDay, [this](const Reply &r) {
        decode("星期", [&] {
            const int weekDay = decodeNetworkWeekDayReply(r.bytes);
            if (!m_state.clock) m_state.clock = ClockValue{};
            m_state.clock->weekDay = weekDay;
        });
    });
}

// ---- Builders -------------------------------------------------------------------

void DeviceLink::registerBuilders()
{
    Session &s = *m_session;
    s.registerBuilder(Builder::SetSysInfo, [this](BuildContext &c) {
        if (!m_write) return BuildOutcome::notAvailable();
        if (c.link == Link::Serial)
            c.frame = setSysInfoFrame(m_write->record, m_write->rs485_2);
        else
            c.send.writePayload = sysParamWriteImage(m_write->record, m_write->rs485_2);
        return BuildOutcome::built();
    });
    s.registerBuilder(Builder::TagWrite, [this](BuildContext &c) {
        if (!m_write) return BuildOutcome::notAvailable();
        if (c.link == Link::Serial)
            c.frame = setPdtagFrame(m_write->deviceId, m_write->panel.pdTag);
        else
            c.send.writePayload = storePdTagPayload(m_write->deviceId, m_write->panel.pdTag);
        return BuildOutcome::built();
    });
    s.registerBuilder(Builder::MacWrite, [this](BuildContext &c) {
        const QByteArray bytes(reinterpret_cast<const char *>(m_mac.data()),
                               qsizetype(m_mac.size()));
        if (c.link == Link::Serial)
            c.frame.replace(3, bytes.size(), bytes);
        else
            c.send.writePayload = bytes;
        return BuildOutcome::built();
    });
    s.registerBuilder(Builder::GatewayWrite, [this](BuildContext &c) {
        const QByteArray bytes(reinterpret_cast<const char *>(m_gateway.data()),
                               qsizetype(m_gateway.size()));
        if (c.link == Link::Serial)
            c.frame.replace(3, bytes.size(), bytes);
        else
            c.send.writePayload = bytes;
        return BuildOutcome::built();
    });
    // The serial DI/DO reply's length depends on the model.
    s.registerBuilder(Builder::DiDoRead, Session::onlyOn(Link::Serial, [this](BuildContext &c) {
                          const SysParamRecord &r = m_session->sysParam;
                          c.expectedReplyLength =
                              serialDidoReplyLength(DidoDevice{r.DeviceType, r.FirmwareVersion},
                                                    m_session->expectedReplyLength());
                          return BuildOutcome::built();
                      }));
    s.registerBuilder(Builder::ClockWrite, [this](BuildContext &c) {
        if (c.link == Link::Serial)
            c.frame = writeClockFrame(m_clockToWrite);
        else
            c.send.writePayload = clockPayload(m_clockToWrite);
        return BuildOutcome::built();
    });
    s.registerBuilder(Builder::WeekdayWrite,
                      Session::onlyOn(Link::Network, [this](BuildContext &c) {
                          c.send.writePayload = weekDayPayload(m_clockToWrite.weekDay.value_or(0));
                          return BuildOutcome::built();
                      }));
}

// ---- Running -----------------------------------------------------------------------

bool DeviceLink::run(std::span<const qint16> codes, const std::function<bool()> &done,
                     int timeoutMs)
{
    Session &s = *m_session;
    m_failed = false;
    m_error.clear();
    CommandStack &stack = s.dispatcher().stack();
    for (qint16 code : codes)
        stack.push(code);
    s.Timer1->start();

    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    const auto finished = [&] {
        // Nothing pending, nothing awaited, and what was asked for is in.
        return m_failed || (stack.idle() && !s.Timer2->isActive() && done());
    };
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    // The idle read never goes out after the last command.
    s.dispatcher().stop();
    if (!finished()) fail(kTimeOutText);
    return !m_failed;
}

bool DeviceLink::read()
{
    const bool serial = m_address.link == Link::Serial;
    // Pushed in this order, they run from the last: system parameters first.
    static constexpr qint16 kSerial[] = {kSerialIdleCommand,   serial_cmd::ReadGateway,
                                         serial_cmd::ReadMac,  serial_cmd::ReadClock,
                                         serial_cmd::ReadTags, serial_cmd::ReadSystemInfo};
    static constexpr qint16 kNetwork[] = {kNetworkIdleCommand,
                                          network_cmd::ReadGateway,
                                          network_cmd::ReadMac,
                                          network_cmd::ReadClock,
                                          network_cmd::ReadWeekday,
                                          network_cmd::ReadTags,
                                          network_cmd::ReadSystemParameters};
    m_state = DeviceState{};
    m_session->tagCaptureFlag = 0;
    const std::span<const qint16> codes =
        serial ? std::span<const qint16>(kSerial) : std::span<const qint16>(kNetwork);
    return run(
        codes,
        [this] {
            return m_state.sysParamRead && m_state.tagsRead && m_state.didoRead && m_state.clock &&
                   m_state.clock->weekDay && m_state.mac && m_state.gatewayAndMask;
        },
        kWaitPerCommandMs * int(codes.size()));
}

bool DeviceLink::write(const SysParamWrite &write, const std::optional<std::array<quint8, 6>> &mac,
                       const std::optional<std::array<quint8, 8>> &gatewayAndMask)
{
    const Link link = m_address.link;
    m_write = write;
    // The automatic mode makes the MAC address from the date and series
    // the write leaves on the panel.
    if (mac) {
        m_mac = *mac;
    } else {
        const SysParamPanelInput &b = write.panel.boxes;
        const auto texts = automaticMacAddress(write.record.DeviceType,
                                               QDate(b.year, b.month, b.day), b.txtSeries);
        if (!texts) {
            m_error = kFormatErrorText + QStringLiteral("序列号");
            return false;
        }
        for (std::size_t i = 0; i < m_mac.size(); ++i)
            m_mac[i] = macBoxValue((*texts)[i]).value_or(0);
    }
    if (gatewayAndMask) m_gateway = *gatewayAndMask;

    CommandStack &stack = m_session->dispatcher().stack();
    stack.load(link == Link::Serial ? kSerialIdleCommand : kNetworkIdleCommand,
               sysParamWriteCommands(link));
    if (link == Link::Network) m_session->tagCaptureFlag = 1;
    std::vector<qint16> more;
    if (gatewayAndMask) more.push_back(serial_cmd::WriteGateway); // the same code on both links
    more.push_back(link == Link::Serial ? qint16(serial_cmd::WriteMac)
                                        : qint16(network_cmd::WriteMac));
    // The write ends with a read of the system parameters.
    const int before = m_sysParamReplies;
    const int commands = int(sysParamWriteCommands(link).size() + more.size());
    const bool ok = run(
        more, [&] { return m_sysParamReplies > before; }, kWaitPerCommandMs * commands);
    m_write.reset();
    return ok;
}

bool DeviceLink::setClock(const ClockValue &clock)
{
    m_clockToWrite = clock;
    const bool serial = m_address.link == Link::Serial;
    const std::span<const qint16> codes =
        serial ? clockWriteCommands(Link::Serial) : clockWriteCommands(Link::Network);
    const int before = m_clockReplies;
    return run(
        codes, [&] { return m_clockReplies > before; }, kWaitPerCommandMs * int(codes.size()));
}

bool DeviceLink::upgrade(const QList<QByteArray> &packets,
                         const std::function<void(const ProgressState &)> &progress)
{
    Session &s = *m_session;
    s.upgrade.packets = packets;
    s.upgrade.count = int(packets.size());
    m_progress = progress;
    bool finished = false;
    m_transfer->ended = [&] { finished = true; };
    m_transfer->portError = [this](const QString &error) { fail(error); };
    m_transfer->start(m_address.link);
    // Start and size wait their turn; the packets follow one another, and on
    // the network the device first restarts into its loader.
    const int timeoutMs = kWaitPerCommandMs * 4 + 10000 + int(packets.size()) * 1000;
    const bool ok = run(
        {}, [&] { return finished; }, timeoutMs);
    m_transfer->ended = [] {};
    m_progress = {};
    return ok && finished;
}

} // namespace kalmo::cli
