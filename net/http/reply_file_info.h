// Turning an HTTP reply's header block into the file information of the transfer.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/date_time.h"
#include "log/transfer_result.h"
#include "store/property_set.h"

namespace tellweir {

// What reading the body needs to know besides the file information.
struct ReplyLengths {
    std::int64_t contentLength = -1;  // "Content-Length:"; -1 when absent or unreadable
    std::int64_t rangeStart = 0;      // of a 206 reply
    std::int64_t rangeEnd = -1;       // of a 206 reply
    std::int64_t size = -1;           // of the whole resource; -1 unknown
};

// Fills the file information of `transfer` (transfer/file_info.h) from the reply with the status
// `status` and the header block `block`: the time obtained (`now`) always; for a 2xx reply also
// content type and encoding, content location (escaped with EscapeReplyUrl and resolved against
// `requestUrl`, the request's URL with path and user but without password), E-Tag (without a
// leading "W/"), size and whether it is known, the type (by content type and request path,
// property 61 else 50) and the time modified (Last-Modified as local time). A reply with a content
// encoding has an unknown size unless its content type is "application/x-tar". When property 60
// names a file, the header block is written to it (a file that cannot be written is skipped). 1009
// for a 206 reply whose range is unreadable, disagrees with its Content-Length, or is
// content-encoded (not x-tar); else 0.
[[nodiscard]] TransferResult ExtractFileInfo(int status, CPropertySet& transfer,
                                             std::string_view requestUrl, std::string_view block,
                                             DateTime now, ReplyLengths& lengths);

}  // namespace tellweir
