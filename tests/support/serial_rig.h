#pragma once
// The main window on a serial line, stepped by hand: the timers' ticks and
// the port's receive event are taken off the event loop and the test runs the
// dispatcher itself. The virtual controller answers in-process; every request
// the window wrote is kept, so a test can look at the bytes that went out.
// The line is the fake serial link (SerialRig) or, end to end, a
// pseudo-terminal behind the real one (PtySerialRig).
#include "sim/serial_request_splitter.h"
#include "sim/virtual_controller.h"
#include "support/window_rig.h"
#include "support/pty_device.h"

namespace rig {

// The device end of the fake serial link.
class FakeLine
{
public:
    static QString portName() { return QStringLiteral("ttyKALMO0"); }
    static kalmo::WindowTransports transports() { return fakeLinks(); }
    void attach(const kalmo::Form1 &w)
    {
        m_port = &fakeSerial(w);
        m_port->ports = {portName()};
    }
    kalmo::FakeSerialLink &port() const { return *m_port; }
    // The rate the window set the port to, from its settings ("9600,N,8,1").
    qint32 lineRate() const { return m_port->settings().section(u',', 0, 0).toInt(); }

    // The next frame the window wrote, or nothing; a fake has it at once.
    QByteArray nextRequest(int /*waitMs*/) { return m_port->takeWritten(); }
    bool send(const QByteArray &reply)
    {
        m_port->arrive(reply);
        return true;
    }

private:
    kalmo::FakeSerialLink *m_port = nullptr;
};

// The device end of a pseudo-terminal, which the window opens with the real
// serial link.
class PtyLine
{
public:
    QString portName() const { return m_dev.path; }
    static kalmo::WindowTransports transports() { return realLinks(); }
    void attach(const kalmo::Form1 &) {}

    // The next frame the window wrote, or nothing within the wait.
    QByteArray nextRequest(int waitMs)
    {
        kalmo::sim::SerialRequestSplitter splitter;
        QList<QByteArray> frames;
        qsizetype fed = 0;
        m_dev.receiveUntil(
            [&](const QByteArray &got) {
                frames += splitter.feed(QByteArrayView(got).sliced(fed));
                fed = got.size();
                return !frames.isEmpty();
            },
            waitMs);
        return frames.isEmpty() ? QByteArray() : frames.first();
    }
    bool send(const QByteArray &reply) { return m_dev.send(reply); }
    qint32 lineRate() const { return m_dev.lineRate(); }

private:
    PtyDevice m_dev;
};

// A window on a serial line with the virtual controller behind it.
template <typename Line> struct SerialRigOn
{
    Line line;
    kalmo::sim::VirtualController controller;
    QList<kalmo::MessageBoxRequest> boxes;
    std::unique_ptr<kalmo::Form1> w;
    QList<QByteArray> requests; // every request the window wrote, in order
    bool followLineRate = false; // the controller hears the rate the window set the line to

    explicit SerialRigOn(const kalmo::sim::DeviceProfile &profile = kalmo::sim::DeviceProfile())
        : controller(profile)
    {
        kalmo::ProgramOptions options;
        options.ports = {line.portName()};
        w = steppedWindow(options, &boxes, line.transports());
        line.attach(*w);
        controller.setTickSource([] { return qint64(0); });
    }

    // One dispatcher tick and the request it wrote; empty when it wrote none.
    QByteArray step(int waitMs = 3000)
    {
        w->session().Timer1_Timer();
        if (!w->session().Timer2->isActive()) waitMs = 100; // nothing awaited: nothing sent
        const QByteArray request = line.nextRequest(waitMs);
        if (!request.isEmpty()) requests.append(request);
        return request;
    }
    // A reply on the line, taken by the receive event once it is all in.
    void deliver(const QByteArray &reply)
    {
        QVERIFY(line.send(reply));
        QTRY_COMPARE(w->session().Comm1->inBufferCount(), qint64(reply.size()));
        w->session().Comm1_OnComm();
    }
    void answer(const QByteArray &request)
    {
        if (followLineRate) controller.setLineRate(line.lineRate());
        deliver(controller.answerSerial(request));
    }

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

using SerialRig = SerialRigOn<FakeLine>;
using PtySerialRig = SerialRigOn<PtyLine>;

} // namespace rig
