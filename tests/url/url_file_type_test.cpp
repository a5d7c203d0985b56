// File type names, content classification and the file information text.
#include "url/file_type.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "url/file_info_text.h"

namespace tellweir {
namespace {

TEST(UrlFileType, NamesMapBothWaysIgnoringCase) {
    EXPECT_EQ(FileTypeName(FileType::Unknown), "UNKNOWN");
    EXPECT_EQ(FileTypeName(FileType::LocalFolder), "LOCALFOLDER");
    EXPECT_EQ(FileTypeName(FileType::Anchor), "ANCHOR");
    for (std::int32_t i = 0; i <= 17; ++i) {
        std::string name(FileTypeName(static_cast<FileType>(i)));
        ASSERT_FALSE(name.empty()) << i;
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(FileTypeFromName(name), static_cast<FileType>(i)) << name;
    }
    EXPECT_EQ(FileTypeName(static_cast<FileType>(18)), "");
    EXPECT_EQ(FileTypeName(static_cast<FileType>(-1)), "");
    EXPECT_EQ(FileTypeFromName("FOLDER"), FileType::Unknown);
    EXPECT_EQ(FileTypeFromName(""), FileType::Unknown);
}

TEST(UrlFileType, ContentTypeDecidesBeforeTheExtension) {
    struct Case {
        std::string_view contentType;
        std::string_view path;
        FileType type;
    };
    const Case cases[] = {
        {"text/html; charset=utf-8", "/a.zip", FileType::Html},
        {"text/plain", "", FileType::Text},
        {"application/octet-stream", "/a.jpg", FileType::Text},
        {"application/x-javascript", "", FileType::Text},
        {"image/png", "", FileType::Image},
        {"video/mp4", "", FileType::Video},
        {"audio/mpeg", "", FileType::Audio},
        {"application/zip", "", FileType::Archive},
        {"application/x-tar", "", FileType::Archive},
        // The search is case-sensitive: the path decides.
        {"Text/HTML", "/a/b.gz", FileType::Archive},
        {"Text/HTML", "", FileType::Unknown},
        {"application/json", "/notes.txt", FileType::Text},
        {"", "/a/b.JPG", FileType::Image},
        {"", "/a/b", FileType::File},
        {"", "", FileType::Unknown},
        {"", "/a/b.tar.gz", FileType::Archive},
        {"", "/dir.html/file", FileType::File},
        {"", "/x.Hpp", FileType::Text},
        {"", "/x.shtml", FileType::Html},
        {"", "/x.mpg", FileType::Video},
        {"", "/x.wav", FileType::Audio},
        {"", "/x.jpeg2", FileType::File},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.contentType) + " | " + std::string(c.path));
        EXPECT_EQ(ClassifyContent(c.contentType, c.path), c.type);
    }
}

TEST(UrlFileType, FileInfoTextShowsOnlyTheKnownFields) {
    EXPECT_EQ(DescribeFileInfo({FileType::Html, 5000000000, true, "03/03/2004 14:05:09", "\"e1\""}),
              "type= HTML, size= 5000000000, time=\"03/03/2004 14:05:09\", E-Tag= \"e1\"");
    EXPECT_EQ(DescribeFileInfo({FileType::Text, 0, true, "", ""}), "type= TEXT");
    EXPECT_EQ(DescribeFileInfo({FileType::Text, 12, false, "", "x"}), "type= TEXT, E-Tag= x");
    EXPECT_EQ(DescribeFileInfo({static_cast<FileType>(40), 7, true, "t", ""}),
              "type= UNKNOWN, size= 7, time=\"t\"");
}

}  // namespace
}  // namespace tellweir
