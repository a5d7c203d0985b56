// CXmlNode::WriteDocument: layout of every node type, prefixes, inline elements, exact bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "store/byte_stream.h"
#include "store/xml_node.h"
#include "tests/support/xml_text.h"

namespace tellweir {
namespace {

using testing::DocumentText;

TEST(XmlWriter, SettingsExportBytes) {
    CXmlNode root;
    CXmlNode* settings = root.AddChild({}, {}, {}, XML_DECLARATION)
                             ->AddChild("Settings", {}, "X-Settings", XML_ELEMENT);
    ASSERT_TRUE(settings->WriteString("Misc/Log Folder", "C:\\Logs & <Old>"));
    ASSERT_TRUE(settings->WriteInt("Misc/Max Log Lines", 2000));
    ASSERT_TRUE(settings->WriteInt64("Connections/Max Connects", 8));
    EXPECT_EQ(DocumentText(root),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<Settings>\r\n"
              "  X-Settings\r\n"
              "  <Misc>\r\n"
              "    <Log_Folder>C:\\Logs &amp; &lt;Old&gt;</Log_Folder>\r\n"
              "    <Max_Log_Lines>2000</Max_Log_Lines>\r\n"
              "  </Misc>\r\n"
              "  <Connections>\r\n"
              "    <Max_Connects>8</Max_Connects>\r\n"
              "  </Connections>\r\n"
              "</Settings>\r\n");
}

TEST(XmlWriter, LaysOutEachNodeType) {
    CXmlNode root;
    root.AddChild({}, {}, "note", XML_COMMENT);
    CXmlNode* open = root.AddChild("open", {}, {}, XML_START_TAG);
    open->AddChild("e", "k", "v", XML_EMPTY_ELEMENT);
    open->AddChild("t", {}, "x", XML_ELEMENT);
    CXmlNode* empty = open->AddChild("none", {}, {}, XML_ELEMENT);
    empty->AddChild({}, {}, "a", XML_TEXT);
    empty->AddChild({}, {}, "b", XML_TEXT);
    open->AddChild("blank", {}, {}, XML_ELEMENT);
    CXmlNode* bad = open->AddChild({}, {}, {}, XML_MALFORMED);
    bad->Assign("<bad", "", XML_MALFORMED);
    EXPECT_EQ(DocumentText(root),
              "<!-- note -->\r\n"
              "<open>\r\n"  // a start tag gets no end tag
              "  <e k=\"v\"/>\r\n"
              "  <t>x</t>\r\n"  // inline: one text child
              "  <none>\r\n"    // two text children: not inline
              "    a\r\n"
              "    b\r\n"
              "  </none>\r\n"
              "  <blank>\r\n"
              "  </blank>\r\n"
              "  <bad\r\n");
}

TEST(XmlWriter, UsesTheGivenIndentPrefixAndLineEnd) {
    CXmlNode root;
    CXmlNode* a = root.AddChild("a", {}, {}, XML_ELEMENT);
    a->AddChild("b", {}, {}, XML_ELEMENT)->AddChild("c", {}, "v", XML_ELEMENT);
    CStringSink sink;
    root.WriteDocument(sink, "\t", "> ", "\n");
    EXPECT_EQ(sink.Text(), "> <a>\n> \t<b>\n> \t\t<c>v</c>\n> \t</b>\n> </a>\n");
}

TEST(XmlWriter, WritesAnElementItselfWhenCalledOnIt) {
    CXmlNode root;
    CXmlNode* a = root.AddChild("a", {}, {}, XML_ELEMENT);
    a->AddChild("b", {}, "1", XML_ELEMENT);
    CStringSink sink;
    a->WriteDocument(sink);
    EXPECT_EQ(sink.Text(), "<a>\r\n  <b>1</b>\r\n</a>\r\n");
}

TEST(XmlWriter, FileSinkGetsTheSameBytes) {
    CXmlNode root;
    root.AddChild({}, {}, {}, XML_DECLARATION)->AddChild("Monitors", {}, "X-Monitors", XML_ELEMENT);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    CFileSink sink(file);
    root.WriteDocument(sink);
    EXPECT_TRUE(sink.Good());
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), file), text.size());
    std::fclose(file);
    EXPECT_EQ(text, DocumentText(root));
}

// Records each write, so that empty writes show up.
class CRecordingSink : public IByteSink {
  public:
    void Write(std::string_view bytes) override { writes.emplace_back(bytes); }
    std::vector<std::string> writes;
};

TEST(XmlWriter, NeverWritesEmptyStrings) {
    CXmlNode root;
    root.AddChild({}, {}, {}, XML_DECLARATION)
        ->AddChild("B", {}, {}, XML_ELEMENT)
        ->WriteString("C", "");
    CRecordingSink sink;
    root.WriteDocument(sink);
    std::string text;
    for (const std::string& write : sink.writes) {
        EXPECT_FALSE(write.empty());
        text += write;
    }
    EXPECT_EQ(text, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<B>\r\n  <C></C>\r\n</B>\r\n");
}

}  // namespace
}  // namespace tellweir
