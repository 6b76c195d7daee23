#include "transport/fake_links.h"

#include <utility>

namespace kalmo {

namespace {

// What a missing port answers: no such device.
constexpr int kPortNotFound = 8002;
// What a port another program holds answers, and where free ports begin.
constexpr int kPortInUse = 10048;
constexpr quint16 kFirstFreePort = 49152;

QByteArray takeOldest(QList<QByteArray> &list)
{
    return list.isEmpty() ? QByteArray() : list.takeFirst();
}

} // namespace

// ---- Serial -------------------------------------------------------------------

QByteArray FakeSerialLink::takeWritten()
{
    return takeOldest(written);
}

void FakeSerialLink::arrive(const QByteArray &bytes)
{
    if (!m_open) return;
    m_input += bytes;
    if (m_threshold > 0 && m_input.size() >= m_threshold) emit received();
}

void FakeSerialLink::fail(const SerialPortFailure &failure)
{
    if (!m_open) return;
    close();
    emit failed(failure);
}

std::optional<SerialPortFailure> FakeSerialLink::open(const QString &portName,
                                                      const QString &settings)
{
    if (m_open && portName == m_portName && settings == m_settings) return std::nullopt;
    // Another port or other settings: closed first; the threshold goes back
    // to 0 only once the port is open again, as on a real port.
    m_open = false;
    m_input.clear();
    m_portName = portName;
    m_settings = settings;
    if (openFailure && (openFailureSettings.isEmpty() || settings == openFailureSettings))
        return openFailure;
    if (!ports.contains(portName))
        return SerialPortFailure{kPortNotFound, QStringLiteral("No such file or directory")};
    m_open = true;
    m_threshold = 0;
    return std::nullopt;
}

void FakeSerialLink::close()
{
    m_open = false;
    m_threshold = 0;
    m_input.clear();
}

void FakeSerialLink::write(const QByteArray &frame, int threshold)
{
    if (!m_open) return;
    clearInput();
    m_threshold = threshold;
    written.append(frame);
}

QByteArray FakeSerialLink::readAll()
{
    return std::exchange(m_input, QByteArray());
}

// ---- Datagrams -----------------------------------------------------------------

QByteArray FakeDatagramLink::takeSent()
{
    return takeOldest(sent);
}

void FakeDatagramLink::arrive(const QByteArray &datagram)
{
    if (m_open) deliver(datagram, m_remote);
}

std::optional<SocketFailure> FakeDatagramLink::aim(const QString &remoteHost, quint16 servicePort)
{
    close();
    QHostAddress remote;
    if (auto bad = parseRemoteHost(remoteHost, remote)) return bad;
    m_open = true;
    m_remote = remote;
    m_remotePort = servicePort;
    return std::nullopt;
}

void FakeDatagramLink::close()
{
    m_open = false;
    m_remote.clear();
    m_remotePort = 0;
}

void FakeDatagramLink::send(const QByteArray &datagram)
{
    if (!m_open) throwNotAimed();
    sent.append(datagram);
}

// ---- FakeAnnouncementListener ------------------------------------------------

std::optional<SocketFailure> FakeAnnouncementListener::start(quint16 port)
{
    stop();
    if (heldPorts.contains(port))
        return SocketFailure{kPortInUse, QStringLiteral("The address is already in use")};
    // A free port is picked as the platform would pick one.
    m_port = port ? port : kFirstFreePort;
    m_listening = true;
    return std::nullopt;
}

void FakeAnnouncementListener::hear(const Announcement &announcement)
{
    if (m_listening) emit announcementReceived(announcement);
}

Transports fakeTransports()
{
    return {[](QObject *parent) { return new FakeSerialLink(parent); },
            [](QObject *parent) { return new FakeDatagramLink(parent); },
            [](QObject *parent) { return new FakeAnnouncementListener(parent); }};
}

} // namespace kalmo
