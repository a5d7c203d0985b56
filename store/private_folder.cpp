// Folder creation level by level with owner-only bits.
#include "store/private_folder.h"

#include <sys/stat.h>

#include <cerrno>

namespace tellweir {

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir applies the umask; a level that was just made gets its bits set explicitly.
bool MakeOneLevel(const std::string& level) {
    if (::mkdir(level.c_str(), kPrivateFolderMode) == 0)
        return ::chmod(level.c_str(), kPrivateFolderMode) == 0;
    return errno == EEXIST && IsFolder(level);
}

}  // namespace

bool MakePrivateFolders(const std::string& path) {
    if (path.empty()) return false;
    if (IsFolder(path)) return true;
    // Each level is the text up to a separator; leading separators (the root) stay in the
    // first level.
    std::size_t pos = path.find_first_not_of('/');
    while (pos != std::string::npos) {
        const std::size_t end = path.find('/', pos);
        if (!MakeOneLevel(path.substr(0, end))) return false;
        pos = end == std::string::npos ? end : path.find_first_not_of('/', end);
    }
    return IsFolder(path);
}

}  // namespace tellweir
