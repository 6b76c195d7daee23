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

// The profile of a link; Link::None has the serial one.
constexpr const LinkProfile &linkProfile(Link link)
{
    return link == Link::Network ? kNetworkProfile : kSerialProfile;
}

} // namespace kalmo
