#pragma once
// The network side of a virtual controller: the read/write service on a UDP
// port of the controller's own address, and the presence announcement sent
// every second. A controller on the same machine as the tool serves from a
// loopback address of its own (127.0.0.2, 127.0.0.3, ...), because the tool
// binds the service port on its side too.
#include "virtual_controller.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

class QTimer;
class QUdpSocket;

namespace kalmo::sim {

inline constexpr quint16 kDefaultServicePort = 5000;
inline constexpr int kAnnounceIntervalMs = 1000;

struct UdpEndpointSettings
{
    QHostAddress address{QStringLiteral("127.0.0.2")}; // the controller's own IPv4 address
    quint16 servicePort = kDefaultServicePort;         // 0: any free port
    QHostAddress announceTo{QHostAddress::LocalHost};
    quint16 announcePort = 12000;
    int announceIntervalMs = kAnnounceIntervalMs; // 0: only when asked (announceNow)
};

class UdpEndpoint : public QObject
{
    Q_OBJECT
public:
    // The controller must outlive the endpoint.
    explicit UdpEndpoint(VirtualController *controller, QObject *parent = nullptr);
    ~UdpEndpoint() override;

    // Binds the service port on the address (not shared: a second
    // controller on the same address and port is refused) and starts
    // announcing, the first time at once. False with a reason on failure.
    bool open(const UdpEndpointSettings &settings, QString *error = nullptr);
    void close();
    bool isOpen() const;

    QHostAddress address() const { return m_settings.address; }
    quint16 servicePort() const; // the port bound (the one chosen when 0 was asked)

    // The 91-byte announcement as it goes out now: device ID and PD tag from
    // the controller's state, the endpoint's address and service port.
    QByteArray announcement() const;
    void announceNow();

signals:
    void requestServed(const kalmo::sim::NetworkExchange &exchange);
    void announced(const QByteArray &datagram);

private:
    void onReadyRead();
    void send(const QByteArray &reply, const QHostAddress &to, quint16 port);

    VirtualController *m_controller;
    QUdpSocket *m_socket;
    QTimer *m_announceTimer;
    UdpEndpointSettings m_settings;
    quint64 m_generation = 0; // replies delayed across a close are not sent
};

} // namespace kalmo::sim
