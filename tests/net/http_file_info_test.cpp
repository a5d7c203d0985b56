// What a reply's headers put into the transfer: file information, byte ranges, the reply header
// file and the captured cookie. The clock is fixed and the time zone is a fixed offset, so local
// times are exact.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/civil_time.h"
#include "net/cookie/cookie_store.h"
#include "net/http/content_range.h"
#include "net/http/reply_cookie.h"
#include "net/http/reply_file_info.h"
#include "net/protocol_props.h"
#include "tests/support/local_time.h"
#include "tests/support/temp_dir.h"
#include "transfer/file_info.h"
#include "transfer/request_props.h"
#include "url/file_type.h"

namespace tellweir {
namespace {

constexpr const char* kUrl = "http://user@h.test/dir/page.html";

class ReplyFileInfoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        now_ = DateTime::FromUnixTime(CivilTimeToUtc({2024, 6, 15, 17, 0, 0}));
        transfer_.SetString(prop::kPath, "/dir/page.html");
    }

    TransferResult Extract(int status, const std::string& headers) {
        const std::string block =
            "HTTP/1.1 " + std::to_string(status) + " X\r\n" + headers + "\r\n";
        return ExtractFileInfo(status, transfer_, kUrl, block, now_, lengths_);
    }

    testing::ScopedTimeZone zone_{"EST5"};  // five hours behind GMT, no daylight saving
    DateTime now_;
    CPropertySet transfer_;
    ReplyLengths lengths_;
};

TEST_F(ReplyFileInfoTest, FullReply) {
    ASSERT_EQ(Extract(200,
                      "Content-Type: text/html\r\n"
                      "Content-Length: 1234\r\n"
                      "Content-Location: other.html\r\n"
                      "ETag: W/\"v1\"\r\n"
                      "Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT\r\n"),
              0);
    EXPECT_EQ(transfer_.String(prop::kAdded), "06/15/2024 12:00:00");
    EXPECT_EQ(transfer_.String(prop::kContentType), "text/html");
    EXPECT_EQ(transfer_.String(prop::kContentLocation), "http://user@h.test/dir/other.html");
    EXPECT_EQ(transfer_.String(prop::kETag), "\"v1\"");
    EXPECT_EQ(transfer_.Int64(prop::kSize), 1234);
    EXPECT_EQ(transfer_.Int(prop::kSizeKnown), 1);
    EXPECT_EQ(transfer_.Int(prop::kType), static_cast<int>(FileType::Html));
    EXPECT_EQ(transfer_.String(prop::kTimeModified), "11/06/1994 03:49:37");
    EXPECT_EQ(lengths_.contentLength, 1234);
    EXPECT_EQ(lengths_.size, 1234);
}

TEST_F(ReplyFileInfoTest, OldInformationGoesAndOnlySuccessBringsNew) {
    transfer_.SetString(prop::kETag, "\"old\"");
    transfer_.SetInt64(prop::kSize, 99);
    transfer_.SetString(prop::kTimeModified, "01/01/2000 00:00:00");
    ASSERT_EQ(Extract(404, "Content-Type: text/html\r\nContent-Length: 5\r\n"), 0);
    EXPECT_FALSE(transfer_.Has(prop::kETag));
    EXPECT_FALSE(transfer_.Has(prop::kSize));
    EXPECT_FALSE(transfer_.Has(prop::kTimeModified));
    EXPECT_FALSE(transfer_.Has(prop::kContentType));
    EXPECT_TRUE(transfer_.Has(prop::kAdded));

    // No length, and a redirected path decides the type.
    transfer_.SetString(prop::kRedirPath, "/files/a.zip");
    ASSERT_EQ(Extract(200, "Last-Modified: not a date\r\n"), 0);
    EXPECT_EQ(transfer_.Int64(prop::kSize), -1);
    EXPECT_EQ(transfer_.Int(prop::kSizeKnown), 0);
    EXPECT_EQ(transfer_.Int(prop::kType), static_cast<int>(FileType::Archive));
    EXPECT_FALSE(transfer_.Has(prop::kTimeModified));
}

TEST_F(ReplyFileInfoTest, SizesOfEncodedAndPartialReplies) {
    struct Case {
        int status;
        const char* headers;
        TransferResult result;
        std::int64_t size;
    };
    const Case cases[] = {
        {200, "Content-Encoding: gzip\r\nContent-Length: 1234\r\n", 0, -1},
        {200,
         "Content-Encoding: gzip\r\nContent-Type: Application/X-Tar\r\nContent-Length: 1234\r\n", 0,
         1234},
        {200, "Content-Length: -5\r\n", 0, -1},
        {200, "Content-Length: 99999999999999999999\r\n", 0, -1},
        {206, "Content-Range: bytes 100-199/1000\r\nContent-Length: 100\r\n", 0, 1000},
        {206, "Content-Range: bytes 100-199/*\r\nContent-Length: 100\r\n", 0, -1},
        {206, "Content-Range: bytes 100-199/1000\r\nContent-Length: 99\r\n", 1009, -1},
        {206, "Content-Range: bytes 100-199/1000\r\n", 1009, -1},
        {206, "Content-Length: 100\r\n", 1009, -1},
        {206,
         "Content-Range: bytes 100-199/1000\r\nContent-Length: 100\r\nContent-Encoding: gzip\r\n",
         1009, -1},
        {206,
         "Content-Range: bytes 0-9223372036854775806/9223372036854775807\r\n"
         "Content-Length: 9223372036854775807\r\n",
         0, 9223372036854775807},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Extract(c.status, c.headers), c.result) << c.headers;
        if (c.result != 0) continue;
        EXPECT_EQ(transfer_.Int64(prop::kSize), c.size) << c.headers;
    }
    ASSERT_EQ(Extract(206, "Content-Range: bytes 100-199/1000\r\nContent-Length: 100\r\n"), 0);
    EXPECT_EQ(lengths_.rangeStart, 100);
    EXPECT_EQ(lengths_.rangeEnd, 199);
}

TEST_F(ReplyFileInfoTest, HeaderBlockGoesToTheNamedFile) {
    testing::TempDir dir("reply");
    transfer_.SetString(prop::kHeaderFile, dir / "head.txt");
    ASSERT_EQ(Extract(200, "A: 1\r\n"), 0);
    EXPECT_EQ(dir.ReadFile("head.txt"), "HTTP/1.1 200 X\r\nA: 1\r\n\r\n");

    transfer_.SetString(prop::kHeaderFile, dir / "missing/head.txt");
    EXPECT_EQ(Extract(200, "A: 1\r\n"), 0);
}

TEST(ContentRangeTest, Forms) {
    struct Case {
        const char* value;
        std::optional<ContentRange> range;
    };
    const auto Range = [](std::int64_t start, std::int64_t end, std::int64_t total) {
        return std::optional<ContentRange>(ContentRange{start, end, total});
    };
    const Case cases[] = {
        {"bytes 100-199/1000", Range(100, 199, 1000)},
        {"BYTES  100 - 199 / 1000 ", Range(100, 199, 1000)},
        {"bytes 0-0/1", Range(0, 0, 1)},
        {"bytes 100-199/*", Range(100, 199, -1)},
        {"bytes 1-2/", std::nullopt},
        {"bytes -199/1000", std::nullopt},
        {"bytes 200-100/1000", std::nullopt},
        {"bytes 100-199/150", std::nullopt},
        {"bytes 100/199-1000", std::nullopt},
        {"bytes 100-199", std::nullopt},
        {"items 100-199/1000", std::nullopt},
        {"bytes 0-99999999999999999999/*", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        ContentRange range;
        const bool read = ParseContentRange(c.value, range);
        ASSERT_EQ(read, c.range.has_value()) << c.value;
        if (!read) continue;
        EXPECT_EQ(range.start, c.range->start) << c.value;
        EXPECT_EQ(range.end, c.range->end) << c.value;
        EXPECT_EQ(range.total, c.range->total) << c.value;
    }
}

TEST(CaptureCookieTest, EverySetCookieWhenCookiesAreOn) {
    const std::string block =
        "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/x\r\nSet-Cookie: b=2; path=/y\r\n\r\n";
    CCookieStore store([] { return std::time_t(1'700'000'000); });
    const DateTime now = DateTime::FromUnixTime(1'700'000'000);
    CPropertySet transfer;
    EXPECT_FALSE(CaptureCookie(transfer, "www.site.test", block, store, now));

    transfer.SetBit(prop::kFlags, prop::kFlagCookies, true);
    EXPECT_FALSE(CaptureCookie(transfer, "www.site.test", "HTTP/1.1 200 OK\r\nSet-Cookie:\r\n\r\n",
                               store, now));
    EXPECT_TRUE(CaptureCookie(transfer, "www.site.test", block, store, now));
    std::string cookies;
    store.GetCookieHeader("www.site.test", "/x", false, cookies);
    EXPECT_EQ(cookies, "a=1");
    store.GetCookieHeader("www.site.test", "/y", false, cookies);
    EXPECT_EQ(cookies, "b=2");
}

}  // namespace
}  // namespace tellweir
