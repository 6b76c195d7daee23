#pragma once
// The main window for tests: on the in-memory links (or, end to end, the real
// ones), with a port probe that never reaches the host's serial ports, and
// stepped by hand when a test drives time itself.
#include "app/form1.h"
#include "transport/fake_links.h"

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

// The ports a window lists are the ones named with --port, and no others.
inline kalmo::WindowTransports withoutPortProbe(kalmo::Transports links)
{
    return {std::move(links), [] { return QStringList(); }};
}

// The in-memory links.
inline kalmo::WindowTransports fakeLinks()
{
    return withoutPortProbe(kalmo::fakeTransports());
}

// The real serial port and service socket, for runs end to end.
inline kalmo::WindowTransports realLinks()
{
    return withoutPortProbe(kalmo::Transports());
}

// The window's links, as the fakes they are.
inline kalmo::FakeSerialLink &fakeSerial(const kalmo::Form1 &w)
{
    auto *link = qobject_cast<kalmo::FakeSerialLink *>(w.session().Comm1);
    if (!link) qFatal("the window is not on the fake serial link");
    return *link;
}

inline kalmo::FakeDatagramLink &fakeDatagram(const kalmo::Form1 &w)
{
    auto *link = qobject_cast<kalmo::FakeDatagramLink *>(w.session().wsckR_W);
    if (!link) qFatal("the window is not on the fake datagram link");
    return *link;
}

// A window whose timers and receive event do nothing by themselves and whose
// message boxes are collected.
inline std::unique_ptr<kalmo::Form1> steppedWindow(const kalmo::ProgramOptions &options,
                                                   QList<kalmo::MessageBoxRequest> *boxes,
                                                   kalmo::WindowTransports transports = fakeLinks())
{
    auto w = std::make_unique<kalmo::Form1>(options, std::move(transports));
    for (QTimer *timer : w->findChildren<QTimer *>())
        QObject::disconnect(timer, &QTimer::timeout, nullptr, nullptr);
    QObject::disconnect(w->session().Comm1, &kalmo::SerialPortLink::received, nullptr, nullptr);
    w->showMessageBox = [boxes](const kalmo::MessageBoxRequest &request) {
        boxes->append(request);
    };
    return w;
}

} // namespace rig
