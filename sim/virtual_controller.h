#pragma once
// One virtual controller: its state and how it answers the serial link and
// the UDP read/write service. Both links serve the same state, so what one
// writes the other reads back. No ports, sockets or timers here:
// PtyEndpoint and UdpEndpoint carry the bytes.
#include "device_state.h"
#include "network_service.h"

#include <QByteArray>
#include <QDateTime>

#include <functional>
#include <optional>
#include <random>

namespace kalmo::sim {

// Faults the controller puts into its replies, each with its own
// probability, drawn from a generator seeded for reproducible runs. At most
// one fault hits a reply, tried in this order: serial replies drop, corrupt,
// truncate, wrong trailer; network replies drop, error status, wrong
// sequence, corrupt, truncate.
struct FaultOptions
{
    double dropProbability = 0;         // no reply at all
    double corruptProbability = 0;      // one bit flipped: serial in the number, data or CRC;
                                        // network in the data (a reply without data is spared)
    double truncateProbability = 0;     // the reply cut short (1 .. R-1 bytes)
    double wrongTrailerProbability = 0; // serial only: ends BB BB instead of AA AA
    double errorStatusProbability = 0; // network only: status 00, 10 or 11, request not carried out
    double wrongSequenceProbability = 0; // network only: another sequence number than the request's
    int delayMs = 0;                     // the transport waits this long before replying
    int delayMaxMs = 0; // above delayMs: each reply waits a time drawn from delayMs..delayMaxMs
    int dropSlave = -1; // reads of this slave number (0..15) get no reply, on either link
    quint64 seed = 1;

    // Loader faults, by packet number within a transfer (from 0), in every
    // transfer; -1 for none.
    int failPacket = -1;     // this packet is refused (serial: a reply with a bad CRC; network:
                             // status 11) and the transfer abandoned
    int silentAtPacket = -1; // from this packet on nothing is answered on either link until
                             // the loader gives up
};

enum class ReplyFault {
    None,
    Dropped,
    Corrupted,
    Truncated,
    WrongTrailer,
    ErrorStatus,
    WrongSequence,
    PacketFailed, // the loader refused the packet (failPacket)
    Silent,       // the loader has fallen silent (silentAtPacket): no reply
};

// What became of one datagram on the read/write service.
struct NetworkExchange
{
    std::optional<NetworkRequest> request; // set for a datagram that is a request at all
    bool served = false;   // carried out and answered with status 01 (before faults)
    QByteArray cleanReply; // the reply before faults; empty when an injected error status
                           // kept the request from being carried out
    QByteArray reply;      // what goes back to the sender; empty for no reply
    ReplyFault fault = ReplyFault::None;
};

// What became of one request.
struct SerialExchange
{
    QByteArray request;        // the frame as it came off the line
    bool requestSound = false; // a sound request of a known function, accepted and answered
    bool wrongRate = false;    // the line was set to a rate the device did not expect: not
                               // understood, no reply, nothing changed
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

    void setFaults(const FaultOptions &faults); // also reseeds the generators
    const FaultOptions &faults() const { return m_faults; }

    // Replaces the tick; the clock reading carries on from where it is.
    void setTickSource(TickSource source);
    qint64 tick() const;
    QDateTime clockReading() const;
    quint8 clockWeekday() const;
    // Sets the clock; a week day outside 1..7 is taken from the date.
    void setClock(const QDateTime &reading, quint8 weekday = 0);

    // The rate the serial line is set to, in bit/s; 0 (the default) for
    // unknown, when a frame at any rate is understood. The device expects
    // 9600, and 115200 from its reply to the size command until the last
    // announced packet is in or the loader gives up.
    void setLineRate(qint32 baud) { m_lineRate = baud; }
    qint32 lineRate() const { return m_lineRate; }
    qint32 expectedLineRate() const;

    // Switches input channel k (in the model's button order, inputs only).
    // False for a channel the model does not have.
    bool setInput(int channel, bool on);

    // Answers one request frame. A request that is not sound (bad header,
    // CRC or trailer, a length its function never has, a function the
    // controller does not know, a rejected write) or that comes at a rate the
    // device does not expect gets no reply.
    SerialExchange serveSerial(const QByteArray &request);
    QByteArray answerSerial(const QByteArray &request) { return serveSerial(request).reply; }

    // Answers one datagram of the read/write service. A datagram that is not
    // a request (shorter than 16 bytes, first byte neither 0x0C nor 0x0D)
    // gets no reply. A request the controller cannot carry out (a block
    // address or type it does not have, a payload of the wrong length, a
    // length field that disagrees with the datagram, a value out of range)
    // changes nothing and is answered with status 11 and no data.
    NetworkExchange serveNetwork(const QByteArray &datagram);
    QByteArray answerNetwork(const QByteArray &datagram) { return serveNetwork(datagram).reply; }

    // How long the transport waits before sending the next reply: the fixed
    // delay, or one drawn from the delay range. Drawn from a generator of its
    // own, so a range does not change which replies the other faults hit.
    int nextReplyDelayMs();

private:
    QByteArray replyData(quint8 function, const QByteArray &request, bool &answered);
    QByteArray applyFaults(const QByteArray &reply, ReplyFault &fault);
    double draw();
    qsizetype pick(qsizetype lowest, qsizetype highest);

    std::optional<QByteArray> networkReadData(const NetworkRequest &request);
    bool applyNetworkWrite(const NetworkRequest &request);

    bool loaderIdle() const;
    void giveUpIdleTransfer();
    void abandonTransfer();
    void startFirmwareTransfer();
    void announceFirmwarePackets(int count, bool serial);
    ReplyFault receivePacket(const QByteArray &packet);
    void restoreSaved(quint8 groups);
    void restoreSelected(quint8 groups);
    void switchLightBoard(bool on);
    void stopAndClear();
    // Notes a maintenance command in state().maintenance.received.
    void record(const QString &command);

    DeviceState m_state;
    FaultOptions m_faults;
    std::mt19937_64 m_random;
    std::mt19937_64 m_delayRandom;
    TickSource m_tick;
    qint32 m_lineRate = 0;
    ReplyFault m_loaderFault = ReplyFault::None; // what the loader made of the request being served
};

} // namespace kalmo::sim
