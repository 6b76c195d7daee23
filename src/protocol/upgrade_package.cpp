#include "protocol/upgrade_package.h"

namespace kalmo {

UpgradePackage SetBin(QByteArrayView image)
{
    UpgradePackage package;
    if (image.isEmpty()) {
        package.refusal = UpgradeRefusal::Empty;
        return package;
    }
    if (image.size() > kUpgradeMaxImageSize) {
        package.refusal = UpgradeRefusal::TooLarge;
        return package;
    }
    const qsizetype count = (image.size() + kUpgradePacketSize - 1) / kUpgradePacketSize;
    package.UpgradePackets.reserve(count);
    for (qsizetype offset = 0; offset < image.size(); offset += kUpgradePacketSize) {
        QByteArray packet = image.sliced(offset, qMin(kUpgradePacketSize, image.size() - offset)).toByteArray();
        packet.resize(kUpgradePacketSize, kUpgradePadByte);
        package.UpgradePackets.append(packet);
    }
    package.UpgradePacketCount = static_cast<qint16>(count);
    return package;
}

QString upgradeRefusalText(UpgradeRefusal refusal, const QString &path)
{
    switch (refusal) {
    case UpgradeRefusal::None:
        return {};
    case UpgradeRefusal::Empty:
        return QStringLiteral("文件已损坏，读取失败: ") + path;
    case UpgradeRefusal::TooLarge:
        return QStringLiteral("升级文件过大，最多%1包（%2字节），无法升级: ")
                   .arg(kUpgradeMaxPacketCount)
                   .arg(kUpgradeMaxImageSize)
            + path;
    }
    return {};
}

} // namespace kalmo
