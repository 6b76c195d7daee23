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

} // namespace kalmo
