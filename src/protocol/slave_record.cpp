#include "protocol/slave_record.h"

#include "core/bytes.h"

namespace kalmo {

const QStringList &slaveFormatNames()
{
    static const QStringList names = {QStringLiteral("ModbusRTU"), QStringLiteral("ModbusASCII")};
    return names;
}

QByteArray encodeSlaveRecord(const SlaveRecord &r)
{
    QByteArray bytes(kSlaveRecordLength, '\0');
    setByteAt(bytes, 0, r.number);
    setByteAt(bytes, 1, r.writeMarker);
    setByteAt(bytes, 4, r.address);
    setByteAt(bytes, 5, r.format);
    setLe16At(bytes, 6, r.typeCode);
    setLe16At(bytes, 8, r.scanPeriod);
    setByteAt(bytes, 10, r.scanFunction);
    return bytes;
}

std::optional<SlaveRecord> decodeSlaveRecord(QByteArrayView data)
{
    if (data.size() < kSlaveRecordLength) return std::nullopt;
    SlaveRecord r;
    r.number = byteAt(data, 0);
    r.writeMarker = byteAt(data, 1);
    r.address = byteAt(data, 4);
    r.format = byteAt(data, 5);
    r.typeCode = le16At(data, 6);
    r.scanPeriod = le16At(data, 8);
    r.scanFunction = byteAt(data, 10);
    return r;
}

} // namespace kalmo
