#pragma once
// The DI/DO block: the point states behind the bt_DIQ buttons, the read
// replies of both links (points, hard address, high-speed values, battery
// voltage), the DO write of both links, the state a button click toggles and
// the repaint after a write. Pure functions and plain structs: no widgets,
// ports, sockets or timers.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace kalmo {

// ---- Requests and blocks --------------------------------------------------

inline constexpr quint8 kDidoReadFunction = 13;
inline constexpr quint8 kDoWriteFunction = 14;
inline constexpr qsizetype kDoWriteFrameLength = 13;
inline constexpr qsizetype kDoWriteReplyLength = 13;
inline constexpr qint32 kDidoBlockAddress = 10003;
inline constexpr qint32 kDidoReadBlockType = 9;
inline constexpr qint32 kDoWriteBlockType = 14;
inline constexpr qsizetype kDoWritePayloadLength = 6;


// ---- Point states ---------------------------------------------------------

inline constexpr int kPointStateCount = 64;
// One byte per point, 0 or 1. They persist between reads: a read overwrites
// the states its layout covers and leaves the others.
using PointStates = std::array<quint8, kPointStateCount>;

// How a model lays its points out in the serial block.
enum class DidoGroup : quint8 {
    A, // 42, 34, 28: 20 outputs, Q16..Q19 travel after the inputs
    B, // 57: 64 points spread over the reply
    C, // every other code: states 0..47 in bytes 3..8
};

DidoGroup didoGroup(int deviceType);

// What the DI/DO decoders need to know of the connected device.
struct DidoDevice
{
    int deviceType = 0;
    quint16 firmwareVersion = 0; // compared as an unsigned number
};

// ---- Read -----------------------------------------------------------------

// The serial reply length to expect for function 13: 22 for the listed
// models (23 for 36, 28 and versions above 12855), 14 for code 4 (15 above
// 12855); any other code keeps `previousLength`.
int serialDidoReplyLength(const DidoDevice &device, int previousLength);

// The 7-byte serial read request, function 13.
QByteArray didoReadFrame();

// What to do with txtCellPressure.
struct BatteryUpdate
{
    enum class Action {
        Leave, // the model has no battery reading: the box stays as it is
        Clear, // the firmware does not report it: empty the box
        Show,  // show `text`
    };
    Action action = Action::Leave;
    QString text; // volts, e.g. "3.3"

    friend bool operator==(const BatteryUpdate &, const BatteryUpdate &) = default;
};

// Which Text5 box each high-speed value goes to.
inline constexpr std::array<int, 4> kHighSpeedValueBoxes{0, 1, 4, 5};

// What a read reply shows besides the point states, filled in reading order.
struct DidoReading
{
    std::optional<quint8> hardAddress; // txtHardAddr
    // The state painted on each button: 0 or 1, -1 for a button this reply
    // does not paint.
    std::array<qint8, kPointStateCount> buttons;
    std::array<std::optional<qint16>, 4> highSpeed; // Text5 0, 1, 4, 5 (signed)
    BatteryUpdate battery;

    DidoReading() { buttons.fill(-1); }
};

// Decode a serial reply to function 13 / a network reply to block 10003
// type 9, in this order: hard address, point states (each state written,
// then its button painted), the high-speed values (serial, models that have
// them), the battery voltage. A reply too short for an offset throws
// ProcedureError("下标越界") there: states and items decoded before stay in
// `states` and `reading`, nothing after is touched, so the caller shows what
// `reading` holds and logs under kDistributeDidoLabel.
void decodeSerialDido(const QByteArray &reply, const DidoDevice &device, PointStates &states,
                      DidoReading &reading);
void decodeNetworkDido(const QByteArray &datagram, const DidoDevice &device, PointStates &states,
                       DidoReading &reading);

// Tenths of a volt as txtCellPressure shows them: 33 -> "3.3", 30 -> "3".
QString batteryVoltageText(quint8 tenths);

// ---- Write ----------------------------------------------------------------

// The state a click on an output button toggles: states 40..43 for group A
// buttons 16..19, otherwise the button's own index.
int toggledStateIndex(DidoGroup group, int button);

// The state shown on each button once a DO write is acknowledged, -1 for a
// button left as it is. Group A: buttons 0..15 and 20..43 show their own
// states, 16..19 states 40..43; group B: buttons 0..63 their own states;
// group C: buttons 0..47.
std::array<int, kPointStateCount> buttonStatesAfterDoWrite(DidoGroup group);

// The complete 13-byte serial DO write, function 14. Group A: byte 3 states
// 0..7, byte 4 states 8..15, byte 5 states 40..43 in bits 0..3, bytes 6..8
// zero; other groups: bytes 3..8 states 0..47. State 8i+c goes to bit c.
QByteArray doWriteFrame(DidoGroup group, const PointStates &states);
// The 6-byte payload of block 10003 type 14: states 0..47, every group.
QByteArray doWritePayload(const PointStates &states);

} // namespace kalmo
