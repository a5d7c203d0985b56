// CXmlParser: tokens, their classification and names, and where they land in the tree.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "store/byte_stream.h"
#include "store/xml_node.h"
#include "store/xml_parser.h"
#include "tests/support/xml_text.h"

namespace tellweir {
namespace {

// The tree below `node` as "type tag{children}" entries separated by "|".
std::string Dump(const CXmlNode& node) {
    std::string out;
    for (const auto& child : node.GetChildren()) {
        if (!out.empty()) out += '|';
        out += std::to_string(child->Type()) + child->Tag();
        if (!child->GetChildren().empty()) out += "{" + Dump(*child) + "}";
    }
    return out;
}

std::string ParseAndDump(std::string_view text) {
    CXmlNode root;
    testing::ParseDocumentText(root, text);
    return Dump(root);
}

TEST(XmlParser, PlacesTokens) {
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"<a>x</a>", "3<a>{1x}"},
        {"<a><b/><c>1</c></a>", "3<a>{4<b/>|3<c>{11}}"},
        // Text is trimmed; whitespace-only text makes no node.
        {" \r\n<a> \t hello  world\r\n</a> ", "3<a>{1hello  world}"},
        {"<a>\r\n  <b>\r\n  </b>\r\n</a>", "3<a>{3<b>}"},
        // Text keeps its entities.
        {"<a>&amp;&nbsp;</a>", "3<a>{1&amp;&nbsp;}"},
        // Elements still open at the end stay start tags.
        {"<a><b>x", "2<a>{2<b>{1x}}"},
        // A mismatched end tag ends parsing; what was read stays.
        {"<a>x</b><c/>", "2<a>{1x}"},
        {"<a>x</A>", "2<a>{1x}"},
        {"<a x='1'>x</a y>", "3<a x='1'>{1x}"},
        // An end tag at the top level has nothing to close.
        {"</a><b/>", ""},
        {"</>", ""},
        // Input ending inside a tag or a comment drops it.
        {"<a>x</a><b", "3<a>{1x}"},
        {"<a><!-- x", "2<a>"},
        {"<a></a", "2<a>"},
        // Tokens shorter than 3 bytes end parsing.
        {"<a/><>", "4<a/>"},
        {"<a><>x</a>", "2<a>"},
        // A start tag without a name is kept as malformed and still takes children.
        {"< a>x", "5< a>{1x}"},
        // Declarations and markup declarations are leaves.
        {"<?xml version=\"1.0\"?><r/>", "7<?xml version=\"1.0\"?>|4<r/>"},
        {"<!DOCTYPE html>\r\n<a/>", "6<!DOCTYPE html>|4<a/>"},
        {"<!x>", "6<!x>"},
        // Quotes are not special: the first '>' ends the tag.
        {"<a b='x>y'>z</a>", "3<a b='x>{1y'>z}"},
        {"text only", "1text only"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseAndDump(c.input), c.expected) << c.input;
}

TEST(XmlParser, CommentEndsAtGreaterThanAfterTwoDashes) {
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"<!-- a > b -->x", "6<!-- a > b -->|1x"},
        {"<!---->x", "6<!---->|1x"},
        {"<!-- a --->x", "6<!-- a --->|1x"},
        // The dashes of the opening do not count.
        {"<!-->x-->y", "6<!-->x-->|1y"},
        {"<!--->x-->y", "6<!--->x-->|1y"},
        {"<!-- - -> -- >-->y", "6<!-- - -> -- >-->|1y"},
        // Not an opening: "<!-" followed by something else is a tag.
        {"<!-x->y", "6<!-x->|1y"},
        {"<!-->", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseAndDump(c.input), c.expected) << c.input;
}

TEST(XmlParser, TakesNamesFromTags) {
    CXmlNode root;
    CStringSource source(
        "<?xml version='1.0'?><!DOCTYPE x><!-- c --><a\tx='1'><b\r\ny='2'/><c/>t</a\t>");
    CXmlParser().ParseDocument(root, source);
    const auto& top = root.GetChildren();
    ASSERT_EQ(top.size(), 4u);
    EXPECT_EQ(top[0]->Name(), "?xml");
    EXPECT_EQ(top[1]->Name(), "!DOCTYPE");
    EXPECT_EQ(top[2]->Name(), "");
    EXPECT_EQ(top[3]->Name(), "a");
    EXPECT_EQ(top[3]->Type(), XML_ELEMENT);  // "</a\t>" closed it
    const auto& inner = top[3]->GetChildren();
    ASSERT_EQ(inner.size(), 3u);
    EXPECT_EQ(inner[0]->Name(), "b");
    EXPECT_EQ(inner[1]->Name(), "c");
    EXPECT_EQ(inner[2]->Name(), "");
}

TEST(XmlParser, ClearsTheRootFirst) {
    CXmlNode root;
    root.Set("old", "k", "v", XML_ELEMENT);
    root.AddChild("child", {}, {}, XML_ELEMENT);
    CStringSource source("<a/>");
    CXmlParser().ParseDocument(root, source);
    EXPECT_EQ(root.Type(), XML_ROOT);
    EXPECT_EQ(root.Tag(), "");
    EXPECT_EQ(root.Name(), "");
    EXPECT_EQ(Dump(root), "4<a/>");
}

// Hands out one byte per call, to move every block boundary inside tokens.
class CByteAtATimeSource : public IByteSource {
  public:
    explicit CByteAtATimeSource(std::string_view text) : text_(text) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        if (count == 0 || pos_ == text_.size()) return 0;
        *static_cast<char*>(buffer) = text_[pos_++];
        return 1;
    }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// An observer that drops each entry of the top element once it is complete sees every entry as
// a whole parse holds it, with the byte range of its markup, and the parse ends the same way;
// what is left is the rest of the tree, with an entry whose end tag never came.
TEST(XmlParser, EntriesCanBeDroppedAsTheyComplete) {
    std::string text = "<?xml version=\"1.0\"?>\r\n<r>\r\n  T\r\n";
    std::vector<std::string> markups;
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "k" + std::to_string(i % 7);
        markups.push_back(i % 5 == 0 ? "<" + name + " a='" + std::to_string(i) + "'/>"
                                     : "<" + name + "><v>" + std::to_string(i) + "</v><w/></" +
                                           name + ">");
        text += "  " + markups.back() + "\r\n";
    }
    text += "  <!-- c -->\r\n  <open><x>1</x>";
    CXmlNode whole;
    CStringSource wholeSource(text);
    const XmlParseResult expected = CXmlParser().ParseDocument(whole, wholeSource);
    ASSERT_EQ(whole.GetChildren().size(), 2u);
    const CXmlNode& wholeTop = *whole.GetChildren()[1];

    CXmlNode root;
    CStringSource source(text);
    CXmlParser parser;
    std::size_t seen = 0;
    const XmlParseResult result = parser.ParseDocument(
        root, source, [&](const CXmlNode& element, std::uint64_t begin, std::uint64_t end) {
            CXmlNode* parent = element.Parent();
            if (parent == nullptr || parent->Name() != "r") return;
            ASSERT_LT(seen, markups.size());
            EXPECT_EQ(text.substr(begin, end - begin), markups[seen]);
            const CXmlNode& same = *wholeTop.GetChildren()[seen + 1];  // after the text "T"
            EXPECT_EQ(element.Name() + Dump(element), same.Name() + Dump(same));
            EXPECT_EQ(element.Tag(), same.Tag());
            ++seen;
            parser.ReleaseLastChild(*parent);
        });
    EXPECT_EQ(seen, markups.size());
    EXPECT_EQ(result.stop, expected.stop);
    EXPECT_EQ(result.unclosed, expected.unclosed);
    EXPECT_FALSE(result.Whole());
    ASSERT_EQ(root.GetChildren().size(), 2u);
    EXPECT_EQ(Dump(*root.GetChildren()[1]), "1T|6<!-- c -->|2<open>{3<x>{11}}");
}

TEST(XmlParser, ResultDoesNotDependOnHowTheSourceDelivers) {
    std::string text = "<?xml version=\"1.0\"?>\r\n<r>\r\n  T\r\n";
    for (int i = 0; i < 2000; ++i) {
        const std::string name = "k" + std::to_string(i);
        text += "  <" + name + " a='1'>v &amp; w</" + name + ">\r\n";
    }
    text += "<!-- end --></r>";
    const std::string expected = ParseAndDump(text);
    ASSERT_TRUE(expected.ends_with("|6<!-- end -->}")) << "the whole document was read";

    CXmlNode root;
    CByteAtATimeSource bytes(text);
    CXmlParser().ParseDocument(root, bytes);
    EXPECT_EQ(Dump(root), expected);

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    CFileSource fileSource(file);
    CXmlParser().ParseDocument(root, fileSource);
    std::fclose(file);
    EXPECT_EQ(Dump(root), expected);
}

}  // namespace
}  // namespace tellweir
