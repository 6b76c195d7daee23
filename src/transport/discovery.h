#pragma once
// Device discovery on the network: the listener wsckDeviceQuery that takes the
// controllers' announcements on UDP port 12000, and DeviceTable, the devices
// on line in the order first heard, kept index-aligned with the window's
// device list and dropped after more than 10 s of silence.
#include "protocol/announcement.h"
#include "transport/udp_service.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <functional>
#include <optional>

class QUdpSocket;

namespace kalmo {

// timCheckDevice as a session begins.
inline constexpr int kPresenceIntervalMs = 10000;
// A device silent for more whole seconds than this is dropped.
inline constexpr int kSilenceLimitSeconds = 10;

using MonotonicClock = std::function<std::chrono::steady_clock::time_point()>;

struct DeviceEntry
{
    Ipv4Address address{}; // all zero: the empty entry
    QByteArray deviceId;   // 32 bytes of the first announcement
    QByteArray pdTag;      // 32 bytes of the first announcement
    quint16 servicePort = 0;
    std::chrono::steady_clock::time_point lastSeen{};

    bool isEmpty() const { return address == Ipv4Address{}; }
    // The device list's item text, e.g. "192.168.1.20".
    QString itemText() const { return dottedAddress(address); }
    // The PD tag as shown: code page 936 text up to the first NUL byte.
    QString pdTagText() const;
};

// What one announcement did to the table.
struct AnnouncementOutcome
{
    enum class Kind {
        Ignored,   // not an announcement, an unlisted type code, or address 0.0.0.0
        Refreshed, // a listed device: LastSeen and ServicePort renewed, list unchanged
        Added,     // a new device: append itemText to the list, show kNewDeviceText
    };
    Kind kind = Kind::Ignored;
    qsizetype index = -1; // the entry, which is also the list item
    QString itemText;
};

// One device dropped by the presence check. Departures come in the order
// they happened; each removes the entry and list item at `index` as the
// table and list stand at that moment.
struct DeviceDeparture
{
    enum class Kind {
        LastDevice, // the only device: list emptied and hidden, presence timer
                    // stopped, address boxes emptied, kNoDeviceOnlineText, panel reset
        Chosen,     // the chosen device: address boxes emptied, kChosenDeviceOfflineText,
                    // panel reset, item removed
        Other,      // kDeviceOfflineText, item removed
    };
    Kind kind = Kind::Other;
    qsizetype index = -1;
    QString itemText;
};

class DeviceTable
{
public:
    // The clock behind LastSeen; steady_clock unless a test drives time.
    explicit DeviceTable(MonotonicClock clock = {});

    // Back to one empty entry (network start and Stop).
    void reset();

    // Every entry, the empty one included. Entry i is list item i.
    const QList<DeviceEntry> &entries() const { return m_entries; }
    // The number of list items: 0 while only the empty entry is held.
    qsizetype listedCount() const;
    QStringList itemTexts() const;

    // The entry behind list item `index` for the device choice; an index
    // outside the list throws ProcedureError("下标越界").
    const DeviceEntry &entryForItem(qsizetype index) const;

    // An announcement: refreshes a listed address, or lists a new device with
    // an accepted type code (filling the empty entry or appending one).
    AnnouncementOutcome take(const Announcement &announcement);

    // The presence tick. `addressBoxes` are the texts of txtIp 0-3: a dropped
    // device whose item text splits into these four parts is the chosen one.
    // A stale entry is dropped and the scan goes on with the next index, so
    // an entry that moved into a dropped one's place waits for the next tick.
    QList<DeviceDeparture> checkPresence(const std::array<QString, 4> &addressBoxes);

    // Whole seconds since the entry's LastSeen.
    qint64 silentSeconds(const DeviceEntry &entry) const;

private:
    // The entries again, by address, so that an announcement finds its
    // device at once however many are listed.
    void reindex();

    MonotonicClock m_clock;
    QList<DeviceEntry> m_entries;
    QHash<quint32, qsizetype> m_indexByAddress;
};

// The listener wsckDeviceQuery. Nothing is ever sent through it.
class DiscoveryListener : public AnnouncementListener
{
    Q_OBJECT
public:
    explicit DiscoveryListener(QObject *parent = nullptr);
    ~DiscoveryListener() override;

    // Binds the port on every IPv4 address (broadcasts included), shared, so
    // that other listeners on this machine can bind it too.
    std::optional<SocketFailure> start(quint16 port) override;
    void stop() override;
    bool isListening() const override;
    quint16 localPort() const override;

private:
    void onReadyRead();

    QUdpSocket *m_socket;
};

} // namespace kalmo
