// The date texts of file information and the five-day freshness rule.
#include "transfer/file_info.h"

#include <gtest/gtest.h>

#include "tests/support/local_time.h"

namespace tellweir {
namespace {

using testing::MakeTime;

TEST(ParseDateText, AcceptedForms) {
    const std::pair<const char*, const char*> cases[] = {
        {"03/03/2004 14:05:09", "2004-03-03 14:05:09"},
        {" 3/3/2004 4:05 ", "2004-03-03 04:05:00"},
        {"02/29/2024", "2024-02-29 00:00:00"},
        {"1/2/03 10:00:00", "2003-01-02 10:00:00"},
        {"1/2/99", "1999-01-02 00:00:00"},
        {"2004-03-03 14:05:09", "2004-03-03 14:05:09"},
    };
    for (const auto& [text, expected] : cases) {
        DateTime parsed;
        ASSERT_TRUE(ParseDateText(text, parsed)) << text;
        EXPECT_EQ(parsed.Format("%Y-%m-%d %H:%M:%S"), expected) << text;
    }
}

TEST(ParseDateText, RejectedForms) {
    for (const char* text : {"", "yesterday", "13/01/2004", "02/30/2023", "02/29/2023",
                             "1/1/2004 24:00", "1/1/2004 10:60", "1/1/2004 10", "1/1/2004x",
                             "1/1/2004 10:00:00 extra", "00/10/2004", "1/1/12345", "1-1"}) {
        DateTime parsed;
        EXPECT_FALSE(ParseDateText(text, parsed)) << text;
    }
}

TEST(FileInfoFreshness, FiveDaysInWholeSeconds) {
    const DateTime now = MakeTime(2024, 6, 15, 12, 0, 0);
    EXPECT_TRUE(IsAddedTimeFresh("06/15/2024 12:00:00", now));
    EXPECT_TRUE(IsAddedTimeFresh("06/11/2024 12:00:00", now));
    EXPECT_TRUE(IsAddedTimeFresh("06/10/2024 12:00:01", now));
    EXPECT_FALSE(IsAddedTimeFresh("06/10/2024 12:00:00", now));
    EXPECT_FALSE(IsAddedTimeFresh("06/15/2024 12:00:01", now));  // future
    EXPECT_FALSE(IsAddedTimeFresh("", now));
    EXPECT_FALSE(IsAddedTimeFresh("garbage", now));
}

TEST(FileInfoFreshness, KnownTypes) {
    CPropertySet info;
    EXPECT_FALSE(HasKnownFileType(info));
    for (int type : {1, 17}) {
        info.SetInt(prop::kType, type);
        EXPECT_TRUE(HasKnownFileType(info)) << type;
    }
    for (int type : {18, -1}) {
        info.SetInt(prop::kType, type);
        EXPECT_FALSE(HasKnownFileType(info)) << type;
    }
}

}  // namespace
}  // namespace tellweir
