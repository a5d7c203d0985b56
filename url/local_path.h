// Telling local paths from URLs, file-name extensions of paths and URL paths, and turning what a
// user typed ("file:" URIs, relative paths) into the absolute local path a task keeps.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tellweir {

// True for "C:..." (a letter and ':'), two leading separators ("//host", "\\host"), "file:",
// and the native forms beginning with "/" or "~/". An empty text is not local.
bool IsLocalPath(std::string_view text);

// The text from the last '.' of the last path segment, dot included ("/a/b.tar.gz" gives
// ".gz"); empty when that segment has no dot. '/' and '\' both end a segment.
std::string_view GetFileExtension(std::string_view path);

// The local path a "file:" URI names (the scheme in any case): "file:///p", "file://localhost/p"
// and "file:/p" give "/p", percent-decoded, with any query or fragment cut off. Nothing for a
// text that is no "file:" URI, one naming another host or no absolute path, a bad escape, or an
// escaped NUL.
std::optional<std::string> PathFromFileUri(std::string_view uri);

// True for a text with no scheme that IsLocalPath does not accept: no "://", no prefix of the
// protocol table ("mailto:" ...), no "file:" in any case. Such a text names a path relative to
// the current folder.
bool IsRelativeLocalPath(std::string_view text);

// `relative` below `folder`, with "." and ".." segments resolved by their text.
std::string AbsolutePathIn(std::string_view folder, std::string_view relative);

}  // namespace tellweir
