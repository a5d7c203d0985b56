// CLocalFile: an unbuffered local file over a POSIX descriptor, with the system's mapping of
// C runtime errors to transfer results and the line reader used for stored text files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/date_time.h"
#include "log/transfer_result.h"

struct stat;

namespace tellweir {

// errno to result: 0 -> 0, ENOENT -> 106, EBADF -> 103, EACCES -> 104, EEXIST -> 107,
// EINVAL -> 102, EMFILE -> 105, ENOSPC and EDQUOT (the user's quota is full) -> 109, anything
// else -> 102.
[[nodiscard]] TransferResult ResultFromErrno(int error);

// For tests: every CLocalFile write fails with ENOSPC, as on a full disk, once `bytes` more
// bytes have been written by any thread; a negative count ends the fault.
void SimulateDiskFullAfter(std::int64_t bytes);

class CLocalFile {
  public:
    // A line longer than this is cut: ReadLine returns its first kMaxLineLength bytes and skips
    // the rest up to and including its line feed.
    static constexpr std::size_t kMaxLineLength = std::size_t{1} << 20;

    CLocalFile() = default;
    CLocalFile(const CLocalFile&) = delete;
    CLocalFile& operator=(const CLocalFile&) = delete;
    ~CLocalFile();  // closes, as Close does

    // Opens `path` with open(2) flags (O_RDONLY, O_RDWR | O_CREAT | O_APPEND, ...); a file it
    // creates gets mode 0666 less the umask. Returns 0, or the result of the failure's errno
    // (a path longer than PATH_MAX fails). An open file is closed first.
    [[nodiscard]] TransferResult Open(std::string_view path, int flags);
    // Opens an existing regular file for reading without ever waiting: a FIFO or a device would
    // block open(2) or read(2), so the file is opened non-blocking and anything that is not a
    // regular file is refused with 100 (not supported). With `followLink` false a symbolic link
    // at `path` is refused too (102). `status` (optional) receives the open file's fstat, which
    // spares a caller that needs its length or mode another system call.
    [[nodiscard]] TransferResult OpenRegularForReading(std::string_view path,
                                                       bool followLink = true,
                                                       struct stat* status = nullptr);
    // Closes the descriptor. A file opened with write access loses its read-only attribute and,
    // when SetCloseTime was given a time, gets it as last write time. False when closing failed.
    bool Close();

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    const std::string& Path() const { return path_; }
    int Flags() const { return flags_; }
    // The errno of the last failed call.
    int LastError() const { return lastError_; }

    // Up to `size` bytes; the count read, 0 at the end of the file, -1 on failure.
    std::int64_t Read(void* buffer, std::size_t size);
    // Writes all bytes unless the system fails; the count written. After a short count
    // LastError() tells why (ENOSPC for a full disk).
    std::size_t Write(const void* data, std::size_t size);
    // lseek(2): the new position, or -1.
    std::int64_t Seek(std::int64_t offset, int whence);
    std::int64_t Position();
    // The file's length, or -1.
    std::int64_t Length();
    // Cuts or extends the file to `length`.
    bool SetLength(std::int64_t length);
    // A local time to give the file as last write time when it is closed; empty for none.
    void SetCloseTime(std::optional<DateTime> time) { closeTime_ = time; }

    // Reads one line from the current position: the text up to and including its line feed
    // (or to the end of the file), with NUL bytes turned into 0x01; the position is left just
    // after the line feed. False when nothing was left to read. `cut` (optional) tells whether
    // the line was longer than kMaxLineLength and was cut.
    bool ReadLine(std::string& line, bool* cut = nullptr);

  private:
    int fd_ = -1;
    int flags_ = 0;
    int lastError_ = 0;
    std::string path_;
    std::optional<DateTime> closeTime_;
};

}  // namespace tellweir
