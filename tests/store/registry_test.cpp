// The registry store: keys, value kinds, the REGEDIT4 file and its damaged forms.
#include <gtest/gtest.h>

#include <filesystem>

#include "store/registry_file.h"
#include "store/registry_key.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

constexpr const char* kSettingsKey = "Software\\Quandor Software\\Tellweir\\Settings";

class RegistryTest : public ::testing::Test {
  protected:
    std::string FilePath() const { return dir_ / "Quandor Software/Tellweir/registry.reg"; }
    TempDir dir_{"reg"};
};

TEST_F(RegistryTest, ValuesKeepTheirKindAcrossTheFile) {
    {
        CRegistryFile file(FilePath());
        CRegistryKey key(file);
        ASSERT_EQ(key.Open(kSettingsKey, true), CRegistryFile::kCreated);
        EXPECT_TRUE(key.WriteInt("Misc/Max Log Lines", -2000));
        EXPECT_TRUE(key.WriteString("Misc/Log Folder", "C:\\quoted \"x\""));
        EXPECT_TRUE(key.WriteString("Misc/Multi", "line1\r\nline2"));
        EXPECT_TRUE(key.WriteInt64("Misc/Stamp", 0x0102030405060708LL));
        const char bytes[] = {0, 1, 2};
        EXPECT_TRUE(key.WriteBinary("Layout\\Blob", bytes, 3));
    }  // closing writes the file
    ASSERT_TRUE(fs::exists(FilePath()));
    EXPECT_EQ(fs::status(FilePath()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    CRegistryFile again(FilePath());
    ASSERT_TRUE(again.Load());
    CRegistryKey key(again);
    ASSERT_EQ(key.Open("software\\QUANDOR SOFTWARE\\tellweir\\settings", false),
              CRegistryFile::kOpened);
    std::int32_t i = 0;
    std::int64_t i64 = 0;
    std::string s;
    EXPECT_TRUE(key.ReadInt("misc/max log lines", i));
    EXPECT_EQ(i, -2000);
    EXPECT_TRUE(key.ReadString("Misc/Log Folder", s));
    EXPECT_EQ(s, "C:\\quoted \"x\"");
    EXPECT_TRUE(key.ReadString("Misc/Multi", s));
    EXPECT_EQ(s, "line1\r\nline2");
    EXPECT_TRUE(key.ReadInt64("Misc/Stamp", i64));
    EXPECT_EQ(i64, 0x0102030405060708LL);
    std::uint32_t size = 0;
    EXPECT_TRUE(key.ReadBinarySize("Layout/Blob", size));
    EXPECT_EQ(size, 3u);

    // A read of another kind fails and leaves the out value alone.
    i = 77;
    EXPECT_FALSE(key.ReadInt("Misc/Log Folder", i));
    EXPECT_EQ(i, 77);
    EXPECT_FALSE(key.ReadString("Misc/Max Log Lines", s));
    EXPECT_FALSE(key.ReadInt64("Layout/Blob", i64));  // bytes, but not exactly 8
    EXPECT_FALSE(key.ReadInt("Missing/Value", i));
}

TEST_F(RegistryTest, FileFormIsRegedit4) {
    CRegistryFile file(FilePath());
    CRegistryKey key(file);
    key.Open(kSettingsKey, true);
    key.WriteInt("Misc/Default Tab Size", 4);
    key.WriteString("HTTP/User Agent", "Tellweir 1.1 (x)");
    key.WriteInt64("Misc/When", 1);
    const std::string text = file.Format();
    EXPECT_EQ(text.rfind("REGEDIT4\r\n", 0), 0u);
    EXPECT_NE(
        text.find(
            "[HKEY_CURRENT_USER\\Software\\Quandor Software\\Tellweir\\Settings\\Misc]"
            "\r\n\"Default Tab Size\"=dword:00000004\r\n\"When\"=hex:01,00,00,00,00,00,00,00\r\n"),
        std::string::npos);
    EXPECT_NE(text.find("\"User Agent\"=\"Tellweir 1.1 (x)\"\r\n"), std::string::npos);
}

TEST_F(RegistryTest, ReadsHandWrittenAndDamagedFiles) {
    CRegistryFile file;
    EXPECT_TRUE(file.Parse(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\A\\B]\n\"n\"=dword:ff\n\"h\"=hex:01,\\\n  02\n"
        "\"bad\"=dword:xyz\n\"t\"=\"unterminated\n[HKEY_LOCAL_MACHINE\\X]\n\"m\"=\"skip\"\n"
        "[HKEY_CURRENT_USER\\A\\B\\C]\n@=\"default\"\n"));
    RegValue v;
    EXPECT_TRUE(file.GetValue("A\\B", "n", v));
    EXPECT_EQ(v.type, RegType::Dword);
    EXPECT_EQ(v.data, std::string("\xff\0\0\0", 4));
    EXPECT_TRUE(file.GetValue("a/b", "h", v));
    EXPECT_EQ(v.data, "\x01\x02");
    EXPECT_FALSE(file.GetValue("A\\B", "bad", v));
    EXPECT_FALSE(file.GetValue("A\\B", "t", v));
    EXPECT_FALSE(file.KeyExists("X"));
    EXPECT_TRUE(file.GetValue("A\\B\\C", "", v));

    // A string ends at its zero byte, so it formats and reads back the same.
    static constexpr char kWithZero[] = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n@=\"a\0b\"\n";
    EXPECT_TRUE(file.Parse(std::string(kWithZero, sizeof kWithZero - 1)));
    EXPECT_TRUE(file.GetValue("K", "", v));
    EXPECT_EQ(v.data, "a");
    const std::string formatted = file.Format();
    CRegistryFile again;
    ASSERT_TRUE(again.Parse(formatted));
    EXPECT_EQ(again.Format(), formatted);

    EXPECT_FALSE(file.Parse("not a registry file"));
    EXPECT_FALSE(file.KeyExists("A"));
}

TEST_F(RegistryTest, MissingFileIsAnEmptyStoreAndDeleteKeyIsRecursive) {
    CRegistryFile file(FilePath());
    EXPECT_TRUE(file.Load());
    CRegistryKey key(file);
    EXPECT_EQ(key.Open("Software\\Q", false), CRegistryFile::kFailed);
    ASSERT_EQ(key.Open("Software\\Q", true), CRegistryFile::kCreated);
    key.WriteInt("Sub/Deep/x", 1);
    key.WriteInt("Sub Sibling/y", 2);
    EXPECT_TRUE(key.DeleteKey("Sub"));
    EXPECT_FALSE(file.KeyExists("Software\\Q\\Sub\\Deep"));
    EXPECT_TRUE(file.KeyExists("Software\\Q\\Sub Sibling"));
    EXPECT_FALSE(key.DeleteKey("Sub"));
}

}  // namespace
}  // namespace tellweir
