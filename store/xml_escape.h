// Entity escaping of the XML document: values are held escaped in the tree and unescaped only
// when they are read.
#pragma once

#include <string>
#include <string_view>

namespace tellweir {

// Replaces & < > ' and " by their entities; every other byte, spaces included, is copied as is.
std::string XmlEscape(std::string_view text);
// The same, appended to `out`.
void AppendXmlEscaped(std::string& out, std::string_view text);

// Decodes the six entities "&nbsp;" (to a space), "&amp;", "&lt;", "&gt;", "&apos;" and "&quot;",
// compared case-sensitively. Anything from an ampersand to the next semicolon that is not one of
// them is copied literally; an ampersand without a later semicolon ends decoding, and the rest of
// the text is copied as it is.
std::string XmlUnescape(std::string_view text);

}  // namespace tellweir
