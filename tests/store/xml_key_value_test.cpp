// CXmlNode as a key/value store: paths, find-or-create walks, values and numbers, round trips.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "store/xml_node.h"
#include "tests/support/xml_text.h"

namespace tellweir {
namespace {

using testing::DocumentText;
using testing::ParseDocumentText;

// A document round trip: write `root` and parse the result back into it.
void Reparse(CXmlNode& root) {
    const std::string text = DocumentText(root);
    ParseDocumentText(root, text);
}

TEST(XmlKeyValue, PathsMapToElementNames) {
    CXmlNode root;
    EXPECT_TRUE(root.WriteString("//Misc//Max Log Lines/", "1"));
    EXPECT_TRUE(root.WriteString("Q\"u'o\tte<s>", "2"));
    EXPECT_EQ(DocumentText(root),
              "<Misc>\r\n  <Max_Log_Lines>1</Max_Log_Lines>\r\n</Misc>\r\n"
              "<Q_u_o_te_s_>2</Q_u_o_te_s_>\r\n");
    std::string value;
    EXPECT_TRUE(root.ReadString("misc/max log lines", value));
    EXPECT_EQ(value, "1");
    EXPECT_TRUE(root.ReadString("q_u_o_te_s_", value));
    EXPECT_EQ(value, "2");
}

TEST(XmlKeyValue, PathWithoutComponentsAddressesNothing) {
    CXmlNode root;
    root.AddChild("a", {}, "x", XML_ELEMENT);
    std::string value = "unchanged";
    EXPECT_FALSE(root.WriteString("", "v"));
    EXPECT_FALSE(root.WriteString("///", "v"));
    EXPECT_FALSE(root.ReadString("/", value));
    EXPECT_EQ(value, "unchanged");
    EXPECT_EQ(DocumentText(root), "<a>x</a>\r\n");
}

TEST(XmlKeyValue, WriteReplacesChildrenAndDropsAttributesOnTheWay) {
    CXmlNode root;
    ParseDocumentText(root, "<Misc a='1'><Key b='2'>old<Sub/>tail</Key><Other c='3'/></Misc>");
    EXPECT_TRUE(root.WriteString("misc/KEY", "new"));
    EXPECT_EQ(DocumentText(root), "<misc>\r\n  <KEY>new</KEY>\r\n  <Other c='3'/>\r\n</misc>\r\n");
}

TEST(XmlKeyValue, ReadOfMissingKeyCreatesItsElements) {
    CXmlNode root;
    std::string value = "default";
    EXPECT_FALSE(root.ReadString("A/B", value));
    EXPECT_EQ(value, "default");
    EXPECT_EQ(DocumentText(root), "<A>\r\n  <B>\r\n  </B>\r\n</A>\r\n");
}

TEST(XmlKeyValue, ReadNeedsTextAsFirstChild) {
    CXmlNode root;
    ParseDocumentText(root, "<a><b/>text</a><c><!-- x --></c><d>1<e/></d><s>x</s>");
    std::string value = "default";
    EXPECT_FALSE(root.ReadString("a", value));
    EXPECT_FALSE(root.ReadString("c", value));
    EXPECT_EQ(value, "default");
    EXPECT_TRUE(root.ReadString("d", value));
    EXPECT_EQ(value, "1");
    // Only complete elements are found: an unclosed one is passed over and a new one made.
    ParseDocumentText(root, "<s>x");
    EXPECT_FALSE(root.ReadString("s", value));
    EXPECT_EQ(root.GetChildren().size(), 2u);
}

TEST(XmlKeyValue, EmptyValueReadsBackAsMissingAfterReparse) {
    CXmlNode root;
    ASSERT_TRUE(root.WriteString("A/B", ""));
    std::string value = "default";
    EXPECT_TRUE(root.ReadString("A/B", value));
    EXPECT_EQ(value, "");
    Reparse(root);
    value = "default";
    EXPECT_FALSE(root.ReadString("A/B", value));
    EXPECT_EQ(value, "default");
    EXPECT_TRUE(
        root.FindChild("A", true, XML_ELEMENT, true)->FindChild("B", true, XML_ELEMENT, true));
}

TEST(XmlKeyValue, ValuesAreEscapedAndReadBackUnchanged) {
    CXmlNode root;
    const std::string tricky = "a<b>&c 'd' \"e\" &nbsp; &amp; f\r\ng";
    ASSERT_TRUE(root.WriteString("k", tricky));
    Reparse(root);
    std::string value;
    EXPECT_TRUE(root.ReadString("k", value));
    EXPECT_EQ(value, tricky);

    ParseDocumentText(root, "<k>x&nbsp;y &unknown; &lt; a & b</k>");
    EXPECT_TRUE(root.ReadString("k", value));
    EXPECT_EQ(value, "x y &unknown; < a & b");
}

TEST(XmlKeyValue, ReadIntTakesTheLeadingNumber) {
    struct Case {
        const char* text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"12abc", 12},
        {"abc", 0},
        {"  -7", -7},
        {"+5 ", 5},
        {"- 5", 0},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", 2147483647},  // out of range: saturated
        {"-99999999999999999999999", std::numeric_limits<std::int32_t>::min()},
    };
    CXmlNode root;
    for (const Case& c : cases) {
        ASSERT_TRUE(root.WriteString("n", c.text));
        std::int32_t value = -1;
        EXPECT_TRUE(root.ReadInt("n", value)) << c.text;
        EXPECT_EQ(value, c.expected) << c.text;
    }
}

TEST(XmlKeyValue, ReadInt64TakesTheLeadingNumber) {
    struct Case {
        const char* text;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
        {"99999999999999999999", std::numeric_limits<std::int64_t>::max()},
        {"4294967296x", 4294967296},
        {"", 0},
    };
    CXmlNode root;
    for (const Case& c : cases) {
        ASSERT_TRUE(root.WriteString("n", c.text));
        std::int64_t value = -1;
        // An empty text node reads as success too, until a reparse drops it.
        EXPECT_TRUE(root.ReadInt64("n", value)) << c.text;
        EXPECT_EQ(value, c.expected) << c.text;
    }
}

TEST(XmlKeyValue, NumbersRoundTripAndMissingNumbersKeepDefaults) {
    CXmlNode root;
    ASSERT_TRUE(root.WriteInt("a/i", std::numeric_limits<std::int32_t>::min()));
    ASSERT_TRUE(root.WriteInt64("a/j", std::numeric_limits<std::int64_t>::min()));
    Reparse(root);
    std::int32_t i = 0;
    std::int64_t j = 0;
    EXPECT_TRUE(root.ReadInt("a/i", i));
    EXPECT_TRUE(root.ReadInt64("a/j", j));
    EXPECT_EQ(i, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(j, std::numeric_limits<std::int64_t>::min());

    i = 42;
    j = 43;
    EXPECT_FALSE(root.ReadInt("a/missing", i));
    EXPECT_FALSE(root.ReadInt64("a/missing", j));
    EXPECT_EQ(i, 42);
    EXPECT_EQ(j, 43);
}

TEST(XmlKeyValue, ByteBlocksAreNotSupported) {
    CXmlNode root;
    CKeyValueStore& store = root;
    char buffer[4] = {};
    std::uint32_t length = sizeof buffer;
    EXPECT_FALSE(store.WriteBinary("b", "abc", 3));
    EXPECT_FALSE(store.ReadBinary("b", buffer, length));
    EXPECT_EQ(length, 0u);
    length = 7;
    EXPECT_FALSE(store.ReadBinarySize("b", length));
    EXPECT_EQ(length, 0u);
    EXPECT_FALSE(store.DeleteKey("b"));
    EXPECT_TRUE(root.GetChildren().empty());
}

TEST(XmlKeyValue, SettingsDocumentRoundTrip) {
    CXmlNode root;
    CXmlNode* top = root.AddChild({}, {}, {}, XML_DECLARATION)
                        ->AddChild("Settings", {}, "X-Settings", XML_ELEMENT);
    CKeyValueStore& out = *top;
    out.WriteString("Misc/Log Folder", "/home/u/Log & \"more\"");
    out.WriteInt("Misc/Max Log Lines", 2000);
    out.WriteInt64("Connections/Max Bytes", 5000000000);
    out.WriteString("Connections/Proxy/Host", "proxy.example");

    CXmlNode loaded;
    ParseDocumentText(loaded, DocumentText(root));
    // Parsed, the top element follows the declaration as its sibling.
    CXmlNode* declaration = loaded.FindByType(XML_DECLARATION);
    ASSERT_NE(declaration, nullptr);
    CXmlNode* settings = declaration->NextInDocument();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->Name(), "Settings");
    ASSERT_NE(settings->FirstChild(), nullptr);
    EXPECT_EQ(settings->FirstChild()->Tag(), "X-Settings");

    CKeyValueStore& in = *settings;
    std::string folder;
    std::string host;
    std::int32_t lines = 0;
    std::int64_t bytes = 0;
    EXPECT_TRUE(in.ReadString("misc/log folder", folder));
    EXPECT_TRUE(in.ReadInt("Misc/Max Log Lines", lines));
    EXPECT_TRUE(in.ReadInt64("Connections/Max Bytes", bytes));
    EXPECT_TRUE(in.ReadString("Connections/Proxy/Host", host));
    EXPECT_EQ(folder, "/home/u/Log & \"more\"");
    EXPECT_EQ(lines, 2000);
    EXPECT_EQ(bytes, 5000000000);
    EXPECT_EQ(host, "proxy.example");
}

}  // namespace
}  // namespace tellweir
