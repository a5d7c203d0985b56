// The expires forms of Set-Cookie values and the expiry text of the file.
#include "net/cookie/cookie_date.h"

#include "base/ascii_text.h"

namespace tellweir {
namespace {

// Numbers read by a "%d" stop growing here: any larger field is invalid as a date anyway, and
// a saturated value keeps arithmetic on hostile digit runs defined.
constexpr int kNumberCeiling = 1'000'000'000;

// Reads `text` as sscanf would with a pattern of "%d", "%3s", "%*s", blanks (any run of white
// space, also none) and literal characters, and gives the number of fields assigned. Numbers
// go to `numbers` in order (at most five), the "%3s" text to `word`.
int ScanFields(std::string_view text, std::string_view pattern, int (&numbers)[5],
               std::string_view& word) {
    std::size_t pos = 0;
    int assigned = 0;
    int count = 0;
    auto skipSpace = [&] {
        while (pos < text.size() && IsAsciiSpace(text[pos]))
            ++pos;
    };
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char p = pattern[i];
        if (IsAsciiSpace(p)) {
            skipSpace();
        } else if (p != '%') {
            if (pos >= text.size() || text[pos] != p) return assigned;
            ++pos;
        } else if (pattern.substr(i + 1, 1) == "d") {
            ++i;
            skipSpace();
            const bool negative = pos < text.size() && text[pos] == '-';
            if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
            if (pos >= text.size() || !IsAsciiDigit(text[pos]) || count >= 5) return assigned;
            int value = 0;
            for (; pos < text.size() && IsAsciiDigit(text[pos]); ++pos) {
                value =
                    value >= kNumberCeiling / 10 ? kNumberCeiling : value * 10 + (text[pos] - '0');
            }
            numbers[count++] = negative ? -value : value;
            ++assigned;
        } else {
            // "%3s" assigns up to three non-blank characters; "%*s" skips a non-blank run.
            const bool skip = pattern.substr(i + 1, 2) == "*s";
            i += 2;
            skipSpace();
            if (pos >= text.size()) return assigned;
            const std::size_t start = pos;
            while (pos < text.size() && !IsAsciiSpace(text[pos]) && (skip || pos - start < 3))
                ++pos;
            if (!skip) {
                word = text.substr(start, pos - start);
                ++assigned;
            }
        }
    }
    return assigned;
}

// Reads the day, month name, year and time of one of the four Set-Cookie forms. False when the
// pattern does not read all six fields; the fields read are not checked here.
bool ScanExpiresForm(std::string_view text, std::string_view pattern, CivilTime& out) {
    int n[5] = {};
    std::string_view month;
    if (ScanFields(text, pattern, n, month) != 6) return false;
    out = CivilTime{n[1], CookieMonthFromName(month), n[0], n[2], n[3], n[4]};
    return true;
}

}  // namespace

int CookieMonthFromName(std::string_view name) {
    return MonthFromAbbreviation(name);
}

bool ParseCookieExpires(std::string_view text, std::time_t& utc) {
    static constexpr std::string_view kForms[] = {
        "%*s %d-%3s-%d %d:%d:%d GMT",
        "%d-%3s-%d %d:%d:%d GMT",
        "%*s %d %3s %d %d:%d:%d GMT",
        "%d %3s %d %d:%d:%d GMT",
    };
    CivilTime time;
    bool matched = false;
    for (const std::string_view form : kForms) {
        if (ScanExpiresForm(text, form, time)) {
            matched = true;
            break;
        }
    }
    if (!matched) {
        while (!text.empty() && (text.back() == 'G' || text.back() == 'M' || text.back() == 'T'))
            text.remove_suffix(1);
        if (!ParseDateText(text, time)) return false;
    }
    if (!IsValidCivilTime(time)) return false;
    utc = CivilTimeToUtc(time);
    return true;
}

std::string FormatCookieExpires(std::time_t utc) {
    std::tm fields{};
    if (!gmtime_r(&utc, &fields)) return {};
    char buffer[64];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%m/%d/%Y %H:%M:%S", &fields);
    return std::string(buffer, n) + " GMT";
}

}  // namespace tellweir
