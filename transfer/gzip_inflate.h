// InflateGzipFile: unpacks a gzip file (a download that arrived gzip-encoded) into a sink, and
// the sink that writes a local file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "log/transfer_result.h"
#include "transfer/buffered_file.h"

namespace tellweir {

namespace result {
// The file does not begin with a gzip header.
inline constexpr TransferResult kBadGzipHeader = 111;
}  // namespace result

// Where inflated bytes go. Destroying the sink closes its output.
class IInflateSink {
  public:
    virtual ~IInflateSink() = default;
    // Called once before any write with the header's stored file name (may be empty), its
    // modification time (seconds since 1970, 0 when not set) and the stored size (the length
    // modulo 2^32 as the trailer claims it; damaged files may claim anything).
    virtual bool Open(std::string_view storedName, std::uint32_t modificationTime,
                      std::uint32_t storedSize) = 0;
    // The count written; fewer than `size` ends the inflating.
    virtual std::size_t Write(const void* data, std::size_t size) = 0;
    virtual bool StopRequested() = 0;
    // Called once when the reader has no more data, before the result is returned: the output
    // takes what it still holds. False when it cannot, which fails like a short write.
    virtual bool Finish() { return true; }
    // Why a write came up short or Finish failed; a local file that cannot take more bytes
    // usually means a full disk.
    virtual TransferResult WriteFailure() const { return result::kNoDiskSpace; }
};

// Returns 102 for an empty path or when the sink does not open, 111 when the header is missing
// or damaged (the sink is then never opened), 108 when zlib cannot open the file, the sink's
// WriteFailure when it did not take every byte, else 0: damaged data and a stop end the
// inflating early with what was written so far left in the sink (the caller tells a stop by
// its own test).
[[nodiscard]] TransferResult InflateGzipFile(std::string_view source, IInflateSink& sink);

// Writes to a local file through a CBufferedFile in writing mode, starting from an empty file
// (never writing through a symbolic link). `stop` (optional) is the caller's abort test, e.g. a
// session's abort flag.
class CFileInflateSink final : public IInflateSink {
  public:
    explicit CFileInflateSink(std::string outputPath, std::function<bool()> stop = {});
    ~CFileInflateSink() override;

    bool Open(std::string_view storedName, std::uint32_t modificationTime,
              std::uint32_t storedSize) override;
    std::size_t Write(const void* data, std::size_t size) override;
    bool StopRequested() override;
    bool Finish() override;
    TransferResult WriteFailure() const override;

  private:
    std::string path_;
    std::function<bool()> stop_;
    CBufferedFile file_;
};

}  // namespace tellweir
