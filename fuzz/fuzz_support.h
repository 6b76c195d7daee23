#pragma once
// What the block-level fuzz targets share: a failed check aborts, so libFuzzer
// keeps the input; the input is used in place, never copied, so a read one
// byte past its end is caught by AddressSanitizer.
#include "core/error_log.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace fuzz {

inline void require(bool condition)
{
    if (!condition) std::abort();
}

// The input as a QByteArray over the fuzzer's own buffer (no terminating NUL
// of a copy to hide an over-read).
inline QByteArray rawBytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Whether `decode` gave up with the decoders' "subscript out of range"; any
// other exception escapes and counts as a crash.
template <typename Decode> bool refusedShort(Decode &&decode)
{
    try {
        decode();
        return false;
    } catch (const kalmo::ProcedureError &) {
        return true;
    }
}

inline unsigned le16(const uint8_t *p)
{
    return unsigned(p[0]) | unsigned(p[1]) << 8;
}

inline uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace fuzz
