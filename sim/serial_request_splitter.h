#pragma once
// Cuts the byte stream that arrives on the device's serial line into request
// frames. A frame starts 55 55; its length comes from the function number's
// request lengths, each tried against the CRC and the AA AA trailer, or, for
// a function the controller does not know, from the first length at which a
// CRC and a trailer fit. Noise is skipped up to the next 55 55.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace kalmo::sim {

class SerialRequestSplitter
{
public:
    // Adds received bytes and returns the frames completed by them, in order.
    QList<QByteArray> feed(QByteArrayView bytes);

    // The line has gone quiet with bytes still pending: they cannot be the
    // start of a frame any more. Drops the first byte of the pending frame
    // and looks again; returns what that completes.
    QList<QByteArray> discardStale();

    void clear();
    qsizetype pendingBytes() const { return m_buffer.size(); }
    qsizetype discardedBytes() const { return m_discarded; } // noise skipped so far

private:
    enum class Probe { Complete, NeedMore, Invalid };
    Probe probe(qsizetype start, qsizetype &length) const;
    QList<QByteArray> extract();
    void drop(qsizetype count);

    QByteArray m_buffer;
    qsizetype m_discarded = 0;
};

} // namespace kalmo::sim
