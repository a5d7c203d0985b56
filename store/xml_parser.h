// CXmlParser: reads a byte stream into a CXmlNode tree, leniently: it never fails, and the tree
// holds everything up to the point where the input stopped making sense.
#pragma once

#include "store/byte_stream.h"
#include "store/xml_node.h"

namespace tellweir {

class CXmlParser {
  public:
    // Clears `root` and fills it from `source`. Nodes come from root.CreateNode(). Text and
    // attribute values stay escaped. Parsing stops quietly at a tag that is too short ("<>"),
    // at an end tag that does not close the innermost open element, and at input that ends
    // inside a tag or comment, which is dropped; elements still open stay XML_START_TAG.
    void ParseDocument(CXmlNode& root, IByteSource& source);
};

}  // namespace tellweir
