#pragma once
// Request frames of both links, serial reply checking and the small
// conversions the block builders and decoders share. Pure functions over
// bytes: no ports, sockets or timers.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

namespace kalmo {

// ---- Serial request frame -------------------------------------------------
//   0..1  0x55 0x55
//   2     function number
//   3..   payload
//   N-4   CRC low, N-3 CRC high (over bytes 2 .. N-5)
//   N-2..N-1  0xAA 0xAA

inline constexpr quint8 kSerialHeaderByte = 0x55;
inline constexpr quint8 kSerialTrailerByte = 0xAA;
// Header, function number, CRC and trailer: the length of a bare request.
inline constexpr qsizetype kMinSerialFrameLength = 7;

// What SendCommand does to a frame that a builder has sized to N bytes and
// filled at offset 2 (function number) and 3 .. N-5 (payload): sets the
// header, CRC and trailer in place. A frame shorter than 7 bytes throws
// ProcedureError("下标越界") and is left untouched.
void completeSerialFrame(QByteArray &frame);

// A whole request: function number and payload, completed as above.
QByteArray buildSerialFrame(quint8 functionNumber, QByteArrayView payload = {});

// The serial receive time-out after sending a request with this function
// number: kReceiveTimeoutMs for 4, 10 and 11 (the long writes), otherwise
// unchanged.
inline constexpr int kReceiveTimeoutMs = 5000; // timMscon while communicating
int serialReceiveTimeoutMs(int functionNumber, int currentMs);

// ---- Serial reply ---------------------------------------------------------

// Replies up to this length get the checksum test; longer ones do not.
inline constexpr qsizetype kMaxChecksummedReplyLength = 297;

enum class SerialReplyVerdict {
    Accept,                // clear the status box and route by the function number
    DropWithChecksumError, // show kCrcErrorText, do nothing else with the reply
    DropSilently,          // leave the status box as it is, do nothing else
};

struct SerialReplyCheck
{
    bool checksumTested = false; // only replies of at most 297 bytes
    bool checksumFailed = false; // tested and the register was not 0
    quint16 checksumRegister = 0;
    bool framingOk = false; // 55 55 ... AA AA, at least 4 bytes
    SerialReplyVerdict verdict = SerialReplyVerdict::DropSilently;
    int functionNumber = -1; // byte 2 of an accepted reply, else -1

    bool accepted() const { return verdict == SerialReplyVerdict::Accept; }
};

// Checks a received serial reply of M bytes. When M <= 297 the CRC runs over
// bytes 2 .. M-3, the reply's own CRC included, and must leave 0. A failed
// checksum shows the checksum message and drops the reply even when the
// framing is intact; bad framing alone drops it silently.
SerialReplyCheck verifySerialReply(const QByteArray &reply);

// ---- UDP read/write service -----------------------------------------------

// The send state of the read/write service: one instance for the program,
// since only one request is outstanding at a time.
// The block a request addressed, as it was when the request went out.
struct AddressedBlock
{
    qint32 blockAddress = 0;
    qint32 blockType = 0;
    qint32 itemCount = 0;
};

struct SendState
{
    qint32 blockAddress = 0;
    qint32 blockType = 0;
    qint32 itemCount = 0;
    qint32 readSequence = 0;  // last number sent by a read, 0..65535
    qint32 writeSequence = 0; // last number sent by a write, 0..65535
    QByteArray writePayload;
    // What the last read and the last write addressed: a reply is routed by
    // the request that carried its sequence number, even when another
    // command has been prepared since.
    AddressedBlock lastRead;
    AddressedBlock lastWrite;
};

inline constexpr quint8 kUdpReadRequest = 0x0C;
inline constexpr quint8 kUdpWriteRequest = 0x0D;
inline constexpr qsizetype kUdpReadRequestLength = 16;
// Block address whose writes have no reserved word before the payload.
inline constexpr qint32 kShortWriteBlockAddress = 107;
// The block type whose reads walk through items one at a time.
inline constexpr qint32 kItemWalkBlockType = 14;

// Byte order of a two-byte UDP field after it has been split low byte
// first: kept as it is.
QByteArray ChangeDataOrder(const QByteArray &bytes);

// The 16-byte read request (ReadCmd). Advances the read sequence number
// (wrapping from 65535 to 0) and, for block type 14, the stored item count
// after the old count has gone into the frame.
QByteArray buildReadRequest(SendState &state);

// The write request (WriteCmd): 18 header bytes, or 16 for block address 107,
// followed by the write payload. Advances the write sequence number.
QByteArray buildWriteRequest(SendState &state);

// The UDP receive time-out for a write of this block type: 10000 ms for
// types 4, 10 and 11, otherwise unchanged.
inline constexpr int kLongUdpWriteTimeoutMs = 10000;
int udpWriteTimeoutMs(qint32 blockType, int currentMs);

// ---- Conversions ----------------------------------------------------------

// Hex digits to bit characters, four per digit, most significant first:
// "A5" -> "10100101". Any character that is not a hex digit gives "0000".
QString Hex2Bin(const QString &hex);

} // namespace kalmo
