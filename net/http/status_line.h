// The status line of an HTTP reply.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tellweir {

struct HttpStatusLine {
    std::string version;  // "1.1"
    std::string text;     // "200 OK": from the code to the line end
    int code = 0;         // the first three characters of the text, as a decimal number
};

// Reads the first line of a header block: "HTTP/" at the very start, the version up to the first
// blank, then a status text of three decimal digits that either ends the line or is followed by
// more text. Nothing when the line is not of that form ("HTTP/1.1 20" is not).
std::optional<HttpStatusLine> ParseStatusLine(std::string_view block);

// The status line as a transfer records it: the first line up to its line feed, with leading
// white space removed (its carriage return stays).
std::string StatusLineProperty(std::string_view block);

}  // namespace tellweir
