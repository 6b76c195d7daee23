#include "protocol/can_block.h"

namespace kalmo {

const QStringList &canBaudNames()
{
    static const QStringList names = {QStringLiteral("20K"),  QStringLiteral("25K"),
                                      QStringLiteral("50K"),  QStringLiteral("100K"),
                                      QStringLiteral("125K"), QStringLiteral("250K"),
                                      QStringLiteral("500K"), QStringLiteral("1M")};
    return names;
}

const QStringList &canRoleNames()
{
    static const QStringList names = {QStringLiteral("从口"), QStringLiteral("主口")};
    return names;
}

QByteArray encodeCanSettings(const CanSettings &settings)
{
    return QByteArray{} + char(settings.baudIndex) + char(settings.roleIndex);
}

std::optional<CanSettings> decodeCanSettings(QByteArrayView data, QString *badField)
{
    const auto refuse = [badField](const QString &field) {
        if (badField) *badField = field;
        return std::nullopt;
    };
    if (data.size() < kCanBlockLength) return refuse(QStringLiteral("波特率"));
    const CanSettings settings{quint8(data[0]), quint8(data[1])};
    if (settings.baudIndex >= canBaudNames().size()) return refuse(QStringLiteral("波特率"));
    if (settings.roleIndex >= canRoleNames().size()) return refuse(QStringLiteral("主从"));
    return settings;
}

} // namespace kalmo
