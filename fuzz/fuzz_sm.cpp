// The SM retained area over arbitrary bytes: taken exactly when 512 bytes are
// there, each value the signed little-endian word at 4·i, and encoded back to
// the same 512 bytes.
#include "fuzz_support.h"
#include "protocol/sm_block.h"

using namespace kalmo;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView in(data, qsizetype(size));
    const std::optional<SmValues> values = decodeSmBlock(in);
    require(values.has_value() == (size >= 512));
    if (!values) return 0;
    for (int i = 0; i < kSmValues; ++i)
        require((*values)[std::size_t(i)] == qint32(fuzz::le32(data + 4 * i)));
    require(encodeSmBlock(*values) == in.first(512));
    return 0;
}
