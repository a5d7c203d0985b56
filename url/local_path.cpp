// Local path tests, file-name extensions, and "file:" URIs and relative paths made absolute.
#include "url/local_path.h"

#include <filesystem>

#include "base/ascii_text.h"
#include "url/protocol.h"

namespace tellweir {

namespace {

constexpr std::string_view kFileScheme = "file:";

// `text` with every "%XX" replaced by its byte; nothing for a bad escape or an escaped NUL (which
// no path can hold).
std::optional<std::string> PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = HexDigitValue(text[i + 1]);
        const int low = HexDigitValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

}  // namespace

bool IsLocalPath(std::string_view text) {
    if (text.size() >= 2) {
        if (IsAsciiLetter(text[0]) && text[1] == ':') return true;
        if (IsPathSeparator(text[0]) && IsPathSeparator(text[1])) return true;
    }
    return text.starts_with("file:") || text.starts_with('/') || text.starts_with("~/");
}

std::string_view GetFileExtension(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return {};
    const std::size_t separator = path.find_last_of("/\\");
    if (separator != std::string_view::npos && separator > dot) return {};
    return path.substr(dot);
}

std::optional<std::string> PathFromFileUri(std::string_view uri) {
    if (!StartsWithIgnoreAsciiCase(uri, kFileScheme)) return std::nullopt;
    std::string_view rest = uri.substr(kFileScheme.size());
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (rest.starts_with("//")) {
        // An authority: empty or "localhost" is this machine; any other host is not.
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && !EqualsIgnoreAsciiCase(host, "localhost")) return std::nullopt;
        if (slash == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with('/')) return std::nullopt;
    return PercentDecode(rest);
}

bool IsRelativeLocalPath(std::string_view text) {
    if (text.empty() || IsLocalPath(text) || StartsWithIgnoreAsciiCase(text, kFileScheme))
        return false;
    return text.find("://") == std::string_view::npos &&
           DetectProtocol(text, true).id == ProtocolId::Unknown;
}

std::string AbsolutePathIn(std::string_view folder, std::string_view relative) {
    return (std::filesystem::path(folder) / std::filesystem::path(relative))
        .lexically_normal()
        .string();
}

}  // namespace tellweir
