// Finding the charset of a version's bytes (the reply's Content-Type, a byte order mark, the
// page's own declaration) and converting them to UTF-8 without ever dropping what does not
// convert. Internal to the diff library.
#pragma once

#include <string>
#include <string_view>

namespace tellweir::charset {

// The charset parameter of a Content-Type value ("text/html; charset=ISO-8859-1"); empty without
// one or when it is no plausible charset name.
std::string FromContentType(std::string_view contentType);

// The charset a byte order mark names ("UTF-8", "UTF-16LE", "UTF-16BE") and the mark's length in
// `markLength`; empty (and 0) without one.
std::string FromByteOrderMark(std::string_view bytes, std::size_t& markLength);

// The charset a page declares in its first few KB: <meta charset>, <meta http-equiv
// content="...; charset=...">, or an XML declaration's encoding; empty without one.
std::string FromPageDeclaration(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);

// `bytes` as valid UTF-8: every invalid sequence becomes U+FFFD.
std::string RepairUtf8(std::string_view bytes);

// `bytes` read in `charset`, converted to UTF-8 by iconv, each byte that does not convert
// replaced by U+FFFD. False (and `out` untouched) when iconv does not know the charset.
bool ConvertToUtf8(std::string_view bytes, const std::string& charset, std::string& out);

}  // namespace tellweir::charset
