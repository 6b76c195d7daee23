#pragma once
// The read/write service socket wsckR_W: one datagram per request to the
// chosen device, and every datagram that arrives on the local port handed on
// whole. Also the socket failure numbers shared with the discovery listener.
#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <optional>

class QUdpSocket;

namespace kalmo {

// A socket failure as the socket control numbers it, so that
// WinsockErrorText(number, description) gives the text to show.
struct SocketFailure
{
    int number = 0;      // 10048 port in use, 10049 address not available, ...
    QString description; // the platform's own words
};

// Maps a socket error onto the Windows Sockets numbers (10048 for an address
// in use, ...). An error without a counterpart gives a number outside the
// table, so its description is shown unchanged.
int winsockErrorNumber(QAbstractSocket::SocketError error);

// Which local address to bind for talking to a device: the loopback address
// 127.0.0.1 for a device on a loopback address (a virtual controller on this
// machine serves from 127.0.0.2, 127.0.0.3, ... on the same port), every IPv4
// address otherwise.
QHostAddress localBindAddressFor(const QHostAddress &device);

class UdpService : public QObject
{
    Q_OBJECT
public:
    explicit UdpService(QObject *parent = nullptr);
    ~UdpService() override;

    // Closes the socket and aims it again: remote host and port are the
    // device's, the local port is the same number as the remote port. The
    // host is dotted-decimal text (a device's item text).
    std::optional<SocketFailure> aim(const QString &remoteHost, quint16 servicePort);
    void close();
    bool isOpen() const;

    QHostAddress remoteAddress() const { return m_remote; }
    quint16 remotePort() const { return m_remotePort; }
    quint16 localPort() const;

    // Sends a whole request as one datagram. A socket that is not aimed, or a
    // datagram the platform refuses, throws ProcedureError with the socket's
    // error text, so the calling procedure logs it.
    void send(const QByteArray &datagram);

signals:
    // One arriving datagram, whole: its size is the handler's bytesTotal
    // (datagrams of 0 bytes included). The sender is not checked.
    void datagramArrived(const QByteArray &datagram);

private:
    void onReadyRead();

    QUdpSocket *m_socket;
    QHostAddress m_remote;
    quint16 m_remotePort = 0;
};

// The next waiting datagram of a bound socket, whole (possibly 0 bytes), or
// nothing when none is waiting or the socket is not bound.
std::optional<QByteArray> takeDatagram(QUdpSocket &socket);

} // namespace kalmo
