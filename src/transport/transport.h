#pragma once
// The links a session talks over, as the session and the window use them: the
// serial port to one controller and the read/write service socket to a device
// on the network. SerialLink and UdpService are the real ones; the in-memory
// fakes of fake_links.h stand in for them in tests.
#include "protocol/announcement.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace kalmo {

// A failure of the port, as the serial communications control numbers it.
struct SerialPortFailure
{
    int number = 0;      // 8002 not found, 8005 in use or denied, ... (see commErrorNumber)
    QString description; // the platform's own words
};

// A socket failure as the socket control numbers it, so that
// WinsockErrorText(number, description) gives the text to show.
struct SocketFailure
{
    int number = 0;      // 10048 port in use, 10049 address not available, ...
    QString description; // the platform's own words
};

// What every link has: it is open or not, and it can be closed.
class Transport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
};

// A serial port to one controller. Frames are written whole; a reply is
// announced once at least the expected number of bytes is waiting and is then
// read in one piece.
class SerialPortLink : public Transport
{
    Q_OBJECT
public:
    using Transport::Transport;

    // Opens the named port with the settings if it is not open yet.
    virtual std::optional<SerialPortFailure> open(const QString &portName,
                                                  const QString &settings) = 0;
    virtual QString portName() const = 0;
    virtual QString settings() const = 0;
    // Changes the settings without reopening: an open port takes them at once,
    // a closed one when it is next opened.
    virtual void setSettings(const QString &settings) = 0;

    // Writes a whole frame, after clearing what is waiting, and announces the
    // reply once `threshold` bytes are in.
    virtual void write(const QByteArray &frame, int threshold) = 0;
    virtual qint64 inBufferCount() const = 0;
    virtual QByteArray readAll() = 0; // everything waiting, in one piece
    virtual void clearInput() = 0;    // the waiting count back to 0
    virtual int threshold() const = 0;

signals:
    // At least the threshold of bytes is waiting.
    void received();
    // The port failed while open (e.g. the device was unplugged).
    void failed(const kalmo::SerialPortFailure &failure);
};

// The read/write service socket: one datagram per request to the chosen
// device, and every datagram that arrives on the local port handed on whole.
class DatagramLink : public Transport
{
    Q_OBJECT
public:
    using Transport::Transport;

    // Closes the link and aims it again: remote host and port are the
    // device's, the local port is the same number as the remote port. The
    // host is dotted-decimal text (a device's item text).
    virtual std::optional<SocketFailure> aim(const QString &remoteHost, quint16 servicePort) = 0;
    virtual QHostAddress remoteAddress() const = 0;
    virtual quint16 remotePort() const = 0;
    virtual quint16 localPort() const = 0;

    // Sends a whole request as one datagram. A link that is not aimed, or a
    // datagram the platform refuses, throws ProcedureError with the socket's
    // error text, so the calling procedure logs it.
    virtual void send(const QByteArray &datagram) = 0;

    // Datagrams dropped since the link was made because they came from
    // another host than the device it is aimed at.
    quint64 foreignDatagramsDropped() const { return m_foreignDropped; }

protected:
    // Hands a datagram on when it comes from the device's address (any
    // port); one from another host is dropped and counted.
    void deliver(const QByteArray &datagram, const QHostAddress &sender);
    // The device's address from the host text aim takes, or the failure aim
    // answers for text that is not a dotted-decimal IPv4 address.
    static std::optional<SocketFailure> parseRemoteHost(const QString &remoteHost,
                                                        QHostAddress &address);
    // What send throws on a link that is not aimed.
    [[noreturn]] static void throwNotAimed();

signals:
    // One arriving datagram from the device's address, whole: its size is
    // the handler's bytesTotal (datagrams of 0 bytes included).
    void datagramArrived(const QByteArray &datagram);

private:
    quint64 m_foreignDropped = 0;
};

// The listener for the controllers' announcements (wsckDeviceQuery). Nothing
// is ever sent through it.
class AnnouncementListener : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Listens on the port (0 picks a free one); a port another program holds
    // exclusively fails with 10048. A listener already listening is closed
    // first.
    virtual std::optional<SocketFailure> start(quint16 port) = 0;
    virtual void stop() = 0;
    virtual bool isListening() const = 0;
    virtual quint16 localPort() const = 0;

signals:
    // A datagram of 91 bytes whose first byte is 4; others are dropped silently.
    void announcementReceived(const kalmo::Announcement &announcement);
};

// A SerialLink, a UdpService and a DiscoveryListener, owned by `parent`.
SerialPortLink *makeSerialLink(QObject *parent);
DatagramLink *makeUdpService(QObject *parent);
AnnouncementListener *makeDiscoveryListener(QObject *parent);

// How a session gets its links, each made with the session as its parent:
// the real serial port and service socket unless a test puts in fakes.
struct Transports
{
    std::function<SerialPortLink *(QObject *parent)> serial = makeSerialLink;
    std::function<DatagramLink *(QObject *parent)> datagram = makeUdpService;
    std::function<AnnouncementListener *(QObject *parent)> listener = makeDiscoveryListener;
};

} // namespace kalmo
