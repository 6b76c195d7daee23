// The system parameter block over arbitrary serial replies: refused exactly
// when too short (FlashFlags ends at byte 94), fields decoded before a
// refusal match the whole reply's and none is half written; the same data
// laid out as a network reply decodes to the same record; the write image
// carries every writable field from its place in the reply; and the port
// lists read from the port bytes survive being written back.
#include "fuzz_support.h"
#include "protocol/sys_param_block.h"

using namespace kalmo;
using fuzz::require;

namespace {

template <typename T> bool absentOrSame(const std::optional<T> &part, const std::optional<T> &whole)
{
    return !part || part == whole;
}

// Serial bytes 0..87 lie 9 further in the network reply, 88..92 11 further,
// FlashFlags (93..94) at 112.
QByteArray asNetworkReply(const QByteArray &serial)
{
    QByteArray datagram(114, '\0');
    datagram.replace(9, 88, serial.left(88));
    datagram.replace(99, 5, serial.mid(88, 5));
    datagram.replace(112, 2, serial.mid(93, 2));
    return datagram;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzz::rawBytes(data, size);
    QByteArray whole = input;
    if (whole.size() < 95) whole.resize(95, '\x5A');

    SysParamRecord record;
    SysParamPanelItems items;
    decodeSerialSysInfoReply(whole, record, items);
    require(items.BootVersion && items.NoUserProgram && items.Rs485_2MaxErrors &&
            items.Rs485_2CommInterval && items.Rs485_2WaitTime && items.FlashFlags);

    SysParamRecord part;
    SysParamPanelItems partItems;
    const bool refused =
        fuzz::refusedShort([&] { decodeSerialSysInfoReply(input, part, partItems); });
    require(refused == (size < 95));
    if (!refused) require(part == record && partItems == items);
    require(absentOrSame(partItems.BootVersion, items.BootVersion) &&
            absentOrSame(partItems.NoUserProgram, items.NoUserProgram) &&
            absentOrSame(partItems.Rs485_2MaxErrors, items.Rs485_2MaxErrors) &&
            absentOrSame(partItems.FlashFlags, items.FlashFlags));

    SysParamRecord network;
    SysParamPanelItems networkItems;
    decodeNetworkSysParamReply(asNetworkReply(whole), network, networkItems);
    require(network == record && networkItems == items);

    const Rs485_2Settings rs{*items.Rs485_2MaxErrors, *items.Rs485_2CommInterval,
                             *items.Rs485_2WaitTime};
    const QByteArray image = sysParamWriteImage(record, rs);
    require(image.size() == 52);
    require(image.first(4) == whole.sliced(3, 4) && image.sliced(4, 5) == whole.sliced(7, 5));
    require(image.sliced(9, 10) == whole.sliced(19, 10));
    require(image.sliced(19, 9) == whole.sliced(46, 9));
    require(quint8(image[28]) == (quint8(whole[55]) & 0x7F));
    require(image.sliced(29, 9) == whole.sliced(56, 9));
    require(image.sliced(38, 4) == whole.sliced(29, 4));
    require(image.sliced(42, 2) == whole.sliced(65, 2));
    require(image.sliced(44, 3) == QByteArrayView("\x00\x55\xAA", 3));
    require(image.sliced(47, 5) == whole.sliced(88, 5));

    const QByteArray frame = setSysInfoFrame(record, rs);
    require(frame.size() == 91 && frame[2] == 4 && frame.sliced(3, 52) == image);

    for (const auto &[line, protocol] : {std::pair{record.Port1Line, record.Port1Protocol},
                                         std::pair{record.Port2Line, record.Port2Protocol}}) {
        const PortSettings shown = decodePortSettings(line, protocol);
        require(!invalidPortList(shown));
        quint8 l = line, p = protocol;
        encodePortSettings(shown, l, p);
        require(decodePortSettings(l, p) == shown);
        if (shown.baud >= 0 && shown.protocol >= 0 && shown.parity != 4) require(l == line);
    }
    require(roleIndex(record.Port1Role) == (record.Port1Role <= 1 ? record.Port1Role : -1));
    return 0;
}
