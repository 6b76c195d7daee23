#include "protocol/frames.h"

#include "core/bytes.h"
#include "core/error_log.h"
#include "protocol/crc.h"

#include <algorithm>
#include <limits>

namespace kalmo {

namespace {

bool isLongCommand(qint64 code)
{
    return code == 4 || code == 10 || code == 11;
}

// Sequence numbers count 1, 2, ... 65535, 0, 1, ...
qint32 nextSequence(qint32 current)
{
    const qint64 next = qint64(current) + 1;
    return next > 0xFFFF ? 0 : qint32(next);
}

// A two-byte field: the low 16 bits of the value, low byte first.
void putField(QByteArray &frame, qsizetype offset, qint64 value)
{
    const auto word = static_cast<quint16>(value);
    QByteArray pair(2, '\0');
    pair[0] = static_cast<char>(word & 0xFF);
    pair[1] = static_cast<char>(word >> 8);
    pair = ChangeDataOrder(pair);
    for (qsizetype i = 0; i < pair.size(); ++i)
        setByteAt(frame, offset + i, static_cast<quint8>(pair[i]));
}

// Bytes 0..15, common to reads and writes.
QByteArray udpHeader(quint8 kind, qint32 sequence, const SendState &state, qsizetype size)
{
    QByteArray frame(size, '\0');
    setByteAt(frame, 0, kind);
    putField(frame, 6, sequence);
    putField(frame, 10, state.blockAddress);
    putField(frame, 12, state.blockType);
    putField(frame, 14, state.itemCount);
    return frame;
}

int hexDigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return 0;
}

} // namespace

void completeSerialFrame(QByteArray &frame)
{
    const qsizetype n = frame.size();
    if (n < kMinSerialFrameLength) throw ProcedureError(subscriptOutOfRangeText());
    const quint16 crc = CrcCheck(frame, n);
    frame[0] = static_cast<char>(kSerialHeaderByte);
    frame[1] = static_cast<char>(kSerialHeaderByte);
    setLe16At(frame, n - 4, crc);
    frame[n - 2] = static_cast<char>(kSerialTrailerByte);
    frame[n - 1] = static_cast<char>(kSerialTrailerByte);
}

QByteArray buildSerialFrame(quint8 functionNumber, QByteArrayView payload)
{
    QByteArray frame(kMinSerialFrameLength + payload.size(), '\0');
    frame[2] = static_cast<char>(functionNumber);
    std::copy(payload.begin(), payload.end(), frame.begin() + 3);
    completeSerialFrame(frame);
    return frame;
}

int serialReceiveTimeoutMs(int functionNumber, int currentMs)
{
    return isLongCommand(functionNumber) ? kReceiveTimeoutMs : currentMs;
}

SerialReplyCheck verifySerialReply(const QByteArray &reply)
{
    SerialReplyCheck check;
    const qsizetype m = reply.size();

    if (m <= kMaxChecksummedReplyLength) {
        check.checksumTested = true;
        check.checksumRegister = CrcCheck(reply, m + 2);
        check.checksumFailed = check.checksumRegister != 0;
    }

    check.framingOk =
        m >= 4 && byteAt(reply, 0) == kSerialHeaderByte && byteAt(reply, 1) == kSerialHeaderByte &&
        byteAt(reply, m - 2) == kSerialTrailerByte && byteAt(reply, m - 1) == kSerialTrailerByte;

    if (check.checksumFailed)
        check.verdict = SerialReplyVerdict::DropWithChecksumError;
    else if (!check.framingOk)
        check.verdict = SerialReplyVerdict::DropSilently;
    else
        check.verdict = SerialReplyVerdict::Accept;

    // An accepted reply has passed a non-empty checksum or is long, so byte 2
    // is there.
    if (check.accepted()) check.functionNumber = byteAt(reply, 2);
    return check;
}

QByteArray ChangeDataOrder(const QByteArray &bytes)
{
    return bytes;
}

QByteArray buildReadRequest(SendState &state)
{
    state.readSequence = nextSequence(state.readSequence);
    QByteArray frame = udpHeader(kUdpReadRequest, state.readSequence, state, kUdpReadRequestLength);
    putField(frame, 4, kUdpReadRequestLength);
    if (state.blockType == kItemWalkBlockType) {
        if (state.itemCount == std::numeric_limits<qint32>::max())
            throw ProcedureError(overflowText());
        ++state.itemCount;
    }
    state.lastRead = {state.blockAddress, state.blockType, state.itemCount};
    return frame;
}

QByteArray buildWriteRequest(SendState &state)
{
    const qsizetype offset = state.blockAddress == kShortWriteBlockAddress ? 16 : 18;
    state.writeSequence = nextSequence(state.writeSequence);
    const qsizetype length = state.writePayload.size() + offset;
    QByteArray frame = udpHeader(kUdpWriteRequest, state.writeSequence, state, length);
    putField(frame, 4, length);
    std::copy(state.writePayload.cbegin(), state.writePayload.cend(), frame.begin() + offset);
    state.lastWrite = {state.blockAddress, state.blockType, state.itemCount};
    return frame;
}

int udpWriteTimeoutMs(qint32 blockType, int currentMs)
{
    return isLongCommand(blockType) ? kLongUdpWriteTimeoutMs : currentMs;
}

QString Hex2Bin(const QString &hex)
{
    static constexpr char kBits[] =
        "0000000100100011010001010110011110001001101010111100110111101111";
    QString bits;
    bits.reserve(hex.size() * 4);
    for (const QChar c : hex)
        bits += QLatin1StringView(kBits + 4 * hexDigitValue(c.unicode()), 4);
    return bits;
}

} // namespace kalmo
