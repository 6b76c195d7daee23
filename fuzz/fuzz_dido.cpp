// The DI/DO read replies over arbitrary bytes. The first three input bytes
// are the connected device (type, firmware version low byte first), the rest
// the reply, decoded as a serial reply and as a network reply. Every state is
// 0 or 1, every painted button shows the state a click on it toggles (save
// where two share a state), and a whole reply's points go back out in the DO
// write as they came.
#include "fuzz_support.h"
#include "protocol/dido_block.h"

using namespace kalmo;
using fuzz::require;

namespace {

constexpr quint8 kUntouched = 0xEE;

void checkReading(const PointStates &states, const DidoReading &reading, DidoGroup group)
{
    for (quint8 s : states)
        require(s == 0 || s == 1 || s == kUntouched);
    for (int b = 0; b < kPointStateCount; ++b) {
        const qint8 shown = reading.buttons[std::size_t(b)];
        require(shown >= -1 && shown <= 1);
        // Group A buttons 40..43 share their states with outputs Q16..Q19,
        // which arrive later in the reply and win.
        const bool shared = group == DidoGroup::A && b >= 40 && b <= 43;
        if (shown >= 0 && !shared)
            require(states[std::size_t(toggledStateIndex(group, b))] == shown);
    }
    if (reading.battery.action == BatteryUpdate::Action::Show)
        require(!reading.battery.text.isEmpty() && reading.battery.text.size() <= 4);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3) return 0;
    const DidoDevice device{data[0], quint16(fuzz::le16(data + 1))};
    const DidoGroup group = didoGroup(device.deviceType);
    const uint8_t *r = data + 3;
    const QByteArray reply = fuzz::rawBytes(r, size - 3);

    const int length = serialDidoReplyLength(device, 99);
    require(length == 99 || length == 14 || length == 15 || length == 22 || length == 23);

    PointStates states;
    states.fill(kUntouched);
    DidoReading reading;
    const bool serialShort =
        fuzz::refusedShort([&] { decodeSerialDido(reply, device, states, reading); });
    checkReading(states, reading, group);
    if (!serialShort) {
        require(reading.hardAddress == r[9]);
        // The DO write carries the points where the reply had them.
        QByteArray points(6, '\0');
        switch (group) {
        case DidoGroup::A:
            points = QByteArray{} + char(r[3]) + char(r[4]) + char(r[8] & 0x0F);
            points.resize(6, '\0');
            break;
        case DidoGroup::B:
            points = QByteArray{} + char(r[3]) + char(r[4]) + char(r[12]) + char(r[5]) +
                     char(r[6]) + char(r[7]);
            break;
        case DidoGroup::C:
            points = reply.mid(3, 6);
            break;
        }
        require(doWriteFrame(group, states).mid(3, 6) == points);
    }

    states.fill(kUntouched);
    DidoReading network;
    const bool networkShort =
        fuzz::refusedShort([&] { decodeNetworkDido(reply, device, states, network); });
    for (int b = 0; b < kPointStateCount; ++b)
        if (network.buttons[std::size_t(b)] >= 0)
            require(states[std::size_t(b)] == network.buttons[std::size_t(b)]);
    if (!networkShort) {
        require(reply.size() >= 19 && network.hardAddress == r[18]);
        require(doWritePayload(states) == reply.mid(12, 6));
    }
    return 0;
}
