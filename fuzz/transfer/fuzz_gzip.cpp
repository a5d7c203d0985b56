// Fuzz target of InflateGzipFile: any bytes as a downloaded gzip file, inflated into a sink that
// only counts. The sink must be opened at most once and only for a file that passed the header
// check, and the result must be one of the documented codes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "transfer/gzip_inflate.h"

namespace {

using namespace tellweir;

class CountingSink final : public IInflateSink {
  public:
    bool Open(std::string_view, std::uint32_t, std::uint32_t) override {
        if (++opens > 1) std::abort();
        return true;
    }
    std::size_t Write(const void* data, std::size_t size) override {
        if (opens != 1 || (size > 0 && data == nullptr)) std::abort();
        bytes += size;
        return size;
    }
    // Bounds what a small bomb can make us inflate.
    bool StopRequested() override { return bytes > (std::size_t{64} << 20); }

    int opens = 0;
    std::size_t bytes = 0;
};

// An in-memory file reached through /proc, so runs leave nothing behind on disk.
int InputFile() {
    static const int fd = ::memfd_create("fuzz_gzip", 0);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = InputFile();
    if (fd < 0 || ::ftruncate(fd, 0) != 0) return 0;
    if (::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    CountingSink sink;
    const TransferResult r = InflateGzipFile(path, sink);
    if (r != result::kOk && r != result::kBadGzipHeader && r != result::kAccessDenied) std::abort();
    if ((r == result::kBadGzipHeader) != (sink.opens == 0)) std::abort();
    return 0;
}
