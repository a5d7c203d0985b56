// Reading the URL history file.
#include "store/url_history.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

TEST(UrlHistory, ItemsAtAnyDepthComeFirstInFileOrder) {
    const testing::TempDir dir("history");
    const std::string path =
        dir.WriteFile("History.xml",
                      "<?xml version=\"1.0\"?>\n<History>\n"
                      "  <Item URI=\"http://a.test/\"/>\n"
                      "  <Group><Item Other=\"x\" URI=' ftp://b.test/f?x=1&amp;y=2 '/></Group>\n"
                      "  <Item URI=\"   \"/><item URI=\"http://lower.test/\"/>\n"
                      "  <Item uri=\"http://wrongcase.test/\"/>\n"
                      "</History>\n");
    CUrlHistory history;
    history.Insert(0, "http://older.test/");
    ASSERT_TRUE(ReadHistoryFile(path, history));
    EXPECT_EQ(history.Items(), (std::vector<std::string>{"http://a.test/", "ftp://b.test/f?x=1&y=2",
                                                         "http://older.test/"}));
    std::filesystem::remove(path);
    EXPECT_FALSE(ReadHistoryFile(path, history));
}

}  // namespace
}  // namespace tellweir
