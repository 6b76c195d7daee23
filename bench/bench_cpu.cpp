// CPU of the tool while it has nothing to do but its polling: Kalmo's main
// window, shown, in this process; the virtual controller in a process of its
// own. The user + system time of this process over a stretch of wall time,
// in % of one core:
//   serial      connected over the controller's pseudo-terminal (paced at the
//               line rate), reading the inputs every 300 ms;
//   network     the same over UDP on loopback, listening for announcements;
//   announcers  the network case with the controller announcing 1,000
//               identities from its one socket, each once a second, every one
//               of them listed by the tool.
//
//   bench_cpu [serial|network|announcers] [--seconds S] [--announcers N]
#include "display.h"

#include "sim_process.h"

#include "app/form1.h"
#include "session/dispatcher.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>

using namespace kalmo;

namespace {

constexpr double kIdleGoalPercent = 0.2;
constexpr double kAnnouncersGoalPercent = 10;
constexpr int kWarmUpMs = 3000;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Busy and total jiffies of all CPUs since boot, from /proc/stat: how busy the
// machine was meanwhile, any process.
std::pair<qint64, qint64> machineJiffies()
{
    qint64 busy = 0, total = 0;
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return {0, 0};
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    // cpu user nice system idle iowait irq softirq steal ...
    for (qsizetype i = 1; i < fields.size() && i <= 8; ++i) {
        const qint64 v = fields[i].toLongLong();
        total += v;
        if (i != 4 && i != 5) busy += v;
    }
    return {busy, total};
}

// Runs the event loop for `ms` milliseconds.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        runFor(5);
    }
    return true;
}

struct Figure
{
    bool ok = false;
    double cpuPercent = 0;
    double repliesPerSecond = 0;
    double machineBusyPercent = 0;
};

// The window has made its first reads: measure `seconds` of it after a
// warm-up.
Figure measure(Form1 &w, const qint32 &replies, int seconds)
{
    runFor(kWarmUpMs);
    const qint32 repliesBefore = replies;
    const auto machineBefore = machineJiffies();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const double cpu = cpuSeconds() - cpuBefore;
    const double wallSeconds = wall.nsecsElapsed() / 1e9;
    const auto machineAfter = machineJiffies();

    Figure f;
    f.ok = true;
    f.cpuPercent = cpu / wallSeconds * 100;
    f.repliesPerSecond = (replies - repliesBefore) / wallSeconds;
    if (machineAfter.second > machineBefore.second)
        f.machineBusyPercent = 100.0 * double(machineAfter.first - machineBefore.first) /
                               double(machineAfter.second - machineBefore.second);
    std::printf("  status %s; %.2f replies/s; tool CPU %.3f s in %.1f s = %.3f %% of a core; "
                "machine busy %.0f %%\n",
                qPrintable(w.Text2->text()), f.repliesPerSecond, cpu, wallSeconds, f.cpuPercent,
                f.machineBusyPercent);
    return f;
}

std::unique_ptr<Form1> makeWindow(const ProgramOptions &options)
{
    auto w = std::make_unique<Form1>(options);
    // Boxes would stop nothing here, but say what went wrong.
    w->showMessageBox = [](const MessageBoxRequest &r) {
        std::printf("  message box: %s: %s\n", qPrintable(r.title), qPrintable(r.text));
    };
    w->show();
    return w;
}

bool firstReadsDone(Form1 &w, const qint32 &replies, int firstReplies)
{
    if (waitUntil([&] { return replies >= firstReplies && w.dispatcher().stack().top() == 0; },
                  20000))
        return true;
    std::printf("  the first reads did not finish (status: %s)\n", qPrintable(w.Text2->text()));
    return false;
}

Figure benchSerial(int seconds)
{
    std::printf("== Serial, pseudo-terminal paced at the line rate, polling every 300 ms\n");
    SimProcess sim;
    if (!sim.start({QStringLiteral("--serial"), QStringLiteral("--line-rate")})) {
        std::printf("  kalmo-sim did not start\n");
        return {};
    }
    ProgramOptions options;
    options.ports = {sim.firstLine()};
    auto w = makeWindow(options);
    w->StartRun_Click();
    const qint32 &replies = w->session().serialReplyCounter;
    if (!firstReadsDone(*w, replies, 9)) return {};
    return measure(*w, replies, seconds);
}

Figure benchNetwork(int seconds, int announcers)
{
    if (announcers > 1)
        std::printf("== Network, %d controllers announcing once a second, one of them chosen and "
                    "polled every 300 ms\n",
                    announcers);
    else
        std::printf("== Network, UDP over loopback, polling every 300 ms\n");

    // An address and service port of its own, so that no other controller
    // on this machine answers.
    const QString address = QStringLiteral("127.0.0.%1").arg(100 + getpid() % 100);
    const quint16 servicePort = quint16(20000 + getpid() % 20000);
    ProgramOptions options;
    options.link = ProgramOptions::Link::Network;
    options.device = address;
    auto w = makeWindow(options);
    Session &s = w->session();
    s.discoveryPort = 0; // a free port, told to the controller
    w->StartRun_Click();
    if (!s.wsckDeviceQuery->isListening()) {
        std::printf("  the window does not listen for announcements\n");
        return {};
    }
    SimProcess sim;
    if (!sim.start({QStringLiteral("--network"), QStringLiteral("--address"), address,
                    QStringLiteral("--service-port"), QString::number(servicePort),
                    QStringLiteral("--announce-to"),
                    QStringLiteral("127.0.0.1:%1").arg(s.wsckDeviceQuery->localPort()),
                    QStringLiteral("--announcers"), QString::number(announcers)})) {
        std::printf("  kalmo-sim did not start\n");
        return {};
    }
    const qint32 &replies = s.networkReplyCounter;
    if (!firstReadsDone(*w, replies, 11)) return {};
    if (!waitUntil([&] { return w->cmbDevice->count() >= announcers; }, 5000)) {
        std::printf("  only %d of %d controllers listed\n", w->cmbDevice->count(), announcers);
        return {};
    }
    const Figure f = measure(*w, replies, seconds);
    if (w->cmbDevice->count() != announcers) {
        std::printf("  %d controllers listed at the end, %d expected\n", w->cmbDevice->count(),
                    announcers);
        return {};
    }
    return f;
}

void printSummary(const char *name, const Figure &f, double goal)
{
    if (!f.ok) {
        std::printf("%-11s failed\n", name);
        return;
    }
    std::printf("%-11s %.3f %% of a core (goal <= %.1f %%: %s)  machine busy %.0f %%\n", name,
                f.cpuPercent, goal, f.cpuPercent <= goal ? "met" : "MISSED", f.machineBusyPercent);
}

} // namespace

int main(int argc, char *argv[])
{
    const kalmo::bench::BenchDisplay display;
    QApplication app(argc, argv);

    QString only;
    int seconds = 60;
    int announcers = 1000;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--seconds" && i + 1 < args.size())
            seconds = std::max(1, args[++i].toInt());
        else if (args[i] == u"--announcers" && i + 1 < args.size())
            announcers = std::max(2, args[++i].toInt());
        else if (args[i] == u"serial" || args[i] == u"network" || args[i] == u"announcers")
            only = args[i];
        else {
            std::fprintf(stderr,
                         "usage: %s [serial|network|announcers] [--seconds S] "
                         "[--announcers N]\n",
                         qPrintable(args[0]));
            return 2;
        }
    }

    // Error logs go to a scratch directory.
    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path())) {
        std::fprintf(stderr, "no scratch directory\n");
        return 2;
    }
    std::printf("Tool CPU over %d s after %d s of warm-up; windows drawn by %s\n", seconds,
                kWarmUpMs / 1000, display.platform().c_str());
    std::printf("%s\n", kalmo::bench::loadAverage().c_str());

    const bool all = only.isEmpty();
    const Figure serial = all || only == u"serial" ? benchSerial(seconds) : Figure{};
    const Figure network = all || only == u"network" ? benchNetwork(seconds, 1) : Figure{};
    const Figure crowd =
        all || only == u"announcers" ? benchNetwork(seconds, announcers) : Figure{};

    std::printf("== Summary (%s)\n", kalmo::bench::loadAverage().c_str());
    if (all || only == u"serial") printSummary("serial", serial, kIdleGoalPercent);
    if (all || only == u"network") printSummary("network", network, kIdleGoalPercent);
    if (all || only == u"announcers") printSummary("announcers", crowd, kAnnouncersGoalPercent);
    return (all || only == u"serial" ? serial.ok : true) &&
                   (all || only == u"network" ? network.ok : true) &&
                   (all || only == u"announcers" ? crowd.ok : true)
               ? 0
               : 1;
}
