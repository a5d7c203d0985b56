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
};

// Returns 102 for an empty path or when the sink does not open, 111 when the header is missing
// or damaged (the sink is then never opened), 108 when zlib cannot open the file, else 0:
// damaged data, a short write and a stop all end the inflating early with what was written so
// far left in the sink.
[[nodiscard]] TransferResult InflateGzipFile(std::string_view source, IInflateSink& sink);

// Writes to a local file through a CBufferedFile in writing mode, starting from an empty file.
// `stop` (optional) is the caller's abort test, e.g. a session's abort flag.
class CFileInflateSink final : public IInflateSink {
  public:
    explicit CFileInflateSink(std::string outputPath, std::function<bool()> stop = {});
    ~CFileInflateSink() override;

    bool Open(std::string_view storedName, std::uint32_t modificationTime,
              std::uint32_t storedSize) override;
    std::size_t Write(const void* data, std::size_t size) override;
    bool StopRequested() override;

  private:
    std::string path_;
    std::function<bool()> stop_;
    CBufferedFile file_;
};

}  // namespace tellweir
