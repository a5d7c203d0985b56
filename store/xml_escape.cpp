// Entity escaping of the XML document.
#include "store/xml_escape.h"

namespace tellweir {

namespace {

struct Entity {
    std::string_view text;
    char character;
};

// Searched in this order when decoding; "&nbsp;" is never produced when encoding.
constexpr Entity kEntities[] = {
    {"&nbsp;", ' '}, {"&amp;", '&'},   {"&lt;", '<'},
    {"&gt;", '>'},   {"&apos;", '\''}, {"&quot;", '"'},
};

}  // namespace

void AppendXmlEscaped(std::string& out, std::string_view text) {
    // Most values have nothing to escape: each run without an entity is copied whole.
    while (!text.empty()) {
        const std::size_t special = text.find_first_of("&<>'\"");
        out.append(text.substr(0, special));
        if (special == std::string_view::npos) return;
        switch (text[special]) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += "&quot;";
                break;
        }
        text.remove_prefix(special + 1);
    }
}

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendXmlEscaped(out, text);
    return out;
}

std::string XmlUnescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t amp = text.find('&', pos);
        if (amp == std::string_view::npos) break;
        const std::size_t semicolon = text.find(';', amp);
        if (semicolon == std::string_view::npos) break;
        out.append(text, pos, amp - pos);
        const std::string_view candidate = text.substr(amp, semicolon - amp + 1);
        bool decoded = false;
        for (const Entity& entity : kEntities) {
            if (candidate == entity.text) {
                out += entity.character;
                decoded = true;
                break;
            }
        }
        if (!decoded) out.append(candidate);
        pos = semicolon + 1;
    }
    out.append(text, pos);
    return out;
}

}  // namespace tellweir
