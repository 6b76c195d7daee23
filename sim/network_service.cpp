#include "network_service.h"

#include "core/bytes.h"

namespace kalmo::sim {

std::optional<NetworkRequest> parseNetworkRequest(QByteArrayView datagram)
{
    if (datagram.size() < kNetworkRequestHeaderLength) return std::nullopt;
    const quint8 kind = quint8(datagram[0]);
    if (kind != quint8(NetworkService::Read) && kind != quint8(NetworkService::Write))
        return std::nullopt;

    NetworkRequest r;
    r.service = NetworkService(kind);
    r.lengthField = le16At(datagram, 4);
    r.sequence = le16At(datagram, 6);
    r.blockAddress = le16At(datagram, 10);
    r.blockType = le16At(datagram, 12);
    r.itemCount = le16At(datagram, 14);

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
    setLe16At(reply, 4, static_cast<quint16>(kNetworkReplyHeaderLength + data.size()));
    setLe16At(reply, 6, sequence);
    setLe16At(reply, 10, blockAddress);
    reply.append(data.data(), data.size());
    return reply;
}

} // namespace kalmo::sim
