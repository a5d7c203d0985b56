// Download file names: scheme and host folders plus the whole URL path as one escaped name.
#include "url/download_path.h"

#include <sys/stat.h>

#include <ctime>

#include "base/ascii_text.h"
#include "base/text_format.h"
#include "url/protocol.h"

namespace tellweir {
namespace {

constexpr std::int32_t kLastCounter = 9998;

// lstat, not stat: a dangling symbolic link also occupies the name, and writing through it
// would create a file somewhere else.
bool NameExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// "http://" gives "http", "mailto:" gives "mailto".
std::string_view SchemeFolder(ProtocolId protocol) {
    return TrimAscii(ProtocolPrefix(protocol),
                     [](char c) { return c == ':' || c == '?' || IsPathSeparator(c); });
}

std::string SiteFolder(const CUrlAddress& address) {
    std::string folder(SchemeFolder(address.protocol));
    folder += '/';
    if (!address.user.empty()) {
        folder += address.user;
        folder += '@';
    }
    folder += address.host;
    if (address.port != DefaultPort(address.protocol)) {
        folder += ' ';
        folder += std::to_string(address.port);
    }
    folder += '/';
    return folder;
}

}  // namespace

std::string EscapeFileName(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '<':
            case '>':
            case '*':
            case '?':
            case '"':
            case '\\':
            case '|':
            case '/':
            case ':': {
                const auto code = static_cast<unsigned char>(c);
                escaped += '%';
                escaped += UpperHexDigit(code >> 4);
                escaped += UpperHexDigit(code);
                break;
            }
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string MakeDownloadPath(std::string_view folder, const CUrlAddress& address,
                             std::string_view path, std::int32_t counter) {
    return MakeDownloadPath(folder, address, path, counter,
                            static_cast<std::int64_t>(std::time(nullptr)));
}

std::string MakeDownloadPath(std::string_view folder, const CUrlAddress& address,
                             std::string_view path, std::int32_t counter, std::int64_t nowSeconds) {
    if (address.host.empty() || address.protocol == ProtocolId::Unknown ||
        !IsKnownProtocolId(address.protocol)) {
        return {};
    }

    std::string name(path);
    if (name.empty() || name.ends_with('/')) name += "[default]";
    const std::size_t query = name.find('?');
    if (query != std::string::npos) name.resize(query);

    std::string full;
    if (!folder.empty()) {
        while (folder.ends_with('/'))
            folder.remove_suffix(1);
        full.assign(folder);
        full += '/';
    }
    full += SiteFolder(address);
    full += EscapeFileName(name);
    if (query == std::string::npos) return full;

    for (std::int32_t n = counter; n <= kLastCounter; ++n) {
        std::string candidate = Format("%s[%.4d.%.4d].xdat", full, nowSeconds, n);
        if (!NameExists(candidate)) return candidate;
    }
    return {};
}

}  // namespace tellweir
