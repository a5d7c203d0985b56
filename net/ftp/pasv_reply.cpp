// PASV replies: the form in parentheses, then a lenient reading of the last word for servers
// that write the numbers without them.
#include "net/ftp/pasv_reply.h"

#include "base/ascii_text.h"
#include "net/ftp/scan_integer.h"

namespace tellweir {
namespace {

using Numbers = std::int64_t[6];

// "%i,%i,%i,%i,%i,%i" from `pos`.
bool ScanSixNumbers(std::string_view text, std::size_t pos, Numbers& numbers) {
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ',') return false;
            ++pos;
        }
        if (!ScanInteger(text, pos, numbers[i])) return false;
    }
    return true;
}

// "%*[^(] (%i,%i,%i,%i,%i,%i": some text before a '(', which may follow after white space.
bool ScanParenthesised(std::string_view text, Numbers& numbers) {
    std::size_t pos = text.find('(');
    if (pos == 0 || pos == std::string_view::npos) return false;
    return ScanSixNumbers(text, pos + 1, numbers);
}

bool ScanLastWord(std::string_view text, Numbers& numbers) {
    if (text.size() < 4) return false;
    text.remove_prefix(4);
    const std::size_t last = text.find_last_not_of("\r\n\t]}).,; ");
    text = last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
    if (const std::size_t blank = text.rfind(' '); blank != std::string_view::npos)
        text.remove_prefix(blank + 1);
    text = TrimAscii(text, [](char c) { return !IsAsciiDigit(c); });
    return ScanSixNumbers(text, 0, numbers);
}

}  // namespace

bool ParsePasvReply(std::string_view text, Ipv4Address& address, int& port) {
    Numbers n = {};
    if (!ScanParenthesised(text, n) && !ScanLastWord(text, n)) return false;
    for (const std::int64_t value : n) {
        if (value < 0 || value > 255) return false;
    }
    address = static_cast<Ipv4Address>(n[0] << 24 | n[1] << 16 | n[2] << 8 | n[3]);
    port = static_cast<int>(n[4] * 256 + n[5]);
    return true;
}

}  // namespace tellweir
