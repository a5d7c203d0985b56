// Temporary file, fsync (unless a cache file) and rename.
#include "store/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace tellweir {

namespace {

// As the kernel's own limit on links followed in one lookup.
constexpr int kMaxLinkHops = 40;
// What Open appends to the file's name; mkstemp fills the Xs with letters and digits.
constexpr std::string_view kTempSuffix = ".tmpXXXXXX";

bool IsTempNameOf(std::string_view entry, std::string_view name) {
    const std::string_view stem = kTempSuffix.substr(0, kTempSuffix.find('X'));
    const std::size_t random = kTempSuffix.size() - stem.size();
    if (entry.size() != name.size() + kTempSuffix.size() || !entry.starts_with(name)) return false;
    entry.remove_prefix(name.size());
    if (!entry.starts_with(stem)) return false;
    entry.remove_prefix(stem.size());
    if (entry.size() != random) return false;
    for (const char c : entry)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

}  // namespace

std::string ResolveFileLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        // A link changed while it was read: look at it again.
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) continue;
        std::string next(target.data(), static_cast<std::size_t>(n));
        if (!next.starts_with('/')) {
            const std::size_t slash = current.find_last_of('/');
            if (slash != std::string::npos) next = current.substr(0, slash + 1) + next;
        }
        current = std::move(next);
    }
    errno = ELOOP;
    return {};
}

CAtomicFileWriter::~CAtomicFileWriter() {
    Abandon();
}

void CAtomicFileWriter::Fail(int error) {
    if (error_ == 0) error_ = error;
    failed_ = true;
}

bool CAtomicFileWriter::Open(const std::string& path, mode_t mode, AtomicWrite kind) {
    Abandon();
    error_ = 0;
    failed_ = false;
    sync_ = kind == AtomicWrite::Durable;
    // The temporary file goes beside the file the rename replaces: the link's target, or for
    // a cache file the link itself.
    path_ = kind == AtomicWrite::Durable ? ResolveFileLinks(path) : path;
    if (path_.empty()) {
        Fail(errno != 0 ? errno : ENOENT);
        return false;
    }
    std::string pattern = path_ + std::string(kTempSuffix);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = mkstemp(name.data());
    if (fd_ < 0) {
        Fail(errno);
        return false;
    }
    tempPath_ = name.data();
    if (fchmod(fd_, mode) != 0) Fail(errno);
    return !failed_;
}

bool WriteFully(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;  // nothing taken and no reason given: trying again would spin
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool CAtomicFileWriter::Write(std::string_view data) {
    if (fd_ < 0 || failed_) return false;
    if (WriteFully(fd_, data)) return true;
    Fail(errno);
    return false;
}

bool CAtomicFileWriter::Commit() {
    if (fd_ < 0) return false;
    if (!failed_ && sync_ && ::fsync(fd_) != 0) Fail(errno);
    if (::close(fd_) != 0) Fail(errno);
    fd_ = -1;
    if (!failed_ && std::rename(tempPath_.c_str(), path_.c_str()) != 0) Fail(errno);
    if (failed_) ::unlink(tempPath_.c_str());
    tempPath_.clear();
    return !failed_;
}

void CAtomicFileWriter::Abandon() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    ::unlink(tempPath_.c_str());
    tempPath_.clear();
}

int RemoveStaleTempFiles(const std::string& path) {
    const std::string target = ResolveFileLinks(path);
    if (target.empty()) return 0;
    const std::size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTempNameOf(entry->d_name, name)) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

bool WriteFileAtomically(const std::string& path, std::string_view content, mode_t mode,
                         AtomicWrite kind) {
    CAtomicFileWriter writer;
    return writer.Open(path, mode, kind) && writer.Write(content) && writer.Commit();
}

}  // namespace tellweir
