// CXmlNode::WriteDocument: streams a tree as indented markup.
#include <string>
#include <vector>

#include "store/xml_node.h"

namespace tellweir {

namespace {

// A node is written on one line with its end tag when its only child is text.
bool IsInline(const CXmlNode& node) {
    const CXmlNode::Children& children = node.GetChildren();
    return node.Type() == XML_ELEMENT && children.size() == 1 && children[0]->Type() == XML_TEXT;
}

// Gathers the many small pieces of a document into blocks, so that the sink is called once a
// block rather than several times a node.
class CPieces {
  public:
    explicit CPieces(IByteSink& sink) : sink_(sink) { block_.reserve(4096); }
    CPieces(const CPieces&) = delete;
    CPieces& operator=(const CPieces&) = delete;
    ~CPieces() { Flush(); }

    void Put(std::string_view bytes) {
        block_.append(bytes);
        if (block_.size() >= kBlockBytes) Flush();
    }
    void Flush() {
        if (!block_.empty()) sink_.Write(block_);
        block_.clear();
    }

  private:
    static constexpr std::size_t kBlockBytes = 16 * 1024;

    IByteSink& sink_;
    std::string block_;
};

// The layout of one node: its prefix is the first `prefixLength` bytes of the shared prefix
// buffer, unless it sits inside an inline element, where prefix, indent and line end are empty.
struct Frame {
    const CXmlNode* node;
    std::size_t prefixLength;
    bool flat;
    std::size_t next = 0;  // next child to write
};

}  // namespace

void CXmlNode::WriteDocument(IByteSink& sink, std::string_view indentUnit, std::string_view prefix,
                             std::string_view lineEnd) const {
    // Every prefix is the starting one plus some indent units, so one buffer, grown on demand,
    // serves all depths and the walk needs no recursion.
    CPieces out(sink);
    const auto Put = [&out](std::string_view bytes) { out.Put(bytes); };
    std::string prefixes(prefix);
    std::vector<Frame> stack{{this, prefix.size(), false}};
    bool opening = true;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const CXmlNode& node = *frame.node;
        const std::string_view own = frame.flat
                                         ? std::string_view()
                                         : std::string_view(prefixes).substr(0, frame.prefixLength);
        const std::string_view end = frame.flat ? std::string_view() : lineEnd;
        const bool isInline = IsInline(node);
        if (opening && node.type_ != XML_ROOT) {
            Put(own);
            Put(node.tag_);
            const bool element = node.type_ == XML_START_TAG || node.type_ == XML_ELEMENT;
            if (!element || !isInline) Put(end);
        }
        if (frame.next < node.children_.size()) {
            Frame child{node.children_[frame.next++].get(), frame.prefixLength, frame.flat};
            if (isInline) {
                child.flat = true;
            } else if (node.type_ != XML_ROOT && node.type_ != XML_DECLARATION && !frame.flat) {
                child.prefixLength += indentUnit.size();
                if (prefixes.size() < child.prefixLength) prefixes.append(indentUnit);
            }
            stack.push_back(child);
            opening = true;
            continue;
        }
        if (node.type_ == XML_ELEMENT) {
            if (!isInline) Put(own);
            Put("</");
            Put(node.name_);
            Put(">");
            Put(end);
        }
        stack.pop_back();
        opening = false;
    }
}

}  // namespace tellweir
