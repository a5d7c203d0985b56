// Directory searches over stat/statx and readdir.
#include "transfer/find_file.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include "transfer/file_path.h"

namespace tellweir {
namespace {

// Whole seconds: the times are shown and compared as "%m/%d/%Y %H:%M:%S" texts, and a rounded
// fraction would move them to the next second.
DateTime FromTimestamp(const struct statx_timestamp& t) {
    return DateTime::FromUnixTime(static_cast<std::time_t>(t.tv_sec));
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (mask.empty() || mask == "*" || mask == "*.*") return true;
    const std::string pattern(mask);
    const std::string text(name);
    return ::fnmatch(pattern.c_str(), text.c_str(), FNM_NOESCAPE) == 0;
}

CFindFile::~CFindFile() {
    Close();
}

void CFindFile::Close() {
    if (dir_) ::closedir(dir_);
    dir_ = nullptr;
    found_ = false;
}

bool CFindFile::Describe(const std::string& path, std::string_view name) {
    constexpr unsigned kFields = STATX_BASIC_STATS | STATX_BTIME;
    struct statx sx {};
    struct stat own {};
    symlink_ = ::lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
    // A dangling link is described as itself, so that it can still be listed and deleted.
    if (::statx(AT_FDCWD, path.c_str(), 0, kFields, &sx) != 0 &&
        (!symlink_ || ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, kFields, &sx) != 0))
        return false;
    name_.assign(name);
    directory_ = S_ISDIR(sx.stx_mode);
    readOnly_ = (sx.stx_mode & S_IWUSR) == 0;
    size_ = directory_ ? 0 : static_cast<std::int64_t>(sx.stx_size);
    lastWrite_ = FromTimestamp(sx.stx_mtime);
    lastAccess_ = FromTimestamp(sx.stx_atime);
    creation_.reset();
    if (sx.stx_mask & STATX_BTIME) creation_ = FromTimestamp(sx.stx_btime);
    found_ = true;
    return true;
}

bool CFindFile::Find(std::string_view path) {
    Close();
    searchPath_.assign(path);
    if (path.empty()) return false;
    std::string native = NativePath(path);
    // A trailing separator asks for a directory; the name is the last component without it.
    std::string_view trimmed = native;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.remove_suffix(1);
    std::string_view name = trimmed;
    if (const std::size_t slash = trimmed.rfind('/');
        slash != std::string_view::npos && trimmed.size() > 1)
        name = trimmed.substr(slash + 1);
    return Describe(native, name);
}

bool CFindFile::FindFirst(std::string_view directory, std::string_view mask) {
    Close();
    searchPath_.assign(directory);
    mask_.assign(mask);
    std::string native = NativePath(directory);
    if (native.empty()) return false;
    dir_ = ::opendir(native.c_str());
    if (!dir_) return false;
    return FindNext();
}

bool CFindFile::FindNext() {
    found_ = false;
    if (!dir_) return false;
    std::string base = NativePath(searchPath_);
    if (base.back() != '/') base.push_back('/');
    while (const dirent* entry = ::readdir(dir_)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (!MatchesMask(name, mask_)) continue;
        // An entry that vanished since readdir, or a dangling link, is passed over.
        if (Describe(base + entry->d_name, name)) return true;
    }
    return false;
}

}  // namespace tellweir
