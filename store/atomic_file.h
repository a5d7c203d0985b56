// Rewrites a file so that readers see either the old or the new content, never a half-written
// file: the data goes to a temporary file in the same folder, is flushed to disk, and is renamed
// over the old file only when everything was written. The files the program keeps can hold
// passwords and cookies, so a new file is the owner's alone (0600) unless told otherwise: the
// mode is set on the file itself, whatever the umask, and a file that had looser bits gets the
// new ones with its next save. A path that is a symbolic link is written at the link's target, so
// the link stays and points at the new content; a dangling link gets its target created.
// Files that are rewritten on every run of a task (the cache's INFO files) are written without
// the flush to disk, which costs a disk round trip each, and over a link rather than through it.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace tellweir {

inline constexpr mode_t kPrivateFileMode = 0600;

// How a file is replaced.
enum class AtomicWrite {
    Durable,  // flushed to disk before the rename; a link is written at its target
    Cache,    // not flushed (a crash may leave the old content, never a half file); a link in
              // the file's place is replaced, so nothing outside the folder is written
};

class CAtomicFileWriter {
  public:
    CAtomicFileWriter() = default;
    CAtomicFileWriter(const CAtomicFileWriter&) = delete;
    CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;
    ~CAtomicFileWriter();  // abandons an uncommitted file; the old one stays as it was

    // Creates the temporary file for `path`; the final file gets permission bits `mode`.
    bool Open(const std::string& path, mode_t mode = kPrivateFileMode,
              AtomicWrite kind = AtomicWrite::Durable);
    // Appends bytes; false once any write has failed.
    bool Write(std::string_view data);
    // Flushes, closes and renames over the target. False (and the old file untouched) when any
    // step or an earlier write failed.
    bool Commit();
    void Abandon();

    bool IsOpen() const { return fd_ >= 0; }
    // The errno of the step that failed, 0 while none has: ENOENT or ENOTDIR from Open tells
    // that the file's folder is missing.
    int Error() const { return error_; }

  private:
    // Keeps the first failure's errno.
    void Fail(int error);

    int fd_ = -1;
    int error_ = 0;
    bool failed_ = false;
    bool sync_ = true;
    std::string path_;
    std::string tempPath_;
};

// The file `path` names once its symbolic links are followed: `path` itself when it is no link or
// does not exist, the last target of a chain otherwise (which need not exist). Relative targets
// are taken from the link's folder. Empty, with errno ELOOP, for a chain that does not end.
std::string ResolveFileLinks(const std::string& path);

// Removes the temporary files that writes of `path` (its link's target) left behind when the
// process was killed mid-write: the files of its folder named "<name>.tmpXXXXXX" exactly (six
// letters or digits), regular and this user's own, and nothing else. They can be large and hold
// what the file holds (passwords in URLs). Only for a file that one process writes at a time:
// another writer's file in progress would go too. The number removed.
int RemoveStaleTempFiles(const std::string& path);

// Writes all of `data` to the open descriptor, again after an interrupted or short write; false
// (errno telling why) when a write fails or writes nothing.
bool WriteFully(int fd, std::string_view data);

// Writes `content` as the whole new content of `path`, atomically as above.
bool WriteFileAtomically(const std::string& path, std::string_view content,
                         mode_t mode = kPrivateFileMode, AtomicWrite kind = AtomicWrite::Durable);

}  // namespace tellweir
