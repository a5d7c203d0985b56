// The INFO file table and format, and the block-wise comparison and copy of file contents.
#include "core/info_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "core/sample_check.h"
#include "core/task_properties.h"
#include "store/atomic_file.h"
#include "transfer/local_file.h"
#include "transfer/local_fs.h"

namespace tellweir {

namespace {

constexpr std::size_t kBlockSize = 65536;
// An INFO file is one short line; anything far larger is not one of ours.
constexpr std::int64_t kMaxInfoFileSize = 1 << 20;

CSettingTable BuildInfoFileTable() {
    CSettingTable table;
    table.AddSetting("URL", task::kUri, PropertyValue::String(""));
    table.AddSetting("ETag", task::kETag, PropertyValue::String(""));
    table.AddSetting("ContentType", task::kContentType, PropertyValue::String(""));
    table.AddSetting("Size", task::kSize, PropertyValue::Int64(0));
    table.AddSetting("TimeModified", task::kTimeModified, PropertyValue::String(""));
    table.AddSetting("TimeCreated", task::kTimeCreated, PropertyValue::String(""));
    return table;
}

// Reads exactly `size` bytes unless the file ends first; -1 on failure.
std::int64_t ReadBlock(int fd, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

}  // namespace

const CSettingTable& InfoFileTable() {
    static const CSettingTable table = BuildInfoFileTable();
    return table;
}

namespace {

// The whole text of an INFO file; false when it cannot be read.
bool ReadInfoText(const std::string& path, std::string& text) {
    CLocalFile file;
    // A FIFO put in the cache in the file's place must not hold up the engine thread.
    if (file.OpenRegularForReading(path) != 0) return false;
    const std::int64_t length = std::min(file.Length(), kMaxInfoFileSize);
    if (length < 0) return false;
    text.assign(static_cast<std::size_t>(length), '\0');
    const std::int64_t read = ReadBlock(file.Descriptor(), text.data(), text.size());
    if (read < 0) return false;
    text.resize(static_cast<std::size_t>(read));
    return true;
}

// True when `path` is a regular file of its own (no link), owner-only, holding exactly `text`.
bool HoldsText(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat st {};
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                (st.st_mode & 07777) == kPrivateFileMode &&
                st.st_size == static_cast<off_t>(text.size());
    if (same) {
        std::string kept(text.size(), '\0');
        same = ReadBlock(fd, kept.data(), kept.size()) == static_cast<std::int64_t>(kept.size()) &&
               kept == text;
    }
    ::close(fd);
    return same;
}

}  // namespace

KeptInfoFile ReadKeptInfoFile(const std::string& path) {
    KeptInfoFile kept;
    CLocalFile file;
    struct stat st {};
    // The usual case, a file of the program's own: one open, one read, nothing else.
    const TransferResult opened = file.OpenRegularForReading(path, false, &st);
    if (opened == result::kNotFound) return kept;
    if (opened == result::kOk) {
        const std::int64_t length = std::min<std::int64_t>(st.st_size, kMaxInfoFileSize);
        kept.text.assign(static_cast<std::size_t>(length), '\0');
        const std::int64_t read = ReadBlock(file.Descriptor(), kept.text.data(), kept.text.size());
        if (read < 0) {
            kept.state = KeptInfoFile::State::Unreadable;
            kept.text.clear();
            return kept;
        }
        kept.text.resize(static_cast<std::size_t>(read));
        kept.state = KeptInfoFile::State::Read;
        kept.plain = (st.st_mode & 07777) == kPrivateFileMode && read == st.st_size;
        return kept;
    }
    // A link, something that is no regular file, or a file that would not open: looked at the
    // long way, through links, as anything else the user put there.
    if (GetPathKind(path) == PathKind::Missing) return kept;
    kept.state =
        ReadInfoText(path, kept.text) ? KeptInfoFile::State::Read : KeptInfoFile::State::Unreadable;
    return kept;
}

void ParseInfoText(std::string_view text, CPropertySet& info) {
    InfoFileTable().ApplyDefaults(info);
    InfoFileTable().ApplyValueList(text, info, true);
}

bool ReadInfoFile(const std::string& path, CPropertySet& info) {
    std::string text;
    if (!ReadInfoText(path, text)) return false;
    ParseInfoText(text, info);
    return true;
}

InfoWrite WriteKeptInfoFile(const std::string& path, const CPropertySet& info,
                            const KeptInfoFile* kept) {
    const std::string text = InfoFileTable().FormatNonDefaults(info);
    // Most runs find what the previous one kept: the file holds these very bytes already, and
    // leaving it alone spares the disk a write and a rename per run.
    const bool same =
        kept ? kept->state == KeptInfoFile::State::Read && kept->plain && kept->text == text
             : HoldsText(path, text);
    if (same) return InfoWrite::Unchanged;
    CAtomicFileWriter writer;
    if (!writer.Open(path, kPrivateFileMode, AtomicWrite::Cache)) {
        const int error = writer.Error();
        if (error != ENOENT && error != ENOTDIR) return InfoWrite::Failed;
        // The folder went missing (first run, or the cache was cleaned): made again, once.
        if (!MakeFolderOf(path)) return InfoWrite::NoFolder;
        if (!writer.Open(path, kPrivateFileMode, AtomicWrite::Cache)) return InfoWrite::Failed;
    }
    return writer.Write(text) && writer.Commit() ? InfoWrite::Written : InfoWrite::Failed;
}

bool WriteInfoFile(const std::string& path, const CPropertySet& info) {
    const InfoWrite written = WriteKeptInfoFile(path, info);
    return written == InfoWrite::Written || written == InfoWrite::Unchanged;
}

int CompareFileContents(int fileA, int fileB, std::int64_t size, const std::atomic<bool>* stop) {
    if (::lseek(fileA, 0, SEEK_SET) < 0 || ::lseek(fileB, 0, SEEK_SET) < 0) return -1;
    const std::size_t block = static_cast<std::size_t>(std::min<std::int64_t>(size, kBlockSize));
    std::vector<char> a(block), b(block);
    for (std::int64_t left = size; left > 0;) {
        if (stop && stop->load()) return -1;
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(block)));
        const std::int64_t readA = ReadBlock(fileA, a.data(), want);
        const std::int64_t readB = ReadBlock(fileB, b.data(), want);
        if (readA < 0 || readB < 0) return -1;
        if (readA != readB) return 1;
        if (readA == 0) break;
        if (!std::equal(a.begin(), a.begin() + readA, b.begin())) return 1;
        left -= readA;
    }
    return 0;
}

int CopyFileContents(int source, int target, std::int64_t size) {
    if (::lseek(source, 0, SEEK_SET) < 0 || ::lseek(target, 0, SEEK_SET) < 0) return -1;
    std::vector<char> buffer(kBlockSize);
    for (std::int64_t left = size; left > 0;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left, kBlockSize));
        const std::int64_t got = ReadBlock(source, buffer.data(), want);
        if (got <= 0) return -1;
        for (std::int64_t written = 0; written < got;) {
            const ssize_t n = ::write(target, buffer.data() + written, got - written);
            if (n <= 0) return -1;
            written += n;
        }
        left -= got;
    }
    return 0;
}

}  // namespace tellweir
