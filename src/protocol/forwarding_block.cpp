#include "protocol/forwarding_block.h"

#include <QtEndian>

namespace kalmo {

namespace {

constexpr qsizetype kEndLength = 12;

void putEnd(char *p, const ForwardingEnd &e)
{
    p[0] = char(e.protocol);
    p[1] = char(e.interfaceIndex);
    std::copy(e.reserved.begin(), e.reserved.end(), p + 2);
    std::copy(e.ip.begin(), e.ip.end(), p + 4);
    qToLittleEndian<quint16>(e.port, p + 8);
    std::copy(e.reservedAfterPort.begin(), e.reservedAfterPort.end(), p + 10);
}

ForwardingEnd takeEnd(const uchar *p)
{
    ForwardingEnd e;
    e.protocol = p[0];
    e.interfaceIndex = p[1];
    std::copy(p + 2, p + 4, e.reserved.begin());
    std::copy(p + 4, p + 8, e.ip.begin());
    e.port = qFromLittleEndian<quint16>(p + 8);
    std::copy(p + 10, p + 12, e.reservedAfterPort.begin());
    return e;
}

} // namespace

const QStringList &forwardingProtocolNames()
{
    static const QStringList names = {QStringLiteral("串口透明协议"), QStringLiteral("UDP透明协议"),
                                      QStringLiteral("TCP透明协议"),  QStringLiteral("Modbus TCP"),
                                      QStringLiteral("Modbus UDP"),   QStringLiteral("Modbus RTU"),
                                      QStringLiteral("Modbus ASCII")};
    return names;
}

const QStringList &forwardingInterfaceNames()
{
    static const QStringList names = {QStringLiteral("以太网"), QStringLiteral("串口0"),
                                      QStringLiteral("串口1"), QStringLiteral("循环接口")};
    return names;
}

QString forwardingEntryCaption(int index)
{
    return QStringLiteral("转发配置%1").arg(index + 1);
}

QByteArray encodeForwarding(const ForwardingTable &table)
{
    const int count = qBound(0, table.count, kForwardingEntries);
    QByteArray block(kForwardingHeaderLength + kForwardingEntryLength * count, '\0');
    char *d = block.data();
    qToLittleEndian<qint16>(qint16(count), d);
    std::copy(table.reserved.begin(), table.reserved.end(), d + 2);
    for (int i = 0; i < count; ++i) {
        char *p = d + kForwardingHeaderLength + kForwardingEntryLength * i;
        putEnd(p, table.entries[std::size_t(i)].source);
        putEnd(p + kEndLength, table.entries[std::size_t(i)].destination);
    }
    return block;
}

std::optional<ForwardingTable> decodeForwarding(QByteArrayView data, QString *badField)
{
    const auto refuse = [badField](const QString &field) {
        if (badField) *badField = field;
        return std::nullopt;
    };
    if (data.size() < kForwardingTableLength) return refuse(QStringLiteral("转发配置"));
    const auto *d = reinterpret_cast<const uchar *>(data.data());
    ForwardingTable table;
    table.count = qFromLittleEndian<qint16>(d);
    if (table.count < 0 || table.count > kForwardingEntries)
        return refuse(QStringLiteral("转发数目"));
    std::copy(d + 2, d + kForwardingHeaderLength, table.reserved.begin());
    for (int i = 0; i < kForwardingEntries; ++i) {
        const uchar *p = d + kForwardingHeaderLength + kForwardingEntryLength * i;
        ForwardingEntry &entry = table.entries[std::size_t(i)];
        entry = {takeEnd(p), takeEnd(p + kEndLength)};
        if (i >= table.count) continue;
        for (const auto &[end, side] : {std::pair{&entry.source, QStringLiteral("源")},
                                        std::pair{&entry.destination, QStringLiteral("目的")}}) {
            if (end->protocol >= forwardingProtocolNames().size())
                return refuse(forwardingEntryCaption(i) + side + QStringLiteral("协议"));
            if (end->interfaceIndex >= forwardingInterfaceNames().size())
                return refuse(forwardingEntryCaption(i) + side + QStringLiteral("接口"));
        }
    }
    return table;
}

QByteArray encodeSlaveMap(const SlaveMap &map)
{
    QByteArray block(kSlaveMapLength, '\0');
    for (std::size_t i = 0; i < map.size(); ++i) {
        qToLittleEndian<quint16>(map[i].start, block.data() + 4 * i);
        qToLittleEndian<quint16>(map[i].end, block.data() + 4 * i + 2);
    }
    return block;
}

std::optional<SlaveMap> decodeSlaveMap(QByteArrayView data)
{
    if (data.size() < kSlaveMapLength) return std::nullopt;
    const auto *d = reinterpret_cast<const uchar *>(data.data());
    SlaveMap map;
    for (std::size_t i = 0; i < map.size(); ++i)
        map[i] = {qFromLittleEndian<quint16>(d + 4 * i), qFromLittleEndian<quint16>(d + 4 * i + 2)};
    return map;
}

} // namespace kalmo
