#include "protocol/zigbee_block.h"

#include "core/bytes.h"

namespace kalmo {

ZigbeeRecord splitZigbeeBlock(const QByteArray &reply, qsizetype offset)
{
    byteAt(reply, offset);
    byteAt(reply, offset + kZigbeeBlockLength - 1);
    const qsizetype o = offset;
    ZigbeeRecord z;
    z.deviceLogic = byteAt(reply, o);
    z.networkType = byteAt(reply, o + 1);
    z.deviceNumber = le16At(reply, o + 2);
    z.channelMask = le32At(reply, o + 4);
    for (qsizetype i = 0; i < 8; ++i) {
        z.mac[std::size_t(i)] = byteAt(reply, o + 8 + i);
        z.extendedPanId[std::size_t(i)] = byteAt(reply, o + 16 + i);
    }
    z.enabled = byteAt(reply, o + 24);
    z.chainAddress = byteAt(reply, o + 25);
    z.readInterval = le16At(reply, o + 26);
    z.writeInterval = le16At(reply, o + 28);
    z.maxWaitCount = le16At(reply, o + 30);
    z.selfCheckTime = le16At(reply, o + 32);
    return z;
}

QByteArray zigbeeBlockBytes(const ZigbeeRecord &z)
{
    QByteArray b(kZigbeeBlockLength, '\0');
    setByteAt(b, 0, z.deviceLogic);
    setByteAt(b, 1, z.networkType);
    setLe16At(b, 2, z.deviceNumber);
    setLe32At(b, 4, z.channelMask);
    for (qsizetype i = 0; i < 8; ++i) {
        setByteAt(b, 8 + i, z.mac[std::size_t(i)]);
        setByteAt(b, 16 + i, z.extendedPanId[std::size_t(i)]);
    }
    setByteAt(b, 24, z.enabled);
    setByteAt(b, 25, z.chainAddress);
    setLe16At(b, 26, z.readInterval);
    setLe16At(b, 28, z.writeInterval);
    setLe16At(b, 30, z.maxWaitCount);
    setLe16At(b, 32, z.selfCheckTime);
    return b;
}

std::optional<quint8> zigbeeHexByte(const QString &text)
{
    quint32 value = 0;
    for (const QChar c : text) {
        const int digit = QStringLiteral("0123456789ABCDEF").indexOf(c.toUpper());
        if (digit < 0 || c.unicode() > 0x7F) return std::nullopt;
        value = value * 16 + quint32(digit);
        if (value > 0xFF) return std::nullopt;
    }
    return quint8(value);
}

QString zigbeeHexText(quint8 value)
{
    return QString::number(value, 16).toUpper();
}

std::optional<QString> zigbeeTimingFault(quint16 readInterval, quint16 writeInterval,
                                         quint16 maxWaitCount, quint16 selfCheckTime)
{
    if (readInterval < kZigbeeMinInterval)
        return QStringLiteral("读时间间隔不合法，请重新输入。该值至少为50");
    if (writeInterval < kZigbeeMinInterval)
        return QStringLiteral("写时间间隔不合法，请重新输入。该值至少为50");
    if (maxWaitCount == 0) return QStringLiteral("最大等待时间不能为0，请重新输入");
    if (selfCheckTime == 0) return QStringLiteral("在线自检时间不能为0，请重新输入");
    return std::nullopt;
}

QString zigbeeTestText(quint8 result)
{
    switch (result) {
    case 0:
        return QStringLiteral("测试zigbee成功");
    case 1:
        return QStringLiteral("测试zigbee失败:  设备未上线");
    case 2:
        return QStringLiteral("测试zigbee失败:  设备不通信");
    default:
        return QStringLiteral("测试zigbee失败:  未知错误");
    }
}

} // namespace kalmo
