#pragma once
// A window talking to the virtual controller on the serial or the network
// link, behind one face, for tests that run the same steps on both.
#include "support/network_rig.h"
#include "support/serial_rig.h"

namespace rig {

struct EitherLink
{
    std::unique_ptr<SerialRig> serial;
    std::unique_ptr<NetworkRig> network;

    explicit EitherLink(bool onNetwork)
    {
        if (onNetwork) {
            network = std::make_unique<NetworkRig>();
        } else {
            serial = std::make_unique<SerialRig>();
            serial->w->StartRun_Click();
            serial->runToIdle();
        }
    }
    kalmo::Form1 &w() const { return serial ? *serial->w : *network->w; }
    kalmo::sim::VirtualController &controller() const
    {
        return serial ? serial->controller : network->controller;
    }
    QList<kalmo::MessageBoxRequest> &boxes() const
    {
        return serial ? serial->boxes : network->boxes;
    }
    // One tick's request, answered; empty when none went out.
    QByteArray exchange()
    {
        const QByteArray request = serial ? serial->step() : network->tick();
        if (request.isEmpty()) return {};
        if (serial)
            serial->answer(request);
        else
            network->answer(request);
        return request;
    }
    // The data a write request carried: after the serial header, or after
    // the network write header (16 bytes for block 107, 18 otherwise).
    QByteArray written(const QByteArray &request, qsizetype length) const
    {
        if (serial) return request.sliced(3, length);
        return request.sliced(request.size() - length, length);
    }
};

} // namespace rig
