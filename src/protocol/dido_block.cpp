#include "protocol/dido_block.h"

#include "protocol/frames.h"
#include "core/bytes.h"

#include <algorithm>
#include <initializer_list>

namespace kalmo {

namespace {

bool isOneOf(int code, std::initializer_list<int> codes)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Models whose serial DI/DO reply is 22 or 23 bytes.
bool hasLongSerialReply(int code)
{
    return isOneOf(code,
                   {52, 10, 8, 12, 50, 15, 47, 24, 25, 26, 28, 34, 42, 43, 30, 31, 36, 37, 56, 57});
}

// Models whose battery voltage the serial reply carries at byte 18.
bool hasSerialBattery(int code)
{
    return isOneOf(code,
                   {10, 8, 12, 43, 50, 15, 47, 24, 25, 26, 28, 34, 42, 31, 36, 37, 56, 57, 52});
}

// Models whose battery voltage the network reply carries at byte 19.
bool hasNetworkBattery(int code)
{
    return isOneOf(code,
                   {8, 4, 10, 12, 43, 50, 26, 15, 24, 47, 25, 28, 34, 42, 31, 36, 37, 56, 57, 52});
}

// Firmware from which the long replies carry the battery voltage.
constexpr quint16 kBatteryFirmware = 12856;
// Firmware from which codes 10 and 8 report high-speed values.
constexpr quint16 kHighSpeedFirmware = 9513;

bool reportsBattery(const DidoDevice &d)
{
    return d.deviceType == 36 || d.deviceType == 28 || d.firmwareVersion >= kBatteryFirmware;
}

bool hasHighSpeedValues(const DidoDevice &d)
{
    return ((d.deviceType == 10 || d.deviceType == 8) && d.firmwareVersion >= kHighSpeedFirmware) ||
           isOneOf(d.deviceType, {34, 28, 42, 36});
}

// Writes state `state` from bit `bit` of the byte at `at` and paints it on
// `button`.
void takeState(const QByteArray &reply, qsizetype at, int bit, int state, int button,
               PointStates &states, DidoReading &reading)
{
    const quint8 value = (byteAt(reply, at) >> bit) & 1;
    states[std::size_t(state)] = value;
    reading.buttons[std::size_t(button)] = qint8(value);
}

// Eight states from one byte, state k on button k.
void takeByte(const QByteArray &reply, qsizetype at, int firstState, PointStates &states,
              DidoReading &reading)
{
    for (int c = 0; c < 8; ++c)
        takeState(reply, at, c, firstState + c, firstState + c, states, reading);
}

void decodeSerialPoints(const QByteArray &reply, DidoGroup group, PointStates &states,
                        DidoReading &reading)
{
    switch (group) {
    case DidoGroup::A:
        // Points 0..39 in bytes 3..7: 0..15 stay, 16..39 move up by four;
        // byte 8 bits 0..3 are outputs Q16..Q19, states 40..43, on 16..19.
        for (int p = 0; p < 40; ++p) {
            const int k = p < 16 ? p : p + 4;
            takeState(reply, 3 + p / 8, p % 8, k, k, states, reading);
        }
        for (int c = 0; c < 4; ++c)
            takeState(reply, 8, c, 40 + c, 16 + c, states, reading);
        break;
    case DidoGroup::B:
        takeByte(reply, 3, 0, states, reading);
        takeByte(reply, 4, 8, states, reading);
        takeByte(reply, 12, 16, states, reading);
        for (int i = 0; i < 4; ++i)
            takeByte(reply, 5 + i, 24 + 8 * i, states, reading);
        takeByte(reply, 10, 56, states, reading);
        break;
    case DidoGroup::C:
        for (int i = 0; i < 6; ++i)
            takeByte(reply, 3 + i, 8 * i, states, reading);
        break;
    }
}

void takeBattery(const QByteArray &reply, qsizetype at, DidoReading &reading)
{
    const QString text = batteryVoltageText(byteAt(reply, at));
    reading.battery = {BatteryUpdate::Action::Show, text};
}

void packStates(const PointStates &states, int firstState, QByteArray &out, qsizetype at, int count)
{
    for (int i = 0; i < count; ++i) {
        quint8 byte = 0;
        for (int c = 0; c < 8; ++c)
            if (states[std::size_t(firstState + 8 * i + c)] != 0) byte |= quint8(1u << c);
        setByteAt(out, at + i, byte);
    }
}

} // namespace

DidoGroup didoGroup(int deviceType)
{
    if (isOneOf(deviceType, {42, 34, 28})) return DidoGroup::A;
    if (deviceType == 57) return DidoGroup::B;
    return DidoGroup::C;
}

// ---- Read -----------------------------------------------------------------

int serialDidoReplyLength(const DidoDevice &device, int previousLength)
{
    const int code = device.deviceType;
    const bool later = device.firmwareVersion >= kBatteryFirmware;
    if (hasLongSerialReply(code)) return code == 36 || code == 28 || later ? 23 : 22;
    if (code == 4) return later ? 15 : 14;
    return previousLength;
}

QByteArray didoReadFrame()
{
    return buildSerialFrame(kDidoReadFunction);
}

QString batteryVoltageText(quint8 tenths)
{
    const int whole = tenths / 10;
    const int fraction = tenths % 10;
    return fraction == 0 ? QString::number(whole)
                         : QString::number(whole) + u'.' + QString::number(fraction);
}

void decodeSerialDido(const QByteArray &reply, const DidoDevice &device, PointStates &states,
                      DidoReading &reading)
{
    reading.hardAddress = byteAt(reply, 9);
    decodeSerialPoints(reply, didoGroup(device.deviceType), states, reading);

    if (hasHighSpeedValues(device)) {
        for (int i = 0; i < 4; ++i)
            reading.highSpeed[std::size_t(i)] = qint16(le16At(reply, 10 + 2 * i));
    }

    if (device.deviceType == 4) {
        if (device.firmwareVersion >= kBatteryFirmware)
            takeBattery(reply, 10, reading);
        else
            reading.battery = {BatteryUpdate::Action::Clear, {}};
    } else if (hasSerialBattery(device.deviceType)) {
        if (reportsBattery(device))
            takeBattery(reply, 18, reading);
        else
            reading.battery = {BatteryUpdate::Action::Clear, {}};
    }
}

void decodeNetworkDido(const QByteArray &datagram, const DidoDevice &device, PointStates &states,
                       DidoReading &reading)
{
    reading.hardAddress = byteAt(datagram, 18);
    for (int i = 0; i < 6; ++i)
        takeByte(datagram, 12 + i, 8 * i, states, reading);

    if (hasNetworkBattery(device.deviceType)) {
        if (reportsBattery(device))
            takeBattery(datagram, 19, reading);
        else
            reading.battery = {BatteryUpdate::Action::Clear, {}};
    }
}

// ---- Write ----------------------------------------------------------------

int toggledStateIndex(DidoGroup group, int button)
{
    if (group == DidoGroup::A && button >= 16 && button <= 19) return button + 24;
    return button;
}

std::array<int, kPointStateCount> buttonStatesAfterDoWrite(DidoGroup group)
{
    std::array<int, kPointStateCount> shown;
    shown.fill(-1);
    const int last = group == DidoGroup::A ? 43 : group == DidoGroup::B ? 63 : 47;
    for (int b = 0; b <= last; ++b)
        shown[std::size_t(b)] = toggledStateIndex(group, b);
    return shown;
}

QByteArray doWriteFrame(DidoGroup group, const PointStates &states)
{
    QByteArray payload(6, '\0');
    if (group == DidoGroup::A) {
        packStates(states, 0, payload, 0, 2);
        quint8 outputs = 0;
        for (int c = 0; c < 4; ++c)
            if (states[std::size_t(40 + c)] != 0) outputs |= quint8(1u << c);
        setByteAt(payload, 2, outputs);
    } else {
        packStates(states, 0, payload, 0, 6);
    }
    return buildSerialFrame(kDoWriteFunction, payload);
}

QByteArray doWritePayload(const PointStates &states)
{
    QByteArray payload(kDoWritePayloadLength, '\0');
    packStates(states, 0, payload, 0, 6);
    return payload;
}

} // namespace kalmo
