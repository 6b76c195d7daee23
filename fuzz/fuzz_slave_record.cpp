// A slave device's record over arbitrary bytes: taken exactly when 12 bytes
// are there, every field from its place, and encoded back to the same bytes
// with the unused bytes 2, 3 and 11 at 0.
#include "fuzz_support.h"
#include "protocol/slave_record.h"

using namespace kalmo;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView in(data, qsizetype(size));
    const std::optional<SlaveRecord> r = decodeSlaveRecord(in);
    require(r.has_value() == (size >= 12));
    if (!r) return 0;
    require(r->number == data[0] && r->writeMarker == data[1] && r->address == data[4] &&
            r->format == data[5] && r->typeCode == fuzz::le16(data + 6) &&
            r->scanPeriod == fuzz::le16(data + 8) && r->scanFunction == data[10]);
    QByteArray expected = in.first(12).toByteArray();
    expected[2] = expected[3] = expected[11] = '\0';
    const QByteArray encoded = encodeSlaveRecord(*r);
    require(encoded == expected);
    require(decodeSlaveRecord(encoded) == r);
    return 0;
}
