// The kalmo-sim program as a user starts it: the lines it prints, the options
// of the network side, and two instances side by side on loopback addresses.
#include "protocol/frames.h"
#include "support/hex.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QProcess>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

using namespace kalmo;

namespace {

constexpr int kWaitMs = 5000;

QString simPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../sim/kalmo-sim");
}

// A UDP port that is free on both addresses just now.
quint16 freePort()
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        QUdpSocket probe;
        if (!probe.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0)) continue;
        const quint16 port = probe.localPort();
        QUdpSocket other;
        if (other.bind(QHostAddress(QStringLiteral("127.0.0.3")), port)) return port;
    }
    return 0;
}

// One running kalmo-sim; ended (SIGTERM) when the test is done with it.
struct Sim
{
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();

    ~Sim()
    {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(kWaitMs)) process->kill();
        }
    }
    bool start(const QStringList &arguments)
    {
        process->start(simPath(), arguments);
        return process->waitForStarted(kWaitMs);
    }
    // The next line of standard output, without its line end.
    QString line()
    {
        if (!process->canReadLine() &&
            !QTest::qWaitFor([this] { return process->canReadLine(); }, kWaitMs))
            return {};
        return QString::fromLocal8Bit(process->readLine()).trimmed();
    }
};

// A client of the read/write service on 127.0.0.1.
struct Client
{
    QUdpSocket socket;
    SendState send;
    Client() { socket.bind(QHostAddress::LocalHost, 0); }
    QByteArray read(const char *address, quint16 port, int block, int type)
    {
        send.blockAddress = block;
        send.blockType = type;
        socket.writeDatagram(buildReadRequest(send), QHostAddress(QString::fromLatin1(address)),
                             port);
        if (!QTest::qWaitFor([this] { return socket.hasPendingDatagrams(); }, kWaitMs)) return {};
        return socket.receiveDatagram().data();
    }
};

} // namespace

class TestKalmoSimCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bothLinks();
    void networkOnly();
    void twoInstancesSideBySide();
    void errorStatusOption();
    void badOptions_data();
    void badOptions();
};

void TestKalmoSimCli::initTestCase()
{
    if (!QFileInfo(simPath()).isExecutable()) QSKIP("kalmo-sim is not built beside the tests");
}

void TestKalmoSimCli::bothLinks()
{
    const quint16 port = freePort();
    QVERIFY(port != 0);
    QUdpSocket listener;
    QVERIFY(listener.bind(QHostAddress::LocalHost, 0));

    Sim sim;
    QVERIFY(sim.start({QStringLiteral("--address"), QStringLiteral("127.0.0.3"),
                       QStringLiteral("--service-port"), QString::number(port),
                       QStringLiteral("--announce-to"),
                       QStringLiteral("127.0.0.1:%1").arg(listener.localPort())}));
    const QString pty = sim.line();
    QVERIFY2(pty.startsWith(QStringLiteral("/dev/")), qPrintable(pty));
    QVERIFY(QFileInfo::exists(pty));
    QCOMPARE(sim.line(), QStringLiteral("127.0.0.3:%1").arg(port));

    QVERIFY(QTest::qWaitFor([&] { return listener.hasPendingDatagrams(); }, kWaitMs));
    const QByteArray a = listener.receiveDatagram().data();
    QCOMPARE(a.size(), 91);
    QCOMPARE(a.mid(72, 4), hex("7F000003"));
    QCOMPARE(a.mid(87, 2), QByteArray(1, char(port & 0xFF)) + char(port >> 8));

    // The system parameters name the address and port it serves.
    Client client;
    const QByteArray r = client.read("127.0.0.3", port, 10003, 1);
    QCOMPARE(r.size(), 116);
    QCOMPARE(quint8(r[0]), quint8(0x4C));
    QCOMPARE(r.mid(16, 4), hex("7F000003"));
    QCOMPARE(r.mid(65, 2), QByteArray(1, char(port & 0xFF)) + char(port >> 8));
}

void TestKalmoSimCli::networkOnly()
{
    const quint16 port = freePort();
    Sim sim;
    QVERIFY(sim.start({QStringLiteral("--network"), QStringLiteral("--service-port"),
                       QString::number(port), QStringLiteral("--announce-to"),
                       QStringLiteral("127.0.0.1:9")}));
    QCOMPARE(sim.line(), QStringLiteral("127.0.0.2:%1").arg(port));
    Client client;
    QCOMPARE(client.read("127.0.0.2", port, 10003, 5).size(), 20);
    QVERIFY(!sim.process->canReadLine());
}

void TestKalmoSimCli::twoInstancesSideBySide()
{
    const quint16 port = freePort();
    QUdpSocket listener;
    QVERIFY(listener.bind(QHostAddress::LocalHost, 0));
    const QString announceTo = QStringLiteral("127.0.0.1:%1").arg(listener.localPort());
    Sim first;
    Sim second;
    QVERIFY(first.start({QStringLiteral("--network"), QStringLiteral("--series"),
                         QStringLiteral("11"), QStringLiteral("--service-port"),
                         QString::number(port), QStringLiteral("--announce-to"), announceTo}));
    QVERIFY(second.start({QStringLiteral("--network"), QStringLiteral("--series"),
                          QStringLiteral("12"), QStringLiteral("--address"),
                          QStringLiteral("127.0.0.3"), QStringLiteral("--service-port"),
                          QString::number(port), QStringLiteral("--announce-to"), announceTo}));
    QCOMPARE(first.line(), QStringLiteral("127.0.0.2:%1").arg(port));
    QCOMPARE(second.line(), QStringLiteral("127.0.0.3:%1").arg(port));

    Client client;
    QCOMPARE(client.read("127.0.0.2", port, 10003, 1).mid(12, 4), hex("0B000000"));
    QCOMPARE(client.read("127.0.0.3", port, 10003, 1).mid(12, 4), hex("0C000000"));

    QSet<QByteArray> announced;
    QVERIFY(QTest::qWaitFor(
        [&] {
            while (listener.hasPendingDatagrams())
                announced.insert(listener.receiveDatagram().data().mid(72, 4));
            return announced.size() == 2;
        },
        kWaitMs));
    QCOMPARE(announced, (QSet<QByteArray>{hex("7F000002"), hex("7F000003")}));
}

void TestKalmoSimCli::errorStatusOption()
{
    const quint16 port = freePort();
    Sim sim;
    QVERIFY(sim.start({QStringLiteral("--network"), QStringLiteral("--service-port"),
                       QString::number(port), QStringLiteral("--announce-to"),
                       QStringLiteral("127.0.0.1:9"), QStringLiteral("--error-status"),
                       QStringLiteral("1")}));
    QVERIFY(!sim.line().isEmpty());
    Client client;
    const QByteArray r = client.read("127.0.0.2", port, 10003, 1);
    QCOMPARE(r.size(), 12);
    QCOMPARE(quint8(r[0]) & 0x3F, 0x0C);
    QVERIFY((quint8(r[0]) & 0xC0) != 0x40);
}

void TestKalmoSimCli::badOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("address out of range") << QStringList{
        QStringLiteral("--network"), QStringLiteral("--address"), QStringLiteral("300.1.1.1")};
    QTest::newRow("IPv6 address") << QStringList{
        QStringLiteral("--network"), QStringLiteral("--address"), QStringLiteral("::1")};
    QTest::newRow("service port 0") << QStringList{
        QStringLiteral("--network"), QStringLiteral("--service-port"), QStringLiteral("0")};
    QTest::newRow("announce port 0")
        << QStringList{QStringLiteral("--network"), QStringLiteral("--announce-to"),
                       QStringLiteral("127.0.0.1:0")};
    QTest::newRow("announce address")
        << QStringList{QStringLiteral("--network"), QStringLiteral("--announce-to"),
                       QStringLiteral("nowhere:12000")};
    QTest::newRow("error-status above 1") << QStringList{
        QStringLiteral("--network"), QStringLiteral("--error-status"), QStringLiteral("1.5")};
    QTest::newRow("wrong-sequence not a number") << QStringList{
        QStringLiteral("--network"), QStringLiteral("--wrong-sequence"), QStringLiteral("often")};
    QTest::newRow("fail-packet below 0") << QStringList{
        QStringLiteral("--serial"), QStringLiteral("--fail-packet"), QStringLiteral("-1")};
    QTest::newRow("delay range upside down") << QStringList{
        QStringLiteral("--serial"), QStringLiteral("--delay"), QStringLiteral("500-50")};
    QTest::newRow("delay of three parts") << QStringList{
        QStringLiteral("--serial"), QStringLiteral("--delay"), QStringLiteral("1-2-3")};
    QTest::newRow("zigbee-test above 255") << QStringList{
        QStringLiteral("--serial"), QStringLiteral("--zigbee-test"), QStringLiteral("256")};
}

void TestKalmoSimCli::badOptions()
{
    QFETCH(QStringList, arguments);
    Sim sim;
    QVERIFY(sim.start(arguments));
    QVERIFY(sim.process->waitForFinished(kWaitMs));
    QCOMPARE(sim.process->exitCode(), 2);
    QVERIFY(sim.process->readAllStandardOutput().isEmpty());
    QVERIFY(!sim.process->readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestKalmoSimCli)
#include "test_kalmo_sim_cli.moc"
