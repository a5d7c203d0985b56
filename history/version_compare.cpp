// Versions as text and their differences (to be built).
#include "history/version_compare.h"

namespace tellweir {

ContentText VersionText(const VersionRecord& record, std::string_view content) {
    if (record.information) return {TextKind::Plain, std::string(content), "UTF-8"};
    return ContentToText(content, {record.contentType, record.name});
}

VersionCompare CompareVersions(const CVersionStore& /*store*/, std::int32_t /*from*/,
                               std::int32_t /*to*/, CTextDiff& /*diff*/,
                               VersionRecord* /*fromRecord*/, VersionRecord* /*toRecord*/) {
    return VersionCompare::NoSuchVersion;
}

std::string VersionLabel(std::string_view taskName, const VersionRecord& record) {
    return std::string(taskName) + " version " + std::to_string(record.number) + "\t" +
           record.time.Format("%Y-%m-%d %H:%M:%S");
}

}  // namespace tellweir
