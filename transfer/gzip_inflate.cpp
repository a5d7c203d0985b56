// Gzip header check and inflating through zlib's gzip reader.
#include "transfer/gzip_inflate.h"

#include <fcntl.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <vector>

#include "transfer/file_path.h"
#include "transfer/local_file.h"

namespace tellweir {
namespace {

constexpr std::size_t kChunk = 65536;
constexpr std::size_t kMaxStoredName = 4096;
constexpr std::uint8_t kFlagExtra = 0x04;
constexpr std::uint8_t kFlagName = 0x08;

struct GzipHeader {
    std::string name;
    std::uint32_t modificationTime = 0;
    std::uint32_t storedSize = 0;
};

std::uint32_t LittleEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

bool ReadExactly(CLocalFile& file, void* buffer, std::size_t size) {
    return file.Read(buffer, size) == static_cast<std::int64_t>(size);
}

// Reads the NUL-terminated name at the file position. No file system stores names this long,
// so a longer one counts as damage.
bool ReadStoredName(CLocalFile& file, std::string& name) {
    char block[256];
    while (name.size() <= kMaxStoredName) {
        const std::int64_t n = file.Read(block, sizeof block);
        if (n <= 0) return false;
        const auto count = static_cast<std::size_t>(n);
        if (const void* end = std::memchr(block, '\0', count)) {
            name.append(block, static_cast<const char*>(end) - block);
            return name.size() <= kMaxStoredName;
        }
        name.append(block, count);
    }
    return false;
}

bool ReadGzipHeader(std::string_view source, GzipHeader& header) {
    CLocalFile file;
    if (file.Open(source, O_RDONLY) != result::kOk) return false;
    std::uint8_t fixed[10];
    if (!ReadExactly(file, fixed, sizeof fixed)) return false;
    if (fixed[0] != 0x1F || fixed[1] != 0x8B || fixed[2] != 8 || fixed[3] > 31) return false;
    header.modificationTime = LittleEndian32(fixed + 4);
    if (fixed[3] & kFlagExtra) {
        // The name follows the extra field, so skip it first.
        std::uint8_t length[2];
        if (!ReadExactly(file, length, 2)) return false;
        if (file.Seek(length[0] | length[1] << 8, SEEK_CUR) < 0) return false;
    }
    if ((fixed[3] & kFlagName) && !ReadStoredName(file, header.name)) return false;
    std::uint8_t trailer[4];
    if (file.Seek(-4, SEEK_END) < 0 || !ReadExactly(file, trailer, 4)) return false;
    header.storedSize = LittleEndian32(trailer);
    return true;
}

struct GzCloser {
    void operator()(gzFile f) const { gzclose(f); }
};

}  // namespace

TransferResult InflateGzipFile(std::string_view source, IInflateSink& sink) {
    if (source.empty()) return result::kInvalidParameter;
    GzipHeader header;
    if (!ReadGzipHeader(source, header)) return result::kBadGzipHeader;
    if (!sink.Open(header.name, header.modificationTime, header.storedSize))
        return result::kInvalidParameter;
    const std::unique_ptr<gzFile_s, GzCloser> in(gzopen(NativePath(source).c_str(), "rb"));
    if (!in) return result::kAccessDenied;
    gzbuffer(in.get(), kChunk);
    std::vector<char> buffer(kChunk);
    while (!sink.StopRequested()) {
        const int n = gzread(in.get(), buffer.data(), static_cast<unsigned>(buffer.size()));
        if (n <= 0) break;
        const auto count = static_cast<std::size_t>(n);
        // A short write leaves a cut output that must never pass for the whole content.
        if (sink.Write(buffer.data(), count) != count) return sink.WriteFailure();
    }
    if (!sink.Finish()) return sink.WriteFailure();
    return result::kOk;
}

CFileInflateSink::CFileInflateSink(std::string outputPath, std::function<bool()> stop)
    : path_(std::move(outputPath)), stop_(std::move(stop)) {}

CFileInflateSink::~CFileInflateSink() {
    file_.Close();
}

bool CFileInflateSink::Open(std::string_view, std::uint32_t, std::uint32_t) {
    // Offset 0 empties a left-over output file instead of appending to it.
    return file_.Open(path_, CBufferedFile::kWrite, 0) == result::kOk;
}

std::size_t CFileInflateSink::Write(const void* data, std::size_t size) {
    return file_.Write(data, size);
}

bool CFileInflateSink::StopRequested() {
    return stop_ && stop_();
}

bool CFileInflateSink::Finish() {
    return file_.Close();
}

TransferResult CFileInflateSink::WriteFailure() const {
    const int error = file_.File().LastError();
    const TransferResult failure = ResultFromErrno(error);
    return error == 0 || failure == result::kOk ? result::kNoDiskSpace : failure;
}

}  // namespace tellweir
