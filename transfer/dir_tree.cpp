// Directory listings and the removal of directory contents and trees.
#include <sys/stat.h>
#include <unistd.h>

#include "transfer/file_path.h"
#include "transfer/find_file.h"
#include "transfer/local_fs.h"

namespace tellweir {
namespace {

// Removes a directory and everything matching `mask` in it. A read-only directory is made
// writable first: on Linux its write bit also guards its entries, which the read-only attribute
// never did.
bool RemoveWithContents(std::string_view path, std::string_view mask) {
    SetReadOnly(path, false);
    return DeleteDirectoryContents(path, mask, true) && ::rmdir(NativePath(path).c_str()) == 0;
}

}  // namespace

bool ListDirectory(std::string_view directory, std::string_view mask,
                   std::vector<std::string>* files, std::vector<std::string>* directories) {
    CFindFile find;
    if (!find.FindFirst(directory, mask)) return IsDirectory(directory);
    do {
        // A link is never descended into, so it is listed as a file.
        auto* out = find.IsDirectory() && !find.IsSymlink() ? directories : files;
        if (out) out->push_back(find.Name());
    } while (find.FindNext());
    return true;
}

bool DeleteDirectoryContents(std::string_view directory, std::string_view mask, bool recurse) {
    std::vector<std::string> files;
    std::vector<std::string> directories;
    ListDirectory(directory, mask, &files, recurse ? &directories : nullptr);
    for (const std::string& name : directories) {
        if (!RemoveWithContents(JoinPath(directory, name), mask)) return false;
    }
    for (const std::string& name : files) {
        if (!DeleteFile(JoinPath(directory, name))) return false;
    }
    return true;
}

bool RemoveDirectory(std::string_view directory, std::string_view mask) {
    return RemoveWithContents(directory, mask);
}

bool RemoveDirectoryTree(std::string_view path, bool removeSelf) {
    std::vector<std::string> directories;
    ListDirectory(path, "*", nullptr, &directories);
    for (const std::string& name : directories)
        RemoveDirectoryTree(JoinPath(path, name), true);
    if (!removeSelf) return true;
    return ::rmdir(NativePath(path).c_str()) == 0;
}

}  // namespace tellweir
