// CFindFile: one result of a directory search, either a single path or the entries of a folder
// that match a wildcard mask, with the entry's kind, size and times.
#pragma once

#include <dirent.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/date_time.h"

namespace tellweir {

class CFindFile {
  public:
    CFindFile() = default;
    CFindFile(const CFindFile&) = delete;
    CFindFile& operator=(const CFindFile&) = delete;
    ~CFindFile();

    // Looks up exactly `path` (no wildcards); symbolic links are followed.
    bool Find(std::string_view path);
    // Starts a search of `directory` for entries whose names match `mask` ('*' and '?'; "*.*"
    // matches every name). "." and ".." are never reported.
    bool FindFirst(std::string_view directory, std::string_view mask);
    // The next match of a FindFirst search; false when there is none.
    bool FindNext();
    void Close();

    bool Found() const { return found_; }
    const std::string& Name() const { return name_; }
    // The path searched: the path of Find, the directory of FindFirst.
    const std::string& SearchPath() const { return searchPath_; }
    bool IsDirectory() const { return found_ && directory_; }
    // True for an entry that is itself a symbolic link (its target is what is described).
    bool IsSymlink() const { return found_ && symlink_; }
    bool IsReadOnly() const { return found_ && readOnly_; }
    // Bytes of a file, 0 for a directory, -1 when nothing was found.
    std::int64_t Size() const { return found_ ? size_ : -1; }
    DateTime LastWriteTime() const { return lastWrite_; }
    DateTime LastAccessTime() const { return lastAccess_; }
    // The birth time, when the file system reports one.
    std::optional<DateTime> CreationTime() const { return creation_; }

  private:
    // Fills the fields from the entry at `path`; false when it cannot be described.
    bool Describe(const std::string& path, std::string_view name);

    DIR* dir_ = nullptr;
    std::string searchPath_;
    std::string mask_;
    bool found_ = false;
    bool directory_ = false;
    bool symlink_ = false;
    bool readOnly_ = false;
    std::string name_;
    std::int64_t size_ = -1;
    DateTime lastWrite_;
    DateTime lastAccess_;
    std::optional<DateTime> creation_;
};

// True when `name` matches the wildcard `mask` ('*' any run, '?' one character; "*.*" and an
// empty mask match everything).
bool MatchesMask(std::string_view name, std::string_view mask);

}  // namespace tellweir
