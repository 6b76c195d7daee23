// A firmware file of arbitrary bytes cut into packets: refused exactly when
// empty; otherwise ceil(size / 512) packets of 512 bytes that hold the file
// in order and 0xFF after its end. The CRC-32 shown before
// an upgrade and the serial CRC-16 agree with bit-at-a-time references, the
// CRC-16 also when fed packet by packet. (The size limit lies far beyond a
// fuzz input; the unit tests pin it.)
#include "fuzz_support.h"
#include "protocol/crc.h"
#include "protocol/upgrade_package.h"

using namespace kalmo;
using fuzz::require;

namespace {

quint32 crc32Reference(QByteArrayView bytes)
{
    quint32 reg = 0xFFFFFFFFu;
    for (const char c : bytes) {
        reg ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 1u) ? (reg >> 1) ^ 0xEDB88320u : reg >> 1;
    }
    return ~reg;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray image = fuzz::rawBytes(data, size);
    const qsizetype n = image.size();

    const UpgradePackage package = SetBin(image);
    require(package.refusal == (n == 0 ? UpgradeRefusal::Empty : UpgradeRefusal::None));
    require(upgradeRefusalText(package.refusal, QStringLiteral("f")).isEmpty() ==
            package.accepted());
    if (!package.accepted()) {
        require(package.UpgradePackets.isEmpty() && package.UpgradePacketCount == 0);
        return 0;
    }
    const qsizetype count = (n + 511) / 512;
    require(package.UpgradePacketCount == count && package.UpgradePackets.size() == count);

    quint16 crc = kCrcInitial;
    for (qsizetype i = 0; i < count; ++i) {
        const QByteArray &packet = package.UpgradePackets[i];
        require(packet.size() == 512);
        const qsizetype held = qMin<qsizetype>(512, n - 512 * i);
        require(packet.first(held) == QByteArrayView(image).sliced(512 * i, held));
        for (qsizetype k = held; k < 512; ++k)
            require(quint8(packet[k]) == 0xFF);
        crc = crc16Modbus(packet, crc);
    }
    QByteArray padded = image;
    padded.resize(512 * count, '\xFF');
    require(crc == crc16ModbusBitwise(padded));
    require(crc32(image) == crc32Reference(image));
    return 0;
}
