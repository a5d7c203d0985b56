// CXmlNode as a CKeyValueStore: values addressed by element paths such as "Misc/Log Folder".
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>

#include "base/ascii_text.h"
#include "store/xml_escape.h"
#include "store/xml_node.h"

namespace tellweir {

namespace {

bool IsReplacedInPath(char c, bool forWrite) {
    return c == ' ' || c == '"' || c == '\'' || c == '\t' || (forWrite && (c == '<' || c == '>'));
}

// Turns the characters that cannot appear in an element name into '_'. A written path must
// not smuggle markup into the tags it creates, so '<' and '>' are replaced there too. Returns
// `path` itself when nothing is replaced, else the copy made in `buffer`.
std::string_view NormalizePath(std::string_view path, bool forWrite, std::string& buffer) {
    std::size_t i = 0;
    while (i < path.size() && !IsReplacedInPath(path[i], forWrite))
        ++i;
    if (i == path.size()) return path;
    buffer.assign(path);
    for (; i < buffer.size(); ++i)
        if (IsReplacedInPath(buffer[i], forWrite)) buffer[i] = '_';
    return buffer;
}

// The leading decimal number of `text`: blanks, an optional sign, then digits up to the first
// other character; 0 without digits. Out-of-range numbers saturate at the limits of T.
template <class T>
T LeadingNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsAsciiSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    // Accumulate the magnitude unsigned, stopping at the limit so nothing overflows.
    using U = std::make_unsigned_t<T>;
    const U limit =
        negative ? U(std::numeric_limits<T>::max()) + 1 : U(std::numeric_limits<T>::max());
    U magnitude = 0;
    for (; pos < text.size() && IsAsciiDigit(text[pos]); ++pos) {
        const U digit = static_cast<U>(text[pos] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    if (!negative) return static_cast<T>(magnitude);
    return magnitude == limit ? std::numeric_limits<T>::min() : -static_cast<T>(magnitude);
}

}  // namespace

CXmlNode* CXmlNode::WalkPath(std::string_view path) {
    CXmlNode* node = nullptr;
    std::string_view rest = path;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view component = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (component.empty()) continue;
        node = (node ? node : this)->FindChild(component, false, XML_ELEMENT, false);
    }
    return node;
}

bool CXmlNode::ReadString(std::string_view path, std::string& value) {
    std::string buffer;
    const CXmlNode* node = WalkPath(NormalizePath(path, false, buffer));
    if (node == nullptr) return false;
    const CXmlNode* first = node->FirstChild();
    if (first == nullptr || first->Type() != XML_TEXT) return false;
    const std::string& text = first->Tag();
    // Most values hold no entity: copied into the caller's string, which keeps its room.
    if (text.find('&') == std::string::npos)
        value.assign(text);
    else
        value = XmlUnescape(text);
    return true;
}

bool CXmlNode::WriteString(std::string_view path, std::string_view value) {
    std::string buffer;
    CXmlNode* node = WalkPath(NormalizePath(path, true, buffer));
    if (node == nullptr) return false;
    node->RemoveChildren();
    node->AddChild({}, {}, value, XML_TEXT);
    return true;
}

bool CXmlNode::ReadInt(std::string_view path, std::int32_t& value) {
    std::string text;
    if (!ReadString(path, text)) return false;
    value = LeadingNumber<std::int32_t>(text);
    return true;
}

bool CXmlNode::WriteInt(std::string_view path, std::int32_t value) {
    return WriteString(path, std::to_string(value));
}

bool CXmlNode::ReadInt64(std::string_view path, std::int64_t& value) {
    std::string text;
    if (!ReadString(path, text)) return false;
    value = LeadingNumber<std::int64_t>(text);
    return true;
}

bool CXmlNode::WriteInt64(std::string_view path, std::int64_t value) {
    return WriteString(path, std::to_string(value));
}

bool CXmlNode::WriteBinary(std::string_view, const void*, std::uint32_t) {
    return false;
}

bool CXmlNode::ReadBinary(std::string_view, void*, std::uint32_t& length) {
    length = 0;
    return false;
}

bool CXmlNode::ReadBinarySize(std::string_view, std::uint32_t& length) {
    length = 0;
    return false;
}

bool CXmlNode::DeleteKey(std::string_view) {
    return false;
}

}  // namespace tellweir
