#include "serial_request_splitter.h"

#include "protocol/crc.h"
#include "protocol/frames.h"
#include "serial_functions.h"
#include "core/bytes.h"

namespace kalmo::sim {

namespace {

constexpr char kHeader[] = "\x55\x55";

quint8 at(const QByteArray &bytes, qsizetype i)
{
    return static_cast<quint8>(bytes[i]);
}

// A frame of `length` bytes at `start` ends AA AA and carries the CRC of its
// function number and payload.
bool frameFits(const QByteArray &buffer, qsizetype start, qsizetype length)
{
    const qsizetype end = start + length;
    if (at(buffer, end - 1) != kSerialTrailerByte || at(buffer, end - 2) != kSerialTrailerByte)
        return false;
    const quint16 crc = crc16Modbus(QByteArrayView(buffer).sliced(start + 2, length - 6));
    return le16At(buffer, end - 4) == crc;
}

} // namespace

QList<QByteArray> SerialRequestSplitter::feed(QByteArrayView bytes)
{
    m_buffer.append(bytes);
    return extract();
}

QList<QByteArray> SerialRequestSplitter::discardStale()
{
    if (m_buffer.isEmpty()) return {};
    drop(1);
    return extract();
}

void SerialRequestSplitter::clear()
{
    m_buffer.clear();
}

void SerialRequestSplitter::drop(qsizetype count)
{
    m_buffer.remove(0, count);
    m_discarded += count;
}

// Whether a frame starts at `start` (which holds 55 55), and its length.
SerialRequestSplitter::Probe SerialRequestSplitter::probe(qsizetype start, qsizetype &length) const
{
    const qsizetype available = m_buffer.size() - start;
    if (available < 3) return Probe::NeedMore;

    QList<int> candidates;
    if (const SerialFunction *function = findSerialFunction(at(m_buffer, start + 2))) {
        candidates = function->requestLengths;
    } else {
        for (int n = int(kMinSerialFrameLength); n <= kMaxSerialRequestLength; ++n)
            candidates.append(n);
    }

    bool needMore = false;
    for (const int n : candidates) {
        if (available < n) {
            needMore = true;
            continue;
        }
        if (frameFits(m_buffer, start, n)) {
            length = n;
            return Probe::Complete;
        }
    }
    return needMore ? Probe::NeedMore : Probe::Invalid;
}

QList<QByteArray> SerialRequestSplitter::extract()
{
    QList<QByteArray> frames;
    for (;;) {
        const qsizetype header = m_buffer.indexOf(kHeader);
        if (header < 0) {
            // Keep a last 55: it may be the first half of a header.
            const bool keepLast = !m_buffer.isEmpty() && at(m_buffer, m_buffer.size() - 1) == 0x55;
            drop(m_buffer.size() - (keepLast ? 1 : 0));
            return frames;
        }
        drop(header);
        if (m_buffer.size() < 3) return frames;
        if (at(m_buffer, 2) == 0x55) {
            drop(1); // 55 55 55: the header starts one byte later
            continue;
        }

        qsizetype length = 0;
        const Probe here = probe(0, length);
        if (here == Probe::Complete) {
            frames.append(m_buffer.left(length));
            m_buffer.remove(0, length);
            continue;
        }
        if (here == Probe::Invalid) {
            drop(1);
            continue;
        }
        // Waiting for more of this frame. A function the controller does not
        // know is most likely noise: a complete frame after it wins. A known
        // function waits for its bytes or for the line to go quiet.
        if (findSerialFunction(at(m_buffer, 2))) return frames;
        qsizetype next = m_buffer.indexOf(kHeader, 1);
        bool skipped = false;
        while (next > 0) {
            qsizetype ignored = 0;
            if (probe(next, ignored) == Probe::Complete) {
                drop(next);
                skipped = true;
                break;
            }
            next = m_buffer.indexOf(kHeader, next + 1);
        }
        if (!skipped) return frames;
    }
}

} // namespace kalmo::sim
