// The header names the HTTP client understands and looking up their values in a header block.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tellweir::header {

// Compared ignoring case, always with their colon.
inline constexpr std::string_view kContentLength = "Content-Length:";
inline constexpr std::string_view kContentType = "Content-Type:";
inline constexpr std::string_view kContentEncoding = "Content-Encoding:";
inline constexpr std::string_view kContentLocation = "Content-Location:";
inline constexpr std::string_view kTransferEncoding = "Transfer-Encoding:";
inline constexpr std::string_view kLocation = "Location:";
inline constexpr std::string_view kContentRange = "Content-Range:";
inline constexpr std::string_view kConnection = "Connection:";
inline constexpr std::string_view kProxyConnection = "Proxy-Connection:";
inline constexpr std::string_view kLastModified = "Last-Modified:";
inline constexpr std::string_view kSetCookie = "Set-Cookie:";
inline constexpr std::string_view kKeepAlive = "Keep-Alive:";
inline constexpr std::string_view kETag = "ETag:";

}  // namespace tellweir::header

namespace tellweir {

// Every value of the header `name` (with its colon, ignoring case) in the header block at the
// start of `block` (see HeaderBlockLength; without an ending empty line the whole text is
// searched), in order of appearance. A header is a line that begins with the name; its value
// runs to the line end and on over following lines that begin with a blank or a tab (the inner
// line breaks stay) and is trimmed of white space at both ends.
std::vector<std::string> FindHeader(std::string_view block, std::string_view name);

// The first value of the header `name`, or an empty text.
std::string FindFirstHeader(std::string_view block, std::string_view name);

// True when the header `name` occurs at all, even with an empty value.
bool HasHeader(std::string_view block, std::string_view name);

}  // namespace tellweir
