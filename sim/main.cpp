// kalmo-sim: one virtual controller on a pseudo-terminal and on UDP. The
// first line on standard output is the path of the serial port to open, the
// next the address and port of the read/write service.
#include "pty_endpoint.h"
#include "serial_functions.h"
#include "udp_endpoint.h"
#include "virtual_controller.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <limits>
#include <sys/socket.h>
#include <tuple>
#include <unistd.h>
#include <utility>

using namespace kalmo::sim;

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the event loop, so the link is removed on the way out.
void quitOnSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &byte, 1);
        app.quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "kalmo-sim: %s\n", qPrintable(message));
    std::exit(2);
}

double probabilityOption(const QCommandLineParser &parser, const QString &name)
{
    if (!parser.isSet(name)) return 0;
    bool ok = false;
    const double p = parser.value(name).toDouble(&ok);
    if (!ok || p < 0 || p > 1)
        fail(QStringLiteral("--%1 wants a probability between 0 and 1").arg(name));
    return p;
}

qint64 integerOption(const QCommandLineParser &parser, const QString &name, int base, qint64 low,
                     qint64 high, qint64 fallback)
{
    if (!parser.isSet(name)) return fallback;
    bool ok = false;
    const qint64 v = parser.value(name).toLongLong(&ok, base);
    if (!ok || v < low || v > high)
        fail(QStringLiteral("--%1: %2 is out of range").arg(name, parser.value(name)));
    return v;
}

// --delay MS or MIN-MAX, in milliseconds: the fixed delay and the top of the
// range (0 for none).
std::pair<int, int> delayOption(const QCommandLineParser &parser)
{
    const QString name = QStringLiteral("delay");
    if (!parser.isSet(name)) return {0, 0};
    constexpr int kMaxDelayMs = 600000;
    const QStringList parts = parser.value(name).split(u'-');
    bool okLow = false;
    bool okHigh = true;
    const int low = parts.value(0).toInt(&okLow);
    const int high = parts.size() == 2 ? parts[1].toInt(&okHigh) : 0;
    if (parts.size() > 2 || !okLow || !okHigh || low < 0 || low > kMaxDelayMs || high < 0 ||
        high > kMaxDelayMs || (parts.size() == 2 && high < low))
        fail(QStringLiteral("--%1: %2 is not MS or MIN-MAX (0..%3)")
                 .arg(name, parser.value(name))
                 .arg(kMaxDelayMs));
    return {low, parts.size() == 2 ? high : 0};
}

const char *faultName(ReplyFault fault)
{
    switch (fault) {
    case ReplyFault::None:
        return "";
    case ReplyFault::Dropped:
        return " (dropped)";
    case ReplyFault::Corrupted:
        return " (corrupted)";
    case ReplyFault::Truncated:
        return " (truncated)";
    case ReplyFault::WrongTrailer:
        return " (wrong trailer)";
    case ReplyFault::ErrorStatus:
        return " (error status)";
    case ReplyFault::WrongSequence:
        return " (wrong sequence)";
    case ReplyFault::PacketFailed:
        return " (packet failed)";
    case ReplyFault::Silent:
        return " (loader silent)";
    }
    return "";
}

// An IPv4 address in dotted-decimal form.
QHostAddress ipv4Option(const QString &text, const QString &name)
{
    QHostAddress address;
    if (!address.setAddress(text) || address.protocol() != QAbstractSocket::IPv4Protocol)
        fail(QStringLiteral("--%1: %2 is not an IPv4 address").arg(name, text));
    return address;
}

// ADDR or ADDR:PORT.
std::pair<QHostAddress, quint16> announceTarget(const QString &text)
{
    const QString name = QStringLiteral("announce-to");
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0) return {ipv4Option(text, name), quint16(12000)};
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 0xFFFF)
        fail(QStringLiteral("--%1: %2 has no valid port").arg(name, text));
    return {ipv4Option(text.left(colon), name), quint16(port)};
}

QString describeRequest(const NetworkExchange &exchange)
{
    if (!exchange.request) return QStringLiteral("not a request");
    const NetworkRequest &r = *exchange.request;
    return QStringLiteral("%1 %2/%3 count %4")
        .arg(r.service == NetworkService::Read ? QStringLiteral("read") : QStringLiteral("write"))
        .arg(r.blockAddress)
        .arg(r.blockType)
        .arg(r.itemCount);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kalmo-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.14.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A virtual Kalmo controller on a pseudo-terminal and on UDP (both unless --serial or "
        "--network chooses one).\n"
        "Standard output, one line each, in this order:\n"
        "  the serial port to open, e.g. /dev/pts/4 (with the serial link);\n"
        "  the read/write service as ADDRESS:PORT, e.g. 127.0.0.2:5000 (with the network "
        "link).\n"
        "The controller announces itself every second to 127.0.0.1:12000 (--announce-to), "
        "giving its address and service port. Several can run side by side on 127.0.0.2, "
        "127.0.0.3, ..."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("serial"), QStringLiteral("Serve the serial link.")},
        {QStringLiteral("network"), QStringLiteral("Serve the network link.")},
        {QStringLiteral("link"), QStringLiteral("Make PATH a symbolic link to the port."),
         QStringLiteral("PATH")},
        {QStringLiteral("address"),
         QStringLiteral("The controller's own IPv4 address, served from and announced "
                        "(default 127.0.0.2)."),
         QStringLiteral("A.B.C.D")},
        {QStringLiteral("service-port"),
         QStringLiteral("UDP port of the read/write service (default 5000)."), QStringLiteral("N")},
        {QStringLiteral("announce-to"),
         QStringLiteral("Where the announcements go (default 127.0.0.1:12000)."),
         QStringLiteral("ADDR[:PORT]")},
        {QStringLiteral("announcers"),
         QStringLiteral("Announce N identities in all from the one socket, each once a second, "
                        "spread over the second: this controller and N - 1 that only announce, "
                        "at 127.1.0.1, 127.1.0.2, ... with the device ID ending in their "
                        "number (default 1)."),
         QStringLiteral("N")},
        {QStringLiteral("type"), QStringLiteral("Device type code (default 8, KVRQ101)."),
         QStringLiteral("CODE")},
        {QStringLiteral("firmware-version"),
         QStringLiteral("Firmware version, four hex digits (default 3305)."),
         QStringLiteral("HEX")},
        {QStringLiteral("series"), QStringLiteral("Series number 0..4095 (default 1)."),
         QStringLiteral("N")},
        {QStringLiteral("drop"), QStringLiteral("Probability of sending no reply."),
         QStringLiteral("P")},
        {QStringLiteral("corrupt"),
         QStringLiteral("Probability of a reply with a flipped bit (serial: a bad CRC; network: "
                        "in the data)."),
         QStringLiteral("P")},
        {QStringLiteral("truncate"), QStringLiteral("Probability of a reply cut short."),
         QStringLiteral("P")},
        {QStringLiteral("wrong-trailer"),
         QStringLiteral("Probability of a serial reply that does not end AA AA."),
         QStringLiteral("P")},
        {QStringLiteral("error-status"),
         QStringLiteral("Probability of a network reply with a failure status (the request is "
                        "not carried out)."),
         QStringLiteral("P")},
        {QStringLiteral("wrong-sequence"),
         QStringLiteral("Probability of a network reply with another sequence number."),
         QStringLiteral("P")},
        {QStringLiteral("delay"),
         QStringLiteral("Wait MS milliseconds before each reply, or a time drawn for each reply "
                        "from MIN to MAX milliseconds."),
         QStringLiteral("MS|MIN-MAX")},
        {QStringLiteral("line-rate"),
         QStringLiteral("Pace the serial line as a real one at the rate the tool set: 10 bits a "
                        "byte, the reply sent when its last byte would have arrived (--delay "
                        "adds to it).")},
        {QStringLiteral("fail-packet"),
         QStringLiteral("Refuse firmware packet K of every transfer (counted from 0): a serial "
                        "reply with a bad CRC, a network reply with status 11; the transfer is "
                        "abandoned."),
         QStringLiteral("K")},
        {QStringLiteral("silent-at-packet"),
         QStringLiteral("From firmware packet K of a transfer on, answer nothing on either link "
                        "until the loader gives up (3 s without a packet)."),
         QStringLiteral("K")},
        {QStringLiteral("drop-slave"),
         QStringLiteral("Never answer a read of slave K (0..15), on either link."),
         QStringLiteral("K")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the fault generator (default 1)."),
         QStringLiteral("N")},
        {QStringLiteral("animate-inputs"),
         QStringLiteral("Switch the next input channel every MS milliseconds."),
         QStringLiteral("MS")},
        {QStringLiteral("zigbee-test"),
         QStringLiteral("What the Zigbee link test reports: 0 good (default), 1 not on line, 2 "
                        "silent, other values unknown."),
         QStringLiteral("N")},
        {QStringLiteral("busy-blocks"),
         QStringLiteral("Fill the control, redundancy and SM blocks with varied non-zero "
                        "values, every list byte valid; three forwarding entries and 16 "
                        "slave map ranges.")},
        {QStringLiteral("verbose"), QStringLiteral("Log every request on standard error.")},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    DeviceProfile profile;
    profile.deviceType = quint8(integerOption(parser, QStringLiteral("type"), 10, 0, 255, 8));
    profile.firmwareVersion =
        quint16(integerOption(parser, QStringLiteral("firmware-version"), 16, 0, 0xFFFF, 0x3305));
    profile.series = int(integerOption(parser, QStringLiteral("series"), 10, 0, 4095, 1));

    const bool serialOnly = parser.isSet(QStringLiteral("serial"));
    const bool networkOnly = parser.isSet(QStringLiteral("network"));
    const bool serveSerial = serialOnly || !networkOnly;
    const bool serveNetwork = networkOnly || !serialOnly;

    UdpEndpointSettings network;
    if (parser.isSet(QStringLiteral("address")))
        network.address =
            ipv4Option(parser.value(QStringLiteral("address")), QStringLiteral("address"));
    network.servicePort = quint16(
        integerOption(parser, QStringLiteral("service-port"), 10, 1, 0xFFFF, kDefaultServicePort));
    if (parser.isSet(QStringLiteral("announce-to")))
        std::tie(network.announceTo, network.announcePort) =
            announceTarget(parser.value(QStringLiteral("announce-to")));
    network.announcers =
        int(integerOption(parser, QStringLiteral("announcers"), 10, 1, kMaxAnnouncers, 1));
    // The device's own system parameters name the address and port it serves.
    const quint32 ip = network.address.toIPv4Address();
    profile.ipAddress = {quint8(ip >> 24), quint8(ip >> 16), quint8(ip >> 8), quint8(ip)};
    profile.udpPort = network.servicePort;

    FaultOptions faults;
    faults.dropProbability = probabilityOption(parser, QStringLiteral("drop"));
    faults.corruptProbability = probabilityOption(parser, QStringLiteral("corrupt"));
    faults.truncateProbability = probabilityOption(parser, QStringLiteral("truncate"));
    faults.wrongTrailerProbability = probabilityOption(parser, QStringLiteral("wrong-trailer"));
    faults.errorStatusProbability = probabilityOption(parser, QStringLiteral("error-status"));
    faults.wrongSequenceProbability = probabilityOption(parser, QStringLiteral("wrong-sequence"));
    std::tie(faults.delayMs, faults.delayMaxMs) = delayOption(parser);
    faults.dropSlave = int(integerOption(parser, QStringLiteral("drop-slave"), 10, -1, 15, -1));
    faults.failPacket =
        int(integerOption(parser, QStringLiteral("fail-packet"), 10, 0, 0xFFFF, -1));
    faults.silentAtPacket =
        int(integerOption(parser, QStringLiteral("silent-at-packet"), 10, 0, 0xFFFF, -1));
    faults.seed = quint64(integerOption(parser, QStringLiteral("seed"), 10, 0,
                                        std::numeric_limits<qint64>::max(), 1));
    const bool verbose = parser.isSet(QStringLiteral("verbose"));
    const int animateMs =
        int(integerOption(parser, QStringLiteral("animate-inputs"), 10, 0, 600000, 0));

    VirtualController controller(profile);
    controller.setFaults(faults);
    controller.state().zigbee.testResult =
        quint8(integerOption(parser, QStringLiteral("zigbee-test"), 10, 0, 255, 0));
    if (parser.isSet(QStringLiteral("busy-blocks"))) fillBusyBlocks(controller.state());

    PtyEndpoint endpoint(&controller);
    endpoint.setPacedAtLineRate(parser.isSet(QStringLiteral("line-rate")));
    UdpEndpoint udp(&controller);
    QString error;
    if (serveSerial) {
        if (!endpoint.open(&error)) fail(error);
        if (parser.isSet(QStringLiteral("link")) &&
            !endpoint.createLink(parser.value(QStringLiteral("link")), &error))
            fail(error);
    }
    if (serveNetwork && !udp.open(network, &error)) fail(error);

    if (serveSerial) std::printf("%s\n", qPrintable(endpoint.slavePath()));
    if (serveNetwork)
        std::printf("%s:%u\n", qPrintable(udp.address().toString()), unsigned(udp.servicePort()));
    std::fflush(stdout);

    int completedTransfers = 0;
    int abandonedTransfers = 0;
    qsizetype maintenanceReported = 0;
    const auto reportFirmware = [&] {
        const QStringList &received = controller.state().maintenance.received;
        for (; maintenanceReported < received.size(); ++maintenanceReported)
            std::fprintf(stderr, "maintenance: %s\n", qPrintable(received[maintenanceReported]));
        const FirmwareStore &fw = controller.state().firmware;
        if (fw.abandonedTransfers != abandonedTransfers) {
            abandonedTransfers = fw.abandonedTransfers;
            std::fprintf(stderr, "firmware transfer abandoned, the stored image kept\n");
        }
        if (fw.completedTransfers != completedTransfers) {
            completedTransfers = fw.completedTransfers;
            std::fprintf(stderr, "firmware image stored: %lld bytes, CRC-32 %08X\n",
                         static_cast<long long>(fw.image.size()), unsigned(fw.imageCrc32));
        }
    };
    QObject::connect(&udp, &UdpEndpoint::requestServed, &app, [&](const NetworkExchange &e) {
        if (verbose) {
            const QString outcome =
                e.reply.isEmpty() ? QStringLiteral("no reply")
                                  : QStringLiteral("%1-byte reply%2")
                                        .arg(e.reply.size())
                                        .arg(e.served ? QString() : QStringLiteral(", refused"));
            std::fprintf(stderr, "udp %s: %s%s\n", qPrintable(describeRequest(e)),
                         qPrintable(outcome), faultName(e.fault));
        }
        reportFirmware();
    });
    QObject::connect(
        &endpoint, &PtyEndpoint::requestServed, &app, [&](const SerialExchange &exchange) {
            if (verbose) {
                const SerialFunction *f = exchange.functionNumber >= 0
                                              ? findSerialFunction(quint8(exchange.functionNumber))
                                              : nullptr;
                const QString outcome =
                    exchange.wrongRate ? QStringLiteral("not understood at %1 Bd, %2 Bd expected")
                                             .arg(controller.lineRate())
                                             .arg(controller.expectedLineRate())
                    : exchange.requestSound
                        ? QStringLiteral("%1-byte reply").arg(exchange.reply.size())
                        : QStringLiteral("no reply");
                std::fprintf(stderr, "fn %d %s: %s%s\n", exchange.functionNumber,
                             f ? f->description : "unknown", qPrintable(outcome),
                             faultName(exchange.fault));
            }
            reportFirmware();
        });
    if (verbose) {
        QObject::connect(&endpoint, &PtyEndpoint::peerClosed, &app,
                         [] { std::fprintf(stderr, "port closed by the tool\n"); });
        QObject::connect(&endpoint, &PtyEndpoint::peerOpened, &app,
                         [] { std::fprintf(stderr, "port opened again\n"); });
        QObject::connect(&endpoint, &PtyEndpoint::noiseDiscarded, &app, [](qsizetype bytes) {
            std::fprintf(stderr, "%lld bytes skipped: not a sound request\n",
                         static_cast<long long>(bytes));
        });
    }

    QTimer animation;
    if (animateMs > 0) {
        int channel = 0;
        QObject::connect(&animation, &QTimer::timeout, &app, [&controller, channel]() mutable {
            if (!controller.setInput(channel, !controller.state().dio.inputs[channel])) {
                channel = 0;
                controller.setInput(channel, !controller.state().dio.inputs[channel]);
            }
            ++channel;
        });
        animation.start(animateMs);
    }

    quitOnSignals(app);
    const int status = app.exec();
    endpoint.close();
    udp.close();
    return status;
}
