// Temporary file, fsync and rename.
#include "store/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace tellweir {

CAtomicFileWriter::~CAtomicFileWriter() {
    Abandon();
}

bool CAtomicFileWriter::Open(const std::string& path, mode_t mode) {
    Abandon();
    path_ = path;
    std::string pattern = path + ".tmpXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = mkstemp(name.data());
    if (fd_ < 0) return false;
    tempPath_ = name.data();
    failed_ = fchmod(fd_, mode) != 0;
    return !failed_;
}

bool CAtomicFileWriter::Write(std::string_view data) {
    if (fd_ < 0 || failed_) return false;
    while (!data.empty()) {
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool CAtomicFileWriter::Commit() {
    if (fd_ < 0) return false;
    bool ok = !failed_ && ::fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    if (ok) ok = std::rename(tempPath_.c_str(), path_.c_str()) == 0;
    if (!ok) ::unlink(tempPath_.c_str());
    tempPath_.clear();
    return ok;
}

void CAtomicFileWriter::Abandon() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    ::unlink(tempPath_.c_str());
    tempPath_.clear();
}

bool WriteFileAtomically(const std::string& path, std::string_view content, mode_t mode) {
    CAtomicFileWriter writer;
    return writer.Open(path, mode) && writer.Write(content) && writer.Commit();
}

}  // namespace tellweir
