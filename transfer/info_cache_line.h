// One line of "InfoCache.txt": reading it into an entry and writing an entry as a line.
#pragma once

#include <string>
#include <string_view>

#include "transfer/info_cache.h"

namespace tellweir {

// Reads the name=value pairs of `line` (names in any case) into `entry`, which should be empty.
// A URL that does not parse leaves the address empty; unknown names are ignored.
void ParseInfoCacheLine(std::string_view line, InfoCacheEntry& entry);

// The entry's line, ending with CR LF; empty when the entry has no URL or holds a value with a
// line break, which could not be read back as one line.
std::string FormatInfoCacheLine(const InfoCacheEntry& entry);

// The key text of an entry: the URL with path and user, without password.
std::string InfoCacheUrl(const CUrlAddress& address, std::string_view path);

}  // namespace tellweir
