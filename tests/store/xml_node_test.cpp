// CXmlNode: formatting with Set, searches, document order, attributes, node creation and
// trees too deep for recursion.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "store/byte_stream.h"
#include "store/xml_node.h"
#include "tests/support/xml_text.h"

namespace tellweir {
namespace {

using testing::ParseDocumentText;

std::string Names(const std::vector<CXmlNode*>& nodes) {
    std::string out;
    for (const CXmlNode* node : nodes)
        out += node->Name() + " ";
    return out;
}

TEST(XmlNode, SetFormatsEachType) {
    struct Case {
        const char* name;
        const char* attribute;
        const char* value;
        int type;
        const char* tag;
        const char* nodeName;
        std::size_t children;
    };
    const Case cases[] = {
        {"n", "", "a<b", XML_TEXT, "a&lt;b", "", 0},
        {"e", "id", "1&2", XML_ELEMENT, "<e id=\"1&amp;2\">", "e", 0},
        {"e", "", "text", XML_ELEMENT, "<e>", "e", 1},
        {"e", "", "", XML_START_TAG, "<e>", "e", 0},
        {"e", "k", "'v'", XML_EMPTY_ELEMENT, "<e k=\"&apos;v&apos;\"/>", "e", 0},
        {"e", "", "ignored", XML_EMPTY_ELEMENT, "<e/>", "e", 0},
        {"n", "", "a<b", XML_COMMENT, "<!-- a<b -->", "", 0},
        {"n", "k", "v", XML_DECLARATION, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "?xml", 0},
        {"n", "k", "v", XML_MALFORMED, "", "", 0},
    };
    for (const Case& c : cases) {
        CXmlNode node;
        node.Set(c.name, c.attribute, c.value, c.type);
        EXPECT_EQ(node.Type(), c.type);
        EXPECT_EQ(node.Tag(), c.tag);
        EXPECT_EQ(node.Name(), c.nodeName) << c.tag;
        ASSERT_EQ(node.GetChildren().size(), c.children) << c.tag;
        if (c.children == 1) {
            EXPECT_EQ(node.FirstChild()->Type(), XML_TEXT);
            EXPECT_EQ(node.FirstChild()->Tag(), c.value);
            EXPECT_EQ(node.FirstChild()->Parent(), &node);
        }
    }
}

class XmlNodeFindChild : public ::testing::Test {
  protected:
    void SetUp() override {
        ParseDocumentText(root_, "<Misc a='1'>x</Misc><misc/><Key/><Key b='2'></Key>");
    }
    CXmlNode root_;
};

TEST_F(XmlNodeFindChild, MatchesNameCaseAndType) {
    CXmlNode* first = root_.GetChildren()[0].get();
    EXPECT_EQ(root_.FindChild("MISC", false, XML_ELEMENT, true), first);
    EXPECT_EQ(root_.FindChild("misc", true, XML_EMPTY_ELEMENT, true), root_.GetChildren()[1].get());
    EXPECT_EQ(root_.FindChild("misc", true, XML_ELEMENT, true), nullptr);
    EXPECT_EQ(root_.FindChild("Key", true, XML_ELEMENT, true), root_.GetChildren()[3].get());
    EXPECT_EQ(root_.FindChild("", false, XML_ELEMENT, false), nullptr);
    // Find-only leaves the hit as it was.
    EXPECT_EQ(first->Tag(), "<Misc a='1'>");
    EXPECT_EQ(root_.GetChildren().size(), 4u);
}

TEST_F(XmlNodeFindChild, HitIsReformattedAndMissIsAdded) {
    CXmlNode* hit = root_.FindChild("MISC", false, XML_ELEMENT, false);
    EXPECT_EQ(hit, root_.GetChildren()[0].get());
    EXPECT_EQ(hit->Tag(), "<MISC>");
    EXPECT_EQ(hit->Name(), "MISC");
    ASSERT_EQ(hit->GetChildren().size(), 1u);  // children stay, no text is added

    CXmlNode* added = root_.FindChild("New", false, XML_ELEMENT, false);
    ASSERT_EQ(root_.GetChildren().size(), 5u);
    EXPECT_EQ(root_.GetChildren()[4].get(), added);
    EXPECT_EQ(added->Tag(), "<New>");
    EXPECT_EQ(added->Type(), XML_ELEMENT);
    EXPECT_EQ(added->Parent(), &root_);
}

// A node that hands out released nodes before it makes new ones.
class CReusingNode final : public CXmlNode {
  public:
    explicit CReusingNode(Children& spare, int& made) : spare_(spare), made_(made) {}
    std::unique_ptr<CXmlNode> CreateNode() const override {
        if (spare_.empty()) {
            ++made_;
            return std::make_unique<CReusingNode>(spare_, made_);
        }
        std::unique_ptr<CXmlNode> node = std::move(spare_.back());
        spare_.pop_back();
        return node;
    }

  private:
    Children& spare_;
    int& made_;
};

// Released nodes come back as fresh ones: a tree built from them, of another shape and with
// other names, is written exactly as one built from new nodes.
TEST(XmlNode, ReleasedNodesBuildTreesLikeNewOnes) {
    const auto build = [](CXmlNode& top, int round) {
        top.Set("Monitor", "", "", XML_ELEMENT);
        top.WriteString("URI", "http://site.test/" + std::to_string(round) + "?a=1&b='2'");
        top.WriteInt("Events Count", round);
        for (int n = 1; n <= round; ++n)
            top.WriteString("Event 0" + std::to_string(n) + "/Name", "OnOK");
        top.AddChild("", "", "free text", XML_TEXT);
        top.AddChild("Empty", "id", "<x>", XML_EMPTY_ELEMENT);
    };
    CXmlNode::Children spare;
    int made = 0;
    CReusingNode reused(spare, made);
    for (int round : {3, 1, 2}) {
        SCOPED_TRACE(round);
        CXmlNode fresh;
        build(fresh, round);
        build(reused, round);
        EXPECT_EQ(testing::DocumentText(reused), testing::DocumentText(fresh));
        reused.ReleaseChildren(spare);
        EXPECT_TRUE(reused.GetChildren().empty());
        for (const auto& node : spare) {
            EXPECT_EQ(node->Type(), XML_ROOT);
            EXPECT_TRUE(node->Tag().empty() && node->Name().empty() && !node->Parent());
            EXPECT_TRUE(node->GetChildren().empty());
        }
    }
    EXPECT_EQ(static_cast<std::size_t>(made), spare.size()) << "every node made is back";
    EXPECT_EQ(made, 15) << "the 15 nodes of the first round serve the smaller later ones";
}

TEST(XmlNode, FindByTypeChecksChildrenBeforeGoingDeeper) {
    CXmlNode root;
    CXmlNode* a = root.AddChild("a", {}, {}, XML_ELEMENT);
    CXmlNode* c = a->AddChild("c", {}, {}, XML_ELEMENT);
    CXmlNode* deep = c->AddChild({}, {}, "deep", XML_COMMENT);
    CXmlNode* h = a->AddChild({}, {}, "h", XML_COMMENT);
    CXmlNode* later = root.AddChild({}, {}, "later", XML_COMMENT);

    EXPECT_EQ(root.FindByType(XML_ROOT), &root);
    EXPECT_EQ(root.FindByType(XML_COMMENT), later);  // a direct child wins
    EXPECT_EQ(a->FindByType(XML_COMMENT), h);        // before c's child
    EXPECT_EQ(c->FindByType(XML_COMMENT), deep);
    EXPECT_EQ(root.FindByType(XML_DECLARATION), nullptr);
    root.AddChild("b", {}, {}, XML_ELEMENT)->AddChild({}, {}, {}, XML_DECLARATION);
    EXPECT_EQ(root.FindByType(XML_DECLARATION)->Name(), "?xml");
}

TEST(XmlNode, NextInDocumentWalksInDocumentOrder) {
    CXmlNode root;
    ParseDocumentText(root, "<?xml version='1.0'?><a><b><c/></b><d/></a><e>t</e>");
    std::string order;
    for (const CXmlNode* node = root.NextInDocument(); node; node = node->NextInDocument()) {
        order += node->Name().empty() ? node->Tag() : node->Name();
        order += ' ';
    }
    EXPECT_EQ(order, "?xml a b c d e t ");

    // Built for writing, the top element is the declaration's child; the same call finds it.
    CXmlNode built;
    built.AddChild({}, {}, {}, XML_DECLARATION)->AddChild("Monitors", {}, "X", XML_ELEMENT);
    EXPECT_EQ(built.FindByType(XML_DECLARATION)->NextInDocument()->Name(), "Monitors");
}

TEST(XmlNode, CollectByNameFindsElementsInPreOrder) {
    CXmlNode root;
    ParseDocumentText(root,
                      "<M i='1'><x><M i='2'/></x><M i='3'>M</M></M><!-- M --><m i='4'><M i='5'>");
    std::vector<CXmlNode*> found;
    root.CollectByName("M", true, true, found);
    std::string ids;
    for (const CXmlNode* node : found)
        ids += std::string(node->GetAttributeText()) + " ";
    EXPECT_EQ(ids, "i='1' i='2' i='3' i='5' ");

    found.clear();
    root.CollectByName("m", false, false, found);
    EXPECT_EQ(Names(found), "M m ");
    found.clear();
    root.CollectByName("x", true, false, found);
    EXPECT_TRUE(found.empty());
}

TEST(XmlNode, AttributeTextFollowsTheName) {
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"<a>", ""},
        {"<a/>", ""},
        {"<a x='1'>", "x='1'"},
        {"<a\t \r\nx='1' y=2>", "x='1' y=2"},
        {"<a x='1' />", "x='1' "},
        {"<a x=1/>", "x=1"},
        {"<abc>", ""},
        {"< a x>", ""},  // no name: malformed, not an element
        {"<!-- a x -->", ""},
        {"text", ""},
    };
    for (const Case& c : cases) {
        CXmlNode root;
        ParseDocumentText(root, c.input);
        ASSERT_EQ(root.GetChildren().size(), 1u) << c.input;
        EXPECT_EQ(root.FirstChild()->GetAttributeText(), c.expected) << c.input;
    }
}

TEST(XmlNode, EnumAttributesUnescapesValues) {
    CXmlNode root;
    ParseDocumentText(root, "<a x=\"1 &amp; 2\" flag y='&lt;&nbsp;' z=3>");
    std::string seen;
    const int count = root.FirstChild()->EnumAttributes(
        [&seen](std::string_view name) {
            seen.append(name).append("=");
            return true;
        },
        [&seen](std::string_view value) {
            seen.append(value).append("|");
            return value != "< ";
        });
    EXPECT_EQ(seen, "x=1 & 2|y=< |");
    EXPECT_EQ(count, 2);
}

TEST(XmlNode, ResetAndRemoveChildren) {
    CXmlNode node;
    node.Set("e", "k", "v", XML_ELEMENT);
    node.AddChild("c", {}, "t", XML_ELEMENT);
    node.RemoveChildren();
    EXPECT_TRUE(node.GetChildren().empty());
    EXPECT_EQ(node.Tag(), "<e k=\"v\">");
    node.AddChild("c", {}, {}, XML_ELEMENT);
    node.Reset();
    EXPECT_TRUE(node.GetChildren().empty());
    EXPECT_EQ(node.Tag(), "");
    EXPECT_EQ(node.Name(), "");
    EXPECT_EQ(node.Type(), XML_ROOT);
    // Children appended after a removal are found at their new places.
    CXmlNode* a = node.AddChild("a", {}, {}, XML_ELEMENT);
    CXmlNode* b = node.AddChild("b", {}, {}, XML_ELEMENT);
    EXPECT_EQ(a->NextInDocument(), b);
}

// A node class of a user of the tree; every node the tree makes must be of it.
class CTaggedNode : public CXmlNode {
  public:
    std::unique_ptr<CXmlNode> CreateNode() const override {
        return std::make_unique<CTaggedNode>();
    }
};

bool AllTagged(const CXmlNode& node) {
    for (const auto& child : node.GetChildren()) {
        if (dynamic_cast<const CTaggedNode*>(child.get()) == nullptr || !AllTagged(*child))
            return false;
    }
    return true;
}

TEST(XmlNode, EveryCreatedNodeComesFromCreateNode) {
    CTaggedNode root;
    ParseDocumentText(root, "<a><b>x</b><!-- c --></a>");
    root.AddChild("d", {}, "text", XML_ELEMENT);
    root.WriteString("e/f", "v");
    std::string value;
    root.ReadString("g/h", value);
    root.FindChild("i", false, XML_EMPTY_ELEMENT, false);
    EXPECT_EQ(root.GetChildren().size(), 5u);
    EXPECT_TRUE(AllTagged(root));
}

// Counts bytes only: the indentation of a deep tree grows with the square of its depth.
class CCountingSink : public IByteSink {
  public:
    void Write(std::string_view bytes) override { size += bytes.size(); }
    std::size_t size = 0;
};

TEST(XmlNode, DeepTreesNeedNoRecursion) {
    constexpr std::size_t kDepth = 200000;
    std::string text;
    for (std::size_t i = 0; i < kDepth; ++i)
        text += "<a>";
    text += "<!--x-->";
    auto root = std::make_unique<CXmlNode>();
    ParseDocumentText(*root, text);

    CCountingSink sink;
    root->WriteDocument(sink, "", "", "\n");
    EXPECT_EQ(sink.size, kDepth * 4 + 9);
    EXPECT_EQ(root->FindByType(XML_COMMENT)->Tag(), "<!--x-->");
    std::vector<CXmlNode*> found;
    root->CollectByName("a", true, true, found);
    EXPECT_EQ(found.size(), kDepth);
    std::size_t steps = 0;
    for (const CXmlNode* node = root.get(); node; node = node->NextInDocument())
        ++steps;
    EXPECT_EQ(steps, kDepth + 2);
    root.reset();  // must not overflow the stack

    // A chain built by hand, freed through RemoveChildren.
    CXmlNode chain;
    CXmlNode* tip = &chain;
    for (std::size_t i = 0; i < kDepth; ++i)
        tip = tip->AddChild("a", {}, {}, XML_ELEMENT);
    chain.RemoveChildren();
    EXPECT_TRUE(chain.GetChildren().empty());
}

}  // namespace
}  // namespace tellweir
