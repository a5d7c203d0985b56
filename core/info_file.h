// The INFO file of a monitor task: one text of name="value" pairs with the file information of
// the previous run (URL, E-Tag, content type, size, modification and creation times).
#pragma once

#include <atomic>
#include <string>

#include "store/property_set.h"
#include "store/setting_table.h"

namespace tellweir {

// URL (100), ETag (129), ContentType (130), Size (131), TimeModified (132), TimeCreated (133).
const CSettingTable& InfoFileTable();

// Reads the file's pairs into `info` (the table's defaults first); false when it cannot be read.
bool ReadInfoFile(const std::string& path, CPropertySet& info);
// Writes the pairs that differ from their defaults, replacing the file (never through a link,
// and not flushed to disk: it is rewritten every run); a file that holds the same bytes already
// is left alone. False when it cannot be written.
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
