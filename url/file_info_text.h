// The one-line text form of a resource's file information, as transfer logs show it.
#pragma once

#include <cstdint>
#include <string>

#include "url/file_type.h"

namespace tellweir {

// The fields of the file information that the text shows; the transfer fills it from its
// file-information properties.
struct FileInfoSummary {
    FileType type = FileType::Unknown;
    std::int64_t size = -1;
    bool sizeKnown = false;
    std::string timeModified;  // "%m/%d/%Y %H:%M:%S" text, or empty
    std::string etag;
};

// `type= HTML, size= 1234, time="03/03/2004 14:05:09", E-Tag= "abc"`; the size only when known
// and non-zero, time and E-Tag only when non-empty; a type outside 0..17 shows as UNKNOWN.
std::string DescribeFileInfo(const FileInfoSummary& info);

}  // namespace tellweir
