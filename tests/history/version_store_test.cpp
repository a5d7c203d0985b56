// The versions folder: what is kept comes back whole, the limits remove the oldest without ever
// giving a number twice, a damaged file is skipped rather than read as an empty version, and
// nothing is written through a link planted in the folder's place or a file's.
#include "history/version_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

VersionRecord Record(std::string event = "Content Changed") {
    VersionRecord record;
    record.time = DateTime::FromUnixTime(1'700'000'000);
    record.run = 7;
    record.event = std::move(event);
    return record;
}

std::vector<std::int32_t> Numbers(const CVersionStore& store) {
    std::vector<std::int32_t> numbers;
    for (const VersionRecord& record : store.List())
        numbers.push_back(record.number);
    return numbers;
}

// Bytes that do not compress.
std::string Noise(std::size_t size) {
    std::string noise(size, '\0');
    unsigned seed = 1;
    for (char& c : noise)
        c = static_cast<char>((seed = seed * 1103515245U + 12345U) >> 16);
    return noise;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 0777;
}

class VersionStoreTest : public ::testing::Test {
  protected:
    std::int32_t Add(std::string_view content, VersionLimits limits = {},
                     std::string* error = nullptr) {
        return store_.Add(Record(), content, limits, error);
    }

    TempDir dir_{"versions"};
    const std::string folder_ = CVersionStore::FolderFor(dir_ / "cache/page");
    CVersionStore store_{folder_};
};

TEST_F(VersionStoreTest, KeepsContentAndRecordWhole) {
    VersionRecord record = Record("First Time");
    record.contentType = "text/html; charset=ISO-8859-1";
    record.name = "odd\\name\nwith\r\x01 bytes";
    record.information = true;
    record.added = 12;
    record.removed = 3;
    const std::string binary("a\0b\xff\n", 5);
    EXPECT_EQ(store_.Add(record, binary, {}), 1);
    EXPECT_EQ(store_.Add(Record(), "", {}), 2);  // an empty content is a version too

    std::vector<std::string> damaged;
    const std::vector<VersionRecord> listed = store_.List(&damaged);
    EXPECT_TRUE(damaged.empty());
    ASSERT_EQ(listed.size(), 2U);
    const VersionRecord& first = listed[0];
    EXPECT_EQ(first.number, 1);
    EXPECT_EQ(first.time, record.time);
    EXPECT_EQ(first.run, 7);
    EXPECT_EQ(first.event, "First Time");
    EXPECT_EQ(first.size, 5);
    EXPECT_EQ(first.storedSize, std::filesystem::file_size(folder_ + "/000001.version"));
    EXPECT_EQ(first.contentType, record.contentType);
    EXPECT_EQ(first.name, record.name);
    EXPECT_TRUE(first.information);
    EXPECT_EQ(first.added, 12);
    EXPECT_EQ(first.removed, 3);
    EXPECT_EQ(listed[1].added, -1);

    std::string content;
    VersionRecord read;
    ASSERT_EQ(store_.Read(1, content, &read), VersionRead::Ok);
    EXPECT_EQ(content, binary);
    EXPECT_EQ(read.name, record.name);
    EXPECT_EQ(store_.Read(2, content), VersionRead::Ok);
    EXPECT_EQ(content, "");
    EXPECT_EQ(store_.Read(3, content), VersionRead::Missing);
    EXPECT_EQ(store_.NewestNumber(), 2);

    // Owner-only, and the header stays readable as text.
    EXPECT_EQ(ModeOf(folder_), 0700U);
    EXPECT_EQ(ModeOf(folder_ + "/000001.version"), 0600U);
    EXPECT_TRUE(ReadAll(folder_ + "/000002.version").starts_with("Tellweir version 1\nnumber=2\n"));
}

TEST_F(VersionStoreTest, LimitsRemoveTheOldestAndNumbersGoOn) {
    for (int i = 0; i < 5; ++i)
        Add("content " + std::to_string(i), {.kept = 3});
    EXPECT_EQ(Numbers(store_), (std::vector<std::int32_t>{3, 4, 5}));

    // By size: incompressible contents of 45 KiB each, 100 KiB allowed in all.
    const std::string noise = Noise(45 * 1024);
    const VersionLimits bySize{.kept = 10, .maxBytes = 100 * 1024};
    EXPECT_EQ(Add(noise, bySize), 6);
    EXPECT_EQ(Add(noise, bySize), 7);
    EXPECT_EQ(Add(noise, bySize), 8);
    EXPECT_EQ(Numbers(store_), (std::vector<std::int32_t>{7, 8}));

    // A version whose own file is over the limit is not kept and takes nothing from the others.
    std::string error;
    EXPECT_EQ(Add(Noise(101 * 1024), bySize, &error), 0);
    EXPECT_NE(error.find("Version not kept"), std::string::npos) << error;
    EXPECT_EQ(Numbers(store_), (std::vector<std::int32_t>{7, 8}));

    // Keeping none removes them all, and the numbers still never go back.
    EXPECT_EQ(Add("x", {.kept = 0}), 0);
    EXPECT_TRUE(Numbers(store_).empty());
    EXPECT_EQ(store_.NewestNumber(), 0);
    EXPECT_EQ(Add("y"), 9);
}

TEST_F(VersionStoreTest, ViewedMarkAndRemoveAll) {
    EXPECT_EQ(store_.Viewed(), 0);
    Add("a");
    Add("b");
    EXPECT_TRUE(store_.SetViewed(2));
    EXPECT_EQ(CVersionStore(folder_).Viewed(), 2);
    EXPECT_EQ(ModeOf(folder_ + "/viewed"), 0600U);
    EXPECT_TRUE(store_.RemoveAll());
    EXPECT_FALSE(std::filesystem::exists(folder_));
    EXPECT_EQ(store_.Viewed(), 0);
    EXPECT_TRUE(store_.RemoveAll());  // nothing left is no failure
}

// Each damage leaves version 2 unreadable while versions 1 and 3 stay. A listing reads only the
// headers, so it sees every damage but one inside the compressed content, which Read finds.
TEST_F(VersionStoreTest, DamagedFileIsSkippedNeverEmpty) {
    const std::string text(3000, 'v');
    const struct {
        const char* what;
        std::function<std::string(const std::string&)> damage;
        bool listed = false;
    } cases[] = {
        {"truncated", [](const std::string& file) { return file.substr(0, file.size() - 5); }},
        {"cut inside the header", [](const std::string& file) { return file.substr(0, 30); }},
        {"empty", [](const std::string&) { return std::string(); }},
        {"garbage", [](const std::string& file) { return std::string(file.size(), '\x5a'); }},
        {"wrong magic", [](const std::string& file) { return "Other" + file.substr(5); }},
        {"newer format", [](const std::string& file) { return "Tellweir version 9" + file.substr(18); }},
        {"byte flipped in the content",
         [](const std::string& file) {
             std::string copy = file;
             copy[copy.size() - 10] ^= 0x01;
             return copy;
         },
         true},
        {"trailing bytes", [](const std::string& file) { return file + "more"; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(store_.RemoveAll());
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(Add(text + std::to_string(i)), i + 1);
        const std::string path = folder_ + "/000002.version";
        WriteAll(path, c.damage(ReadAll(path)));

        std::vector<std::string> damaged;
        const std::vector<std::int32_t> listed = c.listed ? std::vector<std::int32_t>{1, 2, 3}
                                                           : std::vector<std::int32_t>{1, 3};
        EXPECT_EQ(Numbers(store_), listed);
        store_.List(&damaged);
        EXPECT_EQ(damaged.size(), c.listed ? 0U : 1U);
        std::string content = "stale";
        EXPECT_EQ(store_.Read(2, content), VersionRead::Damaged);
        EXPECT_TRUE(content.empty());
        EXPECT_EQ(store_.Read(3, content), VersionRead::Ok);
        EXPECT_EQ(Add("next"), 4);
    }
}

TEST_F(VersionStoreTest, LinksArePlacedNeverFollowed) {
    const std::string elsewhere = dir_ / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    const std::string outside = dir_.WriteFile("outside", "keep me");
    std::filesystem::create_directories(std::filesystem::path(folder_).parent_path());

    // A link in the folder's place: nothing is kept, nothing lands where it points.
    std::filesystem::create_directory_symlink(elsewhere, folder_);
    std::string error;
    EXPECT_EQ(Add("content", {}, &error), 0);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(store_.SetViewed(1));
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    EXPECT_TRUE(store_.RemoveAll());  // the link goes, its target stays
    EXPECT_TRUE(std::filesystem::exists(elsewhere));

    // Links in a version's and the viewed mark's places are replaced, and not read through.
    std::filesystem::create_directory(folder_);
    std::filesystem::create_symlink(outside, folder_ + "/000001.version");
    std::string content;
    EXPECT_EQ(store_.Read(1, content), VersionRead::Damaged);
    std::filesystem::create_symlink(outside, folder_ + "/viewed");
    EXPECT_EQ(store_.Viewed(), 0);
    EXPECT_EQ(Add("content"), 2);
    std::filesystem::create_symlink(outside, folder_ + "/000003.version");
    EXPECT_EQ(Add("again"), 4);
    EXPECT_TRUE(store_.SetViewed(4));
    EXPECT_EQ(ReadAll(outside), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(folder_ + "/viewed"));
    EXPECT_EQ(store_.Read(4, content), VersionRead::Ok);
    EXPECT_EQ(content, "again");
}

}  // namespace
}  // namespace tellweir
