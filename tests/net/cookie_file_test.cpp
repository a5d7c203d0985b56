// "Cookies.txt": the exact line format, round trips, lines of older files, damaged files, failed
// saves, and expiry checks in a time zone with daylight saving time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "net/cookie/cookie_date.h"
#include "net/cookie/cookie_store.h"
#include "tests/support/file_text.h"
#include "tests/support/local_time.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::kZoneWithDst;
using testing::MakeTime;
using testing::ReadAll;
using testing::ScopedTimeZone;
using testing::TempDir;
using testing::WriteAll;

const std::time_t kSummerNoon = CivilTimeToUtc({2030, 7, 1, 12, 0, 0});

using CookieTuple =
    std::tuple<std::string, std::string, bool, std::string, std::string, double, bool>;

std::vector<CookieTuple> Contents(CCookieStore& store) {
    std::vector<CookieTuple> out;
    store.Enumerate([&](const CCookieStore::Cookie& c) {
        out.emplace_back(c.domain, c.path, c.secure, c.text, c.expires, c.added.days, c.hostOnly);
    });
    return out;
}

class CookieFileTest : public ::testing::Test {
  protected:
    void SetUp() override { path_ = dir_ / "Cookies.txt"; }
    std::size_t FilesInDir() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()));
    }

    ScopedTimeZone zone_{kZoneWithDst};  // Central European time, with daylight saving
    TempDir dir_{"cookies"};
    std::string path_;
    std::time_t now_ = kSummerNoon;
    CCookieStore store_{[this] { return now_; }};
};

TEST_F(CookieFileTest, SaveWritesTheLineFormatAndLoadGivesTheSameCookies) {
    ASSERT_TRUE(store_.AddFromHeader("a=1; expires=Mon, 01-Jul-2030 12:30:00 GMT; secure",
                                     "www.site.test", "/", MakeTime(2030, 7, 1, 14, 0, 0)));
    ASSERT_TRUE(store_.AddCookie(".site.test", "/Docs", false, "b=two words",
                                 "Sun, 01 Dec 2030 08:00:00 GMT",
                                 MakeTime(2030, 11, 30, 23, 59, 59)));
    ASSERT_TRUE(store_.AddFromHeader("session=1; path=/s", "www.site.test", "/",
                                     MakeTime(2030, 7, 1, 14, 0, 0)));
    const auto before = Contents(store_);
    ASSERT_EQ(before.size(), 3u);

    ASSERT_TRUE(store_.Save(path_));
    EXPECT_FALSE(store_.IsModified());
    // A host-only cookie's line is the line of a domain cookie with one attribute more.
    EXPECT_EQ(ReadAll(path_),
              " Domain=\"site.test\" Path=\"/Docs\" Secure=\"0\" Expires=\"12/01/2030 08:00:00 "
              "GMT\" Cookie=\"b=two words\" Added=\"11/30/2030 23:59:59\"\r\n"
              " Domain=\"www.site.test\" Path=\"/\" Secure=\"1\" Expires=\"07/01/2030 12:30:00 "
              "GMT\" Cookie=\"a=1\" Added=\"07/01/2030 14:00:00\" HostOnly=\"1\"\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    CCookieStore loaded([this] { return now_; });
    ASSERT_TRUE(loaded.Load(path_));
    const std::vector<CookieTuple> expected = {before[0], before[1]};  // no session cookie
    EXPECT_EQ(Contents(loaded), expected);
    EXPECT_EQ(loaded.SaveToText(), ReadAll(path_));
}

TEST_F(CookieFileTest, LinesWithoutTheHostOnlyMarkAreDomainCookies) {
    // Domains as older versions wrote them: as the server sent them, or the request host.
    WriteAll(path_,
             " Domain=\".Site.test\" Path=\"/\" Secure=\"0\" Expires=\"07/02/2030 00:00:00 GMT\" "
             "Cookie=\"d=1\" Added=\"06/30/2030 09:00:00\"\r\n"
             " Domain=\"www.old.test\" Path=\"/docs\" Secure=\"0\" Expires=\"07/02/2030 00:00:00 "
             "GMT\" Cookie=\"o=1\" Added=\"06/30/2030 09:00:00\"\r\n"
             " Domain=\"www.new.test\" Path=\"/\" Secure=\"0\" Expires=\"07/02/2030 00:00:00 GMT\" "
             "Cookie=\"n=1\" Added=\"06/30/2030 09:00:00\" HostOnly=\"1\"\r\n");
    ASSERT_TRUE(store_.Load(path_));
    const auto header = [&](std::string_view host, std::string_view path = "/") {
        std::string out;
        store_.GetCookieHeader(host, path, false, out);
        return out;
    };
    EXPECT_EQ(header("www.site.test"), "d=1");
    EXPECT_EQ(header("site.test"), "d=1");
    EXPECT_EQ(header("x.www.old.test", "/docs/a"), "o=1");
    EXPECT_EQ(header("www.new.test"), "n=1");
    EXPECT_EQ(header("x.www.new.test"), "");

    const std::string saved = store_.SaveToText();
    EXPECT_NE(saved.find(" Domain=\"site.test\" Path=\"/\" Secure=\"0\" Expires=\"07/02/2030 "
                         "00:00:00 GMT\" Cookie=\"d=1\" Added=\"06/30/2030 09:00:00\"\r\n"),
              std::string::npos)
        << saved;
    CCookieStore reloaded([this] { return now_; });
    EXPECT_EQ(reloaded.LoadFromText(saved), 3u);
    EXPECT_EQ(Contents(reloaded), Contents(store_));
}

TEST_F(CookieFileTest, FailedSaveLeavesTheOldFileIntact) {
    ASSERT_TRUE(store_.AddCookie("site.test", "/", false, "a=1", "01/01/2031 00:00:00", {}));
    ASSERT_TRUE(store_.Save(path_));
    const std::string old = ReadAll(path_);
    ASSERT_TRUE(store_.AddCookie("site.test", "/more", false, std::string(200, 'x'),
                                 "01/01/2031 00:00:00", {}));

    // A full disk, as far as the writer can tell: writes beyond 16 bytes fail with EFBIG.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved16 = store_.Save(path_);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved16);
    EXPECT_EQ(ReadAll(path_), old);
    EXPECT_EQ(FilesInDir(), 1u);  // no temporary file left behind
    EXPECT_TRUE(store_.IsModified());

    EXPECT_FALSE(store_.Save(dir_ / "missing/Cookies.txt"));
    EXPECT_TRUE(store_.Save(path_));
    EXPECT_NE(ReadAll(path_), old);
}

TEST_F(CookieFileTest, UnreadableOrOversizedFileChangesNothing) {
    ASSERT_TRUE(store_.AddCookie("site.test", "/", false, "keep=1", "", {}));
    const std::uint32_t stamp = store_.GetStamp();
    EXPECT_FALSE(store_.Load(dir_ / "missing.txt"));
    EXPECT_FALSE(store_.Load(dir_.Path()));
    { std::ofstream(path_) << " Domain=\"x.test\" Cookie=\"a=1\"\r\n"; }
    fs::resize_file(path_, CCookieStore::kMaxFileSize + 1);  // sparse: costs no disk
    EXPECT_FALSE(store_.Load(path_));
    EXPECT_EQ(store_.GetStamp(), stamp);
    std::string out;
    EXPECT_TRUE(store_.GetCookieHeader("site.test", "/", false, out));
    EXPECT_EQ(out, "keep=1");
}

TEST_F(CookieFileTest, DamagedLinesAreSkippedAndTheRestIsRead) {
    ASSERT_TRUE(store_.AddCookie("old.test", "/", false, "old=1", "", {}));
    WriteAll(
        path_,
        " Domain=\"good.test\" Path=\"/\" Secure=\"1\" Expires=\"07/02/2030 00:00:00 GMT\" "
        "Cookie=\"g=1\" Added=\"06/30/2030 09:00:00\"\r\n"
        "garbage \x01\xff\"\r\n"
        " Domain=\"nocookie.test\" Path=\"/\" Expires=\"07/02/2030 00:00:00 GMT\"\r\n"
        " Domain=\"twodigit.test\" Path=\"/\" Expires=\"07/02/30 00:00:00 GMT\" Cookie=\"t=1\"\n"
        "DOMAIN=case.test cookie=c=1 SECURE=yes Extra=\"x\" EXPIRES='07/02/2030 00:00:00'\n"
        " Domain=\"open.test\" Path=\"/\" Cookie=\"unterminated\r\n"
        "\n");
    ASSERT_TRUE(store_.Load(path_));
    const auto cookies = Contents(store_);
    ASSERT_EQ(cookies.size(), 3u);
    // Walk order: test/case, test/good, test/open.
    EXPECT_EQ(cookies[0], CookieTuple("case.test", "", false, "c=1", "07/02/2030 00:00:00 GMT",
                                      DateTime::FromUnixTime(kSummerNoon).days, false));
    EXPECT_EQ(cookies[1], CookieTuple("good.test", "/", true, "g=1", "07/02/2030 00:00:00 GMT",
                                      MakeTime(2030, 6, 30, 9, 0, 0).days, false));
    // An unclosed quote runs to the end of the line; the session cookie is kept in memory.
    EXPECT_EQ(std::get<3>(cookies[2]), "unterminated");
    EXPECT_EQ(std::get<4>(cookies[2]), "");
}

TEST_F(CookieFileTest, ExpiryIsCheckedInUtcAcrossDaylightSaving) {
    struct Case {
        std::time_t now;
        const char* fresh;
        const char* stale;
    };
    // Local time is UTC+2 in July and UTC+1 in January: an expiry read or compared as local
    // time would be off by that much.
    const Case cases[] = {
        {kSummerNoon, "Mon, 01-Jul-2030 12:30:00 GMT", "Mon, 01-Jul-2030 11:30:00 GMT"},
        {CivilTimeToUtc({2030, 1, 15, 12, 0, 0}), "Tue, 15 Jan 2030 12:30:00 GMT",
         "Tue, 15 Jan 2030 11:30:00 GMT"},
    };
    for (const Case& c : cases) {
        now_ = c.now;
        store_.Clear();
        ASSERT_TRUE(store_.AddFromHeader(std::string("fresh=1; expires=") + c.fresh,
                                         "www.site.test", "/", {}));
        ASSERT_TRUE(store_.AddFromHeader(std::string("stale=1; path=/s; expires=") + c.stale,
                                         "www.site.test", "/", {}));
        std::string out;
        store_.GetCookieHeader("www.site.test", "/s", false, out);
        EXPECT_EQ(out, "fresh=1") << c.fresh;
    }
}

TEST_F(CookieFileTest, DefaultClockIsRealUtc) {
    CCookieStore store;
    const std::time_t now = std::time(nullptr);
    const std::string fresh = FormatCookieExpires(now + 30 * 60);
    const std::string stale = FormatCookieExpires(now - 30 * 60);
    ASSERT_TRUE(store.AddFromHeader("fresh=1; expires=" + fresh, "www.site.test", "/", {}));
    ASSERT_TRUE(
        store.AddFromHeader("stale=1; path=/s; expires=" + stale, "www.site.test", "/", {}));
    std::string out;
    store.GetCookieHeader("www.site.test", "/s", false, out);
    EXPECT_EQ(out, "fresh=1");
}

}  // namespace
}  // namespace tellweir
