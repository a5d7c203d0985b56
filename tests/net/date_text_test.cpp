// The general date parser and the HTTP dates built on it: the forms servers send, two-digit
// years, Russian month names and the dotted fallback.
#include "base/date_text.h"

#include <gtest/gtest.h>

#include <optional>

#include "net/http/http_date.h"

namespace tellweir {
namespace {

std::optional<CivilTime> General(std::string_view text, ShortYears years) {
    CivilTime out;
    if (!ParseDateText(text, out, years)) return std::nullopt;
    return out;
}

std::optional<CivilTime> Http(std::string_view text) {
    CivilTime out;
    if (!ParseHttpDate(text, out)) return std::nullopt;
    return out;
}

const CivilTime kNov6{1994, 11, 6, 8, 49, 37};

TEST(DateTextTest, ShortYearsAreWidenedOnlyWhenAsked) {
    struct Case {
        const char* text;
        std::optional<CivilTime> refused;
        std::optional<CivilTime> widened;
    };
    const Case cases[] = {
        {"06-Nov-94 08:49:37", std::nullopt, kNov6},
        {"11/6/94 8:49:37", std::nullopt, kNov6},
        {"6 Nov 94 08:49:37", std::nullopt, kNov6},
        {"1/2/03", std::nullopt, CivilTime{2003, 1, 2, 0, 0, 0}},
        {"1/2/29", std::nullopt, CivilTime{2029, 1, 2, 0, 0, 0}},
        {"1/2/30", std::nullopt, CivilTime{1930, 1, 2, 0, 0, 0}},
        // Full years read the same either way; "Y-M-D" needs one.
        {"Sun, 06 Nov 1994 08:49:37 GMT", kNov6, kNov6},
        {"Sun Nov  6 08:49:37 1994", kNov6, kNov6},
        {"1994-11-06 08:49:37", kNov6, kNov6},
        {"11/06/1994 08:49:37 PM", CivilTime{1994, 11, 6, 20, 49, 37},
         CivilTime{1994, 11, 6, 20, 49, 37}},
        {"11/06/1994 08:49:37 AM", kNov6, kNov6},
        {"94-11-06", std::nullopt, std::nullopt},
        {"Nov 6 94 94", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(General(c.text, ShortYears::Refuse), c.refused) << c.text;
        EXPECT_EQ(General(c.text, ShortYears::Widen), c.widened) << c.text;
    }
}

TEST(DateTextTest, HttpDates) {
    const CivilTime nov6NoSeconds{1994, 11, 6, 8, 49, 0};
    const std::pair<const char*, std::optional<CivilTime>> cases[] = {
        // The three forms HTTP allows, as the client passes them (weekday and comma dropped).
        {"06 Nov 1994 08:49:37 GMT", kNov6},
        {"06-Nov-94 08:49:37 GMT", kNov6},
        {"Sun Nov  6 08:49:37 1994", kNov6},
        {"  Sun, 06 Nov 1994 08:49:37 GMT  ", kNov6},
        // Russian genitive month names, in Windows-1251 and in UTF-8, with the year mark.
        {"6 \xED\xEE\xFF\xE1\xF0\xFF 1994 \xE3. 08:49:37", kNov6},
        {"6 \xD0\xBD\xD0\xBE\xD1\x8F\xD0\xB1\xD1\x80\xD1\x8F 1994 \xD0\xB3. 08:49:37", kNov6},
        {"1 \xEC\xE0\xFF 2004 12:00:00", CivilTime{2004, 5, 1, 12, 0, 0}},
        // The dotted fallback: day first unless only the first number can be a month.
        {"06.11.1994 08:49", nov6NoSeconds},
        {"11.06.1994 08:49", CivilTime{1994, 6, 11, 8, 49, 0}},
        {"11.26.1994 08:49", CivilTime{1994, 11, 26, 8, 49, 0}},
        {"06.11.94 08:49", nov6NoSeconds},
        {"31.11.1994 08:49", std::nullopt},
        {"06.11.1994", std::nullopt},
        {"", std::nullopt},
        {"GMT", std::nullopt},
        {"yesterday", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Http(text), expected) << text;
}

}  // namespace
}  // namespace tellweir
