// Where a monitor task keeps its files in the cache folder: the base path of its sample and INFO
// files, and the file a remote download goes into.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/date_time.h"

namespace tellweir {

// h = h * 33 + c over the bytes taken as signed 8-bit values, in 32-bit arithmetic ("abc" gives
// 0x0001A9A6).
std::uint32_t CacheNameHash(std::string_view text);

// The cache base path of `uri` for a task created at `created`:
//   local:  <cache>/locals/<T>_<hash(uri)><hash(name)>_<name>, name after the last separator;
//   remote: <cache>/remotes/<PROTOCOL>/[user@]host-port/<T>_<hash(uri)><hash(name)>_<name>, name
//           the escaped URL path ("[default]" for a folder, "?-params" for a query);
// T as "%Y_%m_%d_%H_%M_%S", hashes as eight upper-case hex digits. Empty when the cache folder
// is empty or a remote URI does not parse.
std::string CacheBasePath(std::string_view cacheFolder, std::string_view uri, DateTime created);

// The download file of a remote `uri` under "<cache>/Downloads", numbered with a process-wide
// counter that grows with every path made. Empty when the cache folder is empty or the URI does
// not parse.
std::string TaskDownloadPath(std::string_view cacheFolder, std::string_view uri);

}  // namespace tellweir
