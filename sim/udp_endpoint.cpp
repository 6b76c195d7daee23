#include "udp_endpoint.h"

#include "protocol/announcement.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace kalmo::sim {

namespace {

void setError(QString *error, const QString &text)
{
    if (error) *error = text;
}

} // namespace

UdpEndpoint::UdpEndpoint(VirtualController *controller, QObject *parent)
    : QObject(parent), m_controller(controller), m_socket(new QUdpSocket(this)),
      m_announceTimer(new QTimer(this))
{
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
    }
    return true;
}

void UdpEndpoint::close()
{
    m_announceTimer->stop();
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
