// Charset detection and conversion to UTF-8 through iconv.
#include "diff/charset.h"

#include <iconv.h>

#include <cerrno>

#include "base/ascii_text.h"

namespace tellweir::charset {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
// How far into a page its charset declaration is looked for.
constexpr std::size_t kDeclarationScan = 4096;

bool IsCharsetNameChar(char c) {
    return IsAsciiAlnum(c) || c == '-' || c == '_' || c == '.' || c == ':' || c == '+';
}

// The charset name at the start of `text`, after optional quotes; empty when it is none.
std::string NameAt(std::string_view text) {
    text = TrimLeadingAscii(text, IsAsciiSpace);
    if (!text.empty() && (text.front() == '"' || text.front() == '\'')) text.remove_prefix(1);
    std::size_t length = 0;
    while (length < text.size() && IsCharsetNameChar(text[length]))
        ++length;
    if (length == 0 || length > 40) return {};
    return UpperAscii(text.substr(0, length));
}

// Offset of `needle` in `text` ignoring ASCII case, or npos.
std::size_t FindIgnoreCase(std::string_view text, std::string_view needle, std::size_t from = 0) {
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        if (EqualsIgnoreAsciiCase(text.substr(i, needle.size()), needle)) return i;
    }
    return std::string_view::npos;
}

// The value after "<key>=" in `text`, as a charset name.
std::string ValueAfter(std::string_view text, std::string_view key) {
    std::size_t at = FindIgnoreCase(text, key);
    while (at != std::string_view::npos) {
        std::string_view rest = TrimLeadingAscii(text.substr(at + key.size()), IsAsciiSpace);
        if (!rest.empty() && rest.front() == '=') return NameAt(rest.substr(1));
        at = FindIgnoreCase(text, key, at + key.size());
    }
    return {};
}

// Length of the valid UTF-8 sequence at the start of `bytes`; 0 when it is invalid.
std::size_t ValidSequenceLength(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

std::string FromContentType(std::string_view contentType) {
    const std::size_t semicolon = contentType.find(';');
    if (semicolon == std::string_view::npos) return {};
    return ValueAfter(contentType.substr(semicolon), "charset");
}

std::string FromByteOrderMark(std::string_view bytes, std::size_t& markLength) {
    markLength = 0;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        markLength = 3;
        return "UTF-8";
    }
    if (bytes.substr(0, 2) == "\xFF\xFE") {
        markLength = 2;
        return "UTF-16LE";
    }
    if (bytes.substr(0, 2) == "\xFE\xFF") {
        markLength = 2;
        return "UTF-16BE";
    }
    return {};
}

std::string FromPageDeclaration(std::string_view bytes) {
    const std::string_view head = bytes.substr(0, kDeclarationScan);
    if (StartsWithIgnoreAsciiCase(head, "<?xml")) {
        const std::size_t end = head.find("?>");
        std::string name = ValueAfter(head.substr(0, end), "encoding");
        if (!name.empty()) return name;
    }
    for (std::size_t at = FindIgnoreCase(head, "<meta"); at != std::string_view::npos;
         at = FindIgnoreCase(head, "<meta", at + 5)) {
        const std::size_t end = head.find('>', at);
        // Both <meta charset=...> and content="text/html; charset=..." carry "charset=".
        std::string name =
            ValueAfter(head.substr(at, end == std::string_view::npos ? end : end - at), "charset");
        if (!name.empty()) {
            // A page read byte by byte as ASCII cannot really be UTF-16; browsers read it as UTF-8.
            if (StartsWithIgnoreAsciiCase(name, "UTF-16")) return "UTF-8";
            return name;
        }
    }
    return {};
}

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = ValidSequenceLength(bytes.substr(i));
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string RepairUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = ValidSequenceLength(bytes.substr(i));
        if (length == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(bytes.substr(i, length));
            i += length;
        }
    }
    return out;
}

bool ConvertToUtf8(std::string_view bytes, const std::string& charset, std::string& out) {
    iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 4);
    char buffer[16384];
    char* in = const_cast<char*>(bytes.data());  // iconv's signature; it does not write there
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* next = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(converter, &in, &inLeft, &next, &outLeft);
        text.append(buffer, static_cast<std::size_t>(next - buffer));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG && inLeft > 0) {
            // An invalid or cut-off sequence: one byte becomes U+FFFD and the reading goes on.
            text += kReplacement;
            ++in;
            --inLeft;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    // What a stateful charset still holds.
    char* next = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(converter, nullptr, nullptr, &next, &outLeft);
    text.append(buffer, static_cast<std::size_t>(next - buffer));
    iconv_close(converter);
    out = std::move(text);
    return true;
}

}  // namespace tellweir::charset
