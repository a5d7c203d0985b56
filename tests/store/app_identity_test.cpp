// Application identity: the data folder, registry path and data file paths derived from it.
#include "store/app_identity.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tellweir {
namespace {

class AppIdentityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_DATA_HOME", "/tmp/tw-data", 1);
        setenv("XDG_CONFIG_HOME", "/tmp/tw-config/", 1);
        id_.SetIdentity(CAppIdentity::kCompany, "Quandor Software");
        id_.SetIdentity(CAppIdentity::kProduct, "Tellweir");
        id_.SetIdentity(CAppIdentity::kVersion, "1.1");
    }
    CAppIdentity id_;
};

TEST_F(AppIdentityTest, DataFilePathsBelowTheXdgDataFolder) {
    std::string path;
    ASSERT_TRUE(id_.GetDataFilePath("m.xml", true, path));
    EXPECT_EQ(path, "/tmp/tw-data/Quandor Software/Tellweir/1.1/m.xml");
    ASSERT_TRUE(id_.GetDataFilePath("/Cache/", false, path));
    EXPECT_EQ(path, "/tmp/tw-data/Quandor Software/Tellweir/Cache");
    ASSERT_TRUE(id_.GetRegistryPath("\\Settings\\", false, path));
    EXPECT_EQ(path, "Software\\Quandor Software\\Tellweir\\Settings");
    ASSERT_TRUE(id_.GetRegistryFilePath(path));
    EXPECT_EQ(path, "/tmp/tw-config/Quandor Software/Tellweir/registry.reg");

    id_.SetIdentity(CAppIdentity::kVersion, "");
    ASSERT_TRUE(id_.GetDataFilePath("", true, path));
    EXPECT_EQ(path, "/tmp/tw-data/Quandor Software/Tellweir");
}

TEST_F(AppIdentityTest, ChangingTheProductMovesTheFolders) {
    std::string path;
    ASSERT_TRUE(id_.GetIdentity(CAppIdentity::kDataFolder, path));
    id_.SetIdentity(CAppIdentity::kProduct, "Other");
    ASSERT_TRUE(id_.GetIdentity(CAppIdentity::kDataFolder, path));
    EXPECT_EQ(path, "/tmp/tw-data/Quandor Software/Other");
    ASSERT_TRUE(id_.GetIdentity(CAppIdentity::kRegistryPath, path));
    EXPECT_EQ(path, "Software\\Quandor Software\\Other");

    id_.SetIdentity(CAppIdentity::kProduct, "");
    EXPECT_FALSE(id_.GetDataFilePath("x", false, path));
    EXPECT_FALSE(id_.GetIdentity(11, path));
    id_.SetIdentity(-1, "ignored");
}

TEST_F(AppIdentityTest, WithoutXdgVariablesTheHomeFolderServes) {
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "/tmp/tw-home", 1);
    std::string path;
    ASSERT_TRUE(id_.GetIdentity(CAppIdentity::kDataFolder, path));
    EXPECT_EQ(path, "/tmp/tw-home/.local/share/Quandor Software/Tellweir");
}

TEST_F(AppIdentityTest, ProductTitle) {
    EXPECT_EQ(id_.FormatProductTitle("", "", true), "Tellweir 1.1 - Quandor Software");
    EXPECT_EQ(id_.FormatProductTitle("[", "]", false), "[Tellweir - Quandor Software]");
}

}  // namespace
}  // namespace tellweir
