// The serial transport of the virtual controller: cutting requests out of a
// byte stream, and a real pseudo-terminal that the tool may close and open
// again.
#include "protocol/frames.h"
#include "sim/pty_endpoint.h"
#include "sim/serial_request_splitter.h"
#include "support/hex.h"
#include "support/pty_device.h"
#include "transport/serial_link.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace kalmo;
using namespace kalmo::sim;

namespace {

QByteArray request(quint8 fn, const QByteArray &payload = {})
{
    return buildSerialFrame(fn, payload);
}

// The tool's end of the line: the slave side, opened like a serial port.
struct Port
{
    int fd = -1;
    explicit Port(const QString &path)
    {
        fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~Port() { close(); }
    void close()
    {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    bool write(const QByteArray &bytes) const
    {
        return ::write(fd, bytes.constData(), bytes.size()) == bytes.size();
    }
    bool setRate(speed_t speed) const
    {
        termios t{};
        return tcgetattr(fd, &t) == 0 && cfsetospeed(&t, speed) == 0 &&
               cfsetispeed(&t, speed) == 0 && tcsetattr(fd, TCSANOW, &t) == 0;
    }
    // Waits (running the event loop) until `count` bytes are in.
    QByteArray read(qsizetype count) const
    {
        QByteArray got;
        // The caller compares what came; a short read is its failure.
        [[maybe_unused]] const bool complete = QTest::qWaitFor(
            [&] {
                char buffer[1024];
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0) got.append(buffer, n);
                return got.size() >= count;
            },
            5000);
        return got;
    }
};

} // namespace

class TestPtyEndpoint : public QObject
{
    Q_OBJECT

private slots:
    void splitter_data();
    void splitter();
    void splitterByteByByte();
    void staleHeaderGivesWayToNextFrame();

    void roundTrip();
    void requestInPieces();
    void survivesReopen();
    void delayedReplyDoesNotReachNextPeer();
    void noiseIsSkipped();
    void toolSerialLinkWithUpgradeSpeed();
    void followsAndPacesLineRate();
    void symbolicLink();
    void linkDoesNotReplaceAFile();
};

// ---- Splitting --------------------------------------------------------------------

void TestPtyEndpoint::splitter_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<qsizetype>("pending");

    const QByteArray read1 = hex("5555017E80AAAA");
    const QByteArray clock = request(19);
    QTest::newRow("two frames in one piece")
        << read1 + clock << QList<QByteArray>{read1, clock} << qsizetype(0);
    QTest::newRow("noise before a frame")
        << hex("0013AA55") + read1 << QList<QByteArray>{read1} << qsizetype(0);
    QTest::newRow("three 55 before the number")
        << hex("55") + read1 << QList<QByteArray>{read1} << qsizetype(0);
    QTest::newRow("a bad CRC is skipped")
        << hex("5555017E81AAAA") + clock << QList<QByteArray>{clock} << qsizetype(0);
    const QByteArray restore = request(56, hex("55AA82"));
    QTest::newRow("restore selected, 10 bytes, then a read")
        << restore + read1 << QList<QByteArray>{restore, read1} << qsizetype(0);
    const QByteArray forwarding = request(69, hex("0100000000000000") + QByteArray(24, '\x55'));
    QTest::newRow("forwarding write of one entry")
        << forwarding << QList<QByteArray>{forwarding} << qsizetype(0);
    const QByteArray sm = request(74, QByteArray(512, '\x55'));
    QTest::newRow("SM write full of 55")
        << sm + read1 << QList<QByteArray>{sm, read1} << qsizetype(0);
    const QByteArray unknown = request(2);
    QTest::newRow("a sound frame of an unknown function")
        << unknown << QList<QByteArray>{unknown} << qsizetype(0);
    QTest::newRow("unknown-function noise before a frame")
        << hex("55550200") + read1 << QList<QByteArray>{read1} << qsizetype(0);
    QTest::newRow("half a frame waits")
        << read1 + clock.left(4) << QList<QByteArray>{read1} << qsizetype(4);
    QTest::newRow("a last 55 waits")
        << read1 + hex("0055") << QList<QByteArray>{read1} << qsizetype(1);
}

void TestPtyEndpoint::splitter()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(qsizetype, pending);

    SerialRequestSplitter splitter;
    QCOMPARE(splitter.feed(stream), frames);
    QCOMPARE(splitter.pendingBytes(), pending);
}

void TestPtyEndpoint::splitterByteByByte()
{
    const QByteArray stream =
        request(22, QByteArray(64, '\x55')) + request(47, QByteArray(512, 'x'));
    SerialRequestSplitter splitter;
    QList<QByteArray> frames;
    for (const char c : stream)
        frames += splitter.feed(QByteArrayView(&c, 1));
    QCOMPARE(frames, (QList<QByteArray>{stream.left(71), stream.mid(71)}));
    QCOMPARE(splitter.pendingBytes(), qsizetype(0));
}

void TestPtyEndpoint::staleHeaderGivesWayToNextFrame()
{
    // A control-parameter write header that never completes, then a read.
    const QByteArray read1 = hex("5555017E80AAAA");
    SerialRequestSplitter splitter;
    QVERIFY(splitter.feed(hex("55554C0000") + read1).isEmpty());
    QCOMPARE(splitter.discardStale(), QList<QByteArray>{read1});
    QCOMPARE(splitter.pendingBytes(), qsizetype(0));
}

// ---- The pseudo-terminal ---------------------------------------------------------------

void TestPtyEndpoint::roundTrip()
{
    VirtualController controller;
    PtyEndpoint endpoint(&controller);
    QString error;
    QVERIFY2(endpoint.open(&error), qPrintable(error));
    QVERIFY(endpoint.slavePath().startsWith(QStringLiteral("/dev/")));

    Port port(endpoint.slavePath());
    QVERIFY(port.fd >= 0);
    QVERIFY(port.write(hex("5555017E80AAAA")));
    const QByteArray reply = port.read(111);
    QCOMPARE(reply.size(), 111);
    QVERIFY(verifySerialReply(reply).accepted());
    QCOMPARE(quint8(reply[2]), quint8(1));
}

void TestPtyEndpoint::requestInPieces()
{
    VirtualController controller;
    PtyEndpoint endpoint(&controller);
    QVERIFY(endpoint.open());
    Port port(endpoint.slavePath());
    const QByteArray clock = request(20, hex("EA0703010C223807"));
    QVERIFY(port.write(clock.left(5)));
    QTest::qWait(20); // let the first piece arrive alone
    QVERIFY(port.write(clock.mid(5)));
    const QByteArray reply = port.read(15);
    QCOMPARE(reply.size(), 15);
    QCOMPARE(reply.mid(2, 9), hex("14EA0703010C223807"));
}

void TestPtyEndpoint::survivesReopen()
{
    VirtualController controller;
    PtyEndpoint endpoint(&controller);
    QVERIFY(endpoint.open());
    QSignalSpy closed(&endpoint, &PtyEndpoint::peerClosed);
    QSignalSpy opened(&endpoint, &PtyEndpoint::peerOpened);

    for (int round = 1; round <= 3; ++round) {
        Port port(endpoint.slavePath());
        QVERIFY(port.fd >= 0);
        QVERIFY(port.write(request(19)));
        QCOMPARE(port.read(15).size(), 15);
        port.close();
        QVERIFY(QTest::qWaitFor([&] { return endpoint.peerHungUp(); }, 5000));
        QCOMPARE(closed.size(), round);
    }
    Port port(endpoint.slavePath());
    QVERIFY(QTest::qWaitFor([&] { return !endpoint.peerHungUp(); }, 5000));
    QCOMPARE(opened.size(), 3);
    QVERIFY(port.write(request(21)));
    QCOMPARE(port.read(71).size(), 71);
}

void TestPtyEndpoint::delayedReplyDoesNotReachNextPeer()
{
    VirtualController controller;
    FaultOptions faults;
    faults.delayMs = 300;
    controller.setFaults(faults);
    PtyEndpoint endpoint(&controller);
    QSignalSpy served(&endpoint, &PtyEndpoint::requestServed);
    QVERIFY(endpoint.open());
    {
        Port port(endpoint.slavePath());
        QVERIFY(port.write(request(1)));
        QVERIFY(served.wait(5000)); // read, its reply waiting for the delay
    }
    QVERIFY(QTest::qWaitFor([&] { return endpoint.peerHungUp(); }, 5000));

    Port port(endpoint.slavePath());
    QVERIFY(port.write(request(19)));
    const QByteArray reply = port.read(15);
    QCOMPARE(reply.left(3), hex("555513"));
    QCOMPARE(reply.size(), 15);
}

void TestPtyEndpoint::noiseIsSkipped()
{
    VirtualController controller;
    PtyEndpoint endpoint(&controller);
    QSignalSpy noise(&endpoint, &PtyEndpoint::noiseDiscarded);
    QVERIFY(endpoint.open());
    Port port(endpoint.slavePath());
    QVERIFY(port.write(hex("00FF5555017E81AAAA") + request(37)));
    const QByteArray reply = port.read(13);
    QCOMPARE(reply.left(3), hex("555525"));
    QVERIFY(!noise.isEmpty());
}

// The tool's own serial link, through the symbolic link, switching to the
// upgrade speed and back as an upgrade does.
void TestPtyEndpoint::toolSerialLinkWithUpgradeSpeed()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kalmo-port"));
    VirtualController controller;
    PtyEndpoint endpoint(&controller);
    QVERIFY(endpoint.open());
    QVERIFY(endpoint.createLink(path));

    SerialLink link;
    QSignalSpy received(&link, &SerialLink::received);
    const auto exchange = [&](const QByteArray &frame, int replyLength) {
        received.clear();
        link.write(frame, replyLength);
        return received.wait(5000) ? link.readAll() : QByteArray();
    };

    QVERIFY(!link.open(path, QStringLiteral("9600,N,8,1")));
    QCOMPARE(exchange(request(1), 111).size(), 111);
    QCOMPARE(exchange(request(45), 7), request(45));
    QCOMPARE(exchange(request(46, hex("0100")), 9), request(46, hex("0100")));
    link.close();
    QVERIFY(!link.open(path, QStringLiteral("115200,N,8,1")));
    QCOMPARE(exchange(request(47, QByteArray(512, '\x5A')), 7), request(47));
    link.close();
    QVERIFY(!link.open(path, QStringLiteral("9600,N,8,1")));
    QCOMPARE(exchange(request(19), 15).size(), 15);
    link.close();

    QCOMPARE(controller.state().firmware.completedTransfers, 1);
    QCOMPARE(controller.state().firmware.imageCrc32, quint32(0xC6D765F6));
}

// The rate the tool sets decides what the device understands, and with
// pacing on, a reply comes no sooner than the wire time of both frames.
void TestPtyEndpoint::followsAndPacesLineRate()
{
    PtyDevice device;
    Port tool(device.path);
    QVERIFY(tool.setRate(B115200));
    QCOMPARE(device.lineRate(), 115200);

    VirtualController controller;
    PtyEndpoint endpoint(&controller);
    endpoint.setPacedAtLineRate(true);
    QSignalSpy served(&endpoint, &PtyEndpoint::requestServed);
    QVERIFY(endpoint.open());
    Port port(endpoint.slavePath());
    QElapsedTimer clock;
    // The reply, and whether it took at least the wire time of both frames.
    const auto exchange = [&](const QByteArray &frame, qsizetype replyLength, int baud) {
        clock.start();
        const QByteArray reply = port.write(frame) ? port.read(replyLength) : QByteArray();
        return std::pair{reply, clock.nsecsElapsed() >=
                                    (frame.size() + replyLength) * 10'000'000'000 / baud};
    };

    QVERIFY(port.setRate(B9600));
    QCOMPARE(exchange(request(45), 7, 9600), std::pair(request(45), true));
    QCOMPARE(exchange(request(46, hex("0100")), 9, 9600).second, true);
    QVERIFY(port.write(request(19))); // the device now listens at 115200
    QVERIFY(served.wait(5000));
    QVERIFY(served.last().at(0).value<SerialExchange>().wrongRate);
    QVERIFY(port.setRate(B115200));
    QCOMPARE(exchange(request(47, QByteArray(512, '\x5A')), 7, 115200),
             std::pair(request(47), true));
    QCOMPARE(controller.state().firmware.completedTransfers, 1);
}

void TestPtyEndpoint::symbolicLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("kalmo-port"));
    QVERIFY(QFile::link(QStringLiteral("/nonexistent"), link)); // a stale link is replaced
    {
        VirtualController controller;
        PtyEndpoint endpoint(&controller);
        QVERIFY(endpoint.open());
        QString error;
        QVERIFY2(endpoint.createLink(link, &error), qPrintable(error));
        QCOMPARE(QFileInfo(link).symLinkTarget(), endpoint.slavePath());

        Port port(link);
        QVERIFY(port.write(request(77)));
        QCOMPARE(port.read(15).size(), 15);
    }
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(!QFileInfo::exists(link));
}

void TestPtyEndpoint::linkDoesNotReplaceAFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();

    VirtualController controller;
    PtyEndpoint endpoint(&controller);
    QVERIFY(endpoint.open());
    QString error;
    QVERIFY(!endpoint.createLink(path, &error));
    QVERIFY(!error.isEmpty());
    endpoint.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
}

QTEST_GUILESS_MAIN(TestPtyEndpoint)
#include "test_pty_endpoint.moc"
