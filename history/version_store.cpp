// The versions folder of a task. Each version is one file, "<number>.version": a text header of
// key=value lines after the line "Tellweir version 1", an empty line, then the content as one
// zstd frame that carries its size and a checksum. The header names the frame's length, so a
// listing that reads only headers still tells a truncated file from a whole one. Everything is
// reached through the folder's descriptor, opened without following a link, and written to a
// temporary file renamed into place, so no link planted in the folder is ever written through.
#include "history/version_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>

#include "base/byte_count.h"
#include "base/text_format.h"
#include "store/atomic_file.h"
#include "store/setting_ids.h"

namespace tellweir {

namespace {

constexpr std::string_view kMagic = "Tellweir version ";
constexpr int kFormat = 1;
constexpr std::string_view kSuffix = ".version";
constexpr const char* kViewedFile = "viewed";
// The newest number given, kept only when no version file is left to tell it.
constexpr const char* kNewestFile = "newest";
constexpr std::size_t kMaxHeader = 64 * 1024;
// Chosen by bench/history: close to the best ratio of the fast levels at a fraction of the
// CPU of the run that reads the content.
constexpr int kCompressionLevel = 3;

// A descriptor closed when it goes.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

// The folder opened as a directory, never through a link in its place. With `create` it is
// made (owner-only, with its parents) when missing, and a folder with looser bits is narrowed.
int OpenFolder(const std::string& folder, bool create) {
    if (folder.empty()) {
        errno = ENOENT;
        return -1;
    }
    if (create) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), ignored);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return -1;
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || !create) return fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid()) {
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    if ((st.st_mode & 077) != 0) ::fchmod(fd, 0700);
    return fd;
}

// "000012.version" -> 12; nullopt for any other name (temporary files included).
std::optional<std::int32_t> NumberOfName(std::string_view name) {
    if (!name.ends_with(kSuffix)) return std::nullopt;
    const std::string_view digits = name.substr(0, name.size() - kSuffix.size());
    if (digits.empty() || digits.size() > 10) return std::nullopt;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size() || value <= 0 ||
        value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::string NameOf(std::int32_t number) {
    return Format("%06d", number) + std::string(kSuffix);
}

struct VersionFile {
    std::int32_t number;
    std::int64_t bytes;
};

// The version files of the folder by their names, oldest first.
std::vector<VersionFile> ScanFolder(int dirFd) {
    std::vector<VersionFile> files;
    const int own = ::dup(dirFd);
    if (own < 0) return files;
    DIR* dir = ::fdopendir(own);
    if (dir == nullptr) {
        ::close(own);
        return files;
    }
    // The copy shares the folder descriptor's position, which an earlier listing left at the end.
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::optional<std::int32_t> number = NumberOfName(entry->d_name);
        if (!number) continue;
        struct stat st {};
        const std::int64_t bytes =
            ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? st.st_size : 0;
        files.push_back({*number, bytes});
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end(),
              [](const VersionFile& a, const VersionFile& b) { return a.number < b.number; });
    return files;
}

bool ReadAt(int fd, std::string& into, std::size_t offset, std::size_t count) {
    into.resize(offset + count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, into.data() + offset + done, count - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            into.resize(offset + done);
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// A small number in a file of the folder (the viewed mark, the newest number); 0 when absent.
std::int32_t ReadNumberFile(int dirFd, const char* name) {
    const Fd fd(::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) return 0;
    std::string text;
    ReadAt(fd.get(), text, 0, 32);
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && value > 0 ? value : 0;
}

std::string RandomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[6] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        const auto seed =
            static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(::time(nullptr));
        for (std::size_t i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(seed >> (i * 5));
    }
    std::string suffix;
    for (unsigned char byte : bytes)
        suffix += kLetters[byte % (sizeof kLetters - 1)];
    return suffix;
}

// Writes `data` as the file `name` of the folder: into a new temporary file (never an existing
// one, never through a link), renamed over whatever had the name. The errno on failure.
int WriteFileIn(int dirFd, const std::string& name, std::string_view data) {
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = name + ".tmp" + RandomSuffix();
        fd = ::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0600);
        if (fd < 0 && errno != EEXIST) return errno;
    }
    if (fd < 0) return EEXIST;
    const bool written = WriteFully(fd, data);
    const int error = written ? 0 : (errno != 0 ? errno : EIO);
    if (::close(fd) != 0 || !written || ::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0) {
        const int failed = error != 0 ? error : errno;
        ::unlinkat(dirFd, temp.c_str(), 0);
        return failed != 0 ? failed : EIO;
    }
    return 0;
}

// Header values are single lines: the backslash, line breaks and other control bytes escaped.
std::string Escape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7f) {
            out += Format("\\x%02x", byte);
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> Unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i >= value.size()) return std::nullopt;
        switch (value[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 'x': {
                unsigned byte = 0;
                if (i + 2 >= value.size()) return std::nullopt;
                const auto [end, ec] =
                    std::from_chars(value.data() + i + 1, value.data() + i + 3, byte, 16);
                if (ec != std::errc() || end != value.data() + i + 3) return std::nullopt;
                out += static_cast<char>(byte);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

template <class T>
bool ParseInt(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::string HeaderOf(const VersionRecord& record, std::size_t frameBytes) {
    std::string header = std::string(kMagic) + std::to_string(kFormat) + "\n";
    const auto line = [&header](std::string_view key, std::string_view value) {
        header.append(key).append("=").append(Escape(value)).append("\n");
    };
    line("number", std::to_string(record.number));
    // The readable time is for a person looking at the file; the bits give it back exactly.
    line("time", record.time.Format("%Y-%m-%d %H:%M:%S"));
    line("time-bits", std::to_string(record.time.ToBits()));
    line("run", std::to_string(record.run));
    line("event", record.event);
    line("size", std::to_string(record.size));
    line("content-type", record.contentType);
    line("name", record.name);
    line("information", record.information ? "1" : "0");
    line("added", std::to_string(record.added));
    line("removed", std::to_string(record.removed));
    line("compressed", std::to_string(frameBytes));
    header += "\n";
    return header;
}

// A version file's header as read: the record and where and how long its frame is.
struct Header {
    VersionRecord record;
    std::size_t frameOffset = 0;
    std::int64_t frameBytes = -1;
};

// Parses the header at the start of `text` (which may go on into the frame). Unknown keys are a
// newer writer's and are skipped; a missing magic, format or frame length is damage.
std::optional<Header> ParseHeader(std::string_view text) {
    const std::size_t end = text.find("\n\n");
    if (!text.starts_with(kMagic) || end == std::string_view::npos) return std::nullopt;
    Header header;
    header.frameOffset = end + 2;
    std::string_view lines = text.substr(0, end + 1);
    const std::size_t firstEnd = lines.find('\n');
    int format = 0;
    if (!ParseInt(lines.substr(kMagic.size(), firstEnd - kMagic.size()), format) ||
        format != kFormat)
        return std::nullopt;
    lines.remove_prefix(firstEnd + 1);
    bool haveBits = false, haveNumber = false;
    VersionRecord& r = header.record;
    while (!lines.empty()) {
        const std::size_t eol = lines.find('\n');
        const std::string_view line = lines.substr(0, eol);
        lines.remove_prefix(eol + 1);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        const std::string_view key = line.substr(0, eq);
        const std::optional<std::string> value = Unescape(line.substr(eq + 1));
        if (!value) return std::nullopt;
        bool ok = true;
        if (key == "number") {
            ok = haveNumber = ParseInt(*value, r.number);
        } else if (key == "time-bits") {
            std::int64_t bits = 0;
            ok = haveBits = ParseInt(*value, bits);
            r.time = DateTime::FromBits(bits);
        } else if (key == "run") {
            ok = ParseInt(*value, r.run);
        } else if (key == "event") {
            r.event = *value;
        } else if (key == "size") {
            ok = ParseInt(*value, r.size);
        } else if (key == "content-type") {
            r.contentType = *value;
        } else if (key == "name") {
            r.name = *value;
        } else if (key == "information") {
            r.information = *value == "1";
        } else if (key == "added") {
            ok = ParseInt(*value, r.added);
        } else if (key == "removed") {
            ok = ParseInt(*value, r.removed);
        } else if (key == "compressed") {
            ok = ParseInt(*value, header.frameBytes);
        }
        if (!ok) return std::nullopt;
    }
    if (!haveNumber || !haveBits || header.frameBytes < 0 || r.size < 0) return std::nullopt;
    return header;
}

// Reads the header of an open version file; the bytes read (header and the start of the
// frame) stay in `text`.
std::optional<Header> ReadHeader(int fd, std::string& text) {
    constexpr std::size_t kStep = 4096;
    text.clear();
    while (text.size() < kMaxHeader) {
        const std::size_t before = text.size();
        const bool whole = ReadAt(fd, text, before, kStep);
        const std::size_t from = before > 0 ? before - 1 : 0;
        if (text.find("\n\n", from) != std::string::npos) return ParseHeader(text);
        if (!whole) return std::nullopt;
    }
    return std::nullopt;
}

enum class Opened { Ok, Missing, Damaged };

// Opens version `number` and reads its header, checking that the file is a regular file of
// exactly the length its header gives.
Opened OpenVersion(int dirFd, std::int32_t number, Fd& fd, Header& header, std::string& text) {
    const std::string name = NameOf(number);
    fd.reset(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) return errno == ENOENT ? Opened::Missing : Opened::Damaged;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Opened::Damaged;
    std::optional<Header> parsed = ReadHeader(fd.get(), text);
    if (!parsed || parsed->record.number != number ||
        static_cast<std::int64_t>(parsed->frameOffset) + parsed->frameBytes != st.st_size)
        return Opened::Damaged;
    header = std::move(*parsed);
    header.record.storedSize = st.st_size;
    return Opened::Ok;
}

// Removes the version files of the folder from the oldest on while there are more than the
// limits allow, never the one numbered `keep`.
void ApplyLimits(int dirFd, const VersionLimits& limits, std::int32_t keep) {
    std::vector<VersionFile> files = ScanFolder(dirFd);
    std::int64_t total = 0;
    for (const VersionFile& file : files)
        total += file.bytes;
    std::size_t count = files.size();
    for (const VersionFile& file : files) {
        if (file.number == keep) continue;
        if (static_cast<std::int64_t>(count) <= limits.kept && total <= limits.maxBytes) break;
        if (::unlinkat(dirFd, NameOf(file.number).c_str(), 0) == 0 || errno == ENOENT) {
            --count;
            total -= file.bytes;
        }
    }
}

}  // namespace

VersionLimits VersionLimitsFrom(const CPropertySet& settings) {
    VersionLimits limits;
    limits.kept = settings.Int(setting::kVersionsKept);
    limits.maxBytes = std::int64_t{settings.Int(setting::kVersionsMaxSize)} << 20;
    return limits;
}

CVersionStore::CVersionStore(std::string folder) : folder_(std::move(folder)) {}

std::string CVersionStore::FolderFor(std::string_view samplePath) {
    return samplePath.empty() ? std::string() : std::string(samplePath) + ".versions";
}

std::vector<VersionRecord> CVersionStore::List(std::vector<std::string>* damaged) const {
    std::vector<VersionRecord> records;
    const Fd dir(OpenFolder(folder_, false));
    if (!dir) return records;
    for (const VersionFile& file : ScanFolder(dir.get())) {
        Fd fd;
        Header header;
        std::string text;
        switch (OpenVersion(dir.get(), file.number, fd, header, text)) {
            case Opened::Ok:
                records.push_back(std::move(header.record));
                break;
            case Opened::Missing:
                break;  // removed since the scan
            case Opened::Damaged:
                if (damaged) damaged->push_back(folder_ + "/" + NameOf(file.number));
                break;
        }
    }
    return records;
}

std::int32_t CVersionStore::NewestNumber() const {
    const Fd dir(OpenFolder(folder_, false));
    if (!dir) return 0;
    const std::vector<VersionFile> files = ScanFolder(dir.get());
    return files.empty() ? 0 : files.back().number;
}

VersionRead CVersionStore::Read(std::int32_t number, std::string& content,
                                VersionRecord* record) const {
    content.clear();
    const Fd dir(OpenFolder(folder_, false));
    if (!dir || number <= 0) return VersionRead::Missing;
    Fd fd;
    Header header;
    std::string text;
    switch (OpenVersion(dir.get(), number, fd, header, text)) {
        case Opened::Ok:
            break;
        case Opened::Missing:
            return VersionRead::Missing;
        case Opened::Damaged:
            return VersionRead::Damaged;
    }
    const auto frameBytes = static_cast<std::size_t>(header.frameBytes);
    if (text.size() < header.frameOffset + frameBytes &&
        !ReadAt(fd.get(), text, text.size(), header.frameOffset + frameBytes - text.size()))
        return VersionRead::Damaged;
    const std::string_view frame(text.data() + header.frameOffset, frameBytes);
    // The frame must say its own size, match the header's and end where the file ends; its
    // checksum is checked by the decompression.
    const unsigned long long size = ZSTD_getFrameContentSize(frame.data(), frame.size());
    if (size == ZSTD_CONTENTSIZE_UNKNOWN || size == ZSTD_CONTENTSIZE_ERROR ||
        size != static_cast<unsigned long long>(header.record.size) ||
        ZSTD_findFrameCompressedSize(frame.data(), frame.size()) != frame.size())
        return VersionRead::Damaged;
    content.resize(static_cast<std::size_t>(size));
    const std::size_t got =
        ZSTD_decompress(content.data(), content.size(), frame.data(), frame.size());
    if (ZSTD_isError(got) || got != content.size()) {
        content.clear();
        return VersionRead::Damaged;
    }
    if (record) *record = std::move(header.record);
    return VersionRead::Ok;
}

std::int32_t CVersionStore::Add(VersionRecord record, std::string_view content,
                                const VersionLimits& limits, std::string* error) {
    const auto fail = [error](std::string text) {
        if (error) *error = std::move(text);
        return 0;
    };
    if (error) error->clear();
    if (folder_.empty()) return fail("No version was kept: the task keeps no sample.");
    if (limits.kept <= 0) {
        // Nothing is kept; the versions there go, but their numbers are not given again.
        const Fd dir(OpenFolder(folder_, false));
        if (!dir) return 0;
        const std::vector<VersionFile> files = ScanFolder(dir.get());
        if (files.empty()) return 0;
        const std::int32_t newest =
            std::max(files.back().number, ReadNumberFile(dir.get(), kNewestFile));
        if (WriteFileIn(dir.get(), kNewestFile, std::to_string(newest) + "\n") == 0)
            ApplyLimits(dir.get(), {0, 0}, 0);
        return 0;
    }

    ZSTD_CCtx* context = ZSTD_createCCtx();
    if (context == nullptr) return fail("No version was kept: out of memory.");
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, kCompressionLevel);
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    ZSTD_CCtx_setParameter(context, ZSTD_c_contentSizeFlag, 1);
    std::string frame(ZSTD_compressBound(content.size()), '\0');
    const std::size_t frameBytes =
        ZSTD_compress2(context, frame.data(), frame.size(), content.data(), content.size());
    ZSTD_freeCCtx(context);
    if (ZSTD_isError(frameBytes))
        return fail(Format("No version was kept: %s.", ZSTD_getErrorName(frameBytes)));
    frame.resize(frameBytes);

    const Fd dir(OpenFolder(folder_, true));
    if (!dir)
        return fail(Format("No version was kept: cannot open the versions folder \"%s\": %s.",
                           folder_, std::strerror(errno)));
    const std::vector<VersionFile> files = ScanFolder(dir.get());
    std::int32_t newest = files.empty() ? 0 : files.back().number;
    newest = std::max(
        {newest, ReadNumberFile(dir.get(), kNewestFile), ReadNumberFile(dir.get(), kViewedFile)});
    if (newest == INT32_MAX) return fail("No version was kept: no version number is left.");
    record.number = newest + 1;
    record.size = static_cast<std::int64_t>(content.size());

    std::string file = HeaderOf(record, frame.size());
    record.storedSize = static_cast<std::int64_t>(file.size() + frame.size());
    if (record.storedSize > limits.maxBytes)
        return fail(
            Format("Version not kept: it would take %s, more than the %s all versions of "
                   "the task may take.",
                   FormatShortSize(record.storedSize), FormatShortSize(limits.maxBytes)));
    file += frame;
    frame = std::string();
    if (const int failed = WriteFileIn(dir.get(), NameOf(record.number), file); failed != 0)
        return fail(Format("No version was kept: cannot write \"%s/%s\": %s.", folder_,
                           NameOf(record.number), std::strerror(failed)));
    ApplyLimits(dir.get(), limits, record.number);
    return record.number;
}

std::int32_t CVersionStore::Viewed() const {
    const Fd dir(OpenFolder(folder_, false));
    return dir ? ReadNumberFile(dir.get(), kViewedFile) : 0;
}

bool CVersionStore::SetViewed(std::int32_t number) {
    const Fd dir(OpenFolder(folder_, true));
    return dir && WriteFileIn(dir.get(), kViewedFile, std::to_string(number) + "\n") == 0;
}

bool CVersionStore::RemoveAll() {
    if (folder_.empty()) return true;
    struct stat st {};
    if (::lstat(folder_.c_str(), &st) != 0) return errno == ENOENT;
    // A link in the folder's place goes itself; what it points at is not touched.
    if (!S_ISDIR(st.st_mode)) return S_ISLNK(st.st_mode) && ::unlink(folder_.c_str()) == 0;
    {
        const Fd dir(OpenFolder(folder_, false));
        if (!dir) return false;
        const int own = ::dup(dir.get());
        DIR* listing = own >= 0 ? ::fdopendir(own) : nullptr;
        if (listing == nullptr) {
            if (own >= 0) ::close(own);
            return false;
        }
        ::rewinddir(listing);
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(listing)) {
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..") names.emplace_back(name);
        }
        ::closedir(listing);
        for (const std::string& name : names)
            ::unlinkat(dir.get(), name.c_str(), 0);
    }
    return ::rmdir(folder_.c_str()) == 0 || errno == ENOENT;
}

}  // namespace tellweir
