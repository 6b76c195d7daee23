#pragma once
// The identity tags of a controller: the 32-byte device ID and the 32-byte
// PD tag, in code page 936. Read replies of both links, the hardware number
// shown from the device ID, and the write of both links. Pure functions and
// plain structs: no widgets, ports, sockets or timers.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace kalmo {

// ---- Requests and blocks --------------------------------------------------

inline constexpr quint8 kGetPdtagFunction = 21;
inline constexpr quint8 kSetPdtagFunction = 22;
inline constexpr qsizetype kTagReplyLength = 71;      // replies to 21 and 22
inline constexpr qsizetype kSetPdtagFrameLength = 71; // request of 22
inline constexpr qint32 kTagBlockAddress = 10010;
inline constexpr qint32 kTagReadBlockType = 2;
inline constexpr qint32 kTagWriteBlockType = 1;
inline constexpr qsizetype kTagTextLength = 32;    // bytes of each text
inline constexpr qsizetype kTagPayloadLength = 64; // device ID, then PD tag
// The data of a network tag reply (datagram bytes 12..93), as the tag block
// buffer and the tag capture keep them.
inline constexpr qsizetype kTagBlockLength = 82;
inline constexpr qsizetype kTagReplyDataOffset = 12;

// The objectName and form label of the PD tag box, for a refused write.
inline constexpr char kPdTagControl[] = "txtPD_Tag";
inline constexpr char kPdTagLabel[] = "PD_TAG";

// ---- Read -----------------------------------------------------------------

// What a tag reply shows, filled in reading order: a text is decoded whole
// or not at all.
struct TagReading
{
    std::optional<QString> deviceId;       // the 32 bytes as text
    std::optional<QString> hardwareNumber; // txthardwarenum
    std::optional<QString> pdTag;          // txtPD_Tag

    friend bool operator==(const TagReading &, const TagReading &) = default;
};

// txthardwarenum from the device-ID text: its characters 2..16 (15); when
// those start with "0" the zero is dropped and 14 remain.
QString hardwareNumberText(const QString &deviceId);

// Decode the 32 device-ID bytes at `deviceIdAt` and the 32 PD-tag bytes at
// `pdTagAt` (code page 936, each text kept whole, NULs included). A buffer
// too short for a text throws ProcedureError("下标越界") before that text:
// the device ID and hardware number may be filled while the PD tag is not;
// the caller shows what `reading` holds and logs.
void decodeTags(const QByteArray &bytes, qsizetype deviceIdAt, qsizetype pdTagAt,
                TagReading &reading);
// Serial reply to function 21: device ID at 3..34, PD tag at 35..66.
void decodeSerialTagReply(const QByteArray &reply, TagReading &reading);
// Network reply to block 10010 type 2: device ID at 12..43, PD tag at 44..75.
void decodeNetworkTagReply(const QByteArray &datagram, TagReading &reading);
// The tag block buffer (the 82 data bytes of that reply): 0..31 and 32..63.
void decodeTagBlock(const QByteArray &block, TagReading &reading);
// Serial reply to function 22: the PD tag at 35..66 as written.
QString decodeSerialTagWriteEcho(const QByteArray &reply);

// ---- Write ----------------------------------------------------------------

// 32 bytes: "0" everywhere, then byte i = low byte of the UTF-16 code of
// character i of txtDevID, for at most 32 characters.
QByteArray encodeDeviceId(const QString &txtDevID);

// 32 bytes: the PD tag in code page 936, each character's bytes in the
// order the code page gives them (lead byte first), padded with spaces. A
// text whose bytes do not fit is refused: FieldConversionError naming
// txtPD_Tag / "PD_TAG" with "下标越界" is thrown and nothing is built, so
// the builder sends nothing.
QByteArray encodePdTag(const QString &txtPD_Tag);

// The 7-byte serial read request, function 21.
QByteArray getPdtagFrame();
// The complete 71-byte serial write, function 22: device ID at 3..34, PD
// tag at 35..66. Throws as encodePdTag.
QByteArray setPdtagFrame(const QString &txtDevID, const QString &txtPD_Tag);
// The 64-byte payload of block 10010 type 1: device ID at 0..31, PD tag at
// 32..63. Throws as encodePdTag.
QByteArray storePdTagPayload(const QString &txtDevID, const QString &txtPD_Tag);

} // namespace kalmo
