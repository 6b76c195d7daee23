#pragma once
// One controller driven by a session without widgets: the link opened (a
// serial port, or a device on the network found by its announcement), the
// reads and writes of the system information queued as the window queues
// them, and the event loop run until the queued commands are answered, one
// fails, or the device stays silent.
#include "protocol/clock_block.h"
#include "protocol/system_panel.h"
#include "session/firmware_transfer.h"
#include "session/session.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace kalmo::cli {

// Where the device is.
struct DeviceAddress
{
    Link link = Link::None;
    QString port;    // serial: the port name
    QString address; // network: dotted-decimal IPv4 address
};

// What a read brings back, and the panel it fills.
struct DeviceState
{
    SystemPanel panel;
    SysParamRecord record;
    std::optional<ClockValue> clock;
    std::optional<std::array<quint8, 6>> mac;
    std::optional<std::array<quint8, 8>> gatewayAndMask; // gateway, then subnet mask
    bool sysParamRead = false;
    bool tagsRead = false;
    bool didoRead = false;
};

// A request or reply as --verbose logs it.
using TrafficLog = std::function<void(const QString &direction, const QByteArray &bytes)>;

class DeviceLink : public QObject, private SessionView
{
    Q_OBJECT
public:
    DeviceLink(const DeviceAddress &address, QObject *parent = nullptr);
    ~DeviceLink() override;

    // Opens the link; for the network, waits up to `listenMs` for the
    // device's announcement on `discoveryPort`. False with error() set.
    bool open(quint16 discoveryPort, int listenMs);

    // The system parameters, identity, clock, MAC address, gateway, and the
    // DI/DO read that shows the hard address and the battery.
    bool read();
    // The parameter write of the panel's values as F7 sends them (after a
    // read), the MAC address (automatic unless `mac` is given) and, when
    // given, the gateway and subnet mask.
    bool write(const SysParamWrite &write, const std::optional<std::array<quint8, 6>> &mac,
               const std::optional<std::array<quint8, 8>> &gatewayAndMask);
    // The device clock set, then read back.
    bool setClock(const ClockValue &clock);
    // The firmware packets sent as the window sends them, up to the device's
    // last acknowledgement (serial: and back at 9600). `progress` hears every
    // step of the session's progress.
    bool upgrade(const QList<QByteArray> &packets,
                 const std::function<void(const ProgressState &)> &progress);

    const DeviceState &state() const { return m_state; }
    // The last failure in plain words, with the tool's own text where it has one.
    QString error() const { return m_error; }
    Session &session() { return *m_session; }
    void setTrafficLog(TrafficLog log) { m_log = std::move(log); }

private:
    // Queues the codes (the last runs first) and runs until `done` holds, a
    // command fails, or the wait ends.
    bool run(std::span<const qint16> codes, const std::function<bool()> &done, int timeoutMs);
    void registerBuilders();
    void registerHandlers();
    void fail(const QString &text);
    template <typename F> void decode(const char *label, F &&f);

    // SessionView
    Link selectedLink() const override { return m_address.link; }
    void setStatusText(const QString &text) override;
    void showReplyCount(const QString &) override {}
    void showTimeoutCount(const QString &text) override;
    void showProgress(const ProgressState &state) override
    {
        if (m_progress) m_progress(state);
    }
    void showMessage(const QString &text) override;
    void reopenSerialPort(const QString &settings) override;

    DeviceAddress m_address;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<FirmwareTransfer> m_transfer;
    std::function<void(const ProgressState &)> m_progress;
    DeviceState m_state;
    TrafficLog m_log;
    QString m_error;
    bool m_failed = false;
    int m_sysParamReplies = 0;
    int m_clockReplies = 0;
    // What the builders send.
    std::optional<SysParamWrite> m_write;
    std::array<quint8, 6> m_mac{};
    std::array<quint8, 8> m_gateway{};
    ClockValue m_clockToWrite;
};

} // namespace kalmo::cli
