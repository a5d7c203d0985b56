// Loading the versions and their differences.
#include "shell/changes_view/changes_loader.h"

#include <algorithm>

namespace tellweir {

std::pair<std::int32_t, std::int32_t> DefaultPair(const std::vector<VersionRecord>& versions,
                                                  std::int32_t viewed) {
    if (versions.empty()) return {0, 0};
    const std::int32_t newest = versions.back().number;
    const bool viewedKept =
        std::any_of(versions.begin(), versions.end(),
                    [&](const VersionRecord& record) { return record.number == viewed; });
    if (viewedKept && viewed < newest) return {viewed, newest};
    if (versions.size() < 2) return {0, newest};
    return {versions[versions.size() - 2].number, newest};
}

ChangesResult LoadChanges(const ChangesRequest& request) {
    ChangesResult result;
    const CVersionStore store(request.folder);
    result.from = request.from;
    result.to = request.to;
    if (request.list) {
        result.listed = true;
        result.versions = store.List(&result.damaged);
        if (request.from == 0 && request.to == 0)
            std::tie(result.from, result.to) = DefaultPair(result.versions, request.viewed);
    }
    if (result.to <= 0) return result;
    // Shared with the view as it is: a 10 MB pair is never copied.
    auto diff = std::make_shared<CTextDiff>();
    if (result.from > 0) {
        result.code = CompareVersions(store, result.from, result.to, *diff, &result.fromRecord,
                                      &result.toRecord);
    } else {
        // A lone version: its whole text, added.
        std::string content;
        switch (store.Read(result.to, content, &result.toRecord)) {
            case VersionRead::Ok:
                *diff =
                    CTextDiff::Compare(std::string(), VersionText(result.toRecord, content).text);
                break;
            case VersionRead::Missing:
                result.code = VersionCompare::NoSuchVersion;
                break;
            case VersionRead::Damaged:
                result.code = VersionCompare::Damaged;
                break;
        }
    }
    if (result.code == VersionCompare::Ok) result.diff = std::move(diff);
    return result;
}

}  // namespace tellweir
