// The redundancy block over arbitrary bytes: refused exactly when it is short
// or its type (3 entries), role (3) or level (4) lies outside its list; a
// sound block encodes back to the same 208 bytes, and each slave's five lists
// give back the same flag and port bytes.
#include "fuzz_support.h"
#include "protocol/redundancy_block.h"

using namespace kalmo;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView in(data, qsizetype(size));
    QString field;
    const std::optional<RedundancyRecord> r = decodeRedundancy(in, &field);
    const bool sound = size >= 208 && data[1] < 3 && data[2] < 3 && data[3] < 4;
    require(r.has_value() == sound);
    require(field.isEmpty() == sound);
    if (!r) return 0;

    require(encodeRedundancy(*r) == in.first(208));
    for (const RedundancySlave &slave : r->slaves) {
        const std::array<int, 5> c = slave.choices();
        require(c[0] <= 1 && c[1] <= 2 && c[2] <= 1 && c[3] <= 2 && c[4] <= 1);
        RedundancySlave again = slave;
        again.flags = quint8(~slave.flags); // every list bit set wrong first
        again.ports = quint8(~slave.ports);
        again.setChoices(c);
        // Bits no list decides stay as they were; a port bit counts only
        // while its serial start is on.
        require((again.flags & 0x1F) == (slave.flags & 0x1F));
        require((again.flags & 0xE0) == (quint8(~slave.flags) & 0xE0));
        if (c[1] != 0) require((again.ports & 1) == (slave.ports & 1));
        if (c[3] != 0) require((again.ports & 0x10) == (slave.ports & 0x10));
        require((again.ports & 0xEE) == (quint8(~slave.ports) & 0xEE));
        require(again.choices() == c);
    }
    return 0;
}
