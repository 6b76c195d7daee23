// Firmware upgrade end to end: the main window in this process on the real
// serial and UDP links, the virtual controller in a process of its own. One
// 512 KiB image goes over each link; the time from the click to the end of
// the upgrade is set against what the line and the tool's fixed pauses
// allow, and the CPU time of this process is divided by the packets.
#include "sim_process.h"

#include "app/form1.h"
#include "features/upgrade/upgrade_feature.h"
#include "protocol/crc.h"
#include "protocol/network_replies.h"
#include "protocol/upgrade_package.h"
#include "session/dispatcher.h"
#include "support/wait_until.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <vector>

using namespace kalmo;
using rig::waitUntil;

namespace {

constexpr qsizetype kImageSize = 512 * 1024;
constexpr int kPackets = int(kImageSize / kUpgradePacketSize);

// Serial line: 10 bits a byte; start and size at the connection rate, the
// packets at the upgrade rate.
constexpr double kNormalBaud = 9600;
constexpr double kUpgradeBaud = 115200;
constexpr int kStartBytes = 7 + 7;
constexpr int kSizeBytes = 9 + 9;
constexpr int kPacketBytes = 519 + 7;

// The dispatcher's own pauses in a transfer, in milliseconds.
constexpr double kDispatchTickMs = kDispatchIntervalMs;    // Timer1 between commands
constexpr double kSerialSizePauseMs = 500;                 // Timer1 after the size reply
constexpr double kNetworkPacketPauseMs = 10;               // Timer1 after each network reply
constexpr double kRestartPauseMs = kUpgradeRestartDelayMs; // the device restarts into its loader

// The serial upgrade ends with "升级下位机成功" and, in the same event, the
// new connection's first text, which is what the status line then shows.
const QString kSerialDoneText = QStringLiteral("运行开始................");
const QString kNetworkDoneBox = QStringLiteral("升级成功！");

QByteArray firmwareImage()
{
    QByteArray image(kImageSize, '\0');
    for (qsizetype k = 0; k < image.size(); ++k)
        image[k] = char(k % 251);
    return image;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Jiffies of all CPUs since boot: busy and total, from /proc/stat. Other
// work on the machine shows in the busy share of a run.
struct CpuJiffies
{
    qint64 busy = 0;
    qint64 total = 0;
};

CpuJiffies machineJiffies()
{
    CpuJiffies j;
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return j;
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    // cpu user nice system idle iowait irq softirq steal ...
    for (qsizetype i = 1; i < fields.size() && i <= 8; ++i) {
        const qint64 v = fields[i].toLongLong();
        j.total += v;
        if (i != 4 && i != 5) j.busy += v;
    }
    return j;
}

struct Outcome
{
    bool succeeded = false;
    QString failure;
    double totalMs = 0;              // click to completion
    double firstTickMs = 0;          // click to the dispatcher's first tick (the start request)
    double cpuPerPacketUs = 0;       // user + system CPU of this process, per packet
    double machineBusy = 0;          // share of all CPUs busy during the upgrade, any process
    std::map<QString, double> marks; // first time each status text showed, ms after the click
    QList<double> replies;           // when each reply had been handled, ms after the click
};

// Clicks "升级" on a window that has finished its first reads and runs the
// event loop until the upgrade has ended: on the serial link with the new
// connection it starts, on the network with its box. Any other box ends it as a
// failure (a refusal, a time-out, a port that fails on the way).
Outcome runUpgrade(Form1 &w, Link link, const QString &imagePath, int timeoutMs)
{
    Outcome outcome;
    QElapsedTimer clock;
    QEventLoop loop;
    bool succeeded = false;
    bool ended = false;
    const auto end = [&](bool success, const QString &failure = {}) {
        if (ended) return;
        ended = true;
        succeeded = success;
        outcome.failure = failure;
        loop.quit();
    };

    // The first time each status text shows, for the breakdown; the serial
    // upgrade ends with one of them.
    const QMetaObject::Connection status =
        QObject::connect(w.Text2, &QLineEdit::textChanged, &w, [&](const QString &text) {
            if (text.isEmpty() || outcome.marks.count(text)) return;
            outcome.marks[text] = clock.nsecsElapsed() / 1e6;
            if (link == Link::Serial && text == kSerialDoneText) end(true);
        });
    const QMetaObject::Connection tick =
        QObject::connect(w.session().Timer1, &QTimer::timeout, &w, [&] {
            if (outcome.firstTickMs == 0) outcome.firstTickMs = clock.nsecsElapsed() / 1e6;
        });
    Session &session = w.session();
    const auto replyHandled = [&] { outcome.replies << clock.nsecsElapsed() / 1e6; };
    const QMetaObject::Connection reply =
        link == Link::Serial
            ? QObject::connect(session.Comm1, &SerialPortLink::received, &w, replyHandled)
            : QObject::connect(session.wsckR_W, &DatagramLink::datagramArrived, &w, replyHandled);
    const auto collect = w.showMessageBox;
    w.showMessageBox = [&](const MessageBoxRequest &box) {
        collect(box);
        if (link == Link::Network && box.text == kNetworkDoneBox)
            end(true);
        else
            end(false, box.title + QStringLiteral(": ") + box.text);
    };
    QTimer::singleShot(timeoutMs, &loop, [&] {
        end(false, QStringLiteral("no end within %1 s").arg(timeoutMs / 1000));
    });

    UpgradeFeature &feature = *w.upgradeFeature;
    feature.panel()->txt_UpdataAddr->setText(imagePath);

    const double cpuBefore = cpuSeconds();
    const CpuJiffies machineBefore = machineJiffies();
    clock.start();
    feature.bt_Updata_Click();
    if (!ended) loop.exec();
    outcome.totalMs = clock.nsecsElapsed() / 1e6;
    outcome.cpuPerPacketUs = (cpuSeconds() - cpuBefore) * 1e6 / kPackets;
    const CpuJiffies machineAfter = machineJiffies();
    if (machineAfter.total > machineBefore.total)
        outcome.machineBusy = double(machineAfter.busy - machineBefore.busy) /
                              double(machineAfter.total - machineBefore.total);

    QObject::disconnect(status);
    QObject::disconnect(tick);
    QObject::disconnect(reply);
    w.showMessageBox = collect;
    outcome.succeeded = succeeded;
    return outcome;
}

// The window's message boxes are collected; every question is answered Yes.
std::unique_ptr<Form1> makeWindow(const ProgramOptions &options, QList<MessageBoxRequest> &boxes)
{
    WindowTransports links{Transports(), [] { return QStringList(); }};
    auto w = std::make_unique<Form1>(options, std::move(links));
    w->showMessageBox = [&boxes](const MessageBoxRequest &r) { boxes << r; };
    w->askQuestion = [](const MessageBoxRequest &) { return true; };
    return w;
}

// The stored image the controller reports must be the one sent.
bool checkStoredImage(const SimProcess &sim, const QByteArray &image, QString *report)
{
    waitUntil([&] { return sim.storedImage().has_value(); }, 5000);
    const auto stored = sim.storedImage();
    const quint32 expected = crc32(image);
    if (!stored) {
        *report = QStringLiteral("the controller reported no stored image; it said: ") +
                  sim.standardError().trimmed();
        return false;
    }
    const auto hex = [](quint32 v) {
        return QString::number(v, 16).rightJustified(8, u'0').toUpper();
    };
    *report = QStringLiteral("stored %1 bytes, CRC-32 %2 (sent %3 bytes, CRC-32 %4)")
                  .arg(stored->first)
                  .arg(hex(stored->second))
                  .arg(image.size())
                  .arg(hex(expected));
    return stored->first == image.size() && stored->second == expected;
}

// The time from one packet's reply to the next beyond what the line or the
// dispatcher's pause takes: median, mean and the largest, over the last
// `packets` replies.
void printPacketCycles(const Outcome &o, double nominalMs)
{
    const qsizetype first = o.replies.size() - kPackets;
    if (first < 0) return;
    std::vector<double> extra;
    for (qsizetype i = first + 1; i < o.replies.size(); ++i)
        extra.push_back(o.replies[i] - o.replies[i - 1] - nominalMs);
    std::sort(extra.begin(), extra.end());
    double sum = 0;
    for (double e : extra)
        sum += e;
    std::printf("  reply to reply, beyond %.3f ms: median %.3f ms, mean %.3f ms, 99th percentile "
                "%.3f ms, max %.3f ms\n",
                nominalMs, extra[extra.size() / 2], sum / double(extra.size()),
                extra[extra.size() * 99 / 100], extra.back());
}

// The first time each status text showed, in the order they came.
void printBreakdown(const Outcome &o)
{
    std::multimap<double, QString> byTime;
    for (const auto &[text, ms] : o.marks)
        byTime.emplace(ms, text);
    byTime.emplace(o.firstTickMs, QStringLiteral("(first Timer1 tick)"));
    for (const auto &[ms, text] : byTime)
        std::printf("  %9.1f ms  %s\n", ms, qPrintable(text));
}

struct LinkResult
{
    bool ok = false;      // the tool reported success
    bool imageOk = false; // and the controller stored the image sent
    double totalMs = 0;
    double idealMs = 0;
    double cpuPerPacketUs = 0;
    double machineBusy = 0;
};

// Waits for the first reads, upgrades and checks the image the controller
// stored; nothing, after saying why, when a step failed.
std::optional<Outcome> readThenUpgrade(Form1 &w, Link link, const qint32 &replies, int firstReplies,
                                       const QString &imagePath, int timeoutMs,
                                       const SimProcess &sim, const QByteArray &image,
                                       LinkResult &result)
{
    if (!waitUntil(
            [&] {
                return replies >= firstReplies && w.dispatcher().stack().top() == 0 &&
                       w.upgradeFeature->panel()->bt_Updata->isEnabled();
            },
            20000)) {
        std::printf("  the first reads did not finish (status: %s)\n", qPrintable(w.Text2->text()));
        return std::nullopt;
    }

    const Outcome o = runUpgrade(w, link, imagePath, timeoutMs);
    w.cmdStop_Click();
    if (!o.succeeded) {
        std::printf("  upgrade failed: %s\n", qPrintable(o.failure));
        printBreakdown(o);
        return std::nullopt;
    }
    QString report;
    result.ok = true;
    result.imageOk = checkStoredImage(sim, image, &report);
    std::printf("  image: %s%s\n", qPrintable(report), result.imageOk ? "" : "  MISMATCH");
    return o;
}

LinkResult benchSerial(const QString &imagePath, const QByteArray &image)
{
    std::printf("== Serial, pseudo-terminal paced at the line rate (--line-rate)\n");
    LinkResult result;
    SimProcess sim;
    if (!sim.start({QStringLiteral("--serial"), QStringLiteral("--line-rate")})) {
        std::printf("  kalmo-sim did not start: %s\n", qPrintable(sim.standardError()));
        return result;
    }

    ProgramOptions options;
    options.ports = {sim.firstLine()};
    QList<MessageBoxRequest> boxes;
    auto w = makeWindow(options, boxes);
    w->StartRun_Click();
    Session &s = w->session();
    const std::optional<Outcome> done = readThenUpgrade(*w, Link::Serial, s.serialReplyCounter, 9,
                                                        imagePath, 180000, sim, image, result);
    if (!done) return result;
    const Outcome &o = *done;

    const double wireMs = (kStartBytes + kSizeBytes) * 10 / kNormalBaud * 1000 +
                          double(kPackets) * kPacketBytes * 10 / kUpgradeBaud * 1000;
    const double pausesMs = o.firstTickMs + kDispatchTickMs + kSerialSizePauseMs;
    result.totalMs = o.totalMs;
    result.idealMs = wireMs + pausesMs;
    result.cpuPerPacketUs = o.cpuPerPacketUs;
    result.machineBusy = o.machineBusy;
    std::printf(
        "  wire time                   %9.1f ms  (%d packets x (519 + 7) bytes at 115200 Bd,"
        " start 7 + 7 and size 9 + 9 bytes at 9600 Bd, 10 bits a byte)\n",
        wireMs, kPackets);
    std::printf("  pauses                      %9.1f ms  (click -> first Timer1 tick %.1f, "
                "Timer1 %.0f after the start reply, %.0f after the size reply)\n",
                pausesMs, o.firstTickMs, kDispatchTickMs, kSerialSizePauseMs);
    printPacketCycles(o, kPacketBytes * 10 / kUpgradeBaud * 1000);
    printBreakdown(o);
    return result;
}

LinkResult benchNetwork(const QString &imagePath, const QByteArray &image)
{
    std::printf("== Network, UDP over loopback\n");
    LinkResult result;

    ProgramOptions options;
    options.link = ProgramOptions::Link::Network;
    // An address and service port of its own, so that no other controller
    // on this machine answers.
    const QString address = QStringLiteral("127.0.0.%1").arg(100 + getpid() % 100);
    const quint16 servicePort = quint16(20000 + getpid() % 20000);
    options.device = address;
    QList<MessageBoxRequest> boxes;
    auto w = makeWindow(options, boxes);
    Session &s = w->session();
    s.discoveryPort = 0; // a free port, told to the controller
    w->StartRun_Click();
    if (!s.wsckDeviceQuery->isListening()) {
        std::printf("  the window does not listen for announcements\n");
        return result;
    }

    SimProcess sim;
    if (!sim.start({QStringLiteral("--network"), QStringLiteral("--address"), address,
                    QStringLiteral("--service-port"), QString::number(servicePort),
                    QStringLiteral("--announce-to"),
                    QStringLiteral("127.0.0.1:%1").arg(s.wsckDeviceQuery->localPort())})) {
        std::printf("  kalmo-sim did not start: %s\n", qPrintable(sim.standardError()));
        return result;
    }
    const std::optional<Outcome> done = readThenUpgrade(*w, Link::Network, s.networkReplyCounter,
                                                        11, imagePath, 120000, sim, image, result);
    if (!done) return result;
    const Outcome &o = *done;

    result.totalMs = o.totalMs;
    result.idealMs =
        o.firstTickMs + kRestartPauseMs + kDispatchTickMs + kPackets * kNetworkPacketPauseMs;
    result.cpuPerPacketUs = o.cpuPerPacketUs;
    result.machineBusy = o.machineBusy;
    std::printf("  pauses                      %9.1f ms  (click -> first Timer1 tick %.1f, "
                "restart %.0f, Timer1 %.0f after it, %d x %.0f after the size and packet "
                "replies)\n",
                result.idealMs, o.firstTickMs, kRestartPauseMs, kDispatchTickMs, kPackets,
                kNetworkPacketPauseMs);
    printPacketCycles(o, kNetworkPacketPauseMs);
    printBreakdown(o);
    return result;
}

void printSummary(const char *link, const LinkResult &r, double goal)
{
    if (!r.ok) {
        std::printf("%-8s failed\n", link);
        return;
    }
    const double ratio = r.totalMs / r.idealMs;
    std::printf("%-8s total %9.1f ms  ideal %9.1f ms  ratio %.4f (goal <= %.2f: %s)  "
                "CPU %.1f us/packet  machine busy %.0f%%%s\n",
                link, r.totalMs, r.idealMs, ratio, goal, ratio <= goal ? "met" : "MISSED",
                r.cpuPerPacketUs, r.machineBusy * 100,
                r.imageOk ? ""
                          : "  -- the controller did not store the image: not a correct "
                            "upgrade");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // Error logs and the image file go to a scratch directory.
    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path())) {
        std::fprintf(stderr, "no scratch directory\n");
        return 2;
    }
    const QByteArray image = firmwareImage();
    const QString imagePath = scratch.filePath(QStringLiteral("firmware.bin"));
    QFile file(imagePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(imagePath));
        return 2;
    }
    file.close();
    std::printf("Firmware upgrade of %lld bytes (%d packets of %lld), CRC-32 %08X\n",
                static_cast<long long>(image.size()), kPackets,
                static_cast<long long>(kUpgradePacketSize), unsigned(crc32(image)));

    // Both links, or only the one named.
    const QString only = app.arguments().value(1);
    const bool serialWanted = only.isEmpty() || only == u"serial";
    const bool networkWanted = only.isEmpty() || only == u"network";
    const LinkResult serial = serialWanted ? benchSerial(imagePath, image) : LinkResult{};
    const LinkResult network = networkWanted ? benchNetwork(imagePath, image) : LinkResult{};

    std::printf("== Summary\n");
    if (serialWanted) printSummary("serial", serial, 1.01);
    if (networkWanted) printSummary("network", network, 1.05);
    return (!serialWanted || serial.imageOk) && (!networkWanted || network.imageOk) ? 0 : 1;
}
