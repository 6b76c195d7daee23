#pragma once
// The read/write service socket wsckR_W on a real UDP socket. Also the socket
// failure numbers shared with the discovery listener.
#include "transport/transport.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <optional>

class QUdpSocket;

namespace kalmo {

// Maps a socket error onto the Windows Sockets numbers (10048 for an address
// in use, ...). An error without a counterpart gives a number outside the
// table, so its description is shown unchanged.
int winsockErrorNumber(QAbstractSocket::SocketError error);

// Which local address to bind for talking to a device: the loopback address
// 127.0.0.1 for a device on a loopback address (a virtual controller on this
// machine serves from 127.0.0.2, 127.0.0.3, ... on the same port), every IPv4
// address otherwise.
QHostAddress localBindAddressFor(const QHostAddress &device);

class UdpService : public DatagramLink
{
    Q_OBJECT
public:
    explicit UdpService(QObject *parent = nullptr);
    ~UdpService() override;

    std::optional<SocketFailure> aim(const QString &remoteHost, quint16 servicePort) override;
    void close() override;
    bool isOpen() const override;

    QHostAddress remoteAddress() const override { return m_remote; }
    quint16 remotePort() const override { return m_remotePort; }
    quint16 localPort() const override;

    void send(const QByteArray &datagram) override;

private:
    void onReadyRead();

    QUdpSocket *m_socket;
    QHostAddress m_remote;
    quint16 m_remotePort = 0;
};

// The next waiting datagram of a bound socket, whole (possibly 0 bytes), or
// nothing when none is waiting or the socket is not bound. Its sender's
// address goes to `sender` when one is given.
std::optional<QByteArray> takeDatagram(QUdpSocket &socket, QHostAddress *sender = nullptr);

} // namespace kalmo
