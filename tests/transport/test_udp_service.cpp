// The read/write service socket against a controller socket on 127.0.0.2:
// the local port is the service port, each request one datagram, each
// arriving datagram handed on whole; re-aiming, failures and their numbers.
#include "core/error_log.h"
#include "core/error_texts.h"
#include "support/hex.h"
#include "transport/udp_service.h"

#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

using namespace kalmo;

namespace {

const QHostAddress kController(QStringLiteral("127.0.0.2"));
const QHostAddress kOther(QStringLiteral("127.0.0.3"));

// The next datagram the socket receives, waiting for it if need be.
QByteArray receive(QUdpSocket &socket, QHostAddress *from = nullptr, quint16 *fromPort = nullptr)
{
    if (!socket.hasPendingDatagrams()) socket.waitForReadyRead(3000);
    if (!socket.hasPendingDatagrams()) return "<nothing>";
    QByteArray data(qsizetype(socket.pendingDatagramSize()), '\0');
    socket.readDatagram(data.data(), data.size(), from, fromPort);
    return data;
}

} // namespace

class TestUdpService : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip()
    {
        // The controller holds its service port on 127.0.0.2 for itself; the
        // tool binds the same port number on its own side.
        QUdpSocket controller;
        QVERIFY(controller.bind(kController, 0, QAbstractSocket::DontShareAddress));
        const quint16 port = controller.localPort();

        UdpService service;
        QVERIFY(!service.aim(QStringLiteral("127.0.0.2"), port).has_value());
        QVERIFY(service.isOpen());
        QCOMPARE(service.localPort(), port);
        QCOMPARE(service.remotePort(), port);
        QCOMPARE(service.remoteAddress(), kController);

        // A 16-byte read request goes out as one datagram from the service port.
        const QByteArray request = hex("0C000000100000000100000000001127");
        service.send(request);
        QHostAddress from;
        quint16 fromPort = 0;
        QCOMPARE(receive(controller, &from, &fromPort), request);
        QCOMPARE(fromPort, port);

        QSignalSpy spy(&service, &UdpService::datagramArrived);
        const QByteArray reply = hex("4C0000000000010000000000") + QByteArray(99, '\x7E');
        controller.writeDatagram(reply, from, fromPort);
        controller.writeDatagram(QByteArray(), from, fromPort);
        const QByteArray large(600, '\x33');
        controller.writeDatagram(large, from, fromPort);
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 3, 3000);
        QCOMPARE(spy.at(0).at(0).toByteArray(), reply);
        QCOMPARE(spy.at(1).at(0).toByteArray().size(), 0);
        QCOMPARE(spy.at(2).at(0).toByteArray(), large);
    }

    void onlyTheDeviceIsTakenIn()
    {
        QUdpSocket controller;
        QVERIFY(controller.bind(kController, 0));
        UdpService service;
        QVERIFY(!service.aim(QStringLiteral("127.0.0.2"), controller.localPort()).has_value());

        QSignalSpy spy(&service, &UdpService::datagramArrived);
        QUdpSocket stranger;
        QVERIFY(stranger.bind(kOther, 0));
        QUdpSocket otherPort; // the device's address on another port is the device
        QVERIFY(otherPort.bind(kController, 0));
        const QHostAddress to(QHostAddress::LocalHost);
        stranger.writeDatagram(hex("4D0000000000050000000000"), to, service.localPort());
        stranger.writeDatagram(hex("4C0000000000050000000000"), to, service.localPort());
        otherPort.writeDatagram(hex("4D0000000000060000000000"), to, service.localPort());
        QVERIFY(spy.wait(3000));
        QTRY_COMPARE_WITH_TIMEOUT(service.foreignDatagramsDropped(), quint64(2), 3000);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toByteArray(), hex("4D0000000000060000000000"));
    }

    void reaimedOnEveryChoice()
    {
        QUdpSocket first;
        QVERIFY(first.bind(kController, 0));
        QUdpSocket second;
        QVERIFY(second.bind(kOther, 0));

        UdpService service;
        QVERIFY(!service.aim(QStringLiteral("127.0.0.2"), first.localPort()).has_value());
        QVERIFY(!service.aim(QStringLiteral("127.0.0.3"), second.localPort()).has_value());
        QCOMPARE(service.localPort(), second.localPort());
        service.send(hex("0D01"));
        QCOMPARE(receive(second), hex("0D01"));
        QVERIFY(!first.hasPendingDatagrams());

        // The first service port was let go: another program may hold it alone.
        QUdpSocket taker;
        QVERIFY(taker.bind(QHostAddress::LocalHost, first.localPort(),
                           QAbstractSocket::DontShareAddress));
    }

    void closedSocketRefusesToSend()
    {
        UdpService service;
        QVERIFY_THROWS_EXCEPTION(ProcedureError, service.send(hex("0C")));

        QUdpSocket controller;
        QVERIFY(controller.bind(kController, 0));
        QVERIFY(!service.aim(QStringLiteral("127.0.0.2"), controller.localPort()).has_value());
        service.close();
        QVERIFY(!service.isOpen());
        QVERIFY_THROWS_EXCEPTION(ProcedureError, service.send(hex("0C")));
    }

    void servicePortInUse()
    {
        QUdpSocket other; // another program holding the port on this side
        QVERIFY(other.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
        UdpService service;
        const auto failure = service.aim(QStringLiteral("127.0.0.2"), other.localPort());
        QVERIFY(failure.has_value());
        QCOMPARE(failure->number, 10048);
        QCOMPARE(WinsockErrorText(failure->number, failure->description),
                 QStringLiteral("指定的端口被其他程序占用"));
        QVERIFY(!service.isOpen());
    }

    void badHost_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("octet too large") << "300.1.1.1";
        QTest::newRow("a name") << "controller";
        QTest::newRow("empty") << "";
    }

    void badHost()
    {
        QFETCH(QString, host);
        UdpService service;
        const auto failure = service.aim(host, 3000);
        QVERIFY(failure.has_value());
        QCOMPARE(failure->number, 11001);
        QVERIFY(!service.isOpen());
    }

    void bindAddress_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("local");
        QTest::newRow("virtual controller") << "127.0.0.2"
                                            << "127.0.0.1";
        QTest::newRow("another loopback") << "127.1.2.3"
                                          << "127.0.0.1";
        QTest::newRow("device on the network") << "192.168.1.20"
                                               << "0.0.0.0";
    }

    void bindAddress()
    {
        QFETCH(QString, device);
        QFETCH(QString, local);
        QCOMPARE(localBindAddressFor(QHostAddress(device)), QHostAddress(local));
    }
};

QTEST_GUILESS_MAIN(TestUdpService)
#include "test_udp_service.moc"
