// The single-instance lock: an advisory lock on a per-user file, released by the system when
// the process ends, however it ends.
#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace tellweir {

std::string CInstanceLock::LockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') return std::string(runtime) + "/tellweir.lock";
    return "/tmp/tellweir-" + std::to_string(::getuid()) + ".lock";
}

CInstanceLock::~CInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool CInstanceLock::Acquire() {
    if (fd_ >= 0) return true;
    const int fd = ::open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool CInstanceLock::IsHeldElsewhere() {
    const int fd = ::open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

}  // namespace tellweir
