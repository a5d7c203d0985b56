// The directory walk: depth, filters, the stop test and link cycles.
#include "transfer/file_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteAll;

class FileWalkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_ / "top/sub/deep");
        WriteAll(dir_ / "top/a.txt", "12345");
        WriteAll(dir_ / "top/b.log", "");
        WriteAll(dir_ / "top/sub/c.txt", "");
        WriteAll(dir_ / "top/sub/deep/d.txt", "");
    }
    // "name:depth:kind[:size]" of every visit, sorted.
    std::vector<std::string> Walk(int depth, const WalkFilter& filter = {},
                                  bool filterDirectories = false, const WalkStop& stop = {},
                                  bool* ok = nullptr) {
        std::vector<std::string> seen;
        const bool result = WalkDirectory(
            dir_ / "top/",
            [&seen](const WalkEntry& e) {
                std::string line = std::string(e.name) + ":" + std::to_string(e.depth) + ":" +
                                   std::to_string(static_cast<int>(e.kind));
                if (e.size) line += ":" + std::to_string(e.size);
                seen.push_back(line);
            },
            depth, filter, filterDirectories, stop);
        if (ok) *ok = result;
        std::sort(seen.begin(), seen.end());
        return seen;
    }
    TempDir dir_;
};

TEST_F(FileWalkTest, DepthZeroListsOneLevel) {
    EXPECT_EQ(Walk(0), (std::vector<std::string>{"a.txt:0:2:5", "b.log:0:2", "sub:0:1"}));
}

TEST_F(FileWalkTest, NonZeroDepthDescendsCountingUp) {
    EXPECT_EQ(Walk(1), (std::vector<std::string>{"a.txt:1:2:5", "b.log:1:2", "c.txt:2:2",
                                                 "d.txt:3:2", "deep:2:1", "sub:1:1"}));
}

TEST_F(FileWalkTest, FilterAppliesToDirectoriesOnlyWhenAsked) {
    auto txtOnly = [](std::string_view name) { return name.ends_with(".txt"); };
    EXPECT_EQ(Walk(1, txtOnly), (std::vector<std::string>{"a.txt:1:2:5", "c.txt:2:2", "d.txt:3:2",
                                                          "deep:2:1", "sub:1:1"}));
    EXPECT_EQ(Walk(1, txtOnly, true), (std::vector<std::string>{"a.txt:1:2:5"}));
}

TEST_F(FileWalkTest, StopTestEndsTheWalk) {
    bool ok = false;
    EXPECT_TRUE(Walk(
                    1, {}, false, [] { return true; }, &ok)
                    .empty());
    EXPECT_FALSE(ok);

    int calls = 0;
    const auto seen = Walk(
        1, {}, false, [&calls] { return ++calls > 2; }, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(FileWalkTest, MissingPathAndLinkCycles) {
    EXPECT_FALSE(WalkDirectory(dir_ / "missing", {}, 1));
    EXPECT_FALSE(WalkDirectory(dir_ / "top/a.txt", {}, 1));

    fs::create_directory_symlink(dir_ / "top", dir_ / "top/sub/loop");
    const auto seen = Walk(1);
    EXPECT_NE(std::find(seen.begin(), seen.end(), "loop:2:1"), seen.end());
    EXPECT_EQ(seen.size(), 7u);
}

}  // namespace
}  // namespace tellweir
