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

StateFileRead ReadStateFile(const std::string& path, std::size_t maxBytes) {
    StateFileRead read;
    const auto fail = [&read](int error, std::string problem) {
        read.error = error;
        read.problem = std::move(problem);
        read.text.clear();
        return read;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) {
            read.missing = true;
            read.error = ENOENT;
            return read;
        }
        return fail(errno, ErrorProblem(errno));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(error, ErrorProblem(error));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? fail(EISDIR, "is a folder")
                                   : fail(EINVAL, "not a regular file");
    }
    if (st.st_size < 0 || static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return fail(EFBIG, TooLargeProblem(maxBytes));
    }
    read.text.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return fail(error, ErrorProblem(error));
        }
        if (n == 0) break;
        // The file may grow while it is read; the limit holds all the same.
        if (read.text.size() + static_cast<std::size_t>(n) > maxBytes) {
            ::close(fd);
            return fail(EFBIG, TooLargeProblem(maxBytes));
        }
        read.text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
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
