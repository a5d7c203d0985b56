// The info cache: lookups, keys, freshness, and the "InfoCache.txt" format with its damaged lines.
#include "transfer/info_cache.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>

#include "tests/support/file_text.h"
#include "tests/support/local_time.h"
#include "tests/support/temp_dir.h"
#include "transfer/file_info.h"
#include "transfer/local_file.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

using testing::MakeTime;

constexpr const char* kFourDaysAgo = "06/11/2024 12:00:00";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line + "\n");
    std::sort(lines.begin(), lines.end());
    return lines;
}

class InfoCacheTest : public ::testing::Test {
  protected:
    InfoCacheTest() {
        cache_.SetClock([this] { return now_; });
    }

    // A request for `url` (parsed strictly) holding file information added `added`.
    struct Request {
        CUrlAddress address;
        CPropertySet props;
    };
    static Request MakeRequest(const std::string& url, const char* added = kFourDaysAgo,
                               int type = 1) {
        Request r;
        std::string path;
        EXPECT_TRUE(ParseUrl(url, true, r.address, path)) << url;
        r.props.SetString(prop::kPath, path);
        r.props.SetInt(prop::kType, type);
        r.props.SetString(prop::kAdded, added);
        return r;
    }

    DateTime now_ = MakeTime(2024, 6, 15, 12, 0, 0);
    CInfoCache cache_;
    TempDir dir_;
};

TEST_F(InfoCacheTest, FreshEntrySurvivesLoadAndSaveUntilFiveDaysOld) {
    cache_.LoadText(std::string("URL=\"http://site.test/a.txt\" Added=\"") + kFourDaysAgo +
                    "\" Size=\"10\" Time=\"\" Type=\"TEXT\" E-Tag=\"\" Redir=\"\"\r\n");
    const std::string expected = std::string("URL=\"http://site.test/a.txt\" Added=\"") +
                                 kFourDaysAgo + "\" Size=\"10\" Time=\"\" Type=\"TEXT\"\r\n";
    EXPECT_EQ(cache_.SaveText(), expected);

    now_ = MakeTime(2024, 6, 16, 12, 0, 0);
    EXPECT_EQ(cache_.SaveText(), "");
}

TEST_F(InfoCacheTest, LinesThatCannotBeServedAreDroppedAtSave) {
    const std::string good = std::string("URL=\"http://h/good\" Added=\"") + kFourDaysAgo +
                             "\" Size=\"0\" Time=\"\" Type=\"HTML\"\r\n";
    const std::string text =
        good +
        "URL=\"http://h/unknown-type\" Added=\"06/11/2024 12:00:00\" Type=\"WEBPAGE\"\r\n"
        "URL=\"http://h/no-type\" Added=\"06/11/2024 12:00:00\"\r\n"
        "URL=\"http://h/future\" Added=\"06/15/2024 12:00:01\" Type=\"HTML\"\r\n"
        "URL=\"http://h/no-added\" Type=\"HTML\"\r\n"
        "URL=\"http://h/bad-added\" Added=\"soon\" Type=\"HTML\"\r\n"
        "URL=\"not a url\" Added=\"06/11/2024 12:00:00\" Type=\"HTML\"\r\n"
        "Added=\"06/11/2024 12:00:00\" Type=\"HTML\"\r\n"
        "\r\n"
        "garbage without pairs\r\n";
    cache_.LoadText(text);
    EXPECT_EQ(cache_.SaveText(), good);
}

TEST_F(InfoCacheTest, AttributeNamesInAnyCaseAreReadAndWrittenInTheTemplateSpelling) {
    cache_.LoadText(
        "url = 'http://User@Site.TEST:8080/x y' ADDED=\"06/11/2024 12:00:00\" size=-5 "
        "TIME=\"01/02/2024 03:04:05\" tYpE=archive e-tag='\"v1\"' CONTENT-TYPE=text/plain "
        "Content-location=\"http://site.test/l\" redirpath=/r REDIR=\"http://o.test/\" "
        "Unknown=\"ignored\"\n");
    EXPECT_EQ(cache_.SaveText(),
              "URL=\"http://user@site.test:8080/x y\" Added=\"06/11/2024 12:00:00\" "
              "Size=\"-1\" Time=\"01/02/2024 03:04:05\" Type=\"ARCHIVE\" E-Tag='\"v1\"' "
              "Content-Type=\"text/plain\" Content-Location=\"http://site.test/l\" "
              "RedirPath=\"/r\" Redir=\"http://o.test/\"\r\n");
}

TEST_F(InfoCacheTest, UrlsDifferingInSlashCountsShareOneEntry) {
    Request first = MakeRequest("http://h/a/b");
    first.props.SetInt64(prop::kSize, 1);
    Request second = MakeRequest("http://h//a///b/");
    second.props.SetInt64(prop::kSize, 2);
    EXPECT_EQ(cache_.Store(first.address, first.props), 0);
    EXPECT_EQ(cache_.Store(second.address, second.props), 0);
    int entries = 0;
    cache_.Enumerate([&entries](const InfoCacheEntry&) { ++entries; });
    EXPECT_EQ(entries, 1);

    Request probe = MakeRequest("http://h/a\\b", "");
    EXPECT_EQ(cache_.Lookup(probe.address, probe.props), 1);
    EXPECT_EQ(probe.props.Int64(prop::kSize), 2);
    // A user makes a different key; the password does not.
    Request withUser = MakeRequest("http://u@h/a/b", "");
    EXPECT_EQ(cache_.Lookup(withUser.address, withUser.props), 0);
    Request withPassword = MakeRequest("http://:secret@h/a/b", "");
    EXPECT_EQ(cache_.Lookup(withPassword.address, withPassword.props), 1);
}

TEST_F(InfoCacheTest, LookupCopiesTheWholeFileInformation) {
    Request stored = MakeRequest("ftp://h/f.zip");
    stored.props.SetInt64(prop::kSize, 1234);
    stored.props.SetInt(prop::kSizeKnown, 1);
    stored.props.SetString(prop::kETag, "\"e\"");
    stored.props.SetString(prop::kContentEncoding, "gzip");
    stored.props.SetString(prop::kLocalFile, "/downloads/f.zip");
    ASSERT_EQ(cache_.Store(stored.address, stored.props), 0);

    Request request = MakeRequest("ftp://h/f.zip", "");
    request.props.SetString(prop::kContentType, "stale/type");
    request.props.SetString(prop::kContentEncoding, "gzip");
    ASSERT_EQ(cache_.Lookup(request.address, request.props), 1);
    EXPECT_EQ(request.props.Int64(prop::kSize), 1234);
    EXPECT_EQ(request.props.Int(prop::kSizeKnown), 1);
    EXPECT_EQ(request.props.Int(prop::kType), 1);
    EXPECT_EQ(request.props.String(prop::kETag), "\"e\"");
    EXPECT_EQ(request.props.String(prop::kAdded), kFourDaysAgo);
    EXPECT_FALSE(request.props.Has(prop::kContentType));  // the entry has none
    EXPECT_FALSE(request.props.Has(prop::kContentEncoding));

    cache_.Enumerate([](const InfoCacheEntry& entry) {
        EXPECT_EQ(entry.data.String(prop::kLocalFile), "/downloads/f.zip");
        EXPECT_FALSE(entry.data.Has(prop::kContentEncoding));
    });
}

TEST_F(InfoCacheTest, BodiesInvalidationAndClearing) {
    Request dynamic = MakeRequest("http://h/form");
    const std::uint8_t body[] = {'a', '=', '1'};
    dynamic.props.SetBytes(prop::kBody, body, sizeof body);
    EXPECT_NE(cache_.Store(dynamic.address, dynamic.props), 0);
    EXPECT_EQ(cache_.SaveText(), "");

    Request plain = MakeRequest("http://h/form");
    ASSERT_EQ(cache_.Store(plain.address, plain.props), 0);
    EXPECT_EQ(cache_.Lookup(dynamic.address, dynamic.props), 0);  // a body is never served
    EXPECT_EQ(cache_.Lookup(plain.address, plain.props), 1);

    cache_.Invalidate(plain.address, plain.props);
    EXPECT_EQ(cache_.Lookup(plain.address, plain.props), 0);
    cache_.Invalidate(MakeRequest("http://other/").address, plain.props);  // no entry: no effect

    ASSERT_EQ(cache_.Store(plain.address, plain.props), 0);
    cache_.Clear();
    EXPECT_EQ(cache_.Lookup(plain.address, plain.props), 0);
    EXPECT_EQ(cache_.SaveText(), "");
}

TEST_F(InfoCacheTest, FileRoundTripOfFreshEntries) {
    const char* const urls[] = {"http://h/", "http://h/a", "http://h/a/b.html",
                                "https://u@secure.test:8443/p?q=1", "ftp://ftp.test/pub/x.gz"};
    int n = 0;
    for (const char* url : urls) {
        Request r = MakeRequest(url, kFourDaysAgo, 1 + n);
        r.props.SetInt64(prop::kSize, 1000 * n);
        r.props.SetString(prop::kTimeModified, "01/02/2024 03:04:05");
        if (n % 2) r.props.SetString(prop::kETag, "W/\"tag" + std::to_string(n) + "\"");
        if (n == 3) r.props.SetString(prop::kRedirect, "http://elsewhere/");
        ASSERT_EQ(cache_.Store(r.address, r.props), 0);
        ++n;
    }
    const std::string path = dir_ / "InfoCache.txt";
    ASSERT_TRUE(cache_.Save(path));
    const std::string saved = ReadAll(path);
    EXPECT_EQ(Lines(saved).size(), 5u);

    CInfoCache loaded;
    loaded.SetClock([this] { return now_; });
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(Lines(loaded.SaveText()), Lines(saved));
    Request probe = MakeRequest("https://u@secure.test:8443/p?q=1", "");
    ASSERT_EQ(loaded.Lookup(probe.address, probe.props), 1);
    EXPECT_EQ(probe.props.String(prop::kETag), "W/\"tag3\"");
    EXPECT_EQ(probe.props.String(prop::kRedirect), "http://elsewhere/");
    EXPECT_EQ(probe.props.Int(prop::kType), 4);
}

TEST_F(InfoCacheTest, LoadAndSaveFailures) {
    Request r = MakeRequest("http://h/x");
    ASSERT_EQ(cache_.Store(r.address, r.props), 0);
    EXPECT_FALSE(cache_.Load(dir_ / "missing.txt"));
    EXPECT_FALSE(cache_.Save(dir_ / "missing/InfoCache.txt"));

    // A save that cannot complete (here: the file size limit, which binds root too) leaves the
    // old file as it was, and no temporary file behind.
    const std::string path = dir_ / "InfoCache.txt";
    WriteAll(path, "old content\r\n");
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tiny = saved;
    tiny.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool savedOk = cache_.Save(path);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(savedOk);
    EXPECT_EQ(ReadAll(path), "old content\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 1);
}

TEST_F(InfoCacheTest, HostileLinesStayHarmless) {
    const std::string tail = std::string("\" Added=\"") + kFourDaysAgo + "\" Type=\"TEXT\"\n";
    std::string deep = "URL=\"http://h";
    for (int i = 0; i < 200000; ++i)
        deep += "/s";
    std::string text = deep + tail;
    text += "URL=\"http://h/" + std::string(CLocalFile::kMaxLineLength, 'x') + tail;
    text += std::string("URL=\"http://h/ok\0null", 21) + tail;
    text += "URL=\"http://h/\"\"quoted\" Added=\"06/11/2024 12:00:00\" Type=\"TEXT\"\n";
    WriteAll(dir_ / "InfoCache.txt", text);
    ASSERT_TRUE(cache_.Load(dir_ / "InfoCache.txt"));
    // The NUL became 0x01; the stray quote only cut the URL short.
    const std::string rest =
        std::string("\" Added=\"") + kFourDaysAgo + "\" Size=\"0\" Time=\"\" Type=\"TEXT\"\r\n";
    EXPECT_EQ(Lines(cache_.SaveText()),
              Lines("URL=\"http://h/ok\x01null" + rest + "URL=\"http://h/" + rest));

    // A key just under the depth limit is kept.
    std::string path;
    for (std::size_t i = 0; i + 2 < CInfoCache::kMaxKeySegments; ++i)
        path += "/s";
    Request ok = MakeRequest("http://h" + path);
    EXPECT_EQ(cache_.Store(ok.address, ok.props), 0);
    Request tooDeep = MakeRequest("http://h" + path + "/s/s");
    EXPECT_NE(cache_.Store(tooDeep.address, tooDeep.props), 0);
}

TEST_F(InfoCacheTest, ValuesThatWouldBreakTheLineAreNotWritten) {
    Request r = MakeRequest("http://h/x");
    r.props.SetString(prop::kETag, "a\r\nURL=\"http://evil/\" Type=\"TEXT\"");
    ASSERT_EQ(cache_.Store(r.address, r.props), 0);
    EXPECT_EQ(cache_.SaveText(), "");
}

}  // namespace
}  // namespace tellweir
