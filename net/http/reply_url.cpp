// Escaping URLs taken from replies.
#include "net/http/reply_url.h"

#include "base/ascii_text.h"

namespace tellweir {
namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
    if (byte < 0x21 || byte == 0x7F) {
        out += '%';
        out += UpperHexDigit(byte >> 4);
        out += UpperHexDigit(byte);
    } else {
        out += static_cast<char>(byte);
    }
}

}  // namespace

std::string EscapeReplyUrl(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t at = 0; at < value.size();) {
        if (IsLineBreak(value[at])) {
            while (at < value.size() && IsBlankOrLineBreak(value[at]))
                ++at;
            AppendEscaped(out, ' ');
            continue;
        }
        AppendEscaped(out, static_cast<unsigned char>(value[at]));
        ++at;
    }
    return out;
}

}  // namespace tellweir
