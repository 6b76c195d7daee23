#include "protocol/announcement.h"

#include "core/bytes.h"

#include <QStringList>

#include <algorithm>
#include <iterator>

namespace kalmo {

namespace {

QByteArray fixedText(const QByteArray &text)
{
    QByteArray bytes = text.left(kIdentityTextLength);
    bytes.append(kIdentityTextLength - bytes.size(), '\0');
    return bytes;
}

} // namespace

QString dottedAddress(const Ipv4Address &address)
{
    QStringList parts;
    for (const quint8 octet : address)
        parts << QString::number(octet);
    return parts.join(u'.');
}

QByteArray Announcement::typeCode() const
{
    return deviceId.mid(kTypeCodeOffsetInDeviceId, kTypeCodeLength);
}

std::optional<Announcement> parseAnnouncement(QByteArrayView datagram)
{
    if (datagram.size() != kAnnouncementLength || quint8(datagram[0]) != kAnnouncementKind)
        return std::nullopt;
    Announcement a;
    a.deviceId = datagram.sliced(kAnnouncementDeviceIdOffset, kIdentityTextLength).toByteArray();
    a.pdTag = datagram.sliced(kAnnouncementPdTagOffset, kIdentityTextLength).toByteArray();
    for (qsizetype i = 0; i < 4; ++i)
        a.address[size_t(i)] = quint8(datagram[kAnnouncementAddressOffset + i]);
    a.servicePort = le16At(datagram, kAnnouncementPortOffset);
    return a;
}

QByteArray encodeAnnouncement(const Announcement &announcement)
{
    QByteArray datagram(kAnnouncementLength, '\0');
    datagram[0] = char(kAnnouncementKind);
    const QByteArray id = fixedText(announcement.deviceId);
    const QByteArray tag = fixedText(announcement.pdTag);
    std::copy(id.cbegin(), id.cend(), datagram.begin() + kAnnouncementDeviceIdOffset);
    std::copy(tag.cbegin(), tag.cend(), datagram.begin() + kAnnouncementPdTagOffset);
    for (qsizetype i = 0; i < 4; ++i)
        datagram[kAnnouncementAddressOffset + i] = char(announcement.address[size_t(i)]);
    setLe16At(datagram, kAnnouncementPortOffset, announcement.servicePort);
    return datagram;
}

} // namespace kalmo
