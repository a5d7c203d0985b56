// The content class of a resource or link, its names, and classification by content type and
// file name.
#pragma once

#include <cstdint>
#include <string_view>

namespace tellweir {

// Stored as an integer (transfer property 604, the info cache), so any value may arrive; the
// name functions treat values outside 0..17 as unnamed.
enum class FileType : std::int32_t {
    Unknown = 0,
    Text = 1,
    File = 2,
    Html = 3,
    Image = 4,
    Audio = 5,
    Video = 6,
    Archive = 7,
    FtpList = 8,
    FtpLink = 9,
    LocalFolder = 10,
    HttpRedirect = 11,
    Form = 12,
    GenericUrl = 13,
    UrlList = 14,
    Mailto = 15,
    Script = 16,
    Anchor = 17,
};

// "UNKNOWN" .. "ANCHOR"; empty for a value outside 0..17.
std::string_view FileTypeName(FileType type);

// Case-insensitive; Unknown when no name matches.
FileType FileTypeFromName(std::string_view name);

// Unknown..Archive only: the content type decides when one of its known substrings occurs
// (case-sensitively, as servers send them), otherwise the path's extension does; an empty path
// with no deciding content type is Unknown, any other path at least File.
FileType ClassifyContent(std::string_view contentType, std::string_view path);

}  // namespace tellweir
