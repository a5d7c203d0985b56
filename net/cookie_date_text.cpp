// ParseDateText: the reader of the common textual date forms, used where a date text is not in
// one of the fixed Set-Cookie forms. It reads whole tokens only, so it is bounded by the text.
#include <array>

#include "net/cookie_date.h"
#include "net/cookie_key.h"

namespace tellweir {
namespace {

// No real date text comes near this; longer texts are refused before any work.
constexpr std::size_t kMaxDateText = 256;

constexpr std::array<std::string_view, 12> kFullMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December",
};
constexpr std::array<std::string_view, 7> kFullWeekdays = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday",
};
constexpr std::array<std::string_view, 4> kZones = {"GMT", "UTC", "UT", "Z"};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A run of 1 to `maxDigits` digits and nothing else.
bool ReadNumber(std::string_view text, std::size_t maxDigits, int& value) {
    if (text.empty() || text.size() > maxDigits) return false;
    value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// Splits `text` at `separator` into exactly `count` parts.
template <std::size_t N>
bool SplitExactly(std::string_view text, char separator, std::array<std::string_view, N>& parts) {
    for (std::size_t i = 0; i < N; ++i) {
        const std::size_t at = i + 1 < N ? text.find(separator) : std::string_view::npos;
        if (i + 1 < N && at == std::string_view::npos) return false;
        parts[i] = text.substr(0, at);
        if (i + 1 < N) text.remove_prefix(at + 1);
    }
    return parts[N - 1].find(separator) == std::string_view::npos;
}

template <std::size_t N>
bool IsOneOf(std::string_view word, const std::array<std::string_view, N>& names) {
    for (const std::string_view name : names) {
        if (CookieTextEquals(word, name)) return true;
    }
    return false;
}

int MonthFromWord(std::string_view word) {
    for (std::size_t i = 0; i < kFullMonths.size(); ++i) {
        if (CookieTextEquals(word, kFullMonths[i])) return static_cast<int>(i) + 1;
    }
    return CookieMonthFromName(word);
}

bool IsWeekday(std::string_view word) {
    if (IsOneOf(word, kFullWeekdays)) return true;
    for (const std::string_view name : kFullWeekdays) {
        if (CookieTextEquals(word, name.substr(0, 3))) return true;
    }
    return false;
}

// What the tokens of a date text said so far.
class DateReader {
  public:
    bool Token(std::string_view token);
    bool Finish(CivilTime& out) const;

  private:
    bool Time(std::string_view token);
    bool SlashDate(std::string_view token);
    bool DashDate(std::string_view token);
    bool Word(std::string_view token);
    bool LooseNumber(std::string_view token);

    CivilTime fields_;
    bool haveDate_ = false;  // day, month and year came from one token
    bool haveTime_ = false;
    int monthName_ = 0;
    int meridiem_ = 0;  // 1 AM, 2 PM
    int loose_[2] = {};
    std::size_t looseDigits_[2] = {};
    int looseCount_ = 0;
};

bool DateReader::Token(std::string_view token) {
    if (token.find(':') != std::string_view::npos) return Time(token);
    if (token.find('/') != std::string_view::npos) return SlashDate(token);
    if (token.find('-') != std::string_view::npos) return DashDate(token);
    if (IsLetter(token.front())) return Word(token);
    return LooseNumber(token);
}

bool DateReader::Time(std::string_view token) {
    std::array<std::string_view, 3> parts;
    std::array<std::string_view, 2> hourMinute;
    if (SplitExactly(token, ':', hourMinute)) {
        parts = {hourMinute[0], hourMinute[1], "0"};
    } else if (!SplitExactly(token, ':', parts)) {
        return false;
    }
    if (haveTime_) return false;
    haveTime_ = true;
    return ReadNumber(parts[0], 2, fields_.hour) && ReadNumber(parts[1], 2, fields_.minute) &&
           ReadNumber(parts[2], 2, fields_.second);
}

// Month/day/year, as "Cookies.txt" writes its times.
bool DateReader::SlashDate(std::string_view token) {
    std::array<std::string_view, 3> parts;
    if (haveDate_ || !SplitExactly(token, '/', parts)) return false;
    haveDate_ = true;
    return ReadNumber(parts[0], 2, fields_.month) && ReadNumber(parts[1], 2, fields_.day) &&
           parts[2].size() >= 3 && ReadNumber(parts[2], 4, fields_.year);
}

// Day-month name-year, or year-month-day in digits.
bool DateReader::DashDate(std::string_view token) {
    std::array<std::string_view, 3> parts;
    if (haveDate_ || !SplitExactly(token, '-', parts)) return false;
    haveDate_ = true;
    if (parts[0].size() == 4) {
        return ReadNumber(parts[0], 4, fields_.year) && ReadNumber(parts[1], 2, fields_.month) &&
               ReadNumber(parts[2], 2, fields_.day);
    }
    fields_.month = MonthFromWord(parts[1]);
    return fields_.month != 0 && ReadNumber(parts[0], 2, fields_.day) && parts[2].size() >= 3 &&
           ReadNumber(parts[2], 4, fields_.year);
}

bool DateReader::Word(std::string_view token) {
    if (IsWeekday(token) || IsOneOf(token, kZones)) return true;
    const bool am = CookieTextEquals(token, "AM");
    if (am || CookieTextEquals(token, "PM")) {
        if (meridiem_ != 0) return false;
        meridiem_ = am ? 1 : 2;
        return true;
    }
    const int month = MonthFromWord(token);
    if (month == 0 || monthName_ != 0) return false;
    monthName_ = month;
    return true;
}

bool DateReader::LooseNumber(std::string_view token) {
    if (looseCount_ >= 2 || !ReadNumber(token, 4, loose_[looseCount_])) return false;
    looseDigits_[looseCount_++] = token.size();
    return true;
}

bool DateReader::Finish(CivilTime& out) const {
    CivilTime result = fields_;
    if (haveDate_) {
        if (monthName_ != 0 || looseCount_ != 0) return false;
    } else {
        // A month name with a day of one or two digits and a year of three or four, either order.
        if (monthName_ == 0 || looseCount_ != 2) return false;
        const int dayIndex = looseDigits_[0] <= 2 ? 0 : 1;
        if (looseDigits_[dayIndex] > 2 || looseDigits_[1 - dayIndex] < 3) return false;
        result.month = monthName_;
        result.day = loose_[dayIndex];
        result.year = loose_[1 - dayIndex];
    }
    if (meridiem_ != 0) {
        if (!haveTime_ || result.hour < 1 || result.hour > 12) return false;
        result.hour = result.hour % 12 + (meridiem_ == 2 ? 12 : 0);
    }
    if (!IsValidCivilTime(result)) return false;
    out = result;
    return true;
}

}  // namespace

bool ParseDateText(std::string_view text, CivilTime& out) {
    if (text.size() > kMaxDateText) return false;
    DateReader reader;
    std::size_t pos = 0;
    bool any = false;
    while (pos < text.size()) {
        while (pos < text.size() && (IsCookieSpace(text[pos]) || text[pos] == ','))
            ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !IsCookieSpace(text[pos]) && text[pos] != ',')
            ++pos;
        if (pos == start) break;
        if (!reader.Token(text.substr(start, pos - start))) return false;
        any = true;
    }
    return any && reader.Finish(out);
}

}  // namespace tellweir
