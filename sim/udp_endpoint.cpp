#include "udp_endpoint.h"

#include "protocol/announcement.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>

namespace kalmo::sim {

namespace {

// The crowd is announced in slices of this many milliseconds.
constexpr int kCrowdSliceMs = 10;
constexpr qsizetype kCrowdIndexDigits = 5;

void setError(QString *error, const QString &text)
{
    if (error) *error = text;
}

} // namespace

UdpEndpoint::UdpEndpoint(VirtualController *controller, QObject *parent)
    : QObject(parent), m_controller(controller), m_socket(new QUdpSocket(this)),
      m_announceTimer(new QTimer(this)), m_crowdTimer(new QTimer(this))
{
    m_crowdTimer->setTimerType(Qt::PreciseTimer);
    m_crowdTimer->setInterval(kCrowdSliceMs);
    connect(m_crowdTimer, &QTimer::timeout, this, &UdpEndpoint::announceCrowdSlice);
    connect(m_socket, &QUdpSocket::readyRead, this, &UdpEndpoint::onReadyRead);
    connect(m_announceTimer, &QTimer::timeout, this, &UdpEndpoint::announceNow);
}

UdpEndpoint::~UdpEndpoint()
{
    close();
}

bool UdpEndpoint::open(const UdpEndpointSettings &settings, QString *error)
{
    if (isOpen()) {
        setError(error, QStringLiteral("already open"));
        return false;
    }
    if (settings.announcers < 1 || settings.announcers > kMaxAnnouncers) {
        setError(error, QStringLiteral("announcers must be 1 to %1").arg(kMaxAnnouncers));
        return false;
    }
    if (settings.address.protocol() != QAbstractSocket::IPv4Protocol) {
        setError(error,
                 QStringLiteral("%1 is not an IPv4 address").arg(settings.address.toString()));
        return false;
    }
    if (!m_socket->bind(settings.address, settings.servicePort,
                        QAbstractSocket::DontShareAddress)) {
        setError(error, QStringLiteral("cannot bind %1:%2: %3")
                            .arg(settings.address.toString())
                            .arg(settings.servicePort)
                            .arg(m_socket->errorString()));
        m_socket->abort();
        return false;
    }
    m_settings = settings;
    if (settings.announceIntervalMs > 0) {
        m_announceTimer->start(settings.announceIntervalMs);
        QTimer::singleShot(0, this, [this, generation = m_generation] {
            if (generation == m_generation && isOpen()) announceNow();
        });
        if (settings.announcers > 1) {
            m_crowdNext = 1;
            m_crowdInterval = 0;
            m_crowdClock.start();
            m_crowdTimer->start();
        }
    }
    return true;
}

void UdpEndpoint::close()
{
    m_announceTimer->stop();
    m_crowdTimer->stop();
    m_socket->abort();
    ++m_generation;
}

bool UdpEndpoint::isOpen() const
{
    return m_socket->state() == QAbstractSocket::BoundState;
}

quint16 UdpEndpoint::servicePort() const
{
    return isOpen() ? m_socket->localPort() : m_settings.servicePort;
}

QByteArray UdpEndpoint::announcement() const
{
    const Identity &identity = m_controller->state().identity;
    Announcement a;
    const quint32 ip = m_settings.address.toIPv4Address();
    a.address = {quint8(ip >> 24), quint8(ip >> 16), quint8(ip >> 8), quint8(ip)};
    a.deviceId = identity.deviceId;
    a.pdTag = identity.pdTag;
    a.servicePort = servicePort();
    return encodeAnnouncement(a);
}

void UdpEndpoint::announceNow()
{
    if (!isOpen()) return;
    const QByteArray datagram = announcement();
    // A listener that is not there yet is no failure: the next tick tries again.
    m_socket->writeDatagram(datagram, m_settings.announceTo, m_settings.announcePort);
    emit announced(datagram);
}

QByteArray UdpEndpoint::crowdAnnouncement(int k) const
{
    QByteArray datagram = announcement();
    const quint32 ip = (127u << 24) | (1u << 16) | quint32(k & 0xFFFF);
    for (int i = 0; i < 4; ++i)
        datagram[kAnnouncementAddressOffset + i] = char(ip >> (24 - 8 * i));
    const QByteArray index = QByteArray::number(k).rightJustified(kCrowdIndexDigits, '0');
    datagram.replace(kAnnouncementDeviceIdOffset + kIdentityTextLength - kCrowdIndexDigits,
                     kCrowdIndexDigits, index.right(kCrowdIndexDigits));
    return datagram;
}

// Each crowd identity goes out once an interval: identity k when k / announcers
// of the interval has passed; a late slice catches up.
void UdpEndpoint::announceCrowdSlice()
{
    if (!isOpen()) return;
    const int crowd = m_settings.announcers;
    const qint64 interval = m_settings.announceIntervalMs;
    const qint64 elapsed = m_crowdClock.elapsed();
    const auto sendUpTo = [&](int end) {
        for (; m_crowdNext < end; ++m_crowdNext)
            m_socket->writeDatagram(crowdAnnouncement(m_crowdNext), m_settings.announceTo,
                                    m_settings.announcePort);
    };
    for (; m_crowdInterval < elapsed / interval; ++m_crowdInterval) {
        sendUpTo(crowd);
        m_crowdNext = 1;
    }
    sendUpTo(int(std::min<qint64>(crowd, crowd * (elapsed % interval) / interval + 1)));
}

void UdpEndpoint::onReadyRead()
{
    // A slot of requestServed may close the endpoint.
    while (isOpen() && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid()) break;
        const NetworkExchange exchange = m_controller->serveNetwork(datagram.data());
        emit requestServed(exchange);
        if (!exchange.reply.isEmpty())
            send(exchange.reply, datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}

void UdpEndpoint::send(const QByteArray &reply, const QHostAddress &to, quint16 port)
{
    const int delay = m_controller->nextReplyDelayMs();
    if (delay <= 0) {
        if (isOpen()) m_socket->writeDatagram(reply, to, port);
        return;
    }
    QTimer::singleShot(delay, this, [this, reply, to, port, generation = m_generation] {
        if (generation != m_generation || !isOpen()) return;
        m_socket->writeDatagram(reply, to, port);
    });
}

} // namespace kalmo::sim
