// The single-instance lock: an advisory lock on a file in the data folder, released by the
// system when the process ends, however it ends.
#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "store/app_identity.h"
#include "transfer/file_path.h"
#include "transfer/local_fs.h"

namespace tellweir {

std::string CInstanceLock::LockPath() {
    std::string path;
    if (!CAppIdentity::Instance().GetDataFilePath("tellweir.lock", false, path)) return {};
    return path;
}

CInstanceLock::~CInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

CInstanceLock::Outcome CInstanceLock::Acquire() {
    if (fd_ >= 0) return Outcome::Locked;
    const std::string path = LockPath();
    if (path.empty()) return Outcome::NoFile;
    MakeDirectories(PathDirectory(path));
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return Outcome::NoFile;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Outcome::HeldElsewhere : Outcome::NoFile;
    }
    fd_ = fd;
    return Outcome::Locked;
}

bool CInstanceLock::IsHeldElsewhere() {
    const std::string path = LockPath();
    // A lock file that is not there is held by nobody.
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

}  // namespace tellweir
