// Writing, finding and removing the diff files of the actions.
#include "core/action_diff_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "history/version_compare.h"
#include "store/app_settings.h"
#include "store/atomic_file.h"
#include "store/setting_ids.h"

namespace tellweir {

namespace {

constexpr const char* kSuffix = ".diff";

// A folder of this user's alone: made 0700 when missing; one found there must be a real folder
// (not a link) owned by this user, and is made 0700 if it is not.
bool PrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return false;
    return (info.st_mode & 07777) == 0700 || ::chmod(path.c_str(), 0700) == 0;
}

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] != '/') return {};
    return std::string(runtime) + "/tellweir";
}

std::string CacheDiffFolder() {
    const std::string cache = AppSettings().String(setting::kCacheFolder);
    if (cache.empty() || cache[0] != '/') return {};
    return cache + "/Diffs";
}

// The process id of a file named "<pid>-<n>.diff"; 0 for any other name.
pid_t OwnerOf(std::string_view name) {
    if (!name.ends_with(kSuffix)) return 0;
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos) return 0;
    pid_t pid = 0;
    for (const char c : name.substr(0, dash)) {
        if (c < '0' || c > '9' || pid > 99999999) return 0;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

void RemoveLeftoversIn(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t pid = OwnerOf(entry->d_name);
        if (pid <= 0 || pid == ::getpid()) continue;
        if (::kill(pid, 0) != 0 && errno == ESRCH) stale.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : stale)
        ::unlink((folder + "/" + name).c_str());
}

}  // namespace

std::string ActionDiffFolder() {
    if (std::string runtime = RuntimeFolder(); !runtime.empty() && PrivateFolder(runtime))
        return runtime;
    if (std::string cache = CacheDiffFolder(); !cache.empty()) {
        const std::string parent = cache.substr(0, cache.rfind('/'));
        if (::mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST) return {};
        if (PrivateFolder(cache)) return cache;
    }
    return {};
}

void RemoveLeftoverDiffFiles() {
    for (const std::string& folder : {RuntimeFolder(), CacheDiffFolder()})
        if (!folder.empty()) RemoveLeftoversIn(folder);
}

std::shared_ptr<const CActionDiffFile> CActionDiffFile::Write(std::string_view text,
                                                              std::string& error) {
    const std::string folder = ActionDiffFolder();
    if (folder.empty()) {
        error = "no private folder for the difference file";
        return nullptr;
    }
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path =
            folder + "/" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + kSuffix;
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;  // left by an earlier process of this id
        if (fd < 0) {
            error = "cannot create \"" + path + "\": " + std::strerror(errno);
            return nullptr;
        }
        const bool written = WriteFully(fd, text);
        const int saved = errno;
        if (::close(fd) != 0 || !written) {
            ::unlink(path.c_str());
            error = "cannot write \"" + path + "\": " + std::strerror(written ? errno : saved);
            return nullptr;
        }
        return std::shared_ptr<const CActionDiffFile>(new CActionDiffFile(path));
    }
    error = "no free name for the difference file in \"" + folder + "\"";
    return nullptr;
}

CActionDiffFile::~CActionDiffFile() {
    ::unlink(path_.c_str());
}

std::shared_ptr<const CActionDiffFile> WriteChangeDiffFile(const std::string& versionFolder,
                                                           std::string_view taskName,
                                                           std::int32_t version,
                                                           std::string& error) {
    if (versionFolder.empty() || version <= 0) return nullptr;
    const CVersionStore store(versionFolder);
    std::int32_t before = 0;
    for (const VersionRecord& record : store.List()) {
        if (record.number >= version) break;
        before = record.number;
    }
    if (before == 0) return nullptr;
    CTextDiff diff;
    VersionRecord oldRecord, newRecord;
    if (CompareVersions(store, before, version, diff, &oldRecord, &newRecord) !=
        VersionCompare::Ok) {
        error = "versions " + std::to_string(before) + " and " + std::to_string(version) +
                " cannot be read";
        return nullptr;
    }
    return CActionDiffFile::Write(FormatUnifiedDiff(diff, VersionLabel(taskName, oldRecord),
                                                    VersionLabel(taskName, newRecord)),
                                  error);
}

}  // namespace tellweir
