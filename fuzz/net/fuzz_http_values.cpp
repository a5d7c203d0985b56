// Feeds arbitrary bytes to the readers of single HTTP header values: the first byte chooses
// Content-Range and Content-Length, the HTTP date, the general date parser in both year modes,
// or the escaping of a reply's URL. Every range read must be one a client can use; every date
// read must be valid and read back the same from its own text; an escaped URL holds no byte
// that could end a request line.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/date_text.h"
#include "net/http/content_range.h"
#include "net/http/http_date.h"
#include "net/http/reply_url.h"

namespace {

using namespace tellweir;

void CheckRange(std::string_view text) {
    ContentRange range;
    if (ParseContentRange(text, range) && (range.start < 0 || range.end < range.start ||
                                           (range.total != -1 && range.total <= range.end)))
        __builtin_trap();
    if (ParseContentLength(text) < -1) __builtin_trap();
}

// "DD Mon YYYY HH:MM:SS", which every date reader here must read back unchanged.
std::string Rfc1123(const CivilTime& t) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%02d %s %04d %02d:%02d:%02d", t.day, kMonths[t.month - 1],
                  t.year, t.hour, t.minute, t.second);
    return text;
}

void CheckDate(bool read, const CivilTime& time) {
    if (!read) return;
    if (!IsValidCivilTime(time)) __builtin_trap();
    CivilTime again;
    if (!ParseHttpDate(Rfc1123(time), again) || !(again == time)) __builtin_trap();
    if (!ParseDateText(FormatCivilTime(time), again) || !(again == time)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    CivilTime time;
    switch (data[0] % 4) {
        case 0:
            CheckRange(text);
            break;
        case 1:
            CheckDate(ParseHttpDate(text, time), time);
            break;
        case 2:
            for (const char c : EscapeReplyUrl(text))
                if (static_cast<unsigned char>(c) < 0x21 || c == 0x7F) __builtin_trap();
            break;
        default: {
            CheckDate(ParseDateText(text, time, ShortYears::Refuse), time);
            CivilTime widened;
            const bool read = ParseDateText(text, widened, ShortYears::Widen);
            CheckDate(read, widened);
            // Widening only adds readings: what is read without it is read the same with it.
            if (ParseDateText(text, time, ShortYears::Refuse) && !(read && widened == time))
                __builtin_trap();
            break;
        }
    }
    return 0;
}
