#include "network_service.h"

namespace kalmo::sim {

namespace {

quint16 wordAt(QByteArrayView bytes, qsizetype offset)
{
    return static_cast<quint16>(quint8(bytes[offset]) | (quint8(bytes[offset + 1]) << 8));
}

void putWord(QByteArray &bytes, qsizetype offset, quint16 value)
{
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>(value >> 8);
}

} // namespace

std::optional<NetworkRequest> parseNetworkRequest(QByteArrayView datagram)
{
    if (datagram.size() < kNetworkRequestHeaderLength) return std::nullopt;
    const quint8 kind = quint8(datagram[0]);
    if (kind != quint8(NetworkService::Read) && kind != quint8(NetworkService::Write))
        return std::nullopt;

    NetworkRequest r;
    r.service = NetworkService(kind);
    r.lengthField = wordAt(datagram, 4);
    r.sequence = wordAt(datagram, 6);
    r.blockAddress = wordAt(datagram, 10);
    r.blockType = wordAt(datagram, 12);
    r.itemCount = wordAt(datagram, 14);

    const bool lengthAgrees = r.lengthField == datagram.size();
    if (r.service == NetworkService::Read) {
        r.wellFormed = lengthAgrees && datagram.size() == kNetworkRequestHeaderLength;
        return r;
    }
    const qsizetype header = r.blockAddress == kSystemMemoryBlockAddress
                                 ? kNetworkRequestHeaderLength
                                 : kNetworkWriteHeaderLength;
    r.wellFormed = lengthAgrees && datagram.size() >= header;
    if (datagram.size() > header) r.payload = datagram.sliced(header).toByteArray();
    return r;
}

QByteArray buildNetworkReply(NetworkService service, NetworkStatus status, quint16 sequence,
                             quint16 blockAddress, QByteArrayView data)
{
    QByteArray reply(kNetworkReplyHeaderLength, '\0');
    reply[0] = static_cast<char>(quint8(service) | quint8(status));
    putWord(reply, 4, static_cast<quint16>(kNetworkReplyHeaderLength + data.size()));
    putWord(reply, 6, sequence);
    putWord(reply, 10, blockAddress);
    reply.append(data.data(), data.size());
    return reply;
}

} // namespace kalmo::sim
