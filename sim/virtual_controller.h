#pragma once
// One virtual controller: its state and how it answers the serial link.
// No ports and no timers here; PtyEndpoint carries the bytes.
#include "device_state.h"

#include <QByteArray>
#include <QDateTime>

#include <functional>
#include <random>

namespace kalmo::sim {

// Faults the controller puts into its replies, each with its own
// probability, drawn from a generator seeded for reproducible runs. At most
// one fault hits a reply, tried in this order: drop, corrupt, truncate,
// wrong trailer.
struct FaultOptions
{
    double dropProbability = 0;         // no reply at all
    double corruptProbability = 0;      // one bit flipped in the number, data or CRC
    double truncateProbability = 0;     // the reply cut short (1 .. R-1 bytes)
    double wrongTrailerProbability = 0; // ends BB BB instead of AA AA
    int delayMs = 0;                    // the transport waits this long before replying
    quint64 seed = 1;
};

enum class ReplyFault { None, Dropped, Corrupted, Truncated, WrongTrailer };

// What became of one request.
struct SerialExchange
{
    bool requestSound = false; // a sound request of a known function, accepted and answered
    int functionNumber = -1;   // byte 2 of a request that had one
    QByteArray cleanReply;     // the reply before faults; empty when there is none
    QByteArray reply;          // what goes back on the line
    ReplyFault fault = ReplyFault::None;
};

class VirtualController
{
public:
    // Milliseconds on a monotonic clock; the real-time clock runs on it.
    using TickSource = std::function<qint64()>;

    explicit VirtualController(const DeviceProfile &profile = DeviceProfile());

    DeviceState &state() { return m_state; }
    const DeviceState &state() const { return m_state; }

    void setFaults(const FaultOptions &faults); // also reseeds the generator
    const FaultOptions &faults() const { return m_faults; }

    // Replaces the tick; the clock reading carries on from where it is.
    void setTickSource(TickSource source);
    qint64 tick() const;
    QDateTime clockReading() const;
    quint8 clockWeekday() const;
    // Sets the clock; a week day outside 1..7 is taken from the date.
    void setClock(const QDateTime &reading, quint8 weekday = 0);

    // Switches input channel k (in the model's button order, inputs only).
    // False for a channel the model does not have.
    bool setInput(int channel, bool on);

    // Answers one request frame. A request that is not sound (bad header,
    // CRC or trailer, a length its function never has, a function the
    // controller does not know, a rejected write) gets no reply.
    SerialExchange serveSerial(const QByteArray &request);
    QByteArray answerSerial(const QByteArray &request) { return serveSerial(request).reply; }

private:
    QByteArray replyData(quint8 function, const QByteArray &request, bool &answered);
    QByteArray applyFaults(const QByteArray &reply, ReplyFault &fault);
    double draw();

    void receivePacket(const QByteArray &packet);

    DeviceState m_state;
    FaultOptions m_faults;
    std::mt19937_64 m_random;
    TickSource m_tick;
};

} // namespace kalmo::sim
