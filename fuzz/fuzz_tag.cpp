// The identity tags over arbitrary bytes, as the serial reply, the network
// reply, the tag block and the serial write echo: a text is decoded whole or
// not at all (refused exactly when the bytes end inside it), the PD tag ends
// at its first NUL, and a PD tag and an ASCII device ID written again read
// back as they were.
#include "fuzz_support.h"
#include "protocol/tag_block.h"

#include <algorithm>

using namespace kalmo;
using fuzz::require;

namespace {

void decodeAt(const QByteArray &bytes, qsizetype idAt,
              void (*decode)(const QByteArray &, TagReading &))
{
    TagReading reading;
    const bool refused = fuzz::refusedShort([&] { decode(bytes, reading); });
    require(refused == (bytes.size() < idAt + 64));
    require(reading.deviceId.has_value() == (bytes.size() >= idAt + 32));
    require(reading.hardwareNumber.has_value() == reading.deviceId.has_value());
    if (!reading.deviceId) return;
    require(reading.hardwareNumber->size() <= 15);
    if (!reading.pdTag) return;
    const QString &tag = *reading.pdTag;
    require(!tag.contains(QChar(0)));

    // What the panel shows is what a write sends: a tag without undecodable
    // bytes reads back from the written block followed by the padding.
    const QString &id = *reading.deviceId;
    const bool ascii =
        std::all_of(id.begin(), id.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (tag.contains(QChar::ReplacementCharacter)) return;
    QByteArray written;
    try {
        written = storePdTagPayload(id, tag);
    } catch (const ProcedureError &) {
        return; // a tag that does not fit is refused, not cut
    }
    require(written.size() == 64);
    TagReading again;
    decodeTagBlock(written, again);
    require(again.pdTag && again.pdTag->startsWith(tag));
    require(again.pdTag->sliced(tag.size()).count(u' ') == again.pdTag->size() - tag.size());
    if (ascii && id.size() == 32) require(again.deviceId == id);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::rawBytes(data, size);
    decodeAt(bytes, 3, decodeSerialTagReply);
    decodeAt(bytes, kTagReplyDataOffset, decodeNetworkTagReply);
    decodeAt(bytes, 0, decodeTagBlock);

    QString echo;
    const bool echoShort = fuzz::refusedShort([&] { echo = decodeSerialTagWriteEcho(bytes); });
    require(echoShort == (size < 67));
    return 0;
}
