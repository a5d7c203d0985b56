// The general date parser. It reads whole tokens only, so its work is bounded by the text, and
// it compares names byte by byte, never through the C locale.
#include "base/date_text.h"

#include <array>

#include "base/ascii_text.h"

namespace tellweir {
namespace {

// No real date text comes near this; longer texts are refused before any work.
constexpr std::size_t kMaxDateText = 256;

constexpr std::array<std::string_view, 15> kShortMonths = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug",
    "Sep", "Oct", "Nov", "Dec", "Fev", "Avr", "Mai",
};
constexpr std::array<int, 15> kShortMonthNumbers = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 2, 4, 5};
constexpr std::array<std::string_view, 12> kFullMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December",
};
constexpr std::array<std::string_view, 7> kFullWeekdays = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday",
};
constexpr std::array<std::string_view, 4> kZones = {"GMT", "UTC", "UT", "Z"};

// A run of 1 to `maxDigits` digits and nothing else.
bool ReadNumber(std::string_view text, std::size_t maxDigits, int& value) {
    if (text.empty() || text.size() > maxDigits) return false;
    value = 0;
    for (const char c : text) {
        if (!IsAsciiDigit(c)) return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

int WidenYear(int year) {
    return year < 30 ? 2000 + year : 1900 + year;
}

// A year of three or four digits, or of one or two when widening is allowed.
bool ReadYear(std::string_view text, ShortYears shortYears, int& year) {
    if (!ReadNumber(text, 4, year)) return false;
    if (text.size() >= 3) return true;
    if (shortYears == ShortYears::Refuse) return false;
    year = WidenYear(year);
    return true;
}

// Splits `text` at `separator` into exactly N parts.
template <std::size_t N>
bool SplitExactly(std::string_view text, char separator, std::array<std::string_view, N>& parts) {
    for (std::size_t i = 0; i + 1 < N; ++i) {
        const std::size_t at = text.find(separator);
        if (at == std::string_view::npos) return false;
        parts[i] = text.substr(0, at);
        text.remove_prefix(at + 1);
    }
    parts[N - 1] = text;
    return text.find(separator) == std::string_view::npos;
}

template <std::size_t N>
bool IsOneOf(std::string_view word, const std::array<std::string_view, N>& names) {
    for (const std::string_view name : names) {
        if (EqualsIgnoreAsciiCase(word, name)) return true;
    }
    return false;
}

int MonthFromWord(std::string_view word) {
    for (std::size_t i = 0; i < kFullMonths.size(); ++i) {
        if (EqualsIgnoreAsciiCase(word, kFullMonths[i])) return static_cast<int>(i) + 1;
    }
    return MonthFromAbbreviation(word);
}

bool IsWeekday(std::string_view word) {
    for (const std::string_view name : kFullWeekdays) {
        if (EqualsIgnoreAsciiCase(word, name) || EqualsIgnoreAsciiCase(word, name.substr(0, 3)))
            return true;
    }
    return false;
}

// What the tokens of a date text said so far.
class DateReader {
  public:
    explicit DateReader(ShortYears shortYears) : shortYears_(shortYears) {}
    bool Token(std::string_view token);
    bool Finish(CivilTime& out) const;

  private:
    bool Time(std::string_view token);
    bool SlashDate(std::string_view token);
    bool DashDate(std::string_view token);
    bool Word(std::string_view token);
    bool LooseNumber(std::string_view token);
    bool LooseDate(CivilTime& result) const;

    const ShortYears shortYears_;
    CivilTime fields_;
    bool haveDate_ = false;  // day, month and year came from one token
    bool haveTime_ = false;
    int monthName_ = 0;
    int meridiem_ = 0;  // 1 AM, 2 PM
    std::array<std::string_view, 2> loose_;
    int looseCount_ = 0;
};

bool DateReader::Token(std::string_view token) {
    if (token.find(':') != std::string_view::npos) return Time(token);
    if (token.find('/') != std::string_view::npos) return SlashDate(token);
    if (token.find('-') != std::string_view::npos) return DashDate(token);
    if (IsAsciiLetter(token.front())) return Word(token);
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
    return ReadNumber(parts[0], 4, fields_.hour) && ReadNumber(parts[1], 4, fields_.minute) &&
           ReadNumber(parts[2], 4, fields_.second);
}

// Month/day/year, as the system writes its file times.
bool DateReader::SlashDate(std::string_view token) {
    std::array<std::string_view, 3> parts;
    if (haveDate_ || !SplitExactly(token, '/', parts)) return false;
    haveDate_ = true;
    return ReadNumber(parts[0], 4, fields_.month) && ReadNumber(parts[1], 4, fields_.day) &&
           ReadYear(parts[2], shortYears_, fields_.year);
}

// Year-month-day in digits, or day-month name-year.
bool DateReader::DashDate(std::string_view token) {
    std::array<std::string_view, 3> parts;
    if (haveDate_ || !SplitExactly(token, '-', parts)) return false;
    haveDate_ = true;
    if (!parts[1].empty() && IsAsciiDigit(parts[1].front())) {
        return parts[0].size() >= 3 && ReadNumber(parts[0], 4, fields_.year) &&
               ReadNumber(parts[1], 4, fields_.month) && ReadNumber(parts[2], 4, fields_.day);
    }
    fields_.month = MonthFromWord(parts[1]);
    return fields_.month != 0 && ReadNumber(parts[0], 2, fields_.day) &&
           ReadYear(parts[2], shortYears_, fields_.year);
}

bool DateReader::Word(std::string_view token) {
    if (IsWeekday(token) || IsOneOf(token, kZones)) return true;
    const bool am = EqualsIgnoreAsciiCase(token, "AM");
    if (am || EqualsIgnoreAsciiCase(token, "PM")) {
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
    int ignored = 0;
    if (looseCount_ >= 2 || !ReadNumber(token, 4, ignored)) return false;
    loose_[looseCount_++] = token;
    return true;
}

// A month name with a day of one or two digits and a year of three or four, either order; with
// widening, two short numbers are the day and then the year.
bool DateReader::LooseDate(CivilTime& result) const {
    if (monthName_ == 0 || looseCount_ != 2) return false;
    std::size_t dayIndex = loose_[0].size() <= 2 ? 0 : 1;
    if (loose_[0].size() <= 2 && loose_[1].size() <= 2) {
        if (shortYears_ == ShortYears::Refuse) return false;
        dayIndex = 0;
    }
    result.month = monthName_;
    return ReadNumber(loose_[dayIndex], 2, result.day) &&
           ReadYear(loose_[1 - dayIndex], shortYears_, result.year);
}

bool DateReader::Finish(CivilTime& out) const {
    CivilTime result = fields_;
    if (haveDate_) {
        if (monthName_ != 0 || looseCount_ != 0) return false;
    } else if (!LooseDate(result)) {
        return false;
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

bool ParseDateText(std::string_view text, CivilTime& out, ShortYears shortYears) {
    if (text.size() > kMaxDateText) return false;
    DateReader reader(shortYears);
    std::size_t pos = 0;
    bool any = false;
    while (pos < text.size()) {
        while (pos < text.size() && (IsAsciiSpace(text[pos]) || text[pos] == ','))
            ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !IsAsciiSpace(text[pos]) && text[pos] != ',')
            ++pos;
        if (pos == start) break;
        if (!reader.Token(text.substr(start, pos - start))) return false;
        any = true;
    }
    return any && reader.Finish(out);
}

int MonthFromAbbreviation(std::string_view name) {
    if (name.size() != 3) return 0;
    for (std::size_t i = 0; i < kShortMonths.size(); ++i) {
        if (EqualsIgnoreAsciiCase(name, kShortMonths[i])) return kShortMonthNumbers[i];
    }
    return 0;
}

}  // namespace tellweir
