#include "protocol/tag_block.h"

#include "protocol/sys_param_block.h"
#include "protocol/frames.h"
#include "core/codepage.h"
#include "core/error_log.h"

#include <algorithm>

namespace kalmo {

namespace {

// The 32 bytes of one text; a buffer that ends inside them fails before any
// of them is used.
QByteArray textBytes(const QByteArray &bytes, qsizetype at)
{
    byteAt(bytes, at + kTagTextLength - 1);
    return bytes.mid(at, kTagTextLength);
}

} // namespace

// ---- Read -----------------------------------------------------------------

QString hardwareNumberText(const QString &deviceId)
{
    const QString number = deviceId.mid(1, 15);
    return number.startsWith(u'0') ? number.mid(1) : number;
}

void decodeTags(const QByteArray &bytes, qsizetype deviceIdAt, qsizetype pdTagAt,
                TagReading &reading)
{
    const QString deviceId = cp936::decode(textBytes(bytes, deviceIdAt));
    reading.deviceId = deviceId;
    reading.hardwareNumber = hardwareNumberText(deviceId);
    // The PD tag ends at its first NUL: what follows is not text, and a box
    // holding NULs could not be written back within 32 bytes.
    const QByteArray pdTag = textBytes(bytes, pdTagAt);
    reading.pdTag =
        cp936::decode(pdTag.left(pdTag.indexOf('\0') < 0 ? pdTag.size() : pdTag.indexOf('\0')));
}

void decodeSerialTagReply(const QByteArray &reply, TagReading &reading)
{
    decodeTags(reply, 3, 3 + kTagTextLength, reading);
}

void decodeNetworkTagReply(const QByteArray &datagram, TagReading &reading)
{
    decodeTags(datagram, kTagReplyDataOffset, kTagReplyDataOffset + kTagTextLength, reading);
}

void decodeTagBlock(const QByteArray &block, TagReading &reading)
{
    decodeTags(block, 0, kTagTextLength, reading);
}

QString decodeSerialTagWriteEcho(const QByteArray &reply)
{
    return cp936::decode(textBytes(reply, 3 + kTagTextLength));
}

// ---- Write ----------------------------------------------------------------

QByteArray encodeDeviceId(const QString &txtDevID)
{
    QByteArray bytes(kTagTextLength, '0');
    const qsizetype n = std::min<qsizetype>(txtDevID.size(), kTagTextLength);
    for (qsizetype i = 0; i < n; ++i)
        bytes[i] = char(txtDevID.at(i).unicode() & 0xFF);
    return bytes;
}

QByteArray encodePdTag(const QString &txtPD_Tag)
{
    // Every character goes through the code page, ASCII included, so that
    // a written tag reads back exactly as it was typed.
    const QByteArray text = cp936::encode(txtPD_Tag);
    if (text.size() > kTagTextLength)
        throw FieldConversionError(subscriptOutOfRangeText(), QString::fromLatin1(kPdTagControl),
                                   QString::fromLatin1(kPdTagLabel));
    QByteArray bytes(kTagTextLength, ' ');
    bytes.replace(0, text.size(), text);
    return bytes;
}

QByteArray getPdtagFrame()
{
    return buildSerialFrame(kGetPdtagFunction);
}

QByteArray setPdtagFrame(const QString &txtDevID, const QString &txtPD_Tag)
{
    return buildSerialFrame(kSetPdtagFunction, storePdTagPayload(txtDevID, txtPD_Tag));
}

QByteArray storePdTagPayload(const QString &txtDevID, const QString &txtPD_Tag)
{
    const QByteArray pdTag = encodePdTag(txtPD_Tag);
    return encodeDeviceId(txtDevID) + pdTag;
}

} // namespace kalmo
