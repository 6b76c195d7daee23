// The Zigbee block over arbitrary replies: the first input byte chooses the
// link (bit 0: network, block at 12; else serial, block at 3). Refused exactly
// when the reply is too short for the block; every field from its place, the
// 34 bytes encoded back as they came, the channel boxes giving the mask back,
// and each address byte read back from the text its box shows.
#include "fuzz_support.h"
#include "protocol/zigbee_block.h"

using namespace kalmo;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    const qsizetype offset = (data[0] & 1) ? 12 : kZigbeeSerialOffset;
    const QByteArray reply = fuzz::rawBytes(data + 1, size - 1);
    ZigbeeRecord z;
    const bool refused = fuzz::refusedShort([&] { z = splitZigbeeBlock(reply, offset); });
    require(refused == (reply.size() < offset + 34));
    if (refused) return 0;

    const uint8_t *b = data + 1 + offset;
    require(z.deviceNumber == fuzz::le16(b + 2) && z.channelMask == fuzz::le32(b + 4) &&
            z.enabled == b[24] && z.selfCheckTime == fuzz::le16(b + 32));
    require(zigbeeBlockBytes(z) == reply.mid(offset, 34));

    quint16 boxes = 0;
    for (int k = 0; k < kZigbeeChannelCount; ++k)
        if (zigbeeChannelOn(z.channelMask, k)) boxes |= quint16(1u << k);
    require(withZigbeeChannels(z.channelMask, boxes) == z.channelMask);
    require(withZigbeeChannels(z.channelMask, 0) == (z.channelMask & ~0x07FFF800u));

    for (std::size_t i = 0; i < 8; ++i) {
        require(zigbeeHexByte(zigbeeHexText(z.mac[i])) == z.mac[i]);
        require(zigbeeHexByte(zigbeeHexText(z.extendedPanId[i]).toLower()) == z.extendedPanId[i]);
    }
    const bool timingGood = z.readInterval >= 50 && z.writeInterval >= 50 && z.maxWaitCount != 0 &&
                            z.selfCheckTime != 0;
    require(zigbeeTimingFault(z.readInterval, z.writeInterval, z.maxWaitCount, z.selfCheckTime)
                .has_value() != timingGood);

    // Whatever a box holds: a byte it gives reads back from its shown text.
    const QString box = QString::fromLatin1(reply.mid(offset + 34, 4));
    if (const std::optional<quint8> value = zigbeeHexByte(box))
        require(zigbeeHexByte(zigbeeHexText(*value)) == value);
    return 0;
}
