// Local path tests and file-name extensions.
#include "url/local_path.h"

#include "base/ascii_text.h"

namespace tellweir {

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

}  // namespace tellweir
