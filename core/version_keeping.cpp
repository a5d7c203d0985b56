// Keeping a version in a run: the lines counted against the version before, then the store.
#include "core/version_keeping.h"

#include "base/byte_count.h"
#include "base/text_format.h"
#include "diff/text_diff.h"
#include "history/version_compare.h"

namespace tellweir {

KeptVersion KeepVersion(const VersionJob& job, std::string_view event, std::string_view content) {
    KeptVersion kept;
    CVersionStore store(job.folder);
    VersionRecord record = job.record;
    record.event = std::string(event);
    if (job.limits.kept > 0) {
        if (const std::int32_t previous = store.NewestNumber(); previous > 0) {
            std::string before;
            VersionRecord beforeRecord;
            switch (store.Read(previous, before, &beforeRecord)) {
                case VersionRead::Ok: {
                    const CTextDiff diff = CTextDiff::Compare(
                        VersionText(beforeRecord, before).text, VersionText(record, content).text);
                    record.added = diff.Added();
                    record.removed = diff.Removed();
                    break;
                }
                case VersionRead::Damaged:
                    kept.damaged.push_back(job.folder + "/" + Format("%06d.version", previous));
                    break;
                case VersionRead::Missing:
                    break;  // removed meanwhile: nothing to count against
            }
        }
    }
    kept.number = store.Add(record, content, job.limits, &kept.error);
    if (kept.number > 0) {
        kept.added = record.added;
        kept.removed = record.removed;
    }
    return kept;
}

std::string InformationText(std::int64_t size, std::string_view timeModified,
                            std::string_view timeCreated, std::string_view etag,
                            std::string_view contentType) {
    std::string text = "Size: " + std::to_string(size) + "\n";
    const auto line = [&text](std::string_view name, std::string_view value) {
        if (!value.empty()) text.append(name).append(": ").append(value).append("\n");
    };
    line("Time modified", timeModified);
    line("Time created", timeCreated);
    line("E-Tag", etag);
    line("Content type", contentType);
    return text;
}

std::string VersionNameOf(std::string_view uri) {
    const std::size_t scheme = uri.find("://");
    if (scheme == std::string_view::npos) return std::string(uri);
    const std::size_t pathStart = uri.find('/', scheme + 3);
    if (pathStart == std::string_view::npos) return "/";
    std::string_view path = uri.substr(pathStart);
    path = path.substr(0, path.find_first_of("?#"));
    return std::string(path);
}

}  // namespace tellweir
