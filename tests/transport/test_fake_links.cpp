// The in-memory links keep to what the session relies on in the real ones: a
// serial reply is announced only once the threshold is in, a write clears
// what was waiting, and nothing goes out or comes in on a link that is closed.
#include "core/error_log.h"
#include "transport/fake_links.h"

#include <QSignalSpy>
#include <QtTest>

using namespace kalmo;

class TestFakeLinks : public QObject
{
    Q_OBJECT
private slots:
    void serialReplyAnnouncedAtThreshold();
    void datagramsOnlyWhileAimed();
};

void TestFakeLinks::serialReplyAnnouncedAtThreshold()
{
    const QByteArray request = QByteArray::fromHex("5555017e80aaaa");
    FakeSerialLink link;
    link.ports = {QStringLiteral("ttyA")};
    QVERIFY(!link.open(QStringLiteral("ttyA"), QStringLiteral("9600,N,8,1")));
    QSignalSpy received(&link, &SerialPortLink::received);

    link.arrive(QByteArray(5, 'x')); // left over from an earlier exchange
    link.write(request, 111);
    QCOMPARE(link.inBufferCount(), 0);
    QCOMPARE(link.written, QList<QByteArray>{request});

    link.arrive(QByteArray(60, 'a'));
    QCOMPARE(received.count(), 0); // 60 of 111 bytes: not yet
    link.arrive(QByteArray(51, 'b'));
    QCOMPARE(received.count(), 1);
    QCOMPARE(link.readAll(), QByteArray(60, 'a') + QByteArray(51, 'b'));
    QCOMPARE(link.inBufferCount(), 0);

    link.close();
    link.write(request, 7);
    link.arrive(QByteArray(7, 'y'));
    QCOMPARE(link.written.size(), 1);
    QCOMPARE(link.inBufferCount(), 0);
    QCOMPARE(received.count(), 1);
}

void TestFakeLinks::datagramsOnlyWhileAimed()
{
    FakeDatagramLink link;
    QSignalSpy arrived(&link, &DatagramLink::datagramArrived);
    QVERIFY_THROWS_EXCEPTION(ProcedureError, link.send(QByteArray("x")));
    link.arrive(QByteArray("lost"));
    QCOMPARE(arrived.count(), 0);

    QVERIFY(link.aim(QStringLiteral("not an address"), 5000));
    QVERIFY(!link.isOpen());
    QVERIFY(!link.aim(QStringLiteral("127.0.0.2"), 5000));
    link.send(QByteArray("request"));
    link.arrive(QByteArray());
    QCOMPARE(link.sent, QList<QByteArray>{QByteArray("request")});
    QCOMPARE(arrived.count(), 1); // a datagram of 0 bytes too
}

QTEST_GUILESS_MAIN(TestFakeLinks)
#include "test_fake_links.moc"
