// The unbuffered local file and errno mapping.
#include "transfer/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "transfer/file_path.h"

namespace tellweir {
namespace {

constexpr std::size_t kLineBlock = 128;

// Bytes the simulated full disk still takes; negative when no fault is simulated.
std::atomic<std::int64_t> g_bytesBeforeDiskFull{-1};

// How many of `size` bytes a write may pass on while a full disk is simulated.
std::size_t AllowedByDiskFull(std::size_t size) {
    std::int64_t left = g_bytesBeforeDiskFull.load();
    for (;;) {
        if (left < 0) return size;
        const std::int64_t take = std::min<std::int64_t>(left, static_cast<std::int64_t>(size));
        if (g_bytesBeforeDiskFull.compare_exchange_weak(left, left - take))
            return static_cast<std::size_t>(take);
    }
}

bool HasWriteAccess(int flags) {
    return (flags & O_ACCMODE) == O_WRONLY || (flags & O_ACCMODE) == O_RDWR;
}

}  // namespace

TransferResult ResultFromErrno(int error) {
    switch (error) {
        case 0:
            return result::kOk;
        case ENOENT:
            return result::kNotFound;
        case EBADF:
            return result::kInvalidHandle;
        case EACCES:
            return result::kReadOnly;
        case EEXIST:
            return result::kAlreadyExists;
        case EMFILE:
            return result::kNoMoreHandles;
        case ENOSPC:
        case EDQUOT:
            return result::kNoDiskSpace;
        default:
            return result::kInvalidParameter;
    }
}

void SimulateDiskFullAfter(std::int64_t bytes) {
    g_bytesBeforeDiskFull.store(bytes < 0 ? -1 : bytes);
}

CLocalFile::~CLocalFile() {
    Close();
}

TransferResult CLocalFile::Open(std::string_view path, int flags) {
    Close();
    path_.assign(path);
    flags_ = flags;
    const std::string native = NativePath(path);
    if (native.empty() || native.size() >= PATH_MAX) {
        lastError_ = native.empty() ? ENOENT : ENAMETOOLONG;
        return ResultFromErrno(lastError_);
    }
    do {
        fd_ = ::open(native.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ >= 0) return result::kOk;
    lastError_ = errno;
    return ResultFromErrno(lastError_);
}

TransferResult CLocalFile::OpenRegularForReading(std::string_view path, bool followLink,
                                                 struct stat* status) {
    const TransferResult opened = Open(path, O_RDONLY | O_NONBLOCK | (followLink ? 0 : O_NOFOLLOW));
    if (opened != result::kOk) return opened;
    struct stat own {};
    struct stat& st = status ? *status : own;
    if (::fstat(fd_, &st) != 0) {
        const int error = errno;
        Close();
        lastError_ = error;
        return ResultFromErrno(error);
    }
    if (!S_ISREG(st.st_mode)) {
        Close();
        lastError_ = EINVAL;
        return result::kNotSupported;
    }
    return result::kOk;
}

bool CLocalFile::Close() {
    if (fd_ < 0) return true;
    if (HasWriteAccess(flags_)) {
        struct stat st {};
        if (::fstat(fd_, &st) == 0 && (st.st_mode & S_IWUSR) == 0)
            ::fchmod(fd_, (st.st_mode & 07777) | S_IWUSR);
        if (closeTime_) {
            // Birth times cannot be set on Linux; only the last write time is applied.
            const timespec times[2] = {{0, UTIME_OMIT}, {closeTime_->ToUnixTime(), 0}};
            ::futimens(fd_, times);
        }
    }
    const bool ok = ::close(fd_) == 0;
    if (!ok) lastError_ = errno;
    fd_ = -1;
    closeTime_.reset();
    return ok;
}

std::int64_t CLocalFile::Read(void* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = ::read(fd_, buffer, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) lastError_ = errno;
    return n;
}

std::size_t CLocalFile::Write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    const std::size_t allowed = AllowedByDiskFull(size);
    std::size_t done = 0;
    while (done < size) {
        if (done == allowed) {
            lastError_ = ENOSPC;
            break;
        }
        const ssize_t n = ::write(fd_, bytes + done, allowed - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            lastError_ = errno;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::int64_t CLocalFile::Seek(std::int64_t offset, int whence) {
    const off_t position = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (position < 0) lastError_ = errno;
    return position;
}

std::int64_t CLocalFile::Position() {
    return Seek(0, SEEK_CUR);
}

std::int64_t CLocalFile::Length() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        lastError_ = errno;
        return -1;
    }
    return st.st_size;
}

bool CLocalFile::SetLength(std::int64_t length) {
    if (length < 0 || ::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
        lastError_ = length < 0 ? EINVAL : errno;
        return false;
    }
    return true;
}

bool CLocalFile::ReadLine(std::string& line, bool* cut) {
    line.clear();
    bool wasCut = false;
    bool readAny = false;
    char block[kLineBlock];
    for (;;) {
        const std::int64_t n = Read(block, sizeof block);
        if (n <= 0) break;
        readAny = true;
        const auto count = static_cast<std::size_t>(n);
        const void* feed = std::memchr(block, '\n', count);
        const std::size_t take =
            feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - block) + 1 : count;
        const std::size_t room = kMaxLineLength - line.size();
        if (take > room) wasCut = true;
        line.append(block, take < room ? take : room);
        if (feed) {
            // Give back what belongs to the next line.
            if (take < count) Seek(static_cast<std::int64_t>(take) - n, SEEK_CUR);
            break;
        }
    }
    for (char& c : line)
        if (c == '\0') c = '\x01';
    if (cut) *cut = wasCut;
    return readAny;
}

}  // namespace tellweir
