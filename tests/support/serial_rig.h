#pragma once
// The main window on a pseudo-terminal, stepped by hand: the timers' ticks and
// the port's receive event are taken off the event loop and the test runs the
// dispatcher itself. The virtual controller answers in-process; every request
// the window wrote is kept, so a test can look at the bytes that went out.
#include "transport/serial_link.h"
#include "app/form1.h"
#include "sim/serial_request_splitter.h"
#include "sim/virtual_controller.h"
#include "support/pty_device.h"

#include <QTimer>
#include <QtTest>

#include <memory>

namespace rig {

template <typename T = QWidget> T *control(const QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found) qFatal("no control %s", qPrintable(name));
    return found;
}

// A window whose timers and receive event do nothing by themselves and whose
// message boxes are collected.
inline std::unique_ptr<kalmo::Form1> steppedWindow(const kalmo::ProgramOptions &options,
                                                   QList<kalmo::MessageBoxRequest> *boxes)
{
    auto w = std::make_unique<kalmo::Form1>(options);
    for (QTimer *timer : w->findChildren<QTimer *>())
        QObject::disconnect(timer, &QTimer::timeout, nullptr, nullptr);
    QObject::disconnect(w->Comm1, &kalmo::SerialLink::received, nullptr, nullptr);
    w->showMessageBox = [boxes](const kalmo::MessageBoxRequest &request) {
        boxes->append(request);
    };
    return w;
}

// A window on a pseudo-terminal with the virtual controller behind it.
struct SerialRig
{
    PtyDevice dev;
    kalmo::sim::VirtualController controller;
    QList<kalmo::MessageBoxRequest> boxes;
    std::unique_ptr<kalmo::Form1> w;
    QList<QByteArray> requests; // every request the window wrote, in order

    explicit SerialRig(const kalmo::sim::DeviceProfile &profile = kalmo::sim::DeviceProfile())
        : controller(profile)
    {
        kalmo::ProgramOptions options;
        options.ports = {dev.path};
        w = steppedWindow(options, &boxes);
        controller.setTickSource([] { return qint64(0); });
    }

    // One dispatcher tick and the request it wrote; empty when it wrote none.
    QByteArray step(int waitMs = 3000)
    {
        w->session().Timer1_Timer();
        if (!w->Timer2->isActive()) waitMs = 100; // nothing awaited: nothing sent
        kalmo::sim::SerialRequestSplitter splitter;
        QList<QByteArray> frames;
        qsizetype fed = 0;
        dev.receiveUntil(
            [&](const QByteArray &got) {
                frames += splitter.feed(QByteArrayView(got).sliced(fed));
                fed = got.size();
                return !frames.isEmpty();
            },
            waitMs);
        if (frames.isEmpty()) return {};
        requests.append(frames.first());
        return frames.first();
    }
    // A reply on the line, taken by the receive event once it is all in.
    void deliver(const QByteArray &reply)
    {
        QVERIFY(dev.send(reply));
        QTRY_COMPARE(w->Comm1->inBufferCount(), qint64(reply.size()));
        w->session().Comm1_OnComm();
    }
    void answer(const QByteArray &request) { deliver(controller.answerSerial(request)); }

    // Runs the dispatcher, answering every request, until nothing but the
    // idle read is left. Answers whether it got there within `maxSteps`.
    bool runToIdle(int maxSteps = 40)
    {
        for (int i = 0; i < maxSteps; ++i) {
            if (w->dispatcher().stack().top() == 0) return true;
            const QByteArray request = step();
            if (!request.isEmpty()) answer(request);
        }
        return w->dispatcher().stack().top() == 0;
    }
    // The last request with this function number, or an empty array.
    QByteArray lastRequest(int function) const
    {
        for (qsizetype i = requests.size() - 1; i >= 0; --i)
            if (requests[i].size() > 2 && quint8(requests[i][2]) == function) return requests[i];
        return {};
    }
};

} // namespace rig
