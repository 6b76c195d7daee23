#pragma once
// In-memory links for tests: what the code under test writes is kept for the
// test to look at, what the test puts in arrives as from a device, and the
// links open, close and fail as the real ones do, without touching a port or
// a socket of the host.
#include "transport/transport.h"

#include <QList>
#include <QStringList>

namespace kalmo {

class FakeSerialLink : public SerialPortLink
{
    Q_OBJECT
public:
    using SerialPortLink::SerialPortLink;

    // ---- The device side, for the test --------------------------------------
    // The ports that exist; opening any other fails as a missing port does.
    QStringList ports;
    // While set, opening fails with this (e.g. 8005, a port another program holds).
    std::optional<SerialPortFailure> openFailure;
    // When set, openFailure hits only these settings, as an adapter that does
    // not take a rate.
    QString openFailureSettings;
    // Every frame written while open, oldest first.
    QList<QByteArray> written;
    // The oldest frame in `written`, taken off; empty when there is none.
    QByteArray takeWritten();
    // Bytes from the device, waiting while the port is open; received() once
    // the threshold is in.
    void arrive(const QByteArray &bytes);
    // The port fails while open, as when an adapter is unplugged: it closes
    // and reports failed().
    void fail(const SerialPortFailure &failure);

    // ---- SerialPortLink --------------------------------------------------------
    std::optional<SerialPortFailure> open(const QString &portName,
                                          const QString &settings) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    QString portName() const override { return m_portName; }
    QString settings() const override { return m_settings; }
    void setSettings(const QString &settings) override { m_settings = settings; }
    void write(const QByteArray &frame, int threshold) override;
    qint64 inBufferCount() const override { return m_input.size(); }
    QByteArray readAll() override;
    void clearInput() override { m_input.clear(); }
    int threshold() const override { return m_threshold; }

private:
    bool m_open = false;
    QString m_portName;
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_threshold = 0;
    QByteArray m_input;
};

class FakeDatagramLink : public DatagramLink
{
    Q_OBJECT
public:
    using DatagramLink::DatagramLink;

    // ---- The device side, for the test --------------------------------------
    // Every datagram sent, oldest first.
    QList<QByteArray> sent;
    // The oldest datagram in `sent`, taken off; empty when there is none.
    QByteArray takeSent();
    // A datagram from the device, handed on whole while the link is aimed.
    void arrive(const QByteArray &datagram);

    // ---- DatagramLink ----------------------------------------------------------
    std::optional<SocketFailure> aim(const QString &remoteHost, quint16 servicePort) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    QHostAddress remoteAddress() const override { return m_remote; }
    quint16 remotePort() const override { return m_remotePort; }
    // The local port is the same number as the remote one, as aim binds it.
    quint16 localPort() const override { return m_remotePort; }
    void send(const QByteArray &datagram) override;

private:
    bool m_open = false;
    QHostAddress m_remote;
    quint16 m_remotePort = 0;
};

class FakeAnnouncementListener : public AnnouncementListener
{
    Q_OBJECT
public:
    using AnnouncementListener::AnnouncementListener;

    // ---- The network side, for the test ---------------------------------------
    // Ports another program holds: listening on one fails with 10048.
    QList<quint16> heldPorts;
    // An announcement heard while listening.
    void hear(const Announcement &announcement);

    // ---- AnnouncementListener --------------------------------------------------
    std::optional<SocketFailure> start(quint16 port) override;
    void stop() override { m_listening = false; }
    bool isListening() const override { return m_listening; }
    quint16 localPort() const override { return m_listening ? m_port : 0; }

private:
    bool m_listening = false;
    quint16 m_port = 0;
};

// A FakeSerialLink, a FakeDatagramLink and a FakeAnnouncementListener for
// each session.
Transports fakeTransports();

} // namespace kalmo
