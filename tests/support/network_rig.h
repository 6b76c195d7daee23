#pragma once
// The main window on the network link, stepped by hand, on the in-memory
// service link to a device on 127.0.0.2 with the virtual controller behind
// it. The device is announced, chosen and read in by the constructor.
#include "protocol/announcement.h"
#include "sim/virtual_controller.h"
#include "support/window_rig.h"

namespace rig {

struct NetworkRig
{
    QList<kalmo::MessageBoxRequest> boxes;
    std::unique_ptr<kalmo::Form1> w;
    kalmo::sim::VirtualController controller;
    qint64 now = 0; // the controller's clock, in ms

    explicit NetworkRig(const kalmo::sim::DeviceProfile &profile = kalmo::sim::DeviceProfile())
        : controller(profile)
    {
        kalmo::ProgramOptions options;
        options.link = kalmo::ProgramOptions::Link::Network;
        w = steppedWindow(options, &boxes);
        w->session().discoveryPort = 0;
        controller.setTickSource([this] { return now; });
        connect();
    }
    // Communicate, the device's announcement, its choice and the first reads.
    void connect()
    {
        w->StartRun_Click();
        kalmo::Announcement device;
        device.address = {127, 0, 0, 2};
        device.deviceId = "02" + QByteArray(15, '0') + "090" + QByteArray(12, '0');
        device.servicePort = 5020;
        w->wsckDeviceQuery_DataArrival(kalmo::encodeAnnouncement(device));
        w->cmbDevice->setCurrentIndex(0);
        w->cmbDevice_Click();
        for (int i = 0; i < 20 && w->dispatcher().stack().top() > 0; ++i) {
            const QByteArray request = tick();
            QVERIFY(!request.isEmpty());
            answer(request);
        }
        QCOMPARE(w->dispatcher().stack().top(), 0);
    }
    kalmo::FakeDatagramLink &link() const { return fakeDatagram(*w); }
    // One dispatcher tick and the datagram it sent; empty when it sent none.
    QByteArray tick()
    {
        w->session().Timer1_Timer();
        return link().takeSent();
    }
    void answer(const QByteArray &request)
    {
        const QByteArray reply = controller.answerNetwork(request);
        if (!reply.isEmpty()) link().arrive(reply);
    }
};

} // namespace rig
