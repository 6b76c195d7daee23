// The network transport of the virtual controller over real loopback
// sockets: the tool's own service socket talks to it, the tool's discovery
// listener hears and lists its announcements, and two controllers run side
// by side on 127.0.0.2 and 127.0.0.3.
#include "protocol/announcement.h"
#include "protocol/device_catalogue.h"
#include "protocol/frames.h"
#include "sim/udp_endpoint.h"
#include "support/hex.h"
#include "transport/discovery.h"
#include "transport/udp_service.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

using namespace kalmo;
using namespace kalmo::sim;

namespace {

constexpr int kWaitMs = 5000;

QByteArray portBytes(quint16 port)
{
    return QByteArray(1, char(port & 0xFF)) + char(port >> 8);
}

DeviceProfile profileWithSeries(int series)
{
    DeviceProfile p;
    p.series = series;
    return p;
}

// Service settings for a test: any free port unless one is given,
// announcements only when the test asks for them.
UdpEndpointSettings serviceOn(const char *address, quint16 port = 0)
{
    UdpEndpointSettings s;
    s.address = QHostAddress(QString::fromLatin1(address));
    s.servicePort = port;
    s.announceIntervalMs = 0;
    return s;
}

// A listener for announcements on a free loopback port.
struct Listener
{
    QUdpSocket socket;
    Listener() { socket.bind(QHostAddress::LocalHost, 0); }
    quint16 port() const { return socket.localPort(); }
    // The next datagram, waiting for it up to kWaitMs.
    std::optional<QNetworkDatagram> next()
    {
        if (!socket.hasPendingDatagrams() &&
            !QTest::qWaitFor([this] { return socket.hasPendingDatagrams(); }, kWaitMs))
            return std::nullopt;
        return socket.receiveDatagram();
    }
};

// The tool's read/write socket aimed at a controller, and its send state.
struct Tool
{
    UdpService service;
    SendState send;

    bool aim(const QString &host, quint16 port) { return !service.aim(host, port).has_value(); }
    QByteArray exchange(const QByteArray &request)
    {
        QSignalSpy spy(&service, &UdpService::datagramArrived);
        service.send(request);
        if (!spy.wait(kWaitMs)) return {};
        return spy.first().first().toByteArray();
    }
    QByteArray read(int address, int type, int count = 0)
    {
        send.blockAddress = address;
        send.blockType = type;
        send.itemCount = count;
        return exchange(buildReadRequest(send));
    }
    QByteArray write(int address, int type, const QByteArray &payload)
    {
        send.blockAddress = address;
        send.blockType = type;
        send.itemCount = 0;
        send.writePayload = payload;
        return exchange(buildWriteRequest(send));
    }
};

} // namespace

class TestUdpEndpoint : public QObject
{
    Q_OBJECT

private slots:
    void roundTripWithTheToolsSocket();
    void announcementIsHeardAndListed();
    void twoControllersSideBySide();
    void sameAddressAndPortIsRefused();
    void delayedReplyArrives();
    void delayedReplyIsNotSentAfterClose();
    void typeCodeInTheDeviceId_data();
    void typeCodeInTheDeviceId();
    void crowdAnnouncesEachIdentityOnceAnInterval();
};

void TestUdpEndpoint::roundTripWithTheToolsSocket()
{
    VirtualController controller;
    UdpEndpoint endpoint(&controller);
    QString error;
    QVERIFY2(endpoint.open(serviceOn("127.0.0.2"), &error), qPrintable(error));
    QVERIFY(endpoint.servicePort() != 0);

    Tool tool;
    QVERIFY(tool.aim(QStringLiteral("127.0.0.2"), endpoint.servicePort()));
    QSignalSpy served(&endpoint, &UdpEndpoint::requestServed);

    // The system parameters: 0x4C, sequence 1, the device's IP at 16.
    QByteArray r = tool.read(10003, 1);
    QCOMPARE(r.size(), 116);
    QCOMPARE(r.left(8), hex("4C00000074000100"));
    QCOMPARE(r.mid(16, 4), hex("7F000002"));
    QCOMPARE(served.size(), 1);

    // A write over the network reads back over the serial link.
    const QByteArray tags = QByteArray("02000000000000000090201512090300") +
                            QByteArray("Loopback").leftJustified(32, ' ');
    QCOMPARE(tool.write(10010, 1, tags), hex("4D0000000C0001000000") + hex("1A27"));
    const QByteArray serial = controller.answerSerial(buildSerialFrame(21));
    QCOMPARE(serial.mid(3, 64), tags);

    // The whole user area comes as one datagram.
    r = tool.read(10003, 0);
    QCOMPARE(r.size(), 332);
    QCOMPARE(r.mid(6, 2), hex("0200"));
}

void TestUdpEndpoint::announcementIsHeardAndListed()
{
    VirtualController controller;
    Listener raw;
    DiscoveryListener discovery;
    QVERIFY(!discovery.start(0).has_value());
    QList<Announcement> heard;
    connect(&discovery, &DiscoveryListener::announcementReceived, this,
            [&heard](const Announcement &a) { heard.append(a); });

    UdpEndpoint endpoint(&controller);
    UdpEndpointSettings settings = serviceOn("127.0.0.2");
    settings.announceIntervalMs = kAnnounceIntervalMs;
    settings.announcePort = raw.port();
    QVERIFY(endpoint.open(settings));
    const quint16 port = endpoint.servicePort();

    // The first one goes out at once, the next a second later.
    for (int i = 0; i < 2; ++i) {
        const auto datagram = raw.next();
        QVERIFY(datagram.has_value());
        const QByteArray a = datagram->data();
        QCOMPARE(a.size(), 91);
        QCOMPARE(quint8(a[0]), quint8(4));
        QCOMPARE(a.mid(8, 32), controller.state().identity.deviceId);
        QCOMPARE(a.mid(25, 3), QByteArray("090")); // KVRQ101
        QCOMPARE(a.mid(40, 32), controller.state().identity.pdTag);
        QCOMPARE(a.mid(72, 4), hex("7F000002"));
        QCOMPARE(a.mid(87, 2), portBytes(port));
        QCOMPARE(datagram->senderAddress(), QHostAddress(QStringLiteral("127.0.0.2")));
    }

    // The tool's own listener and device table list it.
    endpoint.close();
    settings.announcePort = discovery.localPort();
    settings.servicePort = port;
    QVERIFY(endpoint.open(settings));
    QTRY_VERIFY_WITH_TIMEOUT(!heard.isEmpty(), kWaitMs);
    DeviceTable table;
    const AnnouncementOutcome outcome = table.take(heard.first());
    QCOMPARE(outcome.kind, AnnouncementOutcome::Kind::Added);
    QCOMPARE(outcome.itemText, QStringLiteral("127.0.0.2"));
    QCOMPARE(table.entryForItem(0).servicePort, port);
}

void TestUdpEndpoint::twoControllersSideBySide()
{
    VirtualController first(profileWithSeries(1));
    VirtualController second(profileWithSeries(2));
    UdpEndpoint a(&first);
    UdpEndpoint b(&second);
    Listener listener;
    UdpEndpointSettings settings = serviceOn("127.0.0.2");
    settings.announcePort = listener.port();
    QString error;
    QVERIFY2(a.open(settings, &error), qPrintable(error));
    const quint16 port = a.servicePort();
    settings.address = QHostAddress(QStringLiteral("127.0.0.3"));
    settings.servicePort = port; // the same port, on another address
    QVERIFY2(b.open(settings, &error), qPrintable(error));

    Tool tool;
    QVERIFY(tool.aim(QStringLiteral("127.0.0.2"), port));
    QCOMPARE(tool.read(10003, 1).mid(12, 4), hex("01000000"));
    QCOMPARE(quint8(tool.write(10003, 19, hex("001122334455"))[0]), quint8(0x4D));
    QVERIFY(tool.aim(QStringLiteral("127.0.0.3"), port));
    const QByteArray r = tool.read(10003, 1);
    QCOMPARE(r.mid(12, 4), hex("02000000"));
    QCOMPARE(tool.read(10003, 16).mid(12), hex("00FE0F0C0902")); // untouched by the write
    QCOMPARE(first.state().network.mac,
             (std::array<quint8, 6>{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}));

    a.announceNow();
    b.announceNow();
    QSet<QByteArray> addresses;
    for (int i = 0; i < 2; ++i) {
        const auto datagram = listener.next();
        QVERIFY(datagram.has_value());
        QCOMPARE(datagram->data().mid(87, 2), portBytes(port));
        addresses.insert(datagram->data().mid(72, 4));
    }
    QCOMPARE(addresses, (QSet<QByteArray>{hex("7F000002"), hex("7F000003")}));
}

void TestUdpEndpoint::sameAddressAndPortIsRefused()
{
    VirtualController controller;
    UdpEndpoint a(&controller);
    UdpEndpoint b(&controller);
    QVERIFY(a.open(serviceOn("127.0.0.2")));
    QString error;
    QVERIFY(!b.open(serviceOn("127.0.0.2", a.servicePort()), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!b.isOpen());
    QVERIFY(!b.open(serviceOn("::1"), &error)); // IPv4 only
}

void TestUdpEndpoint::delayedReplyArrives()
{
    VirtualController controller;
    FaultOptions faults;
    faults.delayMs = 50;
    controller.setFaults(faults);
    UdpEndpoint endpoint(&controller);
    QVERIFY(endpoint.open(serviceOn("127.0.0.3")));
    Tool tool;
    QVERIFY(tool.aim(QStringLiteral("127.0.0.3"), endpoint.servicePort()));
    QCOMPARE(tool.read(10003, 5).size(), 20);
}

void TestUdpEndpoint::delayedReplyIsNotSentAfterClose()
{
    VirtualController controller;
    FaultOptions faults;
    faults.delayMs = 100;
    controller.setFaults(faults);
    UdpEndpoint endpoint(&controller);
    QVERIFY(endpoint.open(serviceOn("127.0.0.2")));
    connect(&endpoint, &UdpEndpoint::requestServed, &endpoint, &UdpEndpoint::close);

    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress::LocalHost, 0));
    SendState send;
    send.blockAddress = 10003;
    send.blockType = 5;
    client.writeDatagram(buildReadRequest(send), QHostAddress(QStringLiteral("127.0.0.2")),
                         endpoint.servicePort());
    QTRY_VERIFY_WITH_TIMEOUT(!endpoint.isOpen(), kWaitMs);
    QTest::qWait(3 * faults.delayMs);
    QVERIFY(!client.hasPendingDatagrams());
}

void TestUdpEndpoint::typeCodeInTheDeviceId_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<bool>("listed");
    const struct
    {
        int type;
        const char *code;
        bool listed;
    } rows[] = {
        {4, "094", true},   {8, "090", true},   {10, "190", true},  {12, "079", true},
        {15, "118", true},  {24, "199", true},  {25, "122", false}, {26, "127", true},
        {28, "186", true},  {31, "198", true},  {34, "197", true},  {36, "185", true},
        {37, "120", false}, {42, "131", true},  {43, "132", false}, {47, "133", true},
        {50, "134", true},  {52, "160", false}, {56, "135", true},  {57, "136", false},
    };
    for (const auto &row : rows)
        QTest::addRow("type %d", row.type) << row.type << QByteArray(row.code) << row.listed;
}

void TestUdpEndpoint::typeCodeInTheDeviceId()
{
    QFETCH(int, type);
    QFETCH(QByteArray, code);
    QFETCH(bool, listed);

    DeviceProfile profile;
    profile.deviceType = quint8(type);
    VirtualController controller(profile);
    UdpEndpoint endpoint(&controller);
    const QByteArray a = endpoint.announcement(); // as it would go out from 127.0.0.2:5000
    QCOMPARE(a.size(), 91);
    QCOMPARE(a.mid(25, 3), code);
    QCOMPARE(a.mid(72, 4), hex("7F000002"));
    QCOMPARE(a.mid(87, 2), hex("8813"));
    const auto parsed = parseAnnouncement(a);
    QVERIFY(parsed.has_value());
    QCOMPARE(acceptedByDiscovery(parsed->typeCode()), listed);
}

void TestUdpEndpoint::crowdAnnouncesEachIdentityOnceAnInterval()
{
    VirtualController controller;
    Listener raw;
    UdpEndpoint endpoint(&controller);
    UdpEndpointSettings settings = serviceOn("127.0.0.2");
    settings.announceIntervalMs = 300;
    settings.announcers = 3;
    settings.announcePort = raw.port();
    QVERIFY(endpoint.open(settings));

    // Two intervals: each identity twice, from the one socket; the crowd's
    // device IDs end in their number, the type code (bytes 25..27) kept.
    const QByteArray ownId = controller.state().identity.deviceId;
    QMap<QByteArray, int> heard;
    for (int i = 0; i < 6; ++i) {
        const auto datagram = raw.next();
        QVERIFY(datagram.has_value());
        const QByteArray a = datagram->data();
        QCOMPARE(a.size(), 91);
        QCOMPARE(datagram->senderPort(), int(endpoint.servicePort()));
        const QByteArray address = a.mid(72, 4);
        const QByteArray id = a.mid(8, 32);
        if (address == hex("7F000002"))
            QCOMPARE(id, ownId);
        else if (address == hex("7F010001"))
            QCOMPARE(id, ownId.left(27) + "00001");
        else if (address == hex("7F010002"))
            QCOMPARE(id, ownId.left(27) + "00002");
        else
            QFAIL(qPrintable(address.toHex()));
        QCOMPARE(a.mid(25, 3), QByteArray("090"));
        ++heard[address];
    }
    QCOMPARE(heard.size(), 3);
    for (const int times : heard)
        QCOMPARE(times, 2);

    endpoint.close();
    settings.announcers = 0;
    QString error;
    QVERIFY(!endpoint.open(settings, &error));
    QVERIFY(error.contains(QStringLiteral("announcers")));
}

QTEST_GUILESS_MAIN(TestUdpEndpoint)
#include "test_udp_endpoint.moc"
