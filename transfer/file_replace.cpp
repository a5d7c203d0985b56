// Replacing a file through a temporary copy, and the stoppable block copy.
#include "transfer/file_replace.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "transfer/file_path.h"

namespace tellweir {
namespace {

constexpr std::size_t kCopyBlock = 65536;

}  // namespace

bool IsReplaceableTarget(std::string_view path) {
    struct stat st {};
    if (::lstat(NativePath(path).c_str(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode) || S_ISLNK(st.st_mode);
}

CFileReplacement::~CFileReplacement() {
    Abandon();
}

TransferResult CFileReplacement::Create(std::string_view target) {
    Abandon();
    target_ = NativePath(target);
    std::string pattern = target_ + ".tmpXXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return ResultFromErrno(errno);
    ::close(fd);
    tempPath_ = pattern;
    // Opened again as a CLocalFile, which owns it from here on; mkostemp made it, so a link put
    // in its place meanwhile is refused rather than followed.
    const TransferResult opened = file_.Open(tempPath_, O_WRONLY | O_NOFOLLOW);
    if (opened != result::kOk) Abandon();
    return opened;
}

TransferResult CFileReplacement::Commit() {
    if (tempPath_.empty()) return result::kInvalidHandle;
    const bool closed = file_.Close();
    TransferResult outcome = closed ? result::kOk : ResultFromErrno(file_.LastError());
    if (outcome == result::kOk && !IsReplaceableTarget(target_)) outcome = result::kAccessDenied;
    if (outcome == result::kOk && std::rename(tempPath_.c_str(), target_.c_str()) != 0)
        outcome = ResultFromErrno(errno);
    if (outcome == result::kOk)
        tempPath_.clear();
    else
        Abandon();
    return outcome;
}

void CFileReplacement::Abandon() {
    file_.Close();
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    tempPath_.clear();
}

TransferResult CopyFileData(CLocalFile& source, CLocalFile& target, std::int64_t size,
                            const std::function<bool()>& stop) {
    if (source.Seek(0, SEEK_SET) != 0) return ResultFromErrno(source.LastError());
    if (target.Seek(0, SEEK_SET) != 0) return ResultFromErrno(target.LastError());
    std::vector<char> buffer(kCopyBlock);
    for (std::int64_t left = size; left > 0;) {
        if (stop && stop()) return result::kStopped;
        const auto want =
            static_cast<std::size_t>(std::min<std::int64_t>(left, std::int64_t{kCopyBlock}));
        const std::int64_t got = source.Read(buffer.data(), want);
        if (got < 0) return ResultFromErrno(source.LastError());
        // The file grew shorter while it was copied.
        if (got == 0) return result::kInvalidParameter;
        const auto count = static_cast<std::size_t>(got);
        if (target.Write(buffer.data(), count) != count) {
            const TransferResult failed = ResultFromErrno(target.LastError());
            return failed == result::kOk ? result::kNoDiskSpace : failed;
        }
        left -= got;
    }
    return result::kOk;
}

}  // namespace tellweir
