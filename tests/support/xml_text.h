// XML documents as text for tests: the text a tree writes (as the queue and settings files hold
// it) and a tree parsed from a text.
#pragma once

#include <string>
#include <string_view>

#include "store/byte_stream.h"
#include "store/xml_node.h"
#include "store/xml_parser.h"

namespace tellweir::testing {

// What WriteDocument gives for `root` with the default indent and line ends.
inline std::string DocumentText(const CXmlNode& root) {
    CStringSink sink;
    root.WriteDocument(sink);
    return sink.Text();
}

// Replaces `root`'s content with the document parsed from `text`.
inline void ParseDocumentText(CXmlNode& root, std::string_view text) {
    CStringSource source(text);
    CXmlParser().ParseDocument(root, source);
}

}  // namespace tellweir::testing
