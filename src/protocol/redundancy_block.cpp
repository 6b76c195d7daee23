#include "protocol/redundancy_block.h"

#include <QtEndian>

namespace kalmo {

namespace {

constexpr qsizetype kSlaveOffset = 16;
constexpr qsizetype kSlaveLength = 12;

// A serial start list: 0 "不使能", 1 "COM0", 2 "COM1".
int serialChoice(quint8 flags, int flagBit, quint8 ports, int portBit)
{
    if (!(flags & (1u << flagBit))) return 0;
    return (ports & (1u << portBit)) ? 2 : 1;
}

quint8 withBit(quint8 byte, int bit, bool on)
{
    return on ? quint8(byte | (1u << bit)) : quint8(byte & ~(1u << bit));
}

} // namespace

std::array<int, 5> RedundancySlave::choices() const
{
    return {flags & 1, serialChoice(flags, 1, ports, 0), (flags >> 2) & 1,
            serialChoice(flags, 3, ports, 4), (flags >> 4) & 1};
}

void RedundancySlave::setChoices(const std::array<int, 5> &c)
{
    flags = withBit(flags, 0, c[0] == 1);
    flags = withBit(flags, 1, c[1] != 0);
    flags = withBit(flags, 2, c[2] == 1);
    flags = withBit(flags, 3, c[3] != 0);
    flags = withBit(flags, 4, c[4] == 1);
    // A port bit counts only while its serial start is on; otherwise it is kept.
    if (c[1] != 0) ports = withBit(ports, 0, c[1] == 2);
    if (c[3] != 0) ports = withBit(ports, 4, c[3] == 2);
}

const QStringList &redundancyTypeNames()
{
    static const QStringList names = {QStringLiteral("未定义"), QStringLiteral("串口冗余系统"),
                                      QStringLiteral("以太网冗余系统")};
    return names;
}

const QStringList &redundancyRoleNames()
{
    static const QStringList names = {QStringLiteral("未定义"), QStringLiteral("活动设备"),
                                      QStringLiteral("备份设备")};
    return names;
}

const QStringList &redundancyLevelNames()
{
    static const QStringList names = {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                                      QStringLiteral("3")};
    return names;
}

QStringList areaMaskANames()
{
    QStringList names = {QStringLiteral("SMW0~255"), QStringLiteral("SMW256~511")};
    for (int j = 0; j < kAreaMaskABits - 2; ++j)
        names << QStringLiteral("VW%1~%2").arg(512 * j).arg(512 * j + 511);
    return names;
}

const QStringList &areaMaskBNames()
{
    static const QStringList names = {
        QStringLiteral("Q区 L区"),     QStringLiteral("M区前半段"),   QStringLiteral("M区后半段"),
        QStringLiteral("S区"),         QStringLiteral("T区"),         QStringLiteral("C区"),
        QStringLiteral("AI AQ区"),     QStringLiteral("XI区"),        QStringLiteral("XQ区"),
        QStringLiteral("XAI区前半段"), QStringLiteral("XAI区后半段"), QStringLiteral("XAQ区前半段"),
        QStringLiteral("XAQ区后半段"), QStringLiteral("PAI区"),       QStringLiteral("PAQ区")};
    return names;
}

QByteArray encodeRedundancy(const RedundancyRecord &r)
{
    QByteArray block(kRedundancyLength, '\0');
    char *d = block.data();
    d[0] = char(r.started);
    d[1] = char(r.type);
    d[2] = char(r.role);
    d[3] = char(r.level);
    qToLittleEndian<quint32>(r.maskA, d + 4);
    qToLittleEndian<quint32>(r.maskB, d + 8);
    std::copy(r.reserved.begin(), r.reserved.end(), d + 12);
    for (int k = 0; k < kRedundancySlaves; ++k) {
        const RedundancySlave &s = r.slaves[std::size_t(k)];
        char *p = d + kSlaveOffset + kSlaveLength * k;
        p[0] = char(s.flags);
        p[1] = char(s.ports);
        qToLittleEndian<qint16>(s.maxErrors, p + 2);
        qToLittleEndian<qint16>(s.switchTime, p + 4);
        qToLittleEndian<qint16>(s.address, p + 6);
        std::copy(s.reserved.begin(), s.reserved.end(), p + 8);
    }
    return block;
}

std::optional<RedundancyRecord> decodeRedundancy(QByteArrayView data, QString *badField)
{
    const auto refuse = [badField](const QString &field) {
        if (badField) *badField = field;
        return std::nullopt;
    };
    if (data.size() < kRedundancyLength) return refuse(QStringLiteral("冗余信息"));
    const auto *d = reinterpret_cast<const uchar *>(data.data());
    RedundancyRecord r;
    r.started = d[0];
    r.type = d[1];
    r.role = d[2];
    r.level = d[3];
    if (r.type >= redundancyTypeNames().size()) return refuse(QStringLiteral("冗余类型"));
    if (r.role >= redundancyRoleNames().size()) return refuse(QStringLiteral("设备角色"));
    if (r.level >= redundancyLevelNames().size()) return refuse(QStringLiteral("容错级别"));
    r.maskA = qFromLittleEndian<quint32>(d + 4);
    r.maskB = qFromLittleEndian<quint32>(d + 8);
    std::copy(d + 12, d + 16, r.reserved.begin());
    for (int k = 0; k < kRedundancySlaves; ++k) {
        RedundancySlave &s = r.slaves[std::size_t(k)];
        const uchar *p = d + kSlaveOffset + kSlaveLength * k;
        s.flags = p[0];
        s.ports = p[1];
        s.maxErrors = qFromLittleEndian<qint16>(p + 2);
        s.switchTime = qFromLittleEndian<qint16>(p + 4);
        s.address = qFromLittleEndian<qint16>(p + 6);
        std::copy(p + 8, p + 12, s.reserved.begin());
    }
    return r;
}

} // namespace kalmo
