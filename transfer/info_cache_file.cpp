// Loading and saving "InfoCache.txt".
#include "store/atomic_file.h"
#include "store/state_file.h"
#include "transfer/info_cache.h"
#include "transfer/info_cache_line.h"
#include "transfer/local_file.h"

namespace tellweir {

namespace {

// Some hundred thousand entries: far beyond what the tasks of one user ask for.
constexpr std::size_t kMaxInfoCacheFileBytes = 32u << 20;

}  // namespace

void CInfoCache::LoadLinesLocked(const std::function<bool(std::string& line, bool& cut)>& next) {
    ClearLocked();
    std::string line;
    bool cut = false;
    while (next(line, cut)) {
        // A line that long is damage; what is left of it would only make a bogus entry.
        if (cut) continue;
        InfoCacheEntry entry;
        ParseInfoCacheLine(line, entry);
        StoreLocked(entry.address, entry.data);
    }
}

bool CInfoCache::Load(const std::string& path) {
    const StateFileRead read = ReadStateFile(path, kMaxInfoCacheFileBytes);
    if (!read.Read()) {
        if (!read.missing) KeepStateFile(path, read.problem);
        return false;
    }
    const std::string damage =
        DescribeLineFileDamage(read.text, {"URL"}, CLocalFile::kMaxLineLength);
    if (!damage.empty()) KeepStateFile(path, damage);
    LoadText(read.text);
    return true;
}

void CInfoCache::LoadText(std::string_view text) {
    std::lock_guard guard(lock_);
    LoadLinesLocked([&text](std::string& line, bool& cut) {
        if (text.empty()) return false;
        // The same lines as the file reader gives: up to and including each line feed.
        const std::size_t feed = text.find('\n');
        const std::size_t length = feed == std::string_view::npos ? text.size() : feed + 1;
        cut = length > CLocalFile::kMaxLineLength;
        line.assign(text.substr(0, cut ? CLocalFile::kMaxLineLength : length));
        text.remove_prefix(length);
        for (char& c : line)
            if (c == '\0') c = '\x01';
        return true;
    });
}

std::string CInfoCache::SaveText() {
    std::string text;
    std::lock_guard guard(lock_);
    EnumerateLocked([&text](const InfoCacheEntry& entry) { text += FormatInfoCacheLine(entry); });
    return text;
}

bool CInfoCache::Save(const std::string& path) {
    if (IsStateFileKept(path)) return false;
    CAtomicFileWriter writer;
    if (!writer.Open(path)) return false;
    return writer.Write(SaveText()) && writer.Commit();
}

}  // namespace tellweir
