// Discovery and presence: the device table with a clock the test drives,
// kept aligned with a mirror of the window's list, and the listener on real
// loopback sockets.
#include "core/error_log.h"
#include "core/error_texts.h"
#include "support/hex.h"
#include "transport/discovery.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include <chrono>

using namespace kalmo;
using namespace std::chrono_literals;

namespace {

Ipv4Address ipv4(const QString &text)
{
    Ipv4Address a{};
    const QStringList parts = text.split(u'.');
    for (int i = 0; i < 4; ++i)
        a[size_t(i)] = quint8(parts.value(i).toUInt());
    return a;
}

Announcement device(const QString &address, const QByteArray &code = "079", quint16 port = 3000,
                    const QByteArray &tag = "tag")
{
    Announcement a;
    a.address = ipv4(address);
    a.deviceId = QByteArray("K0000000000000001") + code + QByteArray("000000000001");
    a.pdTag = tag + QByteArray(32 - tag.size(), '\0');
    a.servicePort = port;
    return a;
}

struct FakeClock
{
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point{} + 1000s;
};

// The window's device list, changed only as the outcomes say.
struct ListMirror
{
    QStringList items;

    void apply(const AnnouncementOutcome &o)
    {
        if (o.kind == AnnouncementOutcome::Kind::Refreshed)
            QCOMPARE(items.value(o.index), o.itemText);
        if (o.kind != AnnouncementOutcome::Kind::Added) return;
        QCOMPARE(o.index, items.size());
        items.append(o.itemText);
    }
    void apply(const QList<DeviceDeparture> &departures)
    {
        for (const DeviceDeparture &d : departures) {
            QVERIFY(d.index >= 0 && d.index < items.size());
            QCOMPARE(items[d.index], d.itemText);
            if (d.kind == DeviceDeparture::Kind::LastDevice) QCOMPARE(items.size(), 1);
            items.removeAt(d.index);
        }
    }
};

QStringList describe(const QList<DeviceDeparture> &departures)
{
    QStringList out;
    for (const DeviceDeparture &d : departures) {
        const char *kind = d.kind == DeviceDeparture::Kind::LastDevice ? "last"
                           : d.kind == DeviceDeparture::Kind::Chosen   ? "chosen"
                                                                       : "other";
        out << QStringLiteral("%1@%2").arg(QLatin1StringView(kind)).arg(d.index);
    }
    return out;
}

std::array<QString, 4> boxesOf(const QStringList &parts)
{
    return {parts.value(0), parts.value(1), parts.value(2), parts.value(3)};
}

// 91 bytes: kind 4, type code "079", 127.0.0.2, service port 40000.
QByteArray announcementDatagram()
{
    return hex("04") + QByteArray(7, '\0') + QByteArray("01234567890123456079ABCDEFGHIJKL") +
           QByteArray(32, '\0') + hex("7F000002") + QByteArray(11, '\0') + hex("409C") +
           QByteArray(2, '\0');
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

private slots:
    // ---- DeviceTable ------------------------------------------------------

    void startsWithOneEmptyEntry()
    {
        DeviceTable table;
        QCOMPARE(table.entries().size(), 1);
        QVERIFY(table.entries().front().isEmpty());
        QCOMPARE(table.listedCount(), 0);
        QVERIFY(table.itemTexts().isEmpty());
        QVERIFY_THROWS_EXCEPTION(ProcedureError, table.entryForItem(0));
    }

    void devicesListedInArrivalOrder()
    {
        FakeClock clock;
        DeviceTable table([&] { return clock.now; });
        ListMirror list;

        AnnouncementOutcome first = table.take(device("192.168.1.20"));
        QCOMPARE(first.kind, AnnouncementOutcome::Kind::Added);
        QCOMPARE(first.index, 0);
        QCOMPARE(first.itemText, QStringLiteral("192.168.1.20"));
        QCOMPARE(table.entries().size(), 1); // the empty entry was filled
        list.apply(first);

        clock.now += 1s;
        const AnnouncementOutcome second = table.take(device("10.0.0.5", "185", 40000));
        QCOMPARE(second.kind, AnnouncementOutcome::Kind::Added);
        QCOMPARE(second.index, 1);
        list.apply(second);

        QCOMPARE(table.itemTexts(), QStringList({"192.168.1.20", "10.0.0.5"}));
        QCOMPARE(list.items, table.itemTexts());
        const DeviceEntry &e = table.entryForItem(1);
        QCOMPARE(e.servicePort, quint16(40000));
        QCOMPARE(e.deviceId.mid(17, 3), QByteArray("185"));
        QVERIFY(e.lastSeen == clock.now);
        QVERIFY_THROWS_EXCEPTION(ProcedureError, table.entryForItem(2));
        QVERIFY_THROWS_EXCEPTION(ProcedureError, table.entryForItem(-1));
    }

    void repeatOnlyRefreshes()
    {
        FakeClock clock;
        DeviceTable table([&] { return clock.now; });
        table.take(device("192.168.1.20", "079", 3000, "first"));
        table.take(device("192.168.1.21"));

        clock.now += 7s;
        Announcement again = device("192.168.1.20", "120", 40000, "second");
        again.deviceId = "changed";
        const AnnouncementOutcome o = table.take(again);
        QCOMPARE(o.kind, AnnouncementOutcome::Kind::Refreshed);
        QCOMPARE(o.index, 0);
        QCOMPARE(table.entries().size(), 2);
        const DeviceEntry &e = table.entryForItem(0);
        QVERIFY(e.lastSeen == clock.now);
        QCOMPARE(e.servicePort, quint16(40000));
        QCOMPARE(e.deviceId, device("192.168.1.20").deviceId);
        QCOMPARE(e.pdTagText(), QStringLiteral("first"));
        QCOMPARE(table.silentSeconds(e), 0);
        QCOMPARE(table.silentSeconds(table.entryForItem(1)), 7);
    }

    void zeroOctetIsAnAddressLikeAnyOther()
    {
        DeviceTable table;
        table.take(device("192.168.0.7"));
        table.take(device("192.168.0.0"));
        table.take(device("10.20.30.40"));
        QCOMPARE(table.itemTexts(), QStringList({"192.168.0.7", "192.168.0.0", "10.20.30.40"}));
    }

    void newDeviceNeedsAcceptedCode_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<bool>("listed");
        QTest::newRow("079") << QByteArray("079") << true;
        QTest::newRow("199") << QByteArray("199") << true;
        QTest::newRow("never programmed") << hex("FFFFFF") << true;
        QTest::newRow("120 is known but not listed") << QByteArray("120") << false;
        QTest::newRow("160") << QByteArray("160") << false;
        QTest::newRow("blank") << QByteArray("   ") << false;
    }

    void newDeviceNeedsAcceptedCode()
    {
        QFETCH(QByteArray, code);
        QFETCH(bool, listed);
        DeviceTable table;
        table.take(device("192.168.1.20"));
        const AnnouncementOutcome o = table.take(device("192.168.1.30", code));
        QCOMPARE(o.kind,
                 listed ? AnnouncementOutcome::Kind::Added : AnnouncementOutcome::Kind::Ignored);
        QCOMPARE(table.listedCount(), listed ? 2 : 1);

        DeviceTable fresh;
        QCOMPARE(fresh.take(device("192.168.1.30", code)).kind,
                 listed ? AnnouncementOutcome::Kind::Added : AnnouncementOutcome::Kind::Ignored);
        QCOMPARE(fresh.entries().size(), 1);
        QCOMPARE(fresh.entries().front().isEmpty(), !listed);
    }

    void addressZeroIsIgnored()
    {
        // 0.0.0.0 would be taken for the empty entry and break the alignment.
        DeviceTable table;
        QCOMPARE(table.take(device("0.0.0.0")).kind, AnnouncementOutcome::Kind::Ignored);
        QCOMPARE(table.listedCount(), 0);
        table.take(device("192.168.1.20"));
        QCOMPARE(table.take(device("0.0.0.0")).kind, AnnouncementOutcome::Kind::Ignored);
        QCOMPARE(table.itemTexts(), QStringList({"192.168.1.20"}));
    }

    void pdTagEndsAtNul()
    {
        DeviceTable table;
        table.take(device("192.168.1.20", "079", 3000, hex("D5BE31") + hex("0041")));
        QCOMPARE(table.entryForItem(0).pdTagText(), QStringLiteral("站1"));
    }

    void resetAfterDevices()
    {
        DeviceTable table;
        table.take(device("192.168.1.20"));
        table.take(device("192.168.1.21"));
        table.reset();
        QCOMPARE(table.entries().size(), 1);
        QVERIFY(table.entries().front().isEmpty());
        QCOMPARE(table.listedCount(), 0);
        // The same device is new again and fills the empty entry.
        QCOMPARE(table.take(device("192.168.1.21")).index, 0);
    }

    void presence_data()
    {
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QList<int>>("silentMs");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("departures");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<QStringList>("nextDepartures");
        QTest::addColumn<QStringList>("nextRemaining");

        const QStringList three{"192.168.1.1", "192.168.1.2", "192.168.1.3"};
        const QStringList four{"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"};
        const QStringList noBoxes{"", "", "", ""};

        QTest::newRow("middle silent 11 s, not chosen")
            << three << QList<int>{0, 11000, 0} << QStringList{"192", "168", "1", "1"}
            << QStringList{"other@1"} << QStringList{"192.168.1.1", "192.168.1.3"} << QStringList{}
            << QStringList{"192.168.1.1", "192.168.1.3"};
        QTest::newRow("middle silent 11 s, chosen")
            << three << QList<int>{0, 11000, 0} << QStringList{"192", "168", "1", "2"}
            << QStringList{"chosen@1"} << QStringList{"192.168.1.1", "192.168.1.3"} << QStringList{}
            << QStringList{"192.168.1.1", "192.168.1.3"};
        QTest::newRow("boxes compared as text")
            << three << QList<int>{0, 11000, 0} << QStringList{"192", "168", "1", "02"}
            << QStringList{"other@1"} << QStringList{"192.168.1.1", "192.168.1.3"} << QStringList{}
            << QStringList{"192.168.1.1", "192.168.1.3"};
        QTest::newRow("10 s is not too long") << three << QList<int>{0, 10000, 10000} << noBoxes
                                              << QStringList{} << three << QStringList{} << three;
        QTest::newRow("10.999 s counts as 10")
            << three << QList<int>{10999, 10999, 10999} << noBoxes << QStringList{} << three
            << QStringList{} << three;
        QTest::newRow("only device silent")
            << QStringList{"192.168.1.1"} << QList<int>{11000}
            << QStringList{"192", "168", "1", "1"} << QStringList{"last@0"} << QStringList{}
            << QStringList{} << QStringList{};
        QTest::newRow("only device silent, not chosen")
            << QStringList{"192.168.1.1"} << QList<int>{60000} << noBoxes << QStringList{"last@0"}
            << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("two silent: the one moved up waits a tick")
            << QStringList{"192.168.1.1", "192.168.1.2"} << QList<int>{12000, 12000} << noBoxes
            << QStringList{"other@0"} << QStringList{"192.168.1.2"} << QStringList{"last@0"}
            << QStringList{};
        QTest::newRow("second and third silent")
            << four << QList<int>{0, 11000, 11000, 0} << noBoxes << QStringList{"other@1"}
            << QStringList{"10.0.0.1", "10.0.0.3", "10.0.0.4"} << QStringList{"other@1"}
            << QStringList{"10.0.0.1", "10.0.0.4"};
        QTest::newRow("second and fourth silent")
            << four << QList<int>{0, 11000, 0, 11000} << noBoxes
            << QStringList{"other@1", "other@2"} << QStringList{"10.0.0.1", "10.0.0.3"}
            << QStringList{} << QStringList{"10.0.0.1", "10.0.0.3"};
        QTest::newRow("chosen and another silent")
            << four << QList<int>{0, 11000, 0, 11000} << QStringList{"10", "0", "0", "2"}
            << QStringList{"chosen@1", "other@2"} << QStringList{"10.0.0.1", "10.0.0.3"}
            << QStringList{} << QStringList{"10.0.0.1", "10.0.0.3"};
        QTest::newRow("first of four silent and chosen")
            << four << QList<int>{20000, 0, 0, 0} << QStringList{"10", "0", "0", "1"}
            << QStringList{"chosen@0"} << QStringList{"10.0.0.2", "10.0.0.3", "10.0.0.4"}
            << QStringList{} << QStringList{"10.0.0.2", "10.0.0.3", "10.0.0.4"};
        QTest::newRow("zero octet chosen")
            << QStringList{"192.168.0.7", "192.168.0.8"} << QList<int>{11000, 0}
            << QStringList{"192", "168", "0", "7"} << QStringList{"chosen@0"}
            << QStringList{"192.168.0.8"} << QStringList{} << QStringList{"192.168.0.8"};
    }

    void presence()
    {
        QFETCH(QStringList, devices);
        QFETCH(QList<int>, silentMs);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, departures);
        QFETCH(QStringList, remaining);
        QFETCH(QStringList, nextDepartures);
        QFETCH(QStringList, nextRemaining);

        FakeClock clock;
        DeviceTable table([&] { return clock.now; });
        ListMirror list;
        for (const QString &address : devices)
            list.apply(table.take(device(address)));

        const auto tick = clock.now + 100s;
        for (qsizetype i = 0; i < devices.size(); ++i) {
            clock.now = tick - std::chrono::milliseconds(silentMs[i]);
            QCOMPARE(table.take(device(devices[i])).kind, AnnouncementOutcome::Kind::Refreshed);
        }
        clock.now = tick;

        const QList<DeviceDeparture> first = table.checkPresence(boxesOf(boxes));
        QCOMPARE(describe(first), departures);
        list.apply(first);
        QCOMPARE(table.itemTexts(), remaining);
        QCOMPARE(list.items, remaining);

        const QList<DeviceDeparture> second = table.checkPresence(boxesOf(boxes));
        QCOMPARE(describe(second), nextDepartures);
        list.apply(second);
        QCOMPARE(table.itemTexts(), nextRemaining);
        QCOMPARE(list.items, nextRemaining);

        if (nextRemaining.isEmpty()) {
            QCOMPARE(table.entries().size(), 1);
            QVERIFY(table.entries().front().isEmpty());
            // Nothing listed: later ticks find nothing to drop.
            clock.now += 1h;
            QVERIFY(table.checkPresence(boxesOf(boxes)).isEmpty());
        }
    }

    void listStaysAlignedThroughAnyHistory()
    {
        // Devices come and go at random; after every announcement and every
        // tick the window's list, changed only as told, matches the table.
        FakeClock clock;
        DeviceTable table([&] { return clock.now; });
        ListMirror list;
        QRandomGenerator random(20240501);
        const QStringList pool{"192.168.1.1", "192.168.1.2", "192.168.0.3", "10.0.0.4",
                               "10.0.0.5",    "172.16.0.6",  "0.0.0.0"};
        for (int step = 0; step < 3000; ++step) {
            clock.now += std::chrono::milliseconds(random.bounded(4000));
            if (random.bounded(5) == 0) {
                const QString chosen =
                    list.items.value(random.bounded(qMax(1, int(list.items.size()))));
                list.apply(table.checkPresence(boxesOf(chosen.split(u'.'))));
            } else {
                const QByteArray code = random.bounded(8) == 0 ? QByteArray("120") : "133";
                const QString address = pool[random.bounded(int(pool.size()))];
                const AnnouncementOutcome o = table.take(device(address, code));
                // The entry found or added is the one announced.
                if (o.kind != AnnouncementOutcome::Kind::Ignored) QCOMPARE(o.itemText, address);
                list.apply(o);
            }
            QCOMPARE(list.items, table.itemTexts());
            QCOMPARE(table.listedCount(), list.items.size());
            QVERIFY(!table.entries().isEmpty());
            for (qsizetype i = 0; i < table.listedCount(); ++i)
                QVERIFY(!table.entries()[i].isEmpty());
        }
    }

    // ---- DiscoveryListener on loopback -------------------------------------

    void receivesAnnouncementFromAnotherLoopbackAddress()
    {
        DiscoveryListener listener;
        QVERIFY(!listener.start(0).has_value());
        QVERIFY(listener.isListening());
        const quint16 port = listener.localPort();
        QVERIFY(port != 0);
        QSignalSpy spy(&listener, &DiscoveryListener::announcementReceived);

        QUdpSocket controller;
        QVERIFY(controller.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        const QHostAddress tool(QHostAddress::LocalHost);
        // Not announcements: dropped without a word.
        controller.writeDatagram(announcementDatagram().left(90), tool, port);
        controller.writeDatagram(announcementDatagram() + hex("00"), tool, port);
        QByteArray wrongKind = announcementDatagram();
        wrongKind[0] = 3;
        controller.writeDatagram(wrongKind, tool, port);
        controller.writeDatagram(QByteArray(), tool, port);
        controller.writeDatagram(announcementDatagram(), tool, port);

        QVERIFY(spy.wait(3000));
        QTest::qWait(50);
        QCOMPARE(spy.count(), 1);
        const auto a = spy.at(0).at(0).value<Announcement>();
        QCOMPARE(dottedAddress(a.address), QStringLiteral("127.0.0.2"));
        QCOMPARE(a.servicePort, quint16(40000));
        QCOMPARE(a.typeCode(), QByteArray("079"));
    }

    void portInUse()
    {
        QUdpSocket other; // another program holding the port for itself
        QVERIFY(other.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
        DiscoveryListener listener;
        const auto failure = listener.start(other.localPort());
        QVERIFY(failure.has_value());
        QCOMPARE(failure->number, 10048);
        QVERIFY(!failure->description.isEmpty());
        QCOMPARE(WinsockErrorText(failure->number, failure->description),
                 QStringLiteral("指定的端口被其他程序占用"));
        QVERIFY(!listener.isListening());
    }

    void stopAndStartAgain()
    {
        DiscoveryListener listener;
        QVERIFY(!listener.start(0).has_value());
        const quint16 port = listener.localPort();
        listener.stop();
        QVERIFY(!listener.isListening());
        QVERIFY(!listener.start(port).has_value());
        QCOMPARE(listener.localPort(), port);

        QSignalSpy spy(&listener, &DiscoveryListener::announcementReceived);
        QUdpSocket controller;
        QVERIFY(controller.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        controller.writeDatagram(announcementDatagram(), QHostAddress(QHostAddress::LocalHost),
                                 port);
        QVERIFY(spy.wait(3000));
    }

    void listenersShareThePort()
    {
        // A second copy of the tool on this machine binds the same port.
        DiscoveryListener first;
        QVERIFY(!first.start(0).has_value());
        DiscoveryListener second;
        QVERIFY(!second.start(first.localPort()).has_value());
        QVERIFY(first.isListening() && second.isListening());
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "test_discovery.moc"
