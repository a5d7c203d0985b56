// The bytes of a version as text a person reads and a diff compares: HTML turned into its
// readable text, other text converted to UTF-8 from its charset, and binary content summarised
// by its size and hash.
#pragma once

#include <string>
#include <string_view>

namespace tellweir {

// What is known of the bytes besides themselves.
struct ContentHints {
    std::string_view contentType;  // the reply's Content-Type with its parameters; may be empty
    std::string_view name;         // the file name or URL path, for a hint by its extension
};

enum class TextKind { Plain, Html, Binary };

struct ContentText {
    TextKind kind = TextKind::Plain;
    std::string text;     // UTF-8, lines ended by '\n'; for binary content its one-line summary
    std::string charset;  // the charset the bytes were read in ("UTF-8", "ISO-8859-1", ...)
};

// Reads `bytes` as text. HTML (by its content type, its extension or its first bytes) goes
// through a real HTML parser: scripts, styles and comments dropped, block elements as line
// breaks, entities decoded, links as their text. The charset comes from the content type, a
// byte order mark or the page's meta element, else UTF-8 when the bytes are valid UTF-8, else
// windows-1252. Content with NUL bytes or mostly control bytes is binary: its text is
// "Binary content: <size> bytes, SHA-256 <hex>". Never fails: what cannot be converted is
// replaced, not dropped.
ContentText ContentToText(std::string_view bytes, const ContentHints& hints);

// The readable text of an HTML document already in UTF-8 (what ContentToText does for HTML).
std::string HtmlToText(std::string_view utf8Html);

}  // namespace tellweir
