// HTTP dates: Russian month names are turned into English ones before the general date parser
// reads the text; a dotted day.month.year form is the last resort.
#include "net/http/http_date.h"

#include <array>
#include <string>

#include "base/ascii_text.h"
#include "base/date_text.h"

namespace tellweir {
namespace {

struct RussianMonth {
    std::string_view windows1251;
    std::string_view utf8;
    std::string_view english;
};

// Genitive month names, in the order they are looked for.
constexpr std::array<RussianMonth, 12> kRussianMonths = {{
    {"\xFF\xED\xE2\xE0\xF0\xFF", "\xD1\x8F\xD0\xBD\xD0\xB2\xD0\xB0\xD1\x80\xD1\x8F", "Jan"},
    {"\xF4\xE5\xE2\xF0\xE0\xEB\xFF", "\xD1\x84\xD0\xB5\xD0\xB2\xD1\x80\xD0\xB0\xD0\xBB\xD1\x8F",
     "Feb"},
    {"\xEC\xE0\xF0\xF2\xE0", "\xD0\xBC\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0", "Mar"},
    {"\xE0\xEF\xF0\xE5\xEB\xFF", "\xD0\xB0\xD0\xBF\xD1\x80\xD0\xB5\xD0\xBB\xD1\x8F", "Apr"},
    {"\xEC\xE0\xFF", "\xD0\xBC\xD0\xB0\xD1\x8F", "May"},
    {"\xE8\xFE\xED\xFF", "\xD0\xB8\xD1\x8E\xD0\xBD\xD1\x8F", "Jun"},
    {"\xE8\xFE\xEB\xFF", "\xD0\xB8\xD1\x8E\xD0\xBB\xD1\x8F", "Jul"},
    {"\xE0\xE2\xE3\xF3\xF1\xF2\xE0", "\xD0\xB0\xD0\xB2\xD0\xB3\xD1\x83\xD1\x81\xD1\x82\xD0\xB0",
     "Aug"},
    {"\xF1\xE5\xED\xF2\xFF\xE1\xF0\xFF",
     "\xD1\x81\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8F\xD0\xB1\xD1\x80\xD1\x8F", "Sep"},
    {"\xEE\xEA\xF2\xFF\xE1\xF0\xFF", "\xD0\xBE\xD0\xBA\xD1\x82\xD1\x8F\xD0\xB1\xD1\x80\xD1\x8F",
     "Oct"},
    {"\xED\xEE\xFF\xE1\xF0\xFF", "\xD0\xBD\xD0\xBE\xD1\x8F\xD0\xB1\xD1\x80\xD1\x8F", "Nov"},
    {"\xE4\xE5\xEA\xE0\xE1\xF0\xFF", "\xD0\xB4\xD0\xB5\xD0\xBA\xD0\xB0\xD0\xB1\xD1\x80\xD1\x8F",
     "Dec"},
}};

// "г." (year), as Russian dates write it after the year.
constexpr std::array<std::string_view, 2> kYearMarks = {"\xE3.", "\xD0\xB3."};

// A "%d" field stops growing here; larger values are no valid date field anyway.
constexpr int kNumberCeiling = 1'000'000'000;

bool ReplaceFirst(std::string& text, std::string_view from, std::string_view to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos) return false;
    text.replace(at, from.size(), to);
    return true;
}

void ReplaceRussianMonth(std::string& text) {
    for (const RussianMonth& month : kRussianMonths) {
        if (ReplaceFirst(text, month.windows1251, month.english) ||
            ReplaceFirst(text, month.utf8, month.english))
            return;
    }
}

// One pass, so that a text full of marks costs no more than any other.
void RemoveYearMarks(std::string& text) {
    std::string kept;
    kept.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::string_view rest = std::string_view(text).substr(pos);
        bool mark = false;
        for (const std::string_view yearMark : kYearMarks) {
            if (rest.substr(0, yearMark.size()) == yearMark) {
                pos += yearMark.size();
                mark = true;
                break;
            }
        }
        if (!mark) kept.push_back(text[pos++]);
    }
    text.swap(kept);
}

// Reads "%d.%d.%d %d:%d" with scanf's rules; true when all five numbers were read.
bool ScanDottedDate(std::string_view text, int (&numbers)[5]) {
    constexpr std::string_view kPattern = "d.d.d d:d";
    std::size_t pos = 0;
    int count = 0;
    for (const char p : kPattern) {
        if (p == ' ') {
            while (pos < text.size() && IsAsciiSpace(text[pos]))
                ++pos;
        } else if (p != 'd') {
            if (pos >= text.size() || text[pos] != p) return false;
            ++pos;
        } else {
            while (pos < text.size() && IsAsciiSpace(text[pos]))
                ++pos;
            const bool negative = pos < text.size() && text[pos] == '-';
            if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
            if (pos >= text.size() || !IsAsciiDigit(text[pos])) return false;
            int value = 0;
            for (; pos < text.size() && IsAsciiDigit(text[pos]); ++pos)
                value =
                    value >= kNumberCeiling / 10 ? kNumberCeiling : value * 10 + (text[pos] - '0');
            numbers[count++] = negative ? -value : value;
        }
    }
    return count == 5;
}

bool ParseDottedDate(std::string_view text, CivilTime& out) {
    int n[5] = {};
    if (!ScanDottedDate(text, n)) return false;
    CivilTime time{n[2], n[1], n[0], n[3], n[4], 0};
    if (n[1] > 12 && n[0] <= 12) {
        time.month = n[0];
        time.day = n[1];
    }
    if (time.year >= 0 && time.year < 100) time.year += time.year < 30 ? 2000 : 1900;
    if (!IsValidCivilTime(time)) return false;
    out = time;
    return true;
}

}  // namespace

bool ParseHttpDate(std::string_view text, CivilTime& out) {
    text = TrimAsciiSpace(text);
    if (text.empty()) return false;
    std::string work(text);
    ReplaceFirst(work, "GMT", "");
    work.assign(TrimAsciiSpace(work));
    ReplaceRussianMonth(work);
    RemoveYearMarks(work);
    return ParseDateText(work, out, ShortYears::Widen) || ParseDottedDate(work, out);
}

}  // namespace tellweir
