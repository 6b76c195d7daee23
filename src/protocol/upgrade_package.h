#pragma once
// A firmware image cut into the fixed-size packets the upgrade transfer sends
// one per request. The image is opaque: no header, no length field, no
// checksum of its own. Pure: the caller reads the file and shows the texts.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

namespace kalmo {

inline constexpr qsizetype kUpgradePacketSize = 512;
// Fills the last packet after the image's final byte.
inline constexpr char kUpgradePadByte = '\xFF';
// The transfer needs the packet count plus two command-stack entries, whose
// indices end at 10000, so a larger image cannot be queued.
inline constexpr int kUpgradeMaxPacketCount = 9998;
inline constexpr qsizetype kUpgradeMaxImageSize = kUpgradePacketSize * kUpgradeMaxPacketCount;

enum class UpgradeRefusal {
    None,
    Empty,    // nothing to send: shown as a failed read
    TooLarge, // more than kUpgradeMaxPacketCount packets
};

// The packet table and its count, or why there is none.
struct UpgradePackage
{
    // Packet i holds image bytes i·512 .. i·512+511; the last one is padded
    // with kUpgradePadByte when the image length is not a multiple of 512.
    QList<QByteArray> UpgradePackets;
    qint16 UpgradePacketCount = 0;
    UpgradeRefusal refusal = UpgradeRefusal::None;

    bool accepted() const { return refusal == UpgradeRefusal::None; }
};

// Cuts the whole image into packets. An empty image or one of more than
// kUpgradeMaxPacketCount packets is refused with no packets.
UpgradePackage SetBin(QByteArrayView image);

// The message box text for a refused image read from `path`:
//   Empty:    "文件已损坏，读取失败: " followed by the path (as for any failed read);
//   TooLarge: "升级文件过大，最多9998包（5118976字节），无法升级: " followed by the path.
// None gives an empty text.
QString upgradeRefusalText(UpgradeRefusal refusal, const QString &path);

} // namespace kalmo
