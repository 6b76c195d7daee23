#include "transport/udp_service.h"

#include "core/error_log.h"
#include "core/error_texts.h"

#include <QUdpSocket>

namespace kalmo {

namespace {

// Shared binds, so that a virtual controller, another listener or a socket
// of this program that was just closed does not lock the port.
constexpr QAbstractSocket::BindMode kBindMode =
    QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;

} // namespace

int winsockErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::SocketAccessError:
        return 10013; // permission denied (a privileged port)
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::NetworkError:
        return 10050;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10047; // address family not supported
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::TemporaryError:
        return 10035;
    case QAbstractSocket::UnfinishedSocketOperationError:
        return 10036;
    case QAbstractSocket::OperationError:
        return 40020; // invalid in the current state
    default:
        // Not in the table: the caller shows the platform's description.
        return 9000 + int(error);
    }
}

QHostAddress localBindAddressFor(const QHostAddress &device)
{
    return device.isLoopback() ? QHostAddress(QHostAddress::LocalHost)
                               : QHostAddress(QHostAddress::AnyIPv4);
}

std::optional<QByteArray> takeDatagram(QUdpSocket &socket, QHostAddress *sender)
{
    if (socket.state() != QAbstractSocket::BoundState || !socket.hasPendingDatagrams())
        return std::nullopt;
    const qint64 size = socket.pendingDatagramSize();
    if (size < 0) return std::nullopt;
    QByteArray datagram(qsizetype(size), '\0');
    const qint64 read = socket.readDatagram(datagram.data(), size, sender);
    if (read < 0) return std::nullopt;
    datagram.resize(qsizetype(read));
    return datagram;
}

UdpService::UdpService(QObject *parent) : DatagramLink(parent), m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &UdpService::onReadyRead);
}

UdpService::~UdpService() = default;

std::optional<SocketFailure> UdpService::aim(const QString &remoteHost, quint16 servicePort)
{
    close();
    QHostAddress remote;
    if (auto bad = parseRemoteHost(remoteHost, remote)) return bad;
    if (!m_socket->bind(localBindAddressFor(remote), servicePort, kBindMode)) {
        SocketFailure failure{winsockErrorNumber(m_socket->error()), m_socket->errorString()};
        m_socket->abort();
        return failure;
    }
    m_remote = remote;
    m_remotePort = servicePort;
    return std::nullopt;
}

void UdpService::close()
{
    m_socket->abort();
    m_remote.clear();
    m_remotePort = 0;
}

bool UdpService::isOpen() const
{
    return m_socket->state() == QAbstractSocket::BoundState;
}

quint16 UdpService::localPort() const
{
    return m_socket->localPort();
}

void UdpService::send(const QByteArray &datagram)
{
    if (!isOpen() || m_remote.isNull()) throwNotAimed();
    if (m_socket->writeDatagram(datagram, m_remote, m_remotePort) != datagram.size())
        throw ProcedureError(
            WinsockErrorText(winsockErrorNumber(m_socket->error()), m_socket->errorString()));
}

void UdpService::onReadyRead()
{
    QHostAddress sender;
    while (const auto datagram = takeDatagram(*m_socket, &sender))
        deliver(*datagram, sender);
}

} // namespace kalmo
