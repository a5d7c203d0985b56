// Bounded whole-file reads and the process-wide record of kept state files.
#include "store/state_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <set>
#include <system_error>
#include <utility>

#include "base/ascii_text.h"
#include "store/attribute_list.h"

namespace tellweir {

namespace {

std::string ErrorProblem(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return "no permission";
        case EISDIR:
            return "is a folder";
        default:
            return std::error_code(error, std::generic_category()).message();
    }
}

struct KeptFiles {
    std::mutex lock;
    std::set<std::string, std::less<>> paths;
    std::vector<std::string> notices;
};

KeptFiles& Kept() {
    static KeptFiles kept;
    return kept;
}

}  // namespace

std::string TooLargeProblem(std::size_t maxBytes) {
    constexpr std::size_t kMiB = 1024 * 1024;
    if (maxBytes >= kMiB && maxBytes % kMiB == 0)
        return "larger than " + std::to_string(maxBytes / kMiB) + " MiB";
    return "larger than " + std::to_string(maxBytes) + " bytes";
}

CStateFileReader::CStateFileReader(const std::string& path, std::size_t maxBytes)
    : maxBytes_(maxBytes) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        if (errno == ENOENT) {
            status_.missing = true;
            status_.error = ENOENT;
            return;
        }
        Fail(errno);
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        Fail(errno);
    } else if (!S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        Fail(folder ? EISDIR : EINVAL);
        if (!folder) status_.problem = "not a regular file";
    } else if (st.st_size < 0 || static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
        Fail(EFBIG);
    } else {
        size_ = static_cast<std::size_t>(st.st_size);
    }
}

CStateFileReader::~CStateFileReader() {
    if (fd_ >= 0) ::close(fd_);
}

void CStateFileReader::Fail(int error) {
    status_.error = error;
    status_.problem = error == EFBIG ? TooLargeProblem(maxBytes_) : ErrorProblem(error);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::size_t CStateFileReader::Read(void* buffer, std::size_t count) {
    while (fd_ >= 0 && count > 0) {
        const ssize_t n = ::read(fd_, buffer, count);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            Fail(errno);
            return 0;
        }
        // The file may grow while it is read; the limit holds all the same.
        done_ += static_cast<std::size_t>(n);
        if (done_ > maxBytes_) {
            Fail(EFBIG);
            return 0;
        }
        return static_cast<std::size_t>(n);
    }
    return 0;
}

StateFileRead ReadStateFile(const std::string& path, std::size_t maxBytes) {
    CStateFileReader file(path, maxBytes);
    if (!file.Status().Read()) return file.Status();
    StateFileRead read;
    read.text.reserve(file.OpenedSize());
    char buffer[65536];
    while (const std::size_t n = file.Read(buffer, sizeof buffer))
        read.text.append(buffer, n);
    if (!file.Status().Read()) return file.Status();
    return read;
}

std::string DescribeLineFileDamage(std::string_view text,
                                   std::initializer_list<std::string_view> required,
                                   std::size_t maxLineBytes) {
    if (text.find('\0') != std::string_view::npos) return "damaged: it holds binary data";
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t feed = text.find('\n');
        const std::size_t length = feed == std::string_view::npos ? text.size() : feed + 1;
        const std::string_view line = text.substr(0, length);
        text.remove_prefix(length);
        if (maxLineBytes != 0 && line.size() > maxLineBytes)
            return "damaged: line " + std::to_string(number) + " is too long";
        if (TrimAsciiSpace(line).empty()) continue;
        std::vector<bool> found(required.size(), false);
        ParseAttributeList(line,
                           [&](std::string_view name) {
                               std::size_t i = 0;
                               for (const std::string_view wanted : required) {
                                   if (EqualsIgnoreAsciiCase(name, wanted)) found[i] = true;
                                   ++i;
                               }
                               return true;
                           },
                           {});
        if (std::find(found.begin(), found.end(), false) != found.end())
            return "damaged: line " + std::to_string(number) + " cannot be read";
    }
    return {};
}

void KeepStateFile(const std::string& path, std::string_view why) {
    KeptFiles& kept = Kept();
    std::lock_guard guard(kept.lock);
    if (!kept.paths.insert(path).second) return;
    kept.notices.push_back("Cannot read \"" + path + "\" (" + std::string(why) +
                           "): it is left as it is.");
}

bool IsStateFileKept(const std::string& path) {
    KeptFiles& kept = Kept();
    std::lock_guard guard(kept.lock);
    return kept.paths.contains(path);
}

std::vector<std::string> TakeStateFileNotices() {
    KeptFiles& kept = Kept();
    std::lock_guard guard(kept.lock);
    return std::exchange(kept.notices, {});
}

}  // namespace tellweir
