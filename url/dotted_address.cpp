// Reading dotted decimal IPv4 addresses.
#include "url/dotted_address.h"

#include "base/ascii_text.h"

namespace tellweir {

std::optional<Ipv4Address> ParseDottedAddress(std::string_view text) {
    Ipv4Address address = 0;
    int part = 0;  // index of the part being read
    unsigned value = 0;
    for (char c : text) {
        if (c == '.') {
            address |= value << (8 * (3 - part));
            value = 0;
            if (++part == 4) break;
        } else if (IsAsciiDigit(c)) {
            value = value * 10 + unsigned(c - '0');
            if (value > 255) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (part < 4) address |= value << (8 * (3 - part));
    // Neither the unspecified nor the broadcast address is one to connect to.
    if (address == 0 || address == 0xFFFFFFFF) return std::nullopt;
    return address;
}

}  // namespace tellweir
