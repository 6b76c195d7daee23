#include "transport/transport.h"

#include "core/error_log.h"
#include "core/error_texts.h"
#include "transport/discovery.h"
#include "transport/serial_link.h"
#include "transport/udp_service.h"

namespace kalmo {

namespace {

// "Wrong protocol or connection state": a send on a socket that is not aimed.
constexpr int kWrongStateNumber = 40006;

} // namespace

std::optional<SocketFailure> DatagramLink::parseRemoteHost(const QString &remoteHost,
                                                           QHostAddress &address)
{
    if (!address.setAddress(remoteHost) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return SocketFailure{winsockErrorNumber(QAbstractSocket::HostNotFoundError),
                             QStringLiteral("Invalid host \"%1\"").arg(remoteHost)};
    return std::nullopt;
}

void DatagramLink::deliver(const QByteArray &datagram, const QHostAddress &sender)
{
    if (!sender.isEqual(remoteAddress(), QHostAddress::ConvertV4MappedToIPv4)) {
        ++m_foreignDropped;
        return;
    }
    emit datagramArrived(datagram);
}

void DatagramLink::throwNotAimed()
{
    throw ProcedureError(WinsockErrorText(kWrongStateNumber, {}));
}

SerialPortLink *makeSerialLink(QObject *parent)
{
    return new SerialLink(parent);
}

DatagramLink *makeUdpService(QObject *parent)
{
    return new UdpService(parent);
}

AnnouncementListener *makeDiscoveryListener(QObject *parent)
{
    return new DiscoveryListener(parent);
}

} // namespace kalmo
