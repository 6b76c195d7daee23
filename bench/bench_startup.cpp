// Start-up and memory: Kalmo as it starts for a user (no options, its main
// window, the serial ports of this machine listed) against a bare Qt Widgets
// main window of the same size. Each run is a process of its own with
// paint_probe preloaded: the time from just before the process is created to
// the end of the first paint of its top-level window, and its resident
// memory then and after a settling second. Runs alternate between the two
// programs after one unmeasured run of each; medians are compared. A third
// program, the bare window with one line of Chinese text, shows how much of
// the difference is loading and drawing a CJK font at all.
//
//   bench_startup [--runs N]
#include "display.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr double kStartupGoal = 1.3;
constexpr double kMemoryGoal = 1.15;
constexpr int kSettleMs = 1000;
constexpr int kChildTimeoutMs = 30000;

qint64 monotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Run
{
    double firstPaintMs = 0;
    double rssAtPaintMb = 0;
    double rssSettledMb = 0;
};

// One process of `program` with the probe; nothing if it did not report.
std::optional<Run> runOnce(const std::string &program, const char *argument, const QString &scratch)
{
    const QString report = scratch + QStringLiteral("/probe.txt");
    QFile::remove(report);
    const std::string reportPath = report.toStdString();
    const std::string errorPath = (scratch + QStringLiteral("/stderr.txt")).toStdString();

    const qint64 started = monotonicNs();
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        if (::chdir(scratch.toLocal8Bit().constData()) != 0) ::_exit(126);
        setenv("LD_PRELOAD", KALMO_PAINT_PROBE_PATH, 1);
        setenv("KALMO_PROBE_OUT", reportPath.c_str(), 1);
        setenv("KALMO_PROBE_SETTLE_MS", std::to_string(kSettleMs).c_str(), 1);
        const int quiet = ::open("/dev/null", O_WRONLY);
        const int errors = ::open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (quiet >= 0) ::dup2(quiet, STDOUT_FILENO);
        if (errors >= 0) ::dup2(errors, STDERR_FILENO);
        ::execl(program.c_str(), program.c_str(), argument, static_cast<char *>(nullptr));
        ::_exit(127);
    }

    int status = 0;
    for (int waited = 0;; waited += 5) {
        if (::waitpid(child, &status, WNOHANG) == child) break;
        if (waited > kChildTimeoutMs) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        const timespec pause{0, 5 * 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }

    QFile file(report);
    if (!file.open(QIODevice::ReadOnly)) {
        QFile errors(QString::fromStdString(errorPath));
        errors.open(QIODevice::ReadOnly);
        std::printf("  %s reported nothing; it said: %s\n", program.c_str(),
                    errors.readAll().left(2000).constData());
        return std::nullopt;
    }
    qint64 paintNs = 0, rssPaint = 0, rssSettled = 0;
    for (QByteArray line = file.readLine(); !line.isEmpty(); line = file.readLine()) {
        const QList<QByteArray> f = line.trimmed().split(' ');
        if (f.size() != 2) continue;
        if (f[0] == "paint_ns") paintNs = f[1].toLongLong();
        if (f[0] == "rss_paint_kb") rssPaint = f[1].toLongLong();
        if (f[0] == "rss_settled_kb") rssSettled = f[1].toLongLong();
    }
    if (paintNs <= started || rssSettled <= 0) return std::nullopt;
    return Run{double(paintNs - started) / 1e6, double(rssPaint) / 1024, double(rssSettled) / 1024};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Series
{
    std::vector<double> paintMs, rssPaintMb, rssSettledMb;
    void add(const Run &r)
    {
        paintMs.push_back(r.firstPaintMs);
        rssPaintMb.push_back(r.rssAtPaintMb);
        rssSettledMb.push_back(r.rssSettledMb);
    }
};

void printSeries(const char *name, const Series &s)
{
    std::printf("  %-12s first paint median %7.1f ms (min %.1f, max %.1f)   RSS at paint "
                "%.1f MiB, settled %.1f MiB (median)\n",
                name, median(s.paintMs), *std::min_element(s.paintMs.begin(), s.paintMs.end()),
                *std::max_element(s.paintMs.begin(), s.paintMs.end()), median(s.rssPaintMb),
                median(s.rssSettledMb));
}

} // namespace

int main(int argc, char *argv[])
{
    int runs = 15;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
            return 2;
        }
    }

    const kalmo::bench::BenchDisplay display;
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "no scratch directory\n");
        return 2;
    }
    std::printf("Start-up to the first painted window and resident memory, %d alternating runs "
                "each after one unmeasured run; windows drawn by %s\n",
                runs, display.platform().c_str());
    std::printf("%s\n", kalmo::bench::loadAverage().c_str());

    const std::string kalmo = KALMO_PATH;
    const std::string bare = KALMO_BARE_WINDOW_PATH;
    Series kalmoRuns, bareRuns, textRuns;
    for (int i = -1; i < runs; ++i) {
        const std::optional<Run> k = runOnce(kalmo, nullptr, scratch.path());
        const std::optional<Run> b = runOnce(bare, nullptr, scratch.path());
        const std::optional<Run> t = runOnce(bare, "--text", scratch.path());
        if (!k || !b || !t) return 1;
        if (i < 0) continue;
        kalmoRuns.add(*k);
        bareRuns.add(*b);
        textRuns.add(*t);
    }

    printSeries("kalmo", kalmoRuns);
    printSeries("bare window", bareRuns);
    printSeries("bare + text", textRuns);
    std::printf("against the bare window with Chinese text: start-up %.2f, memory %.2f\n",
                median(kalmoRuns.paintMs) / median(textRuns.paintMs),
                median(kalmoRuns.rssSettledMb) / median(textRuns.rssSettledMb));
    const double startup = median(kalmoRuns.paintMs) / median(bareRuns.paintMs);
    const double memory = median(kalmoRuns.rssSettledMb) / median(bareRuns.rssSettledMb);
    std::printf("%s\n", kalmo::bench::loadAverage().c_str());
    std::printf("start-up ratio %.2f (goal <= %.2f: %s)\n", startup, kStartupGoal,
                startup <= kStartupGoal ? "met" : "MISSED");
    std::printf("memory ratio   %.2f (goal <= %.2f: %s)\n", memory, kMemoryGoal,
                memory <= kMemoryGoal ? "met" : "MISSED");
    return 0;
}
