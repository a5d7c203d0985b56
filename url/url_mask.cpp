// Hiding the passwords of URLs.
#include "url/url_mask.h"

#include "base/ascii_text.h"
#include "url/local_path.h"

namespace tellweir {
namespace {

constexpr std::string_view kSchemeEnd = "://";

// Hides the password of the authority text[start, stop); gives where the authority now ends.
std::size_t MaskAuthority(std::string& text, std::size_t start, std::size_t stop) {
    const std::string_view authority = std::string_view(text).substr(start, stop - start);
    const std::size_t at = authority.rfind('@');
    const std::size_t colon = authority.find(':');
    // No '@', a colon only in the host part, or an empty password: nothing to hide.
    if (at == std::string_view::npos || colon == std::string_view::npos || colon + 1 >= at)
        return stop;
    text.replace(start + colon + 1, at - colon - 1, kMaskedSecret);
    return stop - (at - colon - 1) + kMaskedSecret.size();
}

bool EndsAuthorityInText(char c) {
    return IsPathSeparator(c) || IsAsciiSpace(c) || c == '"' || c == '\'' || c == '<' || c == '>';
}

}  // namespace

std::string MaskUrlPassword(std::string_view url) {
    std::string masked(url);
    // A local path is never read as a URL, so nothing in it is a password.
    if (IsLocalPath(url)) return masked;
    const std::size_t scheme = url.find(kSchemeEnd);
    const std::size_t start = scheme == std::string_view::npos ? 0 : scheme + kSchemeEnd.size();
    std::size_t stop = start;
    while (stop < url.size() && !IsPathSeparator(url[stop]))
        ++stop;
    MaskAuthority(masked, start, stop);
    return masked;
}

std::string MaskUrlPasswordsInText(std::string_view text) {
    std::string masked(text);
    for (std::size_t scheme = masked.find(kSchemeEnd); scheme != std::string::npos;) {
        const std::size_t start = scheme + kSchemeEnd.size();
        std::size_t stop = start;
        while (stop < masked.size() && !EndsAuthorityInText(masked[stop]))
            ++stop;
        scheme = masked.find(kSchemeEnd, MaskAuthority(masked, start, stop));
    }
    return masked;
}

}  // namespace tellweir
