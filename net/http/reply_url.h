// URLs a reply hands over (Location, Content-Location) made safe to send in a later request.
#pragma once

#include <string>
#include <string_view>

namespace tellweir {

// `value` with every line break and the blanks and tabs after it (a folded header value) turned
// into one blank, then every byte below 0x21 and 0x7F percent-escaped ("%20", "%09", "%7F");
// every other byte, '%' among them, stays as it is. No byte of a reply can then end a request
// line or start a header of a later request.
std::string EscapeReplyUrl(std::string_view value);

}  // namespace tellweir
