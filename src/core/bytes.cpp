#include "core/bytes.h"

#include "core/error_log.h"

namespace kalmo {

quint8 byteAt(QByteArrayView bytes, qsizetype index)
{
    if (index < 0 || index >= bytes.size()) throw ProcedureError(subscriptOutOfRangeText());
    return static_cast<quint8>(bytes[index]);
}

void setByteAt(QByteArray &bytes, qsizetype index, quint8 value)
{
    if (index < 0 || index >= bytes.size()) throw ProcedureError(subscriptOutOfRangeText());
    bytes[index] = static_cast<char>(value);
}

quint16 le16At(QByteArrayView bytes, qsizetype index)
{
    const quint8 low = byteAt(bytes, index);
    return static_cast<quint16>(low | (byteAt(bytes, index + 1) << 8));
}

quint32 le32At(QByteArrayView bytes, qsizetype index)
{
    const quint16 low = le16At(bytes, index);
    return low | (quint32(le16At(bytes, index + 2)) << 16);
}

void setLe16At(QByteArray &bytes, qsizetype index, quint16 value)
{
    setByteAt(bytes, index, static_cast<quint8>(value & 0xFF));
    setByteAt(bytes, index + 1, static_cast<quint8>(value >> 8));
}

void setLe32At(QByteArray &bytes, qsizetype index, quint32 value)
{
    setLe16At(bytes, index, static_cast<quint16>(value & 0xFFFF));
    setLe16At(bytes, index + 2, static_cast<quint16>(value >> 16));
}

} // namespace kalmo
