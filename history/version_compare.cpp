// Versions as text and their differences.
#include "history/version_compare.h"

#include <string>
#include <utility>

namespace tellweir {

ContentText VersionText(const VersionRecord& record, std::string_view content) {
    if (record.information) return {TextKind::Plain, std::string(content), "UTF-8"};
    return ContentToText(content, {record.contentType, record.name});
}

VersionCompare CompareVersions(const CVersionStore& store, std::int32_t from, std::int32_t to,
                               CTextDiff& diff, VersionRecord* fromRecord,
                               VersionRecord* toRecord) {
    std::string oldContent, newContent;
    VersionRecord oldRecord, newRecord;
    const VersionRead oldRead = store.Read(from, oldContent, &oldRecord);
    const VersionRead newRead = store.Read(to, newContent, &newRecord);
    // A damaged file says more than a missing one: the user asked for a version that was kept.
    if (oldRead == VersionRead::Damaged || newRead == VersionRead::Damaged)
        return VersionCompare::Damaged;
    if (oldRead != VersionRead::Ok || newRead != VersionRead::Ok)
        return VersionCompare::NoSuchVersion;
    ContentText oldText = VersionText(oldRecord, oldContent);
    oldContent = std::string();
    ContentText newText = VersionText(newRecord, newContent);
    newContent = std::string();
    diff = CTextDiff::Compare(std::move(oldText.text), std::move(newText.text));
    if (fromRecord) *fromRecord = std::move(oldRecord);
    if (toRecord) *toRecord = std::move(newRecord);
    return VersionCompare::Ok;
}

std::string VersionLabel(std::string_view taskName, const VersionRecord& record) {
    return std::string(taskName) + " version " + std::to_string(record.number) + "\t" +
           record.time.Format("%Y-%m-%d %H:%M:%S");
}

}  // namespace tellweir
