// Versions as text and the differences between two of them, as the window, the command line and
// the actions show them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "diff/content_text.h"
#include "diff/text_diff.h"
#include "history/version_store.h"

namespace tellweir {

// The text of a version: its content read as text, or a file-information record as it is.
ContentText VersionText(const VersionRecord& record, std::string_view content);

enum class VersionCompare { Ok, NoSuchVersion, Damaged };

// Compares version `from` with version `to` of `store` (`diff` gets their texts' differences,
// the records their descriptions).
VersionCompare CompareVersions(const CVersionStore& store, std::int32_t from, std::int32_t to,
                               CTextDiff& diff, VersionRecord* fromRecord = nullptr,
                               VersionRecord* toRecord = nullptr);

// The label of a version in a unified diff's header: "<task name> version <n>\t<time>", the time
// as "%Y-%m-%d %H:%M:%S".
std::string VersionLabel(std::string_view taskName, const VersionRecord& record);

}  // namespace tellweir
