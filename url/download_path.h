// The local file name under which a downloaded URL is stored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "url/url_address.h"

namespace tellweir {

// Replaces each of < > * ? " \ | / : by '%' and two upper-case hex digits, so that any URL path
// becomes one file name ("/a/b" gives "%2Fa%2Fb").
std::string EscapeFileName(std::string_view text);

// "<folder>/<scheme>/[<user>@]<host>[ <port>]/<escaped path>", the port only when it is not
// the default and "[default]" appended to an empty path or one ending in '/'. A path with a
// query is cut at the '?' and gets "[<seconds>.<n>].xdat" appended, n being the first value from
// `counter` up to 9998 whose name does not exist yet; the caller advances its own counter after
// every call. Empty for a record without host or protocol, or when no n is left.
std::string MakeDownloadPath(std::string_view folder, const CUrlAddress& address,
                             std::string_view path, std::int32_t counter);

// The same with the time in seconds since 1970 given, for callers and tests that fix the clock.
std::string MakeDownloadPath(std::string_view folder, const CUrlAddress& address,
                             std::string_view path, std::int32_t counter, std::int64_t nowSeconds);

}  // namespace tellweir
