// Feeds arbitrary bytes to the reply side of the HTTP client as a receive buffer: splitting off
// the header block, the status line, header lookup, the keep-alive rule, the file information
// of the transfer and cookie capture. Checks that splitting loses no byte and stays bounded.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "net/cookie/cookie_store.h"
#include "net/http/header_block.h"
#include "net/http/header_lookup.h"
#include "net/http/keep_alive.h"
#include "net/http/reply_cookie.h"
#include "net/http/reply_file_info.h"
#include "net/http/status_line.h"
#include "transfer/file_info.h"
#include "transfer/request_props.h"

namespace {

using namespace tellweir;

constexpr std::string_view kNames[] = {
    header::kContentLength,
    header::kContentType,
    header::kContentEncoding,
    header::kContentLocation,
    header::kTransferEncoding,
    header::kLocation,
    header::kContentRange,
    header::kConnection,
    header::kProxyConnection,
    header::kLastModified,
    header::kSetCookie,
    header::kKeepAlive,
    header::kETag,
};

std::time_t FixedClock() {
    return 1'900'000'000;
}

void ReadHeader(std::string_view block) {
    for (const std::string_view name : kNames) {
        const auto values = FindHeader(block, name);
        if (FindFirstHeader(block, name) != (values.empty() ? "" : values.front()))
            __builtin_trap();
        if (HasHeader(block, name) != !values.empty()) __builtin_trap();
    }
    const auto line = ParseStatusLine(block);
    if (line && (line->code < 0 || line->code > 999)) __builtin_trap();
    StatusLineProperty(block);
    ReplyAsksToClose(block);

    const DateTime now = DateTime::FromUnixTime(FixedClock());
    for (const int status : {200, 206, line ? line->code : 500}) {
        CPropertySet transfer;
        transfer.SetString(prop::kPath, "/dir/page.html");
        ReplyLengths lengths;
        const TransferResult extracted = ExtractFileInfo(
            status, transfer, "http://user@h.test/dir/page.html", block, now, lengths);
        if (extracted != 0 && extracted != result::kProtocolError) __builtin_trap();
        if (extracted == 0 && status == 206 &&
            lengths.contentLength != lengths.rangeEnd - lengths.rangeStart + 1)
            __builtin_trap();
    }

    CCookieStore store(FixedClock);
    CPropertySet transfer;
    transfer.SetBit(prop::kFlags, prop::kFlagCookies, true);
    CaptureCookie(transfer, "www.site.test", block, store, now);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string buffer = input;
    std::string header;
    const TransferResult split = SplitHeaderBlock(buffer, header);
    if (split == 0) {
        if (header + buffer != input || header.size() > kMaxHeaderBlock ||
            !header.ends_with("\r\n\r\n"))
            __builtin_trap();
        ReadHeader(header);
    } else if ((split != kMoreNeeded && split != result::kProtocolError) || buffer != input) {
        __builtin_trap();
    }
    // The lookup must also keep to the header part of a text that is not split.
    ReadHeader(input);
    return 0;
}
