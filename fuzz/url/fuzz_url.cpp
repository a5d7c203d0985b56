// Feeds arbitrary bytes to every URL operation that reads outside input: URL texts from
// settings, "Location:" headers and links, content types, and name patterns.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/ascii_text.h"
#include "url/file_type.h"
#include "url/local_path.h"
#include "url/name_pattern.h"
#include "url/protocol.h"
#include "url/url_address.h"
#include "url/url_resolve.h"

namespace {

using namespace tellweir;

void ParseAndCompose(std::string_view text, bool strict) {
    CUrlAddress address;
    std::string path;
    if (!ParseUrl(text, strict, address, path)) return;
    const std::string composed =
        ComposeUrl(address, path, {.path = true, .user = true, .password = true});
    // Composing and parsing again gives the same record, except for what a URL text cannot
    // carry: a host holding ':' (read back as a port), a host ending in white space once its dots
    // were stripped (trimmed by the composer), and a password without a user (dropped).
    if (address.host.find(':') != std::string::npos || TrimAsciiSpace(address.host) != address.host)
        return;
    CUrlAddress expected = address;
    if (expected.user.empty()) expected.password.clear();
    CUrlAddress again;
    std::string againPath;
    if (!ParseUrl(composed, true, again, againPath) || !(again == expected)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    DetectProtocol(text, true);
    DetectProtocol(text, false);
    ParseAndCompose(text, true);
    ParseAndCompose(text, false);
    IsLocalPath(text);

    const std::string_view base = text.substr(0, size / 2);
    const std::string_view reference = text.substr(size / 2);
    ResolveReference(base, reference);
    IsSameSite(base, reference);
    ClassifyContent(base, reference);
    ComposeUrl(ProtocolId::Http, base, reference, 8080, reference, base);

    CNamePattern pattern;
    pattern.Parse(text);
    for (int i = 0; i < 64 && pattern.Next(); ++i) {
    }
    return 0;
}
