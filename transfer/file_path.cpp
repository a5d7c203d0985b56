// Path arithmetic and the well-known folders.
#include "transfer/file_path.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "url/local_path.h"

namespace tellweir {
namespace {

std::size_t LastSeparator(std::string_view path) {
    return path.find_last_of("/\\");
}

}  // namespace

bool IsAbsolutePath(std::string_view path) {
    return IsLocalPath(path);
}

std::string_view PathExtension(std::string_view path) {
    return GetFileExtension(path);
}

std::string_view PathFileName(std::string_view path) {
    const std::size_t separator = LastSeparator(path);
    if (separator == std::string_view::npos) return {};
    return path.substr(separator + 1);
}

std::string_view PathDirectory(std::string_view path) {
    const std::size_t separator = LastSeparator(path);
    if (separator == std::string_view::npos) return path;
    return path.substr(0, separator + 1);
}

std::string JoinPath(std::string_view base, std::string_view relative) {
    std::string result;
    if (IsAbsolutePath(relative)) {
        result.assign(relative);
        return result;
    }
    relative = TrimLeadingAscii(relative, IsPathSeparator);
    relative = TrimTrailingAscii(relative, IsPathSeparator);
    if (!base.empty()) {
        // The root "/" loses its only character here and comes back as the joining '/'.
        result.assign(TrimTrailingAscii(base, IsPathSeparator));
        result.push_back('/');
    }
    result.append(relative);
    for (char& c : result)
        if (c == '\\') c = '/';
    return result;
}

std::string NativePath(std::string_view path) {
    std::string result;
    if (path.size() >= 2 && path[0] == '~' && IsPathSeparator(path[1])) {
        const char* home = std::getenv("HOME");
        result.assign(home ? home : "");
        path.remove_prefix(1);
    }
    result.append(path);
    for (char& c : result)
        if (c == '\\') c = '/';
    return result;
}

std::string LongPath(std::string_view path) {
    return NativePath(path);
}

std::string TemporaryFolder() {
    const char* dir = std::getenv("TMPDIR");
    std::string_view folder = (dir && *dir) ? std::string_view(dir) : std::string_view("/tmp");
    const std::string_view trimmed = TrimTrailingAscii(folder, IsPathSeparator);
    return std::string(trimmed.empty() ? folder.substr(0, 1) : trimmed);
}

std::string ModulePath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string ModuleFolder() {
    return std::string(PathDirectory(ModulePath()));
}

std::string PathInModuleFolder(std::string_view name) {
    const std::string folder = ModuleFolder();
    if (folder.empty()) return {};
    return JoinPath(folder, name);
}

}  // namespace tellweir
