// The slave forwarding map over arbitrary bytes: taken exactly when 64 bytes
// are there, each start and end the little-endian word at its place, and
// encoded back to the same 64 bytes.
#include "fuzz_support.h"
#include "protocol/forwarding_block.h"

using namespace kalmo;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView in(data, qsizetype(size));
    const std::optional<SlaveMap> map = decodeSlaveMap(in);
    require(map.has_value() == (size >= 64));
    if (!map) return 0;
    for (std::size_t i = 0; i < map->size(); ++i)
        require((*map)[i].start == fuzz::le16(data + 4 * i) &&
                (*map)[i].end == fuzz::le16(data + 4 * i + 2));
    require(encodeSlaveMap(*map) == in.first(64));
    return 0;
}
