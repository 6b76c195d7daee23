#include "protocol/sm_block.h"

#include <QString>
#include <QtEndian>

namespace kalmo {

QByteArray encodeSmBlock(const SmValues &values)
{
    QByteArray block(kSmLength, '\0');
    for (int i = 0; i < kSmValues; ++i)
        qToLittleEndian<qint32>(values[std::size_t(i)], block.data() + 4 * i);
    return block;
}

std::optional<SmValues> decodeSmBlock(QByteArrayView data)
{
    if (data.size() < kSmLength) return std::nullopt;
    SmValues values{};
    for (int i = 0; i < kSmValues; ++i)
        values[std::size_t(i)] = qFromLittleEndian<qint32>(data.data() + 4 * i);
    return values;
}

QString smLabel(int index)
{
    return QStringLiteral("SMD%1").arg(256 + 2 * index);
}

} // namespace kalmo
