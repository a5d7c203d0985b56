// Telling whole state files from damaged ones (XML documents, files of name=value lines), bounded
// reads, and atomic writes through symbolic links.
#include "store/state_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "store/atomic_file.h"
#include "store/xml_parser.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::TempDir;

TEST(StateFile, XmlDamageIsToldWithWhereItIs) {
    struct Case {
        std::string_view input;
        const char* damage;  // empty: whole
    };
    const Case cases[] = {
        {"<a><b/>x</a>", ""},
        {"", ""},
        {"<a><b>x</b>", "damaged: it ends before its elements are closed"},
        {"<a><b x='1'", "damaged: it ends inside a tag"},
        {"<a><!-- open", "damaged: it ends inside a tag"},
        {"<a></b></a>", "damaged: an end tag closes no open element at byte 3"},
        {"<a/><>", "damaged: malformed markup at byte 4"},
        {"<a>< b></></a>", "damaged: a tag without a name at byte 3"},
        {std::string_view("<a>\0</a>", 8), "damaged: it holds binary data"},
        {std::string_view("<a></b>\0", 8), "damaged: it holds binary data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        CXmlNode root;
        CStringSource source(c.input);
        EXPECT_EQ(DescribeXmlDamage(CXmlParser().ParseDocument(root, source)), c.damage);
    }

    // The top element is checked by name; text without any element is no document.
    const struct {
        std::string_view input;
        const char* damage;
    } tops[] = {
        {"<?xml version='1.0'?><Monitors/>", ""},
        {"<?xml version='1.0'?>", ""},
        {"<Tasks/>", "damaged: its top element is <Tasks>, not <Monitors>"},
        {"plain text", "damaged: it holds no <Monitors>"},
    };
    for (const auto& c : tops) {
        SCOPED_TRACE(c.input);
        CXmlNode root;
        CStringSource source(c.input);
        const XmlParseResult parsed = CXmlParser().ParseDocument(root, source);
        EXPECT_EQ(DescribeXmlDamage(parsed, root, "Monitors"), c.damage);
    }
}

TEST(StateFile, ElementsAreReportedWithTheirBytes) {
    const std::string_view text = "<r>\r\n  <e a='1'>x<i/></e>\r\n  <f/>\r\n  <open>";
    CXmlNode root;
    CStringSource source(text);
    std::vector<std::string> seen;
    (void)CXmlParser().ParseDocument(
        root, source, [&](const CXmlNode& element, std::uint64_t begin, std::uint64_t end) {
            seen.push_back(element.Name() + "=" + std::string(text.substr(begin, end - begin)));
        });
    // Elements still open at the end are never complete.
    EXPECT_EQ(seen, (std::vector<std::string>{"i=<i/>", "e=<e a='1'>x<i/></e>", "f=<f/>"}));
}

TEST(StateFile, LinesWithoutTheirNamesAreDamage) {
    struct Case {
        std::string_view text;
        std::size_t maxLine;
        const char* damage;
    };
    const Case cases[] = {
        {" domain=a COOKIE='x=1'\r\n\r\n Domain=\"b\" Cookie=\"y\"", 0, ""},
        {" Domain=a Cookie=b\r\n Domain=c Path=/\r\n", 0, "damaged: line 2 cannot be read"},
        {"garbage", 0, "damaged: line 1 cannot be read"},
        {std::string_view(" Domain=a Cookie=\0b", 19), 0, "damaged: it holds binary data"},
        {" Domain=a Cookie=b\n", 19, ""},
        {" Domain=a Cookie=bc\n", 19, "damaged: line 1 is too long"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DescribeLineFileDamage(c.text, {"Domain", "Cookie"}, c.maxLine), c.damage);
    }
}

TEST(StateFile, ReadsAreBoundedAndSayWhy) {
    const TempDir dir("state");
    const std::string path = dir.WriteFile("f", "12345");
    EXPECT_EQ(ReadStateFile(path, 5).text, "12345");
    EXPECT_EQ(ReadStateFile(path, 4).problem, "larger than 4 bytes");
    fs::resize_file(path, 65u << 20);  // sparse: costs no disk
    EXPECT_EQ(ReadStateFile(path, 64u << 20).problem, "larger than 64 MiB");
    EXPECT_TRUE(ReadStateFile(dir / "missing", 5).missing);
    EXPECT_EQ(ReadStateFile(dir.Path(), 5).problem, "is a folder");
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadStateFile(fifo, 5).problem, "not a regular file") << "and it does not hang";
}

// A file that is a link is rewritten at its target, through chains and relative targets; a
// dangling link gets its target made; a loop of links is refused and makes nothing.
TEST(StateFile, AtomicWritesFollowLinks) {
    const TempDir dir("links");
    fs::create_directories(dir / "real");
    fs::create_symlink("real/target.txt", dir / "middle");
    fs::create_symlink(dir / "middle", dir / "Cookies.txt");
    ASSERT_TRUE(WriteFileAtomically(dir / "Cookies.txt", "through the links"));
    EXPECT_TRUE(fs::is_symlink(dir / "Cookies.txt"));
    EXPECT_TRUE(fs::is_symlink(dir / "middle"));
    EXPECT_EQ(ReadAll(dir / "real/target.txt"), "through the links");
    EXPECT_EQ(ResolveFileLinks(dir / "Cookies.txt"), dir / "real/target.txt");

    fs::create_symlink("real/new.txt", dir / "InfoCache.txt");
    ASSERT_TRUE(WriteFileAtomically(dir / "InfoCache.txt", "made"));
    EXPECT_TRUE(fs::is_symlink(dir / "InfoCache.txt"));
    EXPECT_EQ(ReadAll(dir / "real/new.txt"), "made");

    fs::create_symlink("one", dir / "two");
    fs::create_symlink("two", dir / "one");
    EXPECT_FALSE(WriteFileAtomically(dir / "one", "x"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 6);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "real"), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace tellweir
