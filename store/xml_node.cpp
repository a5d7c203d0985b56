// CXmlNode: tree structure, formatting, searches and attributes.
#include "store/xml_node.h"

#include <algorithm>
#include <utility>

#include "base/ascii_text.h"
#include "store/xml_escape.h"

namespace tellweir {

namespace {

bool NamesEqual(std::string_view a, std::string_view b, bool caseSensitive) {
    if (caseSensitive) return a == b;
    // Most names a search passes differ in length or in their first letter: tell those apart
    // here, without a call.
    if (a.size() != b.size()) return false;
    return a.empty() || (ToLowerAscii(a[0]) == ToLowerAscii(b[0]) && EqualsIgnoreAsciiCase(a, b));
}

bool IsElementType(int type) {
    return type == XML_START_TAG || type == XML_ELEMENT || type == XML_EMPTY_ELEMENT;
}

}  // namespace

CXmlNode::~CXmlNode() {
    if (!children_.empty()) DestroySubtrees(std::move(children_));
}

void CXmlNode::DestroySubtrees(Children nodes) {
    // Most lists hold leaves only (the text of an element, the values of a task), which need
    // no walk.
    const auto hasChildren = [](const std::unique_ptr<CXmlNode>& node) {
        return !node->children_.empty();
    };
    if (std::none_of(nodes.begin(), nodes.end(), hasChildren)) return;
    // Depth first with an explicit stack: a list is cleared only after the lists below it, so
    // every node is freed childless and no destructor recurses. The stack grows with the depth
    // of the tree, not with its width.
    struct Level {
        Children* list;
        std::size_t next;
    };
    std::vector<Level> stack{{&nodes, 0}};
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.list->size()) {
            level.list->clear();
            stack.pop_back();
            continue;
        }
        Children& below = (*level.list)[level.next++]->children_;
        if (!below.empty()) stack.push_back({&below, 0});
    }
}

std::unique_ptr<CXmlNode> CXmlNode::CreateNode() const {
    return std::make_unique<CXmlNode>();
}

void CXmlNode::Assign(std::string tag, std::string name, int type) {
    tag_ = std::move(tag);
    name_ = std::move(name);
    type_ = type;
}

void CXmlNode::Set(std::string_view name, std::string_view attributeName, std::string_view value,
                   int type) {
    type_ = type;
    switch (type) {
        case XML_TEXT:
            tag_.clear();
            AppendXmlEscaped(tag_, value);
            break;
        case XML_START_TAG:
        case XML_ELEMENT:
            name_ = name;
            if (!attributeName.empty()) {
                tag_ = "<" + name_ + " " + std::string(attributeName) + "=\"" + XmlEscape(value) +
                       "\">";
            } else {
                // Assigned piece by piece: the tag keeps its room, and the most common case
                // makes no temporary.
                tag_.assign("<").append(name_).append(">");
                if (!value.empty()) AddChild({}, {}, value, XML_TEXT);
            }
            break;
        case XML_EMPTY_ELEMENT:
            name_ = name;
            if (!attributeName.empty()) {
                tag_ = "<" + name_ + " " + std::string(attributeName) + "=\"" + XmlEscape(value) +
                       "\"/>";
            } else {
                tag_ = "<" + name_ + "/>";
            }
            break;
        case XML_COMMENT:
            tag_ = "<!-- " + std::string(value) + " -->";
            break;
        case XML_DECLARATION:
            name_ = "?xml";
            tag_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
            break;
        default:
            break;
    }
}

CXmlNode* CXmlNode::AddChild(std::string_view name, std::string_view attributeName,
                             std::string_view value, int type) {
    std::unique_ptr<CXmlNode> node = CreateNode();
    node->Set(name, attributeName, value, type);
    return AppendChild(std::move(node));
}

CXmlNode* CXmlNode::AppendChild(std::unique_ptr<CXmlNode> node) {
    node->parent_ = this;
    node->index_ = children_.size();
    children_.push_back(std::move(node));
    return children_.back().get();
}

void CXmlNode::RemoveLastChild() {
    // The child's destructor frees its subtree without recursion.
    if (!children_.empty()) children_.pop_back();
}

CXmlNode* CXmlNode::FindChild(std::string_view name, bool caseSensitive, int type, bool findOnly) {
    if (name.empty()) return nullptr;
    for (const std::unique_ptr<CXmlNode>& child : children_) {
        if (child->type_ == type && NamesEqual(child->name_, name, caseSensitive)) {
            if (!findOnly && !child->IsPlainTag(name)) child->Set(name, {}, {}, type);
            return child.get();
        }
    }
    return findOnly ? nullptr : AddChild(name, {}, {}, type);
}

bool CXmlNode::IsPlainTag(std::string_view name) const {
    if (name_ != name) return false;
    switch (type_) {
        case XML_START_TAG:
        case XML_ELEMENT:
            return tag_.size() == name.size() + 2 && tag_.front() == '<' && tag_.back() == '>' &&
                   std::string_view(tag_).substr(1, name.size()) == name;
        case XML_EMPTY_ELEMENT:
            return tag_.size() == name.size() + 3 && tag_.front() == '<' &&
                   std::string_view(tag_).substr(1, name.size()) == name &&
                   std::string_view(tag_).substr(name.size() + 1) == "/>";
        default:
            return false;
    }
}

CXmlNode* CXmlNode::FindByType(int type) {
    if (type_ == type) return this;
    // Pre-order walk; visiting a node checks its direct children before any deeper level,
    // which is the order of the recursive definition.
    std::vector<CXmlNode*> pending{this};
    while (!pending.empty()) {
        CXmlNode* node = pending.back();
        pending.pop_back();
        for (const std::unique_ptr<CXmlNode>& child : node->children_) {
            if (child->type_ == type) return child.get();
        }
        for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it) {
            pending.push_back(it->get());
        }
    }
    return nullptr;
}

CXmlNode* CXmlNode::NextInDocument() const {
    if (!children_.empty()) return children_.front().get();
    for (const CXmlNode* node = this; node->parent_ != nullptr; node = node->parent_) {
        const Children& siblings = node->parent_->children_;
        if (node->index_ + 1 < siblings.size()) return siblings[node->index_ + 1].get();
    }
    return nullptr;
}

void CXmlNode::CollectByName(std::string_view name, bool caseSensitive, bool recursive,
                             std::vector<CXmlNode*>& found) const {
    struct Level {
        const CXmlNode* node;
        std::size_t next;
    };
    std::vector<Level> stack{{this, 0}};
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next >= level.node->children_.size()) {
            stack.pop_back();
            continue;
        }
        CXmlNode* child = level.node->children_[level.next++].get();
        if (!IsElementType(child->type_)) continue;
        if (NamesEqual(child->name_, name, caseSensitive)) found.push_back(child);
        if (recursive && !child->children_.empty()) stack.push_back({child, 0});
    }
}

std::string_view CXmlNode::GetAttributeText() const {
    if (!IsElementType(type_)) return {};
    std::string_view text = tag_;
    // The name follows the leading run of '<' and '/', as when it was taken from the tag.
    std::size_t start = text.find_first_not_of("</");
    if (start == std::string_view::npos) return {};
    start += name_.size();
    if (start >= text.size()) return {};
    text.remove_prefix(start);
    text = TrimLeadingAscii(text, IsBlankOrLineBreak);
    if (!text.empty() && text.back() == '>') text.remove_suffix(1);
    if (type_ == XML_EMPTY_ELEMENT && !text.empty() && text.back() == '/') text.remove_suffix(1);
    return text;
}

int CXmlNode::EnumAttributes(const AttributeSink& nameSink, const AttributeSink& valueSink) const {
    const AttributeSink unescaped = [&valueSink](std::string_view value) {
        return !valueSink || valueSink(XmlUnescape(value));
    };
    return ParseAttributeList(GetAttributeText(), nameSink, unescaped);
}

void CXmlNode::Reset() {
    RemoveChildren();
    tag_.clear();
    name_.clear();
    type_ = XML_ROOT;
}

void CXmlNode::ReleaseChildren(Children& spare) {
    const std::size_t first = spare.size();
    for (std::unique_ptr<CXmlNode>& child : children_)
        spare.push_back(std::move(child));
    children_.clear();
    // The nodes taken so far are walked in turn, each giving up its own children to the end.
    for (std::size_t i = first; i < spare.size(); ++i) {
        CXmlNode& node = *spare[i];
        for (std::unique_ptr<CXmlNode>& child : node.children_)
            spare.push_back(std::move(child));
        node.children_.clear();
        node.ClearForReuse();
    }
}

void CXmlNode::ClearForReuse() {
    tag_.clear();
    name_.clear();
    type_ = XML_ROOT;
    parent_ = nullptr;
    index_ = 0;
}

void CXmlNode::RemoveChildren() {
    if (children_.empty()) return;
    DestroySubtrees(std::move(children_));
    children_.clear();
}

}  // namespace tellweir
