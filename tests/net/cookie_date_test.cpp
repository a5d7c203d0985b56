// Expiry texts of cookies: the four Set-Cookie forms, the fallback reader and the file form.
#include "net/cookie/cookie_date.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/support/local_time.h"

namespace tellweir {
namespace {

std::optional<CivilTime> Expiry(std::string_view text) {
    std::time_t utc = 0;
    if (!ParseCookieExpires(text, utc)) return std::nullopt;
    std::tm fields{};
    gmtime_r(&utc, &fields);
    return CivilTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                     fields.tm_hour,        fields.tm_min,     fields.tm_sec};
}

TEST(CookieDateTest, ExpiresForms) {
    const CivilTime june9{2021, 6, 9, 10, 18, 14};
    struct Case {
        const char* text;
        std::optional<CivilTime> expected;
    };
    const Case cases[] = {
        {"Wed, 09-Jun-2021 10:18:14 GMT", june9},
        {"Wed, 09 Jun 2021 10:18:14 GMT", june9},
        {"09-Jun-2021 10:18:14 GMT", june9},
        {"09 Jun 2021 10:18:14 GMT", june9},
        {"Wed, 09-JUN-2021 10:18:14", june9},
        {"Wed Jun  9 10:18:14 2021", june9},              // asctime, through the fallback
        {"06/09/2021 10:18:14 GMT", june9},               // as the file writes it
        {"Wednesday, 09-June-2021 10:18:14 GMT", june9},  // a full month name
        {"Ven, 09-Avr-2021 10:18:14 GMT", CivilTime{2021, 4, 9, 10, 18, 14}},
        {"Thu, 29 Feb 2024 23:59:59 GMT", CivilTime{2024, 2, 29, 23, 59, 59}},
        {"2021-06-09", CivilTime{2021, 6, 9, 0, 0, 0}},
        // Refused: two-digit years are never widened, and a read form with a bad date decides.
        {"Wed, 09-Jun-21 10:18:14 GMT", std::nullopt},
        {"Sunday, 06-Nov-94 08:49:37 GMT", std::nullopt},
        {"06/09/21 10:18:14 GMT", std::nullopt},
        {"Wed, 31-Jun-2021 10:18:14 GMT", std::nullopt},
        {"Wed, 29 Feb 2023 10:18:14 GMT", std::nullopt},
        {"Wed, 09-Jux-2021 10:18:14 GMT", std::nullopt},
        {"Wed, 09-Jun-2021 24:00:00 GMT", std::nullopt},
        {"Wed, 09-Jun-99999999999999999999 10:18:14 GMT", std::nullopt},
        {"Wed, -9 Jun 2021 10:18:14 GMT", std::nullopt},
        {"Wed Jun  9 10:18:14 2021 +0200", std::nullopt},
        {"tomorrow", std::nullopt},
        {"GMT", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Expiry(c.text), c.expected) << c.text;
}

TEST(CookieDateTest, MonthTable) {
    EXPECT_EQ(CookieMonthFromName("jan"), 1);
    EXPECT_EQ(CookieMonthFromName("DEC"), 12);
    EXPECT_EQ(CookieMonthFromName("Fev"), 2);
    EXPECT_EQ(CookieMonthFromName("avr"), 4);
    EXPECT_EQ(CookieMonthFromName("MAI"), 5);
    EXPECT_EQ(CookieMonthFromName("June"), 0);
    EXPECT_EQ(CookieMonthFromName("Ju"), 0);
}

TEST(CookieDateTest, GeneralReaderRejectsLooseTexts) {
    CivilTime out;
    for (const char* text : {"", "Jun 2021", "9 2021", "Jun 9 2021 10:00 10:00", "Jun Jul 9 2021",
                             "10:00 PM 06/09/2021 13:00", "13:00 PM Jun 9 2021", "Jun 9 2021 x"}) {
        EXPECT_FALSE(ParseDateText(text, out)) << text;
    }
    ASSERT_TRUE(ParseDateText("12:05 am, 2021 Jun 9", out));
    EXPECT_EQ(out, (CivilTime{2021, 6, 9, 0, 5, 0}));
}

TEST(CookieDateTest, UtcConversionAndFileText) {
    const CivilTime t{2030, 7, 1, 12, 30, 5};
    std::tm fields = testing::MakeTm(2030, 7, 1, 12, 30, 5);
    EXPECT_EQ(CivilTimeToUtc(t), timegm(&fields));
    EXPECT_EQ(FormatCookieExpires(CivilTimeToUtc(t)), "07/01/2030 12:30:05 GMT");
}

}  // namespace
}  // namespace tellweir
