// File information from reply headers.
#include "net/http/reply_file_info.h"

#include <cstdio>
#include <string>

#include "base/ascii_text.h"
#include "net/http/content_range.h"
#include "net/http/header_lookup.h"
#include "net/http/http_date.h"
#include "net/http/reply_url.h"
#include "net/protocol_props.h"
#include "transfer/file_info.h"
#include "transfer/file_replace.h"
#include "url/file_type.h"
#include "url/url_resolve.h"

namespace tellweir {
namespace {

constexpr PropertyId kReplyInfo[] = {
    prop::kContentType,
    prop::kContentEncoding,
    prop::kContentLocation,
    prop::kETag,
    prop::kSize,
    prop::kSizeKnown,
    prop::kType,
    prop::kTimeModified,
};

bool IsTarArchive(std::string_view contentType) {
    return EqualsIgnoreAsciiCase(contentType, "application/x-tar");
}

// The size a 206 reply gives, or 1009.
TransferResult PartialSize(std::string_view block, bool encoded, bool tar, ReplyLengths& lengths) {
    ContentRange range;
    if (!ParseContentRange(FindFirstHeader(block, header::kContentRange), range))
        return result::kProtocolError;
    lengths.rangeStart = range.start;
    lengths.rangeEnd = range.end;
    // end - start cannot overflow: the range is checked to be ordered and non-negative.
    if (lengths.contentLength - 1 != range.end - range.start) return result::kProtocolError;
    if (encoded && !tar) return result::kProtocolError;
    lengths.size = range.total;
    return result::kOk;
}

// Last-Modified as local time: the weekday and its comma go, the rest is an HTTP date in GMT.
void StoreTimeModified(std::string_view block, CPropertySet& transfer) {
    const std::string value = FindFirstHeader(block, header::kLastModified);
    std::string_view date = value;
    if (const std::size_t comma = date.find(','); comma != std::string_view::npos)
        date.remove_prefix(comma + 1);
    CivilTime gmt;
    if (!ParseHttpDate(date, gmt)) return;
    const DateTime local = DateTime::FromUnixTime(CivilTimeToUtc(gmt));
    transfer.SetString(prop::kTimeModified, local.Format(kFileTimeFormat));
}

void WriteHeaderFile(const CPropertySet& transfer, std::string_view block) {
    const std::string path = transfer.String(prop::kHeaderFile);
    if (path.empty()) return;
    // The header holds Set-Cookie values: written owner-only, never through a link.
    CFileReplacement replacement;
    if (replacement.Create(path) != result::kOk) return;
    if (replacement.File().Write(block.data(), block.size()) == block.size())
        (void)replacement.Commit();  // the header file is a convenience; a failure loses nothing
}

}  // namespace

TransferResult ExtractFileInfo(int status, CPropertySet& transfer, std::string_view requestUrl,
                               std::string_view block, DateTime now, ReplyLengths& lengths) {
    lengths = ReplyLengths();
    transfer.SetString(prop::kAdded, now.Format(kFileTimeFormat));
    for (const PropertyId id : kReplyInfo)
        transfer.Remove(id);
    if (status < 200 || status > 299) return result::kOk;

    const std::string contentType = FindFirstHeader(block, header::kContentType);
    const std::string encoding = FindFirstHeader(block, header::kContentEncoding);
    transfer.SetString(prop::kContentType, contentType);
    transfer.SetString(prop::kContentEncoding, encoding);
    if (HasHeader(block, header::kContentLocation)) {
        const std::string location = FindFirstHeader(block, header::kContentLocation);
        transfer.SetString(prop::kContentLocation,
                           ResolveReference(requestUrl, EscapeReplyUrl(location)));
    }
    const std::string etag = FindFirstHeader(block, header::kETag);
    transfer.SetString(prop::kETag, etag.starts_with("W/") ? etag.substr(2) : etag);

    if (HasHeader(block, header::kContentLength))
        lengths.contentLength = ParseContentLength(FindFirstHeader(block, header::kContentLength));
    const bool encoded = !encoding.empty();
    const bool tar = IsTarArchive(contentType);
    if (status == 206) {
        if (const TransferResult failed = PartialSize(block, encoded, tar, lengths)) return failed;
    } else {
        lengths.size = encoded && !tar ? -1 : lengths.contentLength;
    }
    transfer.SetInt64(prop::kSize, lengths.size);
    transfer.SetInt(prop::kSizeKnown, lengths.size != -1 ? 1 : 0);
    std::string path = transfer.String(prop::kRedirPath);
    if (path.empty()) path = transfer.String(prop::kPath);
    transfer.SetInt(prop::kType, static_cast<std::int32_t>(ClassifyContent(contentType, path)));

    StoreTimeModified(block, transfer);
    WriteHeaderFile(transfer, block);
    return result::kOk;
}

}  // namespace tellweir
