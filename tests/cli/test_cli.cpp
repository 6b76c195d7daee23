// kalmo-cli against the virtual controller on a pseudo-terminal and on
// loopback UDP: what its write sends is what the window's F7 sends, a named
// field changes only its own bytes on the device, and bad input sends nothing.
#include "app/form1.h"
#include "cli/cli_app.h"
#include "features/image_files/image_files_feature.h"
#include "protocol/command_codes.h"
#include "protocol/command_tables.h"
#include "sim/device_blocks.h"
#include "sim/pty_endpoint.h"
#include "sim/udp_endpoint.h"
#include "support/scratch_dir.h"
#include "support/wait_until.h"
#include "support/window_rig.h"

#include <QLineEdit>
#include <QUdpSocket>
#include <QtTest>

using namespace kalmo;

namespace {

// A UDP port nobody holds, for the announcements of a test's devices.
quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

// A firmware file of `size` bytes, byte k = k mod 251.
QByteArray firmwareFile(const QString &path, qsizetype size)
{
    QByteArray image(size, '\0');
    for (qsizetype k = 0; k < size; ++k)
        image[k] = char(k % 251);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(image);
    return image;
}

// A controller on one link, keeping every request it served as text.
struct Device
{
    Link link;
    sim::VirtualController controller;
    sim::PtyEndpoint pty{&controller};
    sim::UdpEndpoint udp{&controller};
    quint16 discoveryPort = 0;
    QString address; // on the network
    QStringList requests;

    // On the network, announcing to `announceTo` (0: a free port of its own).
    explicit Device(Link on, const sim::DeviceProfile &profile = {},
                    const QString &at = QStringLiteral("127.0.0.13"), quint16 announceTo = 0)
        : link(on), controller(profile), discoveryPort(announceTo), address(at)
    {
        if (link == Link::Serial) {
            QVERIFY(pty.open());
            QObject::connect(&pty, &sim::PtyEndpoint::requestServed,
                             [this](const sim::SerialExchange &e) {
                                 requests << QString::fromLatin1(e.request.toHex(' '));
                             });
            return;
        }
        if (discoveryPort == 0) discoveryPort = freePort();
        sim::UdpEndpointSettings settings;
        settings.address = QHostAddress(address);
        settings.servicePort = 0;
        settings.announcePort = discoveryPort;
        QString error;
        QVERIFY2(udp.open(settings, &error), qPrintable(error));
        QObject::connect(
            &udp, &sim::UdpEndpoint::requestServed, [this](const sim::NetworkExchange &e) {
                if (!e.request) return;
                const sim::NetworkRequest &r = *e.request;
                requests << QStringLiteral("%1 %2/%3 n=%4 %5")
                                .arg(r.service == sim::NetworkService::Write ? "W" : "R")
                                .arg(r.blockAddress)
                                .arg(r.blockType)
                                .arg(r.itemCount)
                                .arg(QString::fromLatin1(r.payload.toHex(' ')));
            });
    }

    // The options that name this device.
    QStringList target() const
    {
        if (link == Link::Serial) return {QStringLiteral("--port"), pty.slavePath()};
        return {QStringLiteral("--device"), address, QStringLiteral("--discovery-port"),
                QString::number(discoveryPort)};
    }

    int cli(const QStringList &arguments, QString *output = nullptr)
    {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const int status = cli::runCli(arguments, outStream, errStream);
        outStream.flush();
        errStream.flush();
        if (output) *output = out;
        if (status != 0)
            qInfo("kalmo-cli %s: %s", qPrintable(arguments.join(u' ')), qPrintable(err));
        return status;
    }

    // The requests from the first MAC address write on, without the idle
    // DI/DO reads: the part F7 sends.
    QStringList writePart() const
    {
        QString macWrite, idleRead;
        if (link == Link::Serial) {
            macWrite = QStringLiteral("55 55 %1")
                           .arg(findSerialCommand(serial_cmd::WriteMac)->functionNumber, 2, 16,
                                QChar(u'0'));
            idleRead =
                QStringLiteral("55 55 %1")
                    .arg(findSerialCommand(kSerialIdleCommand)->functionNumber, 2, 16, QChar(u'0'));
        } else {
            const NetworkCommand *mac = findNetworkCommand(network_cmd::WriteMac);
            const NetworkCommand *idle = findNetworkCommand(kNetworkIdleCommand);
            macWrite = QStringLiteral("W %1/%2 ").arg(mac->blockAddress).arg(mac->blockType);
            idleRead = QStringLiteral("R %1/%2 ").arg(idle->blockAddress).arg(idle->blockType);
        }
        QStringList part;
        bool started = false;
        for (const QString &request : requests) {
            started = started || request.startsWith(macWrite);
            if (started && !request.startsWith(idleRead)) part << request;
        }
        return part;
    }
};

// The rows of a test that runs on each link.
void bothLinks()
{
    QTest::addColumn<Link>("link");
    QTest::newRow("serial") << Link::Serial;
    QTest::newRow("network") << Link::Network;
}

// The window connected to the device, its first reads and a DI/DO read done.
std::unique_ptr<Form1> connectedWindow(Device &device)
{
    ProgramOptions options;
    if (device.link == Link::Serial) {
        options.ports = {device.pty.slavePath()};
    } else {
        options.link = ProgramOptions::Link::Network;
        options.device = device.address;
    }
    auto w = std::make_unique<Form1>(options, rig::realLinks());
    w->showMessageBox = [](const MessageBoxRequest &box) {
        qInfo("box: %s", qPrintable(box.text));
    };
    w->session().discoveryPort = device.discoveryPort;
    w->StartRun_Click();
    const bool read = rig::waitUntil(
        [&] {
            return w->dispatcher().stack().top() == 0 && !w->session().Timer2->isActive() &&
                   !rig::control<QLineEdit>(*w, "txthardwarenum")->text().isEmpty() &&
                   !rig::control<QLineEdit>(*w, "txtDIPrevent")->text().isEmpty() &&
                   !rig::control<QLineEdit>(*w, "txt_MAC_5")->text().isEmpty() &&
                   !rig::control<QLineEdit>(*w, "txtHardAddr")->text().isEmpty();
        },
        20000);
    if (!read) qWarning("the window did not finish its first reads");
    return w;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<ScratchWorkingDir>(); }
    void cleanup() { m_dir.reset(); }

    void writeFromReadSendsWhatF7Sends_data();
    void writeFromReadSendsWhatF7Sends();
    void setChangesOnlyItsField_data() { bothLinks(); }
    void setChangesOnlyItsField();
    void imageSaveMatchesTheWindow_data() { bothLinks(); }
    void imageSaveMatchesTheWindow();
    void imageLoadWritesAnotherDevice_data() { bothLinks(); }
    void imageLoadWritesAnotherDevice();
    void upgradeStoresTheImage_data() { bothLinks(); }
    void upgradeStoresTheImage();
    void upgradeOfAllGoesOnPastASilentDevice_data();
    void upgradeOfAllGoesOnPastASilentDevice();
    void clockIsSet_data() { bothLinks(); }
    void clockIsSet();
    void listNamesTheDevices();
    void badInputSendsNothing_data();
    void badInputSendsNothing();

private:
    std::unique_ptr<ScratchWorkingDir> m_dir;
};

void TestCli::writeFromReadSendsWhatF7Sends_data()
{
    bothLinks();
}

void TestCli::writeFromReadSendsWhatF7Sends()
{
    QFETCH(Link, link);
    Device device(link);

    QString json;
    QCOMPARE(device.cli(QStringList{"read", "--json"} + device.target(), &json), 0);
    QFile file(QStringLiteral("device.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(json.toUtf8());
    file.close();
    device.requests.clear();
    QCOMPARE(device.cli(QStringList{"write", "--from", "device.json"} + device.target()), 0);
    const QStringList fromCli = device.writePart();
    QVERIFY(fromCli.size() >= 4);

    // The window, after its read, on the same device.
    auto w = connectedWindow(device);
    device.requests.clear();
    w->cmdSetPara_Click();
    const QString lastRead = fromCli.last();
    QVERIFY(rig::waitUntil(
        [&] {
            return device.writePart().contains(lastRead) && w->dispatcher().stack().top() == 0 &&
                   !w->session().Timer2->isActive();
        },
        20000));
    QCOMPARE(fromCli, device.writePart());
}

void TestCli::setChangesOnlyItsField()
{
    QFETCH(Link, link);
    Device device(link);
    const QByteArray before = sim::writeImage(device.controller.state());

    QCOMPARE(device.cli(QStringList{"write", "--set", "ip=10.0.0.5"} + device.target()), 0);

    // Bytes 4..7 of the write image are the IP address; nothing else moves.
    QByteArray expected = before;
    expected.replace(4, 4, QByteArray::fromHex("0a000005"));
    QCOMPARE(sim::writeImage(device.controller.state()).toHex(' '), expected.toHex(' '));

    QString shown;
    QCOMPARE(device.cli(QStringList{"read"} + device.target(), &shown), 0);
    QVERIFY(shown.contains(QRegularExpression(QStringLiteral("\\nip +10\\.0\\.0\\.5\\n"))));
}

void TestCli::imageSaveMatchesTheWindow()
{
    QFETCH(Link, link);
    Device device(link);
    QCOMPARE(device.cli(QStringList{"image", "save", "cli", "--yes"} + device.target()), 0);

    auto w = connectedWindow(device);
    w->askQuestion = [](const MessageBoxRequest &) { return true; };
    w->imageFilesFeature->chooseSaveFile = [](const QString &) { return QStringLiteral("window"); };
    w->imageFilesFeature->cmdSave_Click();

    QFile fromCli(QStringLiteral("cli.txt")), fromWindow(QStringLiteral("window.txt"));
    QVERIFY(fromCli.open(QIODevice::ReadOnly));
    QVERIFY(fromWindow.open(QIODevice::ReadOnly));
    const QByteArray saved = fromCli.readAll();
    QVERIFY(saved.contains("90201512090001"));
    QCOMPARE(saved.split('\n'), fromWindow.readAll().split('\n'));
}

void TestCli::imageLoadWritesAnotherDevice()
{
    QFETCH(Link, link);
    sim::DeviceProfile other;
    other.series = 77;
    other.productionDate = QDate(2020, 2, 29);
    other.hardwareNumber = QStringLiteral("31415926535897");
    other.ipAddress = {127, 0, 0, 14};
    Device first(link);
    Device second(link, other, QStringLiteral("127.0.0.14"));
    QCOMPARE(first.cli(QStringList{"image", "save", "first", "--yes"} + first.target()), 0);

    QCOMPARE(second.cli(QStringList{"image", "load", "first.txt", "--set", "ip=10.0.0.9", "--set",
                                    "serial_number=90201512090042"} +
                        second.target()),
             0);
    // The image's values; the address and the serial number (its series 42)
    // given on the command line instead of the image's.
    QByteArray expected = sim::writeImage(first.controller.state());
    expected.replace(0, 4, QByteArray::fromHex("2a000000"));
    expected.replace(4, 4, QByteArray::fromHex("0a000009"));
    QCOMPARE(sim::writeImage(second.controller.state()).toHex(' '), expected.toHex(' '));
    const std::array<quint8, 6> mac{0x00, 0xFE, 0x0F, 0x0C, 0x09, 0x2A};
    QCOMPARE(second.controller.state().network.mac, mac);
    QCOMPARE(second.controller.state().identity.deviceId,
             QByteArray("02000000000000000090201512090042"));
    QCOMPARE(second.controller.state().identity.pdTag, first.controller.state().identity.pdTag);
}

void TestCli::upgradeStoresTheImage()
{
    QFETCH(Link, link);
    Device device(link);
    const QByteArray image = firmwareFile(QStringLiteral("fw.bin"), 2049);
    QString shown;
    QCOMPARE(device.cli(QStringList{"upgrade", "fw.bin", "--yes"} + device.target(), &shown), 0);
    QVERIFY(shown.contains(QStringLiteral("包数：5\nCRC-32：")));
    QCOMPARE(device.controller.state().firmware.image, image + QByteArray(5 * 512 - 2049, '\xFF'));
}

// Three devices on the network, perhaps one of which falls silent at its
// first packet: the others are upgraded all the same, and the summary tells.
void TestCli::upgradeOfAllGoesOnPastASilentDevice_data()
{
    QTest::addColumn<int>("silent"); // the device that falls silent, -1 for none
    QTest::newRow("all answer") << -1;
    QTest::newRow("one silent") << 1;
}

void TestCli::upgradeOfAllGoesOnPastASilentDevice()
{
    QFETCH(int, silent);
    const quint16 port = freePort();
    std::vector<std::unique_ptr<Device>> devices;
    for (int i = 0; i < 3; ++i) {
        sim::DeviceProfile profile;
        profile.ipAddress = {127, 0, 0, quint8(21 + i)};
        devices.push_back(std::make_unique<Device>(Link::Network, profile,
                                                   QStringLiteral("127.0.0.%1").arg(21 + i), port));
    }
    if (silent >= 0) {
        sim::FaultOptions faults;
        faults.silentAtPacket = 0;
        devices[std::size_t(silent)]->controller.setFaults(faults);
    }
    const QByteArray image = firmwareFile(QStringLiteral("fw.bin"), 600);

    QString shown;
    QCOMPARE(devices[0]->cli({"upgrade", "fw.bin", "--yes", "--all", "--listen", "1.5",
                              "--discovery-port", QString::number(port)},
                             &shown),
             silent < 0 ? int(cli::kSuccess) : int(cli::kDeviceFailed));
    const QByteArray stored = image + QByteArray(1024 - 600, '\xFF');
    for (int i = 0; i < 3; ++i) {
        const bool upgraded = i != silent;
        QCOMPARE(devices[std::size_t(i)]->controller.state().firmware.image,
                 upgraded ? stored : QByteArray());
        const QString row =
            QStringLiteral("127.0.0.%1 +%2").arg(21 + i).arg(upgraded ? "ok" : "FAILED");
        QVERIFY2(shown.contains(QRegularExpression(row)), qPrintable(shown));
    }
}

void TestCli::clockIsSet()
{
    QFETCH(Link, link);
    Device device(link);
    QCOMPARE(device.cli(QStringList{"clock", "--set", "2024-02-29 13:14:15"} + device.target()), 0);
    // The device's clock runs on from the time set.
    const QDateTime set(QDate(2024, 2, 29), QTime(13, 14, 15), Qt::UTC);
    const qint64 ahead = set.secsTo(device.controller.clockReading());
    QVERIFY2(ahead >= 0 && ahead < 5, qPrintable(device.controller.clockReading().toString()));
    QCOMPARE(device.controller.state().clock.weekdayAtSet, quint8(4)); // a Thursday
}

void TestCli::listNamesTheDevices()
{
    Device device(Link::Network);
    QString shown;
    QCOMPARE(device.cli({"list", "--listen", "1.2", "--discovery-port",
                         QString::number(device.discoveryPort)},
                        &shown),
             0);
    QVERIFY2(shown.contains(QRegularExpression(
                 QStringLiteral("127\\.0\\.0\\.13 +\\d+ +KVRQ101 +02000000000000000090201512090001 "
                                "+虚拟控制器 KVRQ101\\n"))),
             qPrintable(shown));
}

void TestCli::badInputSendsNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown field") << QStringList{"write", "--set", "colour=red", "@serial"};
    QTest::newRow("out of range") << QStringList{"write", "--set", "module_address=256", "@serial"};
    QTest::newRow("bad address") << QStringList{"write", "--set", "ip=10.0.0.300", "@serial"};
    QTest::newRow("bad list item") << QStringList{"write", "--set", "rs485_1.baud=1234", "@serial"};
    QTest::newRow("read-only field")
        << QStringList{"write", "--set", "firmware_version=9.999", "@serial"};
    QTest::newRow("missing file") << QStringList{"write", "--from", "none.json", "@serial"};
    QTest::newRow("missing image") << QStringList{"image", "load", "none.txt", "@serial"};
    QTest::newRow("missing firmware") << QStringList{"upgrade", "none.bin", "--yes", "@serial"};
    QTest::newRow("firmware unconfirmed") << QStringList{"upgrade", "big.bin", "@serial"};
    QTest::newRow("firmware too large") << QStringList{"upgrade", "big.bin", "--yes", "@serial"};
    QTest::newRow("port and device") << QStringList{"read", "@serial", "--device", "127.0.0.13"};
    QTest::newRow("bad clock") << QStringList{"clock", "--set", "2024-02-30 10:00:00", "@serial"};
    QTest::newRow("no subcommand") << QStringList{"@serial"};
    QTest::newRow("unknown option") << QStringList{"read", "--fast", "@serial"};
}

void TestCli::badInputSendsNothing()
{
    QFETCH(QStringList, arguments);
    Device device(Link::Serial);
    const qsizetype at = arguments.indexOf(QStringLiteral("@serial"));
    arguments.replace(at, QStringLiteral("--port"));
    arguments.insert(at + 1, device.pty.slavePath());

    // 9998 packets are the most a device takes.
    firmwareFile(QStringLiteral("big.bin"),
                 QTest::currentDataTag() == QByteArray("firmware unconfirmed") ? 512 : 5118977);
    QCOMPARE(device.cli(arguments), int(cli::kBadUsage));
    // Anything sent would have been answered by now.
    QTest::qWait(400);
    QCOMPARE(device.requests, QStringList());
}

QTEST_MAIN(TestCli)
#include "test_cli.moc"
