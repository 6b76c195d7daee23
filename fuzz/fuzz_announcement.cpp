// Announcement parsing and the device table over arbitrary datagrams: never a
// read outside the datagram, only 91-byte datagrams of kind 4 accepted, every
// field taken from its place, and the encoder giving the same fields back.
#include "protocol/announcement.h"
#include "protocol/device_catalogue.h"
#include "transport/discovery.h"

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
    // A real copy, so a read past the end is caught by the sanitizers.
    const QByteArray datagram(reinterpret_cast<const char *>(data), qsizetype(size));

    const auto a = parseAnnouncement(datagram);
    require(a.has_value() == (size == 91 && data[0] == 4));
    if (!a) return 0;
    require(a->deviceId == datagram.mid(8, 32));
    require(a->pdTag == datagram.mid(40, 32));
    require(a->typeCode() == datagram.mid(25, 3));
    for (int i = 0; i < 4; ++i)
        require(a->address[size_t(i)] == data[72 + i]);
    require(a->servicePort == (data[87] | (data[88] << 8)));

    const QByteArray encoded = encodeAnnouncement(*a);
    require(encoded.size() == 91);
    const auto again = parseAnnouncement(encoded);
    require(again && again->deviceId == a->deviceId && again->pdTag == a->pdTag &&
            again->address == a->address && again->servicePort == a->servicePort);

    // The table: a new device is listed exactly when its code is accepted and
    // it has an address; a repeat only refreshes.
    DeviceTable table;
    const AnnouncementOutcome first = table.take(*a);
    const bool listable = acceptedByDiscovery(a->typeCode()) && a->address != Ipv4Address{};
    require((first.kind == AnnouncementOutcome::Kind::Added) == listable);
    require(table.listedCount() == (listable ? 1 : 0));
    if (listable) {
        require(first.index == 0 && first.itemText == dottedAddress(a->address));
        require(table.take(*a).kind == AnnouncementOutcome::Kind::Refreshed);
        require(table.listedCount() == 1);
        (void)table.entryForItem(0).pdTagText();
    }
    return 0;
}
