// Reference resolution and the same-site test.
#include "url/url_resolve.h"

#include <algorithm>

#include "base/ascii_text.h"
#include "url/local_path.h"
#include "url/url_address.h"

namespace tellweir {
namespace {

// "file:" followed by any slashes and backslashes names a local path; on this system that path
// is absolute, so exactly one leading '/' is kept.
std::string LocalPathOfFileUrl(std::string_view text) {
    text.remove_prefix(5);  // "file:"
    text = TrimLeadingAscii(text, IsPathSeparator);
    std::string path("/");
    path += text;
    return path;
}

void ReplaceAll(std::string& text, char from, char to) {
    std::ranges::replace(text, from, to);
}

void StripTrailing(std::string& text, char c) {
    while (!text.empty() && text.back() == c)
        text.pop_back();
}

// A relative reference against a local file. References from links may use '\' as their
// separator; native paths use '/', so the reference is brought to '/' and the base is kept.
std::string ResolveAgainstLocal(std::string_view base, std::string_view reference) {
    if (IsLocalPath(reference)) return std::string(reference);
    std::string ref(reference);
    ReplaceAll(ref, '\\', '/');
    if (ref.starts_with('/')) return {};

    std::string folder(base);
    if (!folder.ends_with('/')) {
        const std::size_t slash = folder.rfind('/');
        if (slash != std::string::npos) folder.resize(slash + 1);
    }
    StripTrailing(folder, '/');

    std::string_view rest = ref;
    while (rest.starts_with("../")) {
        // Climbing from "/top" leaves the empty text, which the join below turns into the root.
        const std::size_t slash = folder.rfind('/');
        if (slash != std::string::npos) folder.resize(slash);
        rest.remove_prefix(3);
    }
    folder += '/';
    folder += rest;
    return folder;
}

std::string ResolveAgainstUrl(const CUrlAddress& address, std::string path,
                              std::string_view reference) {
    std::string ref(reference);
    ReplaceAll(path, '\\', '/');
    ReplaceAll(ref, '\\', '/');
    if (!path.ends_with('/')) {
        const std::size_t slash = path.rfind('/');
        path.resize(slash == std::string::npos ? 0 : slash);
    }
    StripTrailing(path, '/');
    if (path.empty()) path = "/";

    std::string_view rest = ref;
    while (rest.starts_with("../")) {
        const std::size_t slash = path.rfind('/');
        if (slash == 0 || slash == std::string::npos) {
            path = "/";
        } else {
            path.resize(slash);
        }
        rest.remove_prefix(3);
    }

    std::string newPath;
    if (rest.empty()) {
        newPath = path;
    } else if (rest.front() == '/') {
        newPath = rest;
    } else if (path == "/") {
        newPath = "/" + std::string(rest);
    } else {
        newPath = path + "/" + std::string(rest);
    }
    return ComposeUrl(address, newPath, {.path = true, .user = true});
}

}  // namespace

std::string ResolveReference(std::string_view base, std::string_view reference) {
    if (reference.empty()) return std::string(base);
    if (reference.starts_with("file://")) return LocalPathOfFileUrl(reference);

    CUrlAddress address;
    std::string path;
    if (ParseUrl(reference, true, address, path)) return std::string(reference);
    if (IsLocalPath(base)) return ResolveAgainstLocal(base, reference);
    if (ParseUrl(base, true, address, path)) return ResolveAgainstUrl(address, path, reference);
    return {};
}

bool IsSameSite(std::string_view first, std::string_view second) {
    if (first.empty() || second.empty()) return false;
    const bool firstLocal = IsLocalPath(first);  // "file:" included

    const bool secondFileUrl = second.starts_with("file://");
    const std::string secondPath = secondFileUrl ? LocalPathOfFileUrl(second) : std::string(second);

    if (firstLocal) return IsLocalPath(secondPath);
    if (secondFileUrl || IsLocalPath(secondPath)) return false;

    CUrlAddress a;
    CUrlAddress b;
    std::string path;
    if (!ParseUrl(first, true, a, path) || !ParseUrl(second, true, b, path)) return false;
    return EqualsIgnoreAsciiCase(a.host, b.host);
}

}  // namespace tellweir
