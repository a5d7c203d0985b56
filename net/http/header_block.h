// Splitting a reply's header block off the bytes received from an HTTP server.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "net/more_needed.h"

namespace tellweir {

// A header block that has not ended within this many bytes is refused: a server cannot make the
// client hold more than this while it waits for the empty line.
inline constexpr std::size_t kMaxHeaderBlock = 1024 * 1024;

// The length of the header block at the start of `text`: through the first empty line
// ("\r\n\r\n"), or, when the text right after it begins with "Content-Range:" (ignoring case),
// through the next empty line, as some servers send the range after the head. Zero when the
// block has not ended within the first `limit` bytes.
std::size_t HeaderBlockLength(std::string_view text, std::size_t limit = kMaxHeaderBlock);

// Moves a complete header block from the front of `buffer` into `header`; the bytes after it
// stay in `buffer` as the start of the body. 0 when split, kMoreNeeded while the block has not
// ended, 1009 when it has not ended within kMaxHeaderBlock bytes. `header` is changed only on 0.
[[nodiscard]] TransferResult SplitHeaderBlock(std::string& buffer, std::string& header);

}  // namespace tellweir
