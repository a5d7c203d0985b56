// CVersionStore: the versions a task keeps of its resource, in its versions folder beside its
// sample ("<sample>.versions"): one owner-only file per version holding its description and its
// content compressed, and the number of the newest version the user has viewed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.h"
#include "store/property_set.h"

namespace tellweir {

struct VersionRecord {
    std::int32_t number = 0;      // 1, 2, ... in the order kept; never given twice in one folder
    DateTime time;                // local time of the run that kept it
    std::int32_t run = 0;         // the task's run count then
    std::string event;            // "First Time", "Content Changed", ...
    std::int64_t size = 0;        // bytes of the content
    std::int64_t storedSize = 0;  // bytes its file takes (filled by List and Read)
    std::string contentType;      // the reply's Content-Type; empty for a local file
    std::string name;             // file name or URL path, a hint for reading it as text
    bool information = false;     // the file-information record of a task without download
    // Lines of text added and removed against the version before it; -1 when not known.
    std::int32_t added = -1;
    std::int32_t removed = -1;
};

// How many versions a task keeps and how many bytes their files may take in all.
struct VersionLimits {
    std::int32_t kept = 10;
    std::int64_t maxBytes = std::int64_t{50} << 20;
};
// "Misc/Versions Kept" and "Misc/Versions Max Size" (MiB).
VersionLimits VersionLimitsFrom(const CPropertySet& settings);

enum class VersionRead { Ok, Missing, Damaged };

class CVersionStore {
  public:
    explicit CVersionStore(std::string folder);

    // The versions folder of the task whose sample is at `samplePath`; empty for an empty path.
    static std::string FolderFor(std::string_view samplePath);
    const std::string& Folder() const { return folder_; }

    // The versions there, oldest first. A file that cannot be read as a version is left out and
    // its path added to `damaged` when given.
    std::vector<VersionRecord> List(std::vector<std::string>* damaged = nullptr) const;
    // The newest version's number from the file names alone (0 when none): cheap enough for a
    // queue load.
    std::int32_t NewestNumber() const;
    // The content and description of version `number`. Damaged: the file is there but cannot be
    // read back whole (never taken for an empty version).
    VersionRead Read(std::int32_t number, std::string& content,
                     VersionRecord* record = nullptr) const;

    // Keeps `content` as the next version (its number, size and stored size are filled in here),
    // then removes the oldest versions beyond `limits`. The folder is made owner-only when
    // missing and nothing is written through a link. Returns the new number, or 0 when nothing
    // was kept: no versions wanted, a content whose file alone exceeds the size limit, or a
    // failed write (`error`, when given, says which in a sentence for the task's log).
    std::int32_t Add(VersionRecord record, std::string_view content, const VersionLimits& limits,
                     std::string* error = nullptr);

    // The newest version the user has viewed (0: none).
    std::int32_t Viewed() const;
    bool SetViewed(std::int32_t number);

    // Deletes every version and the folder; true when nothing is left.
    bool RemoveAll();

  private:
    std::string folder_;
};

}  // namespace tellweir
