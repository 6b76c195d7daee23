#pragma once
// The display the benchmarks draw on. With no platform chosen and no display
// set, an Xvfb server of the benchmark's own is started (1366x768, 24 bits)
// so that windows are drawn by the xcb platform as on a desktop; without
// Xvfb they are drawn offscreen. Set up before any QGuiApplication.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace kalmo::bench {

// The machine's load averages over 1, 5 and 15 minutes, for the report: other
// work on the machine shows in the figures.
inline std::string loadAverage()
{
    char text[64] = {};
    if (std::FILE *f = std::fopen("/proc/loadavg", "r")) {
        if (!std::fgets(text, sizeof text, f)) text[0] = 0;
        std::fclose(f);
    }
    std::string fields(text);
    std::size_t end = 0;
    for (int i = 0; i < 3 && end != std::string::npos; ++i)
        end = fields.find(' ', end + (i ? 1 : 0));
    return "load average " + fields.substr(0, end);
}

class BenchDisplay
{
public:
    BenchDisplay()
    {
        if (const char *chosen = std::getenv("QT_QPA_PLATFORM"); chosen && *chosen) {
            m_platform = chosen;
            return;
        }
        if (const char *display = std::getenv("DISPLAY"); display && *display) {
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            m_platform = std::string("xcb on the display ") + display;
            return;
        }
        if (startXvfb()) {
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            m_platform = "xcb on Xvfb " + m_display + " (1366x768x24)";
            return;
        }
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        m_platform = "offscreen (no Xvfb)";
    }

    ~BenchDisplay()
    {
        if (m_server <= 0) return;
        ::kill(m_server, SIGTERM);
        ::waitpid(m_server, nullptr, 0);
    }

    BenchDisplay(const BenchDisplay &) = delete;
    BenchDisplay &operator=(const BenchDisplay &) = delete;

    // How the windows are drawn, for the report.
    const std::string &platform() const { return m_platform; }

private:
    bool startXvfb()
    {
        // A display number nobody holds.
        int number = 100 + int(::getpid() % 800);
        for (;; ++number) {
            const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
            struct stat st;
            if (::stat(lock.c_str(), &st) != 0) break;
        }
        m_display = ":" + std::to_string(number);
        m_server = ::fork();
        if (m_server < 0) return false;
        if (m_server == 0) {
            // Xvfb's own chatter stays out of the figures.
            std::freopen("/dev/null", "w", stderr);
            ::execlp("Xvfb", "Xvfb", m_display.c_str(), "-screen", "0", "1366x768x24", "-nolisten",
                     "tcp", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        for (int waited = 0; waited < 5000; waited += 20) {
            struct stat st;
            if (::stat(socket.c_str(), &st) == 0) {
                setenv("DISPLAY", m_display.c_str(), 1);
                return true;
            }
            int status = 0;
            if (::waitpid(m_server, &status, WNOHANG) == m_server) { // not installed
                m_server = -1;
                return false;
            }
            const timespec pause{0, 20 * 1000 * 1000};
            ::nanosleep(&pause, nullptr);
        }
        ::kill(m_server, SIGTERM);
        ::waitpid(m_server, nullptr, 0);
        m_server = -1;
        return false;
    }

    std::string m_platform;
    std::string m_display;
    pid_t m_server = -1;
};

} // namespace kalmo::bench
