// Fuzz target of the "InfoCache.txt" reader and writer: any bytes as the file's content are
// loaded, enumerated and saved; what is saved must be whole CR LF lines, and reading it back
// must settle: a second load and save gives the same lines again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/file_info.h"
#include "transfer/info_cache.h"

namespace {

using namespace tellweir;

DateTime FixedNow() {
    std::tm tm{};
    tm.tm_year = 2024 - 1900;
    tm.tm_mon = 5;
    tm.tm_mday = 15;
    tm.tm_hour = 12;
    return DateTime::FromTm(tm);
}

std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) std::abort();  // every line ends with CR LF
        lines.push_back(text.substr(pos, end - pos));
        if (lines.back().find_first_of("\r\n") != std::string::npos) std::abort();
        pos = end + 2;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string LoadAndSave(std::string_view text, int* entries = nullptr) {
    CInfoCache cache;
    const DateTime now = FixedNow();
    cache.SetClock([now] { return now; });
    cache.LoadText(text);
    int count = 0;
    cache.Enumerate([&count](const InfoCacheEntry& entry) {
        if (!HasKnownFileType(entry.data)) std::abort();
        ++count;
    });
    if (entries) *entries = count;
    return cache.SaveText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    int entries = 0;
    const std::string first = LoadAndSave(text, &entries);
    const auto firstLines = SortedLines(first);
    if (firstLines.size() > static_cast<std::size_t>(entries)) std::abort();
    const std::string second = LoadAndSave(first);
    if (SortedLines(second).size() > firstLines.size()) std::abort();
    const std::string third = LoadAndSave(second);
    if (SortedLines(third) != SortedLines(second)) std::abort();
    return 0;
}
