#pragma once
// The SM retained area: 128 signed 32-bit values, little-endian, 512 bytes.
#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <optional>

namespace kalmo {

inline constexpr int kSmValues = 128;
inline constexpr qsizetype kSmLength = 4 * kSmValues;

using SmValues = std::array<qint32, kSmValues>;

QByteArray encodeSmBlock(const SmValues &values);
// The first 512 bytes of `data`; nothing when fewer are there.
std::optional<SmValues> decodeSmBlock(QByteArrayView data);

// The caption of value i: "SMD" and its byte address, SMD256 … SMD510.
QString smLabel(int index);

} // namespace kalmo
