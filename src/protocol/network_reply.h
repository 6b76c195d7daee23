#pragma once
// Acceptance of a datagram arriving on the read/write service socket, before
// it is routed by the outstanding request. Pure function over bytes.
//
// Reply datagram, multi-byte fields low byte first:
//   0      service and status: bits 0..5 0x0C answers a read, 0x0D a write;
//          bits 6..7 01 means the service succeeded (0x4C, 0x4D), anything
//          else that it failed
//   1..5   not examined
//   6..7   sequence number of the request answered
//   8..11  not examined
//   12..   data of the addressed block
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

namespace kalmo {

inline const QString kReadServiceErrorText = QStringLiteral("读服务响应错误");
inline const QString kWriteServiceFailedText = QStringLiteral("写服务失败");


inline constexpr quint8 kReplyServiceMask = 0x3F;
inline constexpr quint8 kReplyStatusMask = 0xC0;
inline constexpr quint8 kReplyStatusOk = 0x40;
inline constexpr quint8 kReadReplyService = 0x0C;
inline constexpr quint8 kWriteReplyService = 0x0D;
inline constexpr qsizetype kReplySequenceOffset = 6;
// The data of a reply begin here; network offset k matches serial offset k - 9.
inline constexpr qsizetype kReplyDataOffset = 12;
inline constexpr qsizetype kNetworkToSerialOffset = 9;
// The whole-area dump takes its data from here.
inline constexpr qsizetype kDumpDataOffset = 14;

enum class NetworkReplyKind {
    ReadReply,  // a good read reply to the outstanding read: route it
    ReadError,  // kReadServiceErrorText; cancel the command time-out, go on
    WriteReply, // a good write reply to the outstanding write: route it
    WriteError, // kWriteServiceFailedText; cancel the command time-out, go on
    Ignored,    // no text, no timer change
};

enum class IgnoredBecause {
    Nothing,       // not ignored
    Empty,         // no byte 0 to tell the service
    UnknownKind,   // bits 0..5 of byte 0 neither 0x0C nor 0x0D
    TooShort,      // a good reply ending before its sequence number
    WrongSequence, // the sequence number is not the outstanding one
};

struct NetworkReplyVerdict
{
    NetworkReplyKind kind = NetworkReplyKind::Ignored;
    IgnoredBecause ignoredBecause = IgnoredBecause::Nothing;
    int sequence = -1; // bytes 6..7 when the datagram holds them, else -1

    bool routed() const
    {
        return kind == NetworkReplyKind::ReadReply || kind == NetworkReplyKind::WriteReply;
    }
    // The status box text of an error reply; empty for every other kind.
    QString statusText() const;
};

// Classifies a datagram against the read and write sequence numbers last sent.
// The read test comes first and the write test after it, each on its own; a
// first byte can pass at most one of them. An error reply needs only byte 0.
// An empty datagram, and a good reply shorter than 8 bytes, cannot be matched
// to a request: they are ignored (Empty, TooShort) and the data-arrival
// handler logs them as a subscript out of range. Nothing outside the datagram
// is ever read.
NetworkReplyVerdict classifyNetworkReply(QByteArrayView datagram, qint32 readSequence,
                                         qint32 writeSequence);

} // namespace kalmo
