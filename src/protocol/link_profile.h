#pragma once
// What differs between the two links in the bytes they carry: where a reply's
// data start, whether requests are framed with header, checksum and trailer
// (serial) or carry sequence numbers (network).
#include "protocol/command_tables.h"

#include <QtGlobal>

namespace kalmo {

struct LinkProfile
{
    Link link;
    qsizetype dataOffset; // the first data byte of a reply
    bool framed;          // header, CRC and trailer around every request
    bool sequenced;       // read and write sequence numbers in every request
};

inline constexpr LinkProfile kSerialProfile{Link::Serial, 3, true, false};
inline constexpr LinkProfile kNetworkProfile{Link::Network, 12, false, true};
// No link chosen: nothing goes out.
inline constexpr LinkProfile kNoLinkProfile{Link::None, 0, false, false};

constexpr const LinkProfile &linkProfile(Link link)
{
    switch (link) {
    case Link::Serial:
        return kSerialProfile;
    case Link::Network:
        return kNetworkProfile;
    case Link::None:
        break;
    }
    return kNoLinkProfile;
}

} // namespace kalmo
