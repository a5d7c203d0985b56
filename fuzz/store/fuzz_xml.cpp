// Fuzz target of the XML document: any bytes are parsed, the tree is written, walked, searched
// and used as a key/value store. Writing a parsed document and parsing the text again must give
// the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "store/byte_stream.h"
#include "store/xml_node.h"
#include "store/xml_parser.h"

namespace {

using tellweir::CXmlNode;

// Counts instead of storing: the indentation of a deep tree grows with the square of its depth.
class CCountingSink : public tellweir::IByteSink {
  public:
    void Write(std::string_view bytes) override { size += bytes.size(); }
    std::size_t size = 0;
};

std::string WriteText(const CXmlNode& root) {
    tellweir::CStringSink sink;
    root.WriteDocument(sink);
    return sink.Text();
}

void Parse(CXmlNode& root, std::string_view text) {
    tellweir::CStringSource source(text);
    tellweir::CXmlParser().ParseDocument(root, source);
}

// The written end tag "</name>" of a name ending in '/' reads back as "name/>", a different name.
bool HasEndTagNameEndingInSlash(CXmlNode& root) {
    for (CXmlNode* node = root.NextInDocument(); node; node = node->NextInDocument()) {
        if (node->Type() == tellweir::XML_ELEMENT && node->Name().ends_with('/')) return true;
    }
    return false;
}

void CheckRewriteIsStable(CXmlNode& root) {
    CCountingSink counter;
    root.WriteDocument(counter);
    if (counter.size > (1u << 22) || HasEndTagNameEndingInSlash(root)) return;
    const std::string first = WriteText(root);
    if (first.size() != counter.size) std::abort();
    CXmlNode again;
    Parse(again, first);
    if (WriteText(again) != first) std::abort();
}

void Walk(CXmlNode& root) {
    std::size_t attributes = 0;
    for (CXmlNode* node = root.NextInDocument(); node; node = node->NextInDocument()) {
        if (node->Parent() == nullptr) std::abort();
        attributes += static_cast<std::size_t>(node->EnumAttributes(
            [](std::string_view) { return true; }, [](std::string_view) { return true; }));
    }
    for (int type = tellweir::XML_ROOT; type <= tellweir::XML_DECLARATION; ++type) {
        const CXmlNode* hit = root.FindByType(type);
        if (hit && hit->Type() != type) std::abort();
    }
    if (const CXmlNode* first = root.FirstChild()) {
        std::vector<CXmlNode*> found;
        root.CollectByName(first->Name(), false, true, found);
    }
    (void)attributes;
}

void UseAsStore(CXmlNode& root, std::string_view data) {
    const std::string path(data.substr(0, 24));
    std::string text;
    std::int32_t number = 0;
    std::int64_t wide = 0;
    root.ReadString(path, text);
    root.ReadInt(path, number);
    root.ReadInt64(path, wide);
    root.WriteString(path, data.substr(data.size() / 2));
    // A written key reads back, unless the path has components only a write turns into '_'.
    const bool readable = path.find_first_not_of('/') != std::string::npos &&
                          path.find_first_of("<>") == std::string::npos;
    if (!root.ReadString(path, text) && readable) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CXmlNode root;
    Parse(root, text);
    CheckRewriteIsStable(root);
    Walk(root);
    UseAsStore(root, text);
    CCountingSink counter;
    root.WriteDocument(counter);
    return 0;
}
