// Telling local paths from URLs, and file-name extensions of paths and URL paths.
#pragma once

#include <string_view>

namespace tellweir {

// True for "C:..." (a letter and ':'), two leading separators ("//host", "\\host"), "file:",
// and the native forms beginning with "/" or "~/". An empty text is not local.
bool IsLocalPath(std::string_view text);

// The text from the last '.' of the last path segment, dot included ("/a/b.tar.gz" gives
// ".gz"); empty when that segment has no dot. '/' and '\' both end a segment.
std::string_view GetFileExtension(std::string_view path);

}  // namespace tellweir
