// Path arithmetic: absolute paths, extensions, names, folders and joining.
#include "transfer/file_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

namespace tellweir {
namespace {

TEST(FilePath, IsAbsolutePath) {
    for (const char* path :
         {"/data/x", "~/x", "C:\\data", "d:", "//server/share", "\\\\server", "file:///x"})
        EXPECT_TRUE(IsAbsolutePath(path)) << path;
    for (const char* path : {"", "data/x", "\\sub\\x", "~x", "1:"})
        EXPECT_FALSE(IsAbsolutePath(path)) << path;
}

TEST(FilePath, ExtensionNameAndDirectory) {
    struct Case {
        const char* path;
        const char* extension;
        const char* name;
        const char* directory;
    };
    const Case cases[] = {
        {"/a.b/c", "", "c", "/a.b/"},        {"C:\\a.b\\c", "", "c", "C:\\a.b\\"},
        {"c.tar.gz", ".gz", "", "c.tar.gz"}, {"/x/c.tar.gz", ".gz", "c.tar.gz", "/x/"},
        {"/x/dir/", "", "", "/x/dir/"},      {"", "", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathExtension(c.path), c.extension) << c.path;
        EXPECT_EQ(PathFileName(c.path), c.name) << c.path;
        EXPECT_EQ(PathDirectory(c.path), c.directory) << c.path;
    }
}

TEST(FilePath, JoinPath) {
    struct Case {
        const char* base;
        const char* relative;
        const char* joined;
    };
    const Case cases[] = {
        {"/data/", "\\sub\\file.txt", "/data/sub/file.txt"},
        {"/data", "sub/file.txt/", "/data/sub/file.txt"},
        {"C:\\data\\", "\\sub\\file.txt", "C:/data/sub/file.txt"},
        {"/data", "/x", "/x"},
        {"/data", "D:\\x", "D:\\x"},
        {"/", "x", "/x"},
        {"", "x", "x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JoinPath(c.base, c.relative), c.joined) << c.base << " + " << c.relative;
}

TEST(FilePath, NativePathExpandsHomeAndBackslashes) {
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(NativePath("~/a\\b"), std::string(home) + "/a/b");
    EXPECT_EQ(NativePath("a~/b"), "a~/b");
}

TEST(FilePath, WellKnownFolders) {
    const std::string module = ModulePath();
    ASSERT_FALSE(module.empty());
    EXPECT_EQ(::access(module.c_str(), X_OK), 0);
    EXPECT_EQ(ModuleFolder() + std::string(PathFileName(module)), module);
    EXPECT_EQ(PathInModuleFolder("Tellweir.html"), ModuleFolder() + "Tellweir.html");

    const char* saved = std::getenv("TMPDIR");
    const std::string restore = saved ? saved : "";
    ::setenv("TMPDIR", "/var/tmp/", 1);
    EXPECT_EQ(TemporaryFolder(), "/var/tmp");
    ::setenv("TMPDIR", "", 1);
    EXPECT_EQ(TemporaryFolder(), "/tmp");
    if (saved)
        ::setenv("TMPDIR", restore.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

}  // namespace
}  // namespace tellweir
