// CXmlNode: the small, lenient XML tree behind the queue file, the settings export and the
// history file. A node keeps its raw markup; attributes are parsed from it on demand, and text
// stays escaped until it is read. The node doubles as a key/value store over element paths.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/attribute_list.h"
#include "store/byte_stream.h"
#include "store/key_value_store.h"

namespace tellweir {

class CXmlParser;

// Node types; the values are part of the tree's contract with its users.
inline constexpr int XML_ROOT = 0;           // the document root, never written itself
inline constexpr int XML_TEXT = 1;           // text between tags, trimmed, escaped
inline constexpr int XML_START_TAG = 2;      // a start tag whose end tag was not read
inline constexpr int XML_ELEMENT = 3;        // a start tag with its matching end tag
inline constexpr int XML_EMPTY_ELEMENT = 4;  // a tag ending in "/>"
inline constexpr int XML_MALFORMED = 5;      // unusable markup, kept as read
inline constexpr int XML_COMMENT = 6;        // "<!...>": comments and other declarations
inline constexpr int XML_DECLARATION = 7;    // "<?...>"

// A node owns its children; destroying it destroys its subtree, however deep, without recursion.
// Nodes are not thread-safe: whoever shares a document guards it with a lock of its own.
class CXmlNode : public CKeyValueStore {
  public:
    using Children = std::vector<std::unique_ptr<CXmlNode>>;

    CXmlNode() = default;
    CXmlNode(const CXmlNode&) = delete;
    CXmlNode& operator=(const CXmlNode&) = delete;
    ~CXmlNode() override;

    // A new empty node of the same class; every node the tree creates comes from here.
    virtual std::unique_ptr<CXmlNode> CreateNode() const;

    const std::string& Tag() const { return tag_; }
    const std::string& Name() const { return name_; }
    int Type() const { return type_; }
    CXmlNode* Parent() const { return parent_; }
    const Children& GetChildren() const { return children_; }
    CXmlNode* FirstChild() const { return children_.empty() ? nullptr : children_.front().get(); }

    // Stores markup as read from a file, without formatting it.
    void Assign(std::string tag, std::string name, int type);
    void SetType(int type) { type_ = type; }

    // Reformats the node in place as `type`; an empty attribute name or value means none.
    //   XML_TEXT: the tag is the escaped value.
    //   XML_START_TAG, XML_ELEMENT: <name attribute="value">, or <name> and, given a value,
    //     a text child holding it.
    //   XML_EMPTY_ELEMENT: <name attribute="value"/> or <name/>.
    //   XML_COMMENT: <!-- value -->, not escaped.
    //   XML_DECLARATION: the UTF-8 XML 1.0 declaration, named "?xml".
    //   Any other type changes the type only. Existing children are kept.
    void Set(std::string_view name, std::string_view attributeName, std::string_view value,
             int type);
    // Creates a node with CreateNode, formats it with Set and appends it; returns it.
    CXmlNode* AddChild(std::string_view name, std::string_view attributeName,
                       std::string_view value, int type);
    // Takes `node` as the last child; returns it. Children are only ever appended, removed
    // from the end, or removed all together.
    CXmlNode* AppendChild(std::unique_ptr<CXmlNode> node);
    // Frees the last child and its subtree; nothing when there are no children.
    void RemoveLastChild();

    // The first direct child of `type` named `name`. On a hit, unless `findOnly`, the child is
    // reformatted with Set(name, none, none, type), which drops the attributes of an element.
    // On a miss, unless `findOnly`, such a child is added. An empty name finds nothing.
    CXmlNode* FindChild(std::string_view name, bool caseSensitive, int type, bool findOnly);
    // This node if it has `type`, else the first direct child that has it, else the first hit
    // of the same search in each child in turn; null if none.
    CXmlNode* FindByType(int type);
    // The next node in document order: first child, else next sibling, else the next sibling
    // of the nearest ancestor that has one; null at the end.
    CXmlNode* NextInDocument() const;
    // Appends the element children (types 2 to 4) named `name`; with `recursive`, the elements
    // of the whole subtree in document order.
    void CollectByName(std::string_view name, bool caseSensitive, bool recursive,
                       std::vector<CXmlNode*>& found) const;

    // For an element (types 2 to 4) the tag text after the name, without the closing ">" or
    // "/>"; empty when there is none or the node is not an element.
    std::string_view GetAttributeText() const;
    // Parses GetAttributeText with ParseAttributeList, unescaping each value; returns the count.
    int EnumAttributes(const AttributeSink& nameSink, const AttributeSink& valueSink) const;

    // Empties the node back to a fresh root.
    void Reset();
    void RemoveChildren();
    // Takes every descendant out of the tree into `spare`, each emptied back to a fresh root but
    // keeping the room of its texts and of its child list: for a CreateNode of a derived class
    // that hands such nodes out again, so that building many similar trees in turn allocates
    // little. Not recursive.
    void ReleaseChildren(Children& spare);

    // Writes the subtree; a root writes its descendants only. Every file of the system is
    // written with the defaults.
    void WriteDocument(IByteSink& sink, std::string_view indentUnit = "  ",
                       std::string_view prefix = "", std::string_view lineEnd = "\r\n") const;

    // Key/value paths relative to this node: components separated by "/", empty ones skipped,
    // compared without regard to case; blanks, quotes and tabs in a path read as "_". A read
    // creates the elements it walks. An empty value reads back as a missing key once the
    // document has been written and parsed again.
    bool ReadString(std::string_view path, std::string& value) override;
    bool WriteString(std::string_view path, std::string_view value) override;
    // Reads the leading decimal number of the value ("12abc" is 12, "abc" is 0), saturated to
    // the type's range; succeeds whenever ReadString does.
    bool ReadInt(std::string_view path, std::int32_t& value) override;
    bool WriteInt(std::string_view path, std::int32_t value) override;
    bool ReadInt64(std::string_view path, std::int64_t& value) override;
    bool WriteInt64(std::string_view path, std::int64_t value) override;
    // Byte blocks are not stored in XML: these fail, and the reads report a length of 0.
    bool WriteBinary(std::string_view path, const void* bytes, std::uint32_t length) override;
    bool ReadBinary(std::string_view path, void* buffer, std::uint32_t& length) override;
    bool ReadBinarySize(std::string_view path, std::uint32_t& length) override;
    bool DeleteKey(std::string_view path) override;

  private:
    friend class CXmlParser;  // fills the nodes it makes and reuses those it is given back

    // Reset without giving back the room of the texts.
    void ClearForReuse();
    // True when Set(name, none, none, Type()) would leave the node as it is, so that a search
    // that finds an element already in that form need not rewrite it.
    bool IsPlainTag(std::string_view name) const;
    // Frees `nodes` and their subtrees without recursion, so a chain of any depth is safe.
    static void DestroySubtrees(Children nodes);
    // Walks `path` with find-or-create; null when it has no components.
    CXmlNode* WalkPath(std::string_view path);

    std::string tag_;
    std::string name_;
    int type_ = XML_ROOT;
    Children children_;
    CXmlNode* parent_ = nullptr;
    std::size_t index_ = 0;  // position among the parent's children; children are only appended
};

}  // namespace tellweir
