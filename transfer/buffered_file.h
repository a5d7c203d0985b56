// CBufferedFile: a CLocalFile with a 64 KiB buffer for one direction at a time, opened in the
// system's two modes: writing (appending) and reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "transfer/local_file.h"

namespace tellweir {

class CBufferedFile {
  public:
    enum Mode : int { kClosed = -1, kWrite = 0, kRead = 1 };
    static constexpr std::size_t kBufferSize = 65536;

    CBufferedFile() = default;
    CBufferedFile(const CBufferedFile&) = delete;
    CBufferedFile& operator=(const CBufferedFile&) = delete;
    ~CBufferedFile();  // closes, writing what is buffered

    // kWrite: creates or opens the file for appending (never through a symbolic link), clearing
    // the read-only attribute of an existing file first; with an offset other than -1 the file is
    // first given exactly that length, and opening fails unless the position then equals it. kRead:
    // opens read-only at `offset` (0 when it is -1). Returns 0 or a result.
    [[nodiscard]] TransferResult Open(std::string_view path, Mode mode, std::int64_t offset = -1);
    // Writes the buffer and closes; false when anything failed.
    bool Close();

    Mode GetMode() const { return mode_; }
    bool IsOpen() const { return mode_ != kClosed; }
    // Buffering starts on; switching it off writes what is buffered.
    void SetBuffering(bool on);

    // The count accepted; less than `size` only when the system failed.
    std::size_t Write(const void* data, std::size_t size);
    std::size_t Write(std::string_view text) { return Write(text.data(), text.size()); }
    // Up to `size` bytes; the count read (0 at the end), -1 on failure.
    std::int64_t Read(void* buffer, std::size_t size);
    // Writes the buffer out (writing mode); false when the system failed.
    bool Flush();
    // The logical position (pending writes are written first), or -1.
    std::int64_t Position();
    // Moves the position; pending writes are written and read-ahead is dropped first.
    std::int64_t Seek(std::int64_t offset, int whence);

    CLocalFile& File() { return file_; }
    const CLocalFile& File() const { return file_; }

  private:
    CLocalFile file_;
    Mode mode_ = kClosed;
    bool buffering_ = true;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;  // reading: first unread byte of the buffer
    std::size_t end_ = 0;    // bytes held in the buffer
};

}  // namespace tellweir
