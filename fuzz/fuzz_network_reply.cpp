// The read/write service's reply acceptance over arbitrary datagrams. The
// first four input bytes are the outstanding read and write sequence numbers
// (low byte first), the rest is the datagram. Never a read outside the
// datagram, and the verdict always the one the status bits and the sequence
// number call for.
#include "protocol/network_reply.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kalmo;
    if (size < 4) return 0;
    const int readSequence = data[0] | (data[1] << 8);
    const int writeSequence = data[2] | (data[3] << 8);
    // A real copy, so a read past the end is caught by the sanitizers.
    const QByteArray datagram(reinterpret_cast<const char *>(data + 4), qsizetype(size - 4));
    const qsizetype n = datagram.size();

    const NetworkReplyVerdict v = classifyNetworkReply(datagram, readSequence, writeSequence);
    require(v.sequence == (n >= 8 ? quint8(datagram[6]) | (quint8(datagram[7]) << 8) : -1));
    require(v.statusText().isEmpty() ==
            (v.kind != NetworkReplyKind::ReadError && v.kind != NetworkReplyKind::WriteError));
    require((v.kind == NetworkReplyKind::Ignored) == (v.ignoredBecause != IgnoredBecause::Nothing));
    if (n == 0) {
        require(v.ignoredBecause == IgnoredBecause::Empty);
        return 0;
    }
    const quint8 first = quint8(datagram[0]);
    const bool ok = (first & 0xC0) == 0x40;
    switch (first & 0x3F) {
    case 0x0C:
        if (!ok)
            require(v.kind == NetworkReplyKind::ReadError);
        else if (n < 8)
            require(v.ignoredBecause == IgnoredBecause::TooShort);
        else
            require(v.kind == (v.sequence == readSequence ? NetworkReplyKind::ReadReply
                                                          : NetworkReplyKind::Ignored));
        break;
    case 0x0D:
        if (!ok)
            require(v.kind == NetworkReplyKind::WriteError);
        else if (n < 8)
            require(v.ignoredBecause == IgnoredBecause::TooShort);
        else
            require(v.kind == (v.sequence == writeSequence ? NetworkReplyKind::WriteReply
                                                           : NetworkReplyKind::Ignored));
        break;
    default:
        require(v.ignoredBecause == IgnoredBecause::UnknownKind);
    }
    return 0;
}
