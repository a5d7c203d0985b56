// The HTML manual lookup: the program folder, its "Help" folder, then the documentation folder.
#include "store/help_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(HelpFileTest, FirstExistingPlaceWins) {
    struct Case {
        const char* what;
        std::vector<std::string> present;  // folders under the test folder holding the manual
        std::string expected;              // the folder whose manual is found; empty: none
    };
    const Case cases[] = {
        {"nowhere", {}, ""},
        {"only in Help", {"bin/Help"}, "bin/Help"},
        {"only in the doc folder", {"doc"}, "doc"},
        {"program folder and doc folder", {"bin", "doc"}, "bin"},
        {"Help and doc folder", {"bin/Help", "doc"}, "bin/Help"},
        {"all three", {"bin", "bin/Help", "doc"}, "bin"},
        // The folder's name is "Help": a lower-case one is another folder.
        {"lower-case help only", {"bin/help"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir("help");
        fs::create_directories(dir / "bin");
        fs::create_directories(dir / "doc");
        for (const std::string& folder : c.present) {
            fs::create_directories(dir / folder);
            dir.WriteFile(folder + "/Tellweir.html", "<html></html>");
        }
        const std::string expected =
            c.expected.empty() ? std::string() : dir / (c.expected + "/Tellweir.html");
        EXPECT_EQ(FindHelpFile(dir / "bin/tellweir", dir / "doc"), expected);
    }
}

TEST(HelpFileTest, UnknownProgramFolderStillFindsTheInstalledManual) {
    TempDir dir("help");
    const std::string manual = dir.WriteFile("Tellweir.html", "<html></html>");
    EXPECT_EQ(FindHelpFile("", dir.Path()), manual);
    EXPECT_EQ(FindHelpFile("", ""), "");
}

TEST(HelpFileTest, AFolderNamedLikeTheManualIsNotIt) {
    TempDir dir("help");
    fs::create_directories(dir / "bin/Tellweir.html");
    fs::create_directories(dir / "doc");
    dir.WriteFile("doc/Tellweir.html", "<html></html>");
    EXPECT_EQ(FindHelpFile(dir / "bin/tellweir", dir / "doc"), dir / "doc/Tellweir.html");
}

}  // namespace
}  // namespace tellweir
