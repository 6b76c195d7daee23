#include "transport/discovery.h"
#include "protocol/device_catalogue.h"

#include "core/codepage.h"
#include "core/error_log.h"

#include <QUdpSocket>

namespace kalmo {

namespace {

constexpr QAbstractSocket::BindMode kListenMode =
    QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;

bool sameParts(const QString &itemText, const std::array<QString, 4> &boxes)
{
    const QStringList parts = itemText.split(u'.');
    if (parts.size() != qsizetype(boxes.size())) return false;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (parts[i] != boxes[size_t(i)]) return false;
    }
    return true;
}

} // namespace

// ---- DeviceTable ------------------------------------------------------------

QString DeviceEntry::pdTagText() const
{
    const qsizetype end = pdTag.indexOf('\0');
    return cp936::decode(end < 0 ? pdTag : pdTag.left(end));
}

DeviceTable::DeviceTable(MonotonicClock clock) : m_clock(std::move(clock))
{
    if (!m_clock) m_clock = [] { return std::chrono::steady_clock::now(); };
    reset();
}

namespace {

quint32 addressKey(const Ipv4Address &a)
{
    return quint32(a[0]) << 24 | quint32(a[1]) << 16 | quint32(a[2]) << 8 | a[3];
}

} // namespace

void DeviceTable::reset()
{
    m_entries = {DeviceEntry{}};
    m_indexByAddress.clear();
}

void DeviceTable::reindex()
{
    m_indexByAddress.clear();
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        if (!m_entries[i].isEmpty()) m_indexByAddress.insert(addressKey(m_entries[i].address), i);
}

qsizetype DeviceTable::listedCount() const
{
    return m_entries.size() == 1 && m_entries.front().isEmpty() ? 0 : m_entries.size();
}

QStringList DeviceTable::itemTexts() const
{
    QStringList texts;
    for (qsizetype i = 0; i < listedCount(); ++i)
        texts << m_entries[i].itemText();
    return texts;
}

const DeviceEntry &DeviceTable::entryForItem(qsizetype index) const
{
    if (index < 0 || index >= listedCount()) throw ProcedureError(subscriptOutOfRangeText());
    return m_entries[index];
}

AnnouncementOutcome DeviceTable::take(const Announcement &announcement)
{
    AnnouncementOutcome outcome;
    // 0.0.0.0 is the empty entry's address: such a device could be neither
    // told apart from it nor reached.
    if (announcement.address == Ipv4Address{}) return outcome;

    const auto now = m_clock();
    const quint32 key = addressKey(announcement.address);
    if (const auto listed = m_indexByAddress.constFind(key); listed != m_indexByAddress.cend()) {
        const qsizetype i = *listed;
        DeviceEntry &entry = m_entries[i];
        entry.lastSeen = now;
        entry.servicePort = announcement.servicePort;
        outcome.kind = AnnouncementOutcome::Kind::Refreshed;
        outcome.index = i;
        outcome.itemText = entry.itemText();
        return outcome;
    }

    if (!acceptedByDiscovery(announcement.typeCode())) return outcome;
    if (!m_entries.back().isEmpty()) m_entries.append(DeviceEntry{});
    DeviceEntry &entry = m_entries.back();
    entry.address = announcement.address;
    entry.deviceId = announcement.deviceId;
    entry.pdTag = announcement.pdTag;
    entry.servicePort = announcement.servicePort;
    entry.lastSeen = now;
    outcome.kind = AnnouncementOutcome::Kind::Added;
    outcome.index = m_entries.size() - 1;
    m_indexByAddress.insert(key, outcome.index);
    outcome.itemText = entry.itemText();
    return outcome;
}

qint64 DeviceTable::silentSeconds(const DeviceEntry &entry) const
{
    return std::chrono::duration_cast<std::chrono::seconds>(m_clock() - entry.lastSeen).count();
}

QList<DeviceDeparture> DeviceTable::checkPresence(const std::array<QString, 4> &addressBoxes)
{
    QList<DeviceDeparture> departures;
    std::array<QString, 4> boxes = addressBoxes; // emptied once the chosen device is gone
    const qsizetype last = m_entries.size() - 1;
    for (qsizetype i = 0; i <= last && i < m_entries.size(); ++i) {
        const DeviceEntry &entry = m_entries[i];
        if (entry.isEmpty() || silentSeconds(entry) <= kSilenceLimitSeconds) continue;
        DeviceDeparture departure;
        departure.index = i;
        departure.itemText = entry.itemText();
        if (m_entries.size() == 1) {
            reset();
            boxes.fill(QString());
            departure.kind = DeviceDeparture::Kind::LastDevice;
        } else {
            m_entries.removeAt(i);
            if (sameParts(departure.itemText, boxes)) {
                boxes.fill(QString());
                departure.kind = DeviceDeparture::Kind::Chosen;
            } else {
                departure.kind = DeviceDeparture::Kind::Other;
            }
        }
        departures.append(departure);
    }
    if (!departures.isEmpty()) reindex();
    return departures;
}

// ---- DiscoveryListener ------------------------------------------------------

DiscoveryListener::DiscoveryListener(QObject *parent)
    : AnnouncementListener(parent), m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &DiscoveryListener::onReadyRead);
}

DiscoveryListener::~DiscoveryListener() = default;

std::optional<SocketFailure> DiscoveryListener::start(quint16 port)
{
    stop();
    if (!m_socket->bind(QHostAddress::AnyIPv4, port, kListenMode)) {
        SocketFailure failure{winsockErrorNumber(m_socket->error()), m_socket->errorString()};
        m_socket->abort();
        return failure;
    }
    return std::nullopt;
}

void DiscoveryListener::stop()
{
    m_socket->abort();
}

bool DiscoveryListener::isListening() const
{
    return m_socket->state() == QAbstractSocket::BoundState;
}

quint16 DiscoveryListener::localPort() const
{
    return m_socket->localPort();
}

void DiscoveryListener::onReadyRead()
{
    while (const auto datagram = takeDatagram(*m_socket)) {
        if (const auto announcement = parseAnnouncement(*datagram))
            emit announcementReceived(*announcement);
    }
}

} // namespace kalmo
