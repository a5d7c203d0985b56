// CXmlParser: reads a byte stream into a CXmlNode tree, leniently: it never fails, and the tree
// holds everything up to the point where the input stopped making sense.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/byte_stream.h"
#include "store/xml_node.h"

namespace tellweir {

// How a parse ended, so that a reader can tell a whole document from a damaged one.
struct XmlParseResult {
    enum Stop : int {
        kEnd,          // the input was read to its end
        kTruncated,    // the input ended inside a tag or a comment
        kStrayEndTag,  // an end tag did not close the innermost open element
        kMalformed,    // a tag too short to be one ("<>")
    };
    Stop stop = kEnd;
    // Byte offset of the token that stopped the parse, or of the first nameless tag.
    std::uint64_t offset = 0;
    bool unclosed = false;  // elements were still open at the end
    bool nameless = false;  // a tag without a name was read ("< a>")
    bool nulBytes = false;  // the input held a NUL byte, which no text file has

    bool Whole() const { return stop == kEnd && !unclosed && !nameless && !nulBytes; }
};

// Why a document is not whole, for the user ("damaged: it ends inside a tag"); empty when it is.
std::string DescribeXmlDamage(const XmlParseResult& result);
// The same for a file whose top element must be `topName`: also damaged when another element is
// on top, or text without any element. A document with no element and no text (an empty file)
// is whole.
std::string DescribeXmlDamage(const XmlParseResult& result, const CXmlNode& root,
                              std::string_view topName);

// The first element of the document in document order; null when it has none.
CXmlNode* FindTopElement(const CXmlNode& root);

// Told of each element once it is complete (its end tag or "/>" read), with the byte range of its
// markup in the input, end tag included. The element is then the last child of its parent, and
// the parser no longer refers to it: the observer may take it out of the tree (with
// CXmlParser::ReleaseLastChild or CXmlNode::RemoveLastChild), so that a large document is
// handled one entry at a time.
using XmlElementObserver =
    std::function<void(const CXmlNode& element, std::uint64_t begin, std::uint64_t end)>;

class CXmlParser {
  public:
    // Clears `root` and fills it from `source`. Nodes come from root.CreateNode(). Text and
    // attribute values stay escaped. Parsing stops quietly at a tag that is too short ("<>"),
    // at an end tag that does not close the innermost open element, and at input that ends
    // inside a tag or comment, which is dropped; elements still open stay XML_START_TAG.
    XmlParseResult ParseDocument(CXmlNode& root, IByteSource& source,
                                 const XmlElementObserver& observer = {});
    // Takes the last child of `parent` and its subtree out of the tree, as RemoveLastChild does,
    // but keeps their nodes for the parse under way, which then allocates far less: for an
    // observer that drops each element once it has handled it.
    void ReleaseLastChild(CXmlNode& parent);

  private:
    std::unique_ptr<CXmlNode> NewNode(const CXmlNode& root);

    std::vector<std::unique_ptr<CXmlNode>> spare_;  // nodes released during this parse
};

}  // namespace tellweir
