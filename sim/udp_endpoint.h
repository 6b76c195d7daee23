#pragma once
// The network side of a virtual controller: the read/write service on a UDP
// port of the controller's own address, and the presence announcement sent
// every second. A controller on the same machine as the tool serves from a
// loopback address of its own (127.0.0.2, 127.0.0.3, ...), because the tool
// binds the service port on its side too.
#include "virtual_controller.h"

#include <QByteArray>
#include <QElapsedTimer>
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
    // Identities announced in all, the controller's own included. The others
    // only announce, each once an interval, spread evenly over it (for trying
    // the tool with a crowd of controllers on one socket).
    int announcers = 1;
};

// The largest crowd: one identity for each address of 127.1.0.1 .. 127.1.255.255.
inline constexpr int kMaxAnnouncers = 65536;

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

    // Identity k (1 .. announcers - 1) of the crowd: the controller's
    // announcement with address 127.1.x.y (x.y = k) and the device ID's last
    // five characters replaced by k, the type code kept.
    QByteArray crowdAnnouncement(int k) const;

signals:
    void requestServed(const kalmo::sim::NetworkExchange &exchange);
    void announced(const QByteArray &datagram);

private:
    void onReadyRead();
    void send(const QByteArray &reply, const QHostAddress &to, quint16 port);
    void announceCrowdSlice();

    VirtualController *m_controller;
    QUdpSocket *m_socket;
    QTimer *m_announceTimer;
    QTimer *m_crowdTimer;
    QElapsedTimer m_crowdClock; // since the crowd began
    qint64 m_crowdInterval = 0; // the interval being announced, counted from 0
    int m_crowdNext = 1;        // the next crowd identity of that interval
    UdpEndpointSettings m_settings;
    quint64 m_generation = 0; // replies delayed across a close are not sent
};

} // namespace kalmo::sim
