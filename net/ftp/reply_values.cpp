// Values of single FTP replies.
#include "net/ftp/reply_values.h"

#include "base/ascii_text.h"
#include "base/decimal_text.h"

namespace tellweir {
namespace {

int Digits(std::string_view text, std::size_t pos, std::size_t count) {
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

}  // namespace

std::string_view FtpReplyValue(std::string_view replyText) {
    return replyText.size() <= 4 ? std::string_view() : TrimAsciiSpace(replyText.substr(4));
}

std::int64_t ParseFtpSize(std::string_view replyText) {
    return ParseByteCount(FtpReplyValue(replyText));
}

bool ParseMdtmTime(std::string_view value, CivilTime& time) {
    if (const std::size_t blank = value.find(' ', 1); blank != std::string_view::npos)
        value.remove_prefix(blank + 1);
    if (const std::size_t dot = value.find('.', 1); dot != std::string_view::npos)
        value = value.substr(0, dot);
    value = TrimAsciiSpace(value);
    if (value.size() != 14) return false;
    for (const char c : value) {
        if (!IsAsciiDigit(c)) return false;
    }
    const CivilTime read{Digits(value, 0, 4), Digits(value, 4, 2),  Digits(value, 6, 2),
                         Digits(value, 8, 2), Digits(value, 10, 2), Digits(value, 12, 2)};
    if (!IsValidCivilTime(read)) return false;
    time = read;
    return true;
}

std::string FtpStatusLineProperty(std::string_view replyText) {
    std::string_view text = TrimTrailingAscii(replyText, IsAsciiSpace);
    if (const std::size_t lineEnd = text.find('\n'); lineEnd != std::string_view::npos)
        text.remove_prefix(lineEnd + 1);
    return std::string(TrimLeadingAscii(text, IsAsciiSpace));
}

}  // namespace tellweir
