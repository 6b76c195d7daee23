// The forwarding table over arbitrary bytes: refused exactly when it is
// short, its count lies outside 0..20 or an entry in use has a protocol
// (7 entries) or interface (4 entries) outside its list, always naming a
// field; a sound table encodes back to its header and the entries in use,
// and those bytes with the rest of the block decode to the same table.
#include "fuzz_support.h"
#include "protocol/forwarding_block.h"

using namespace kalmo;
using fuzz::require;

namespace {

bool entriesSound(const uint8_t *data, int count)
{
    for (int i = 0; i < count; ++i)
        for (int side = 0; side < 2; ++side) {
            const uint8_t *end = data + 8 + 24 * i + 12 * side;
            if (end[0] >= 7 || end[1] >= 4) return false;
        }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView in(data, qsizetype(size));
    QString field;
    const std::optional<ForwardingTable> table = decodeForwarding(in, &field);
    const int count = size >= 2 ? int(int16_t(fuzz::le16(data))) : -1;
    const bool sound = size >= 488 && count >= 0 && count <= 20 && entriesSound(data, count);
    require(table.has_value() == sound);
    require(field.isEmpty() == sound);
    if (!table) return 0;

    require(table->count == count);
    const QByteArray encoded = encodeForwarding(*table);
    require(encoded == in.first(8 + 24 * count));
    const QByteArray whole =
        encoded + in.sliced(encoded.size(), 488 - encoded.size()).toByteArray();
    require(decodeForwarding(whole) == table);
    return 0;
}
