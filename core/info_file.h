// The INFO file of a monitor task: one text of name="value" pairs with the file information of
// the previous run (URL, E-Tag, content type, size, modification and creation times).
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "store/property_set.h"
#include "store/setting_table.h"

namespace tellweir {

// URL (100), ETag (129), ContentType (130), Size (131), TimeModified (132), TimeCreated (133).
const CSettingTable& InfoFileTable();

// An INFO file as a run found it: whether anything is there, its text, and whether it is a
// plain file of the program's own (regular, no link, owner-only) whose whole text was read, so
// that a run that finds the same text need not write it again.
struct KeptInfoFile {
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    std::string text;
    bool plain = false;
};

// Reads the INFO file at `path` with one open and one read when it is a plain file; an empty
// path is missing.
KeptInfoFile ReadKeptInfoFile(const std::string& path);
// The pairs of an INFO file's text into `info`, over the table's defaults.
void ParseInfoText(std::string_view text, CPropertySet& info);

// Reads the file's pairs into `info` (the table's defaults first); false when it cannot be read.
bool ReadInfoFile(const std::string& path, CPropertySet& info);

enum class InfoWrite {
    Written,
    Unchanged,  // the file held these very bytes; nothing was written
    NoFolder,   // its folder was missing and could not be created
    Failed,
};

// Writes the pairs that differ from their defaults, replacing the file (never through a link,
// and not flushed to disk: it is rewritten every run). A file that holds the same bytes already
// is left alone: `kept` (optional) is what the run read from it, else the file is looked at.
// The file's folder is made only when the write finds it missing, so a run whose folder is
// there costs no look at it.
InfoWrite WriteKeptInfoFile(const std::string& path, const CPropertySet& info,
                            const KeptInfoFile* kept = nullptr);
// WriteKeptInfoFile without what a run read; false when nothing could be written.
bool WriteInfoFile(const std::string& path, const CPropertySet& info);

// Compares the first `size` bytes of two open descriptors from offset 0 in blocks of at most
// 64 KiB: 0 equal, 1 different, -1 when a seek or read fails or, between blocks, `stop`
// (optional) is set.
int CompareFileContents(int fileA, int fileB, std::int64_t size,
                        const std::atomic<bool>* stop = nullptr);
// Copies `size` bytes of `source` over the start of `target` (both from offset 0); -1 on a
// failed read or write, else 0.
int CopyFileContents(int source, int target, std::int64_t size);

}  // namespace tellweir
