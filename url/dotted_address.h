// Dotted decimal IPv4 address texts, read the one way both the socket layer (which connects to
// them without a name lookup) and the proxy choice (which must know where they point) read them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tellweir {

// An IPv4 address in host byte order: 10.1.0.0 is 0x0A010000.
using Ipv4Address = std::uint32_t;

// The address a dotted decimal text stands for, or nothing when the text is not one. Up to four
// parts separated by '.', each of decimal digits with a value of 0 to 255 (an empty part counts
// 0); missing parts are 0 ("10.1" is 10.1.0.0); a '.' after the fourth part ends the parse and
// whatever follows is ignored. Any other character or a part above 255 makes it not an address,
// and so do 0.0.0.0 and 255.255.255.255.
std::optional<Ipv4Address> ParseDottedAddress(std::string_view text);

}  // namespace tellweir
