#pragma once
// Runs the event loop until a condition holds, for programs that drive the
// window with real timers (end-to-end runs, benchmarks, the soak run).
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace rig {

// True once `done` holds; false when `timeoutMs` passed first.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace rig
