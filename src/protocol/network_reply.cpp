#include "protocol/network_reply.h"

#include "core/bytes.h"

#include <optional>

namespace kalmo {

namespace {

// One service's test: the verdict for a reply of that service, or nothing
// when byte 0 names another service.
std::optional<NetworkReplyVerdict> testService(quint8 first, int sequence, quint8 service,
                                               qint32 outstanding, NetworkReplyKind good,
                                               NetworkReplyKind error)
{
    if ((first & kReplyServiceMask) != service) return std::nullopt;
    NetworkReplyVerdict v;
    v.sequence = sequence;
    if ((first & kReplyStatusMask) != kReplyStatusOk)
        v.kind = error;
    else if (sequence < 0)
        v.ignoredBecause = IgnoredBecause::TooShort;
    else if (sequence != outstanding)
        v.ignoredBecause = IgnoredBecause::WrongSequence;
    else
        v.kind = good;
    return v;
}

} // namespace

QString NetworkReplyVerdict::statusText() const
{
    switch (kind) {
    case NetworkReplyKind::ReadError:
        return kReadServiceErrorText;
    case NetworkReplyKind::WriteError:
        return kWriteServiceFailedText;
    default:
        return {};
    }
}

NetworkReplyVerdict classifyNetworkReply(QByteArrayView datagram, qint32 readSequence,
                                         qint32 writeSequence)
{
    NetworkReplyVerdict verdict;
    if (datagram.isEmpty()) {
        verdict.ignoredBecause = IgnoredBecause::Empty;
        return verdict;
    }
    const quint8 first = quint8(datagram[0]);
    if (datagram.size() >= kReplySequenceOffset + 2)
        verdict.sequence = le16At(datagram, kReplySequenceOffset);
    verdict.ignoredBecause = IgnoredBecause::UnknownKind;

    if (auto read = testService(first, verdict.sequence, kReadReplyService, readSequence,
                                NetworkReplyKind::ReadReply, NetworkReplyKind::ReadError))
        verdict = *read;
    if (auto write = testService(first, verdict.sequence, kWriteReplyService, writeSequence,
                                 NetworkReplyKind::WriteReply, NetworkReplyKind::WriteError))
        verdict = *write;
    return verdict;
}

} // namespace kalmo
