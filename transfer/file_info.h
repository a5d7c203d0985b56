// The file information of a resource (FileInfo) as properties of a transfer request, the other
// request properties the local steps and the info cache use, and the freshness rule of cached
// information.
#pragma once

#include <string_view>

#include "base/date_time.h"
#include "store/property_set.h"

namespace tellweir::prop {

// Request properties.
inline constexpr PropertyId kPath = 50;       // string: the URL's path
inline constexpr PropertyId kLocalFile = 51;  // string: local target path of a download
inline constexpr PropertyId kOperation = 55;  // int: see the operation values below
inline constexpr PropertyId kRedirPath = 61;  // string: redirect path within the host
inline constexpr PropertyId kRedirect = 103;  // string: redirect target
inline constexpr PropertyId kBody = 104;      // binary: request body; the resource is dynamic

// Operations (kOperation).
inline constexpr int kOperationEmpty = 0;
inline constexpr int kOperationDownload = 1;
inline constexpr int kOperationUpload = 2;
inline constexpr int kOperationFileInfo = 6;
inline constexpr int kOperationAutomatic = 8;

// Remote side, filled by the protocol clients.
inline constexpr PropertyId kContentType = 600;      // string
inline constexpr PropertyId kContentLocation = 601;  // string
inline constexpr PropertyId kSize = 602;             // int64: -1 or absent = unknown
inline constexpr PropertyId kTimeModified = 603;     // string "%m/%d/%Y %H:%M:%S"
inline constexpr PropertyId kType = 604;             // int: FileType
inline constexpr PropertyId kSizeKnown = 605;        // int: 1 when the size is known
inline constexpr PropertyId kETag = 608;             // string
inline constexpr PropertyId kContentEncoding = 609;  // string, e.g. "gzip"
inline constexpr PropertyId kAdded = 610;            // string: when the information was obtained

// Local side, describing the local target file.
inline constexpr PropertyId kLocalReserved = 700;  // string: always empty
inline constexpr PropertyId kLocalSize = 702;      // int64
inline constexpr PropertyId kLocalTime = 703;      // string "%m/%d/%Y %H:%M:%S"
inline constexpr PropertyId kLocalType = 704;      // int: FileType

}  // namespace tellweir::prop

namespace tellweir {

// The text form of file times and of the Added time.
inline constexpr const char* kFileTimeFormat = "%m/%d/%Y %H:%M:%S";

// Information stays fresh for this many seconds after it was obtained.
inline constexpr std::int64_t kFileInfoLifetimeSeconds = 432000;

// True when the type (604) is one of the named resource kinds 1..17.
bool HasKnownFileType(const CPropertySet& info);

// True when `added` is a date text that is not later than `now` and less than five days older;
// the age counts whole seconds.
bool IsAddedTimeFresh(std::string_view added, DateTime now);

// Reads a date text as local time with the general date parser (store/date_text.h), two-digit
// years widened (below 30 are 20xx, others 19xx): the texts the transfer engine writes ("M/D/Y"
// with an optional "H:M" or "H:M:S", and "Y-M-D") and the other common forms. False for anything
// else or an impossible date.
bool ParseDateText(std::string_view text, DateTime& out);

}  // namespace tellweir
