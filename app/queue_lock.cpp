// The queue file's lock: flock on a file beside it, polled until a bounded wait ends (a
// blocking flock could not be bounded without a signal).
#include "app/queue_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "transfer/file_path.h"
#include "transfer/local_fs.h"

namespace tellweir {

namespace {

constexpr std::chrono::milliseconds kRetryPause{10};

}  // namespace

std::string CQueueFileLock::LockPath(const std::string& queuePath) {
    return queuePath + ".lock";
}

CQueueFileLock::~CQueueFileLock() {
    if (fd_ >= 0) ::close(fd_);
}

CQueueFileLock::Outcome CQueueFileLock::Acquire(const std::string& queuePath,
                                                std::chrono::milliseconds limit) {
    if (fd_ >= 0) return Outcome::Locked;
    if (queuePath.empty()) return Outcome::NoFile;
    // A bare file name has no folder to create.
    if (queuePath.find_last_of("/\\") != std::string::npos)
        (void)MakeDirectories(PathDirectory(queuePath));  // a failure shows in the open below
    const int fd = ::open(LockPath(queuePath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return Outcome::NoFile;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            return Outcome::NoFile;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return Outcome::TimedOut;
        }
        std::this_thread::sleep_for(kRetryPause);
    }
    fd_ = fd;
    return Outcome::Locked;
}

}  // namespace tellweir
