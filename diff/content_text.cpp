// ContentToText: what kind of content the bytes are, which charset they are in, and their text.
#include "diff/content_text.h"

#include <openssl/evp.h>

#include <array>

#include "base/ascii_text.h"
#include "diff/charset.h"

namespace tellweir {
namespace {

// How much of the content is looked at to tell binary from text, and to sniff HTML.
constexpr std::size_t kBinarySniff = 8192;
constexpr std::size_t kHtmlSniff = 1024;

bool IsBinary(std::string_view bytes) {
    const std::string_view head = bytes.substr(0, kBinarySniff);
    std::size_t controls = 0;
    for (const char c : head) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0) return true;
        if ((byte < 0x20 && !IsAsciiSpace(c) && byte != 0x1B && byte != 0x08) || byte == 0x7F)
            ++controls;
    }
    // Mostly control bytes: more than a third of what was looked at.
    return controls * 3 > head.size();
}

std::string BinarySummary(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    std::string hex;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) == 1) {
        static constexpr char kDigits[] = "0123456789abcdef";
        for (unsigned int i = 0; i < length; ++i) {
            hex += kDigits[digest[i] >> 4];
            hex += kDigits[digest[i] & 0x0F];
        }
    }
    return "Binary content: " + std::to_string(bytes.size()) + " bytes, SHA-256 " + hex + "\n";
}

// The media type of a Content-Type value, lower case, without its parameters.
std::string MediaType(std::string_view contentType) {
    return LowerAscii(TrimAsciiSpace(contentType.substr(0, contentType.find(';'))));
}

bool IsBinaryMediaType(std::string_view type) {
    return type.starts_with("image/") || type.starts_with("audio/") || type.starts_with("video/") ||
           type.starts_with("font/") || type == "application/octet-stream" ||
           type == "application/zip" || type == "application/gzip" || type == "application/pdf";
}

bool HasHtmlExtension(std::string_view name) {
    name = name.substr(0, name.find_first_of("?#"));
    constexpr std::array kExtensions = {".html", ".htm", ".xhtml", ".shtml"};
    for (const std::string_view extension : kExtensions) {
        if (EndsWithIgnoreAsciiCase(name, extension)) return true;
    }
    return false;
}

bool LooksLikeHtml(std::string_view text) {
    const std::string_view head = TrimLeadingAscii(text.substr(0, kHtmlSniff), IsAsciiSpace);
    constexpr std::array kStarts = {"<!doctype html", "<html", "<head", "<body", "<!--", "<?xml"};
    for (const std::string_view start : kStarts) {
        if (!StartsWithIgnoreAsciiCase(head, start)) continue;
        // A comment or an XML declaration starts many formats; HTML shows itself soon after.
        if (start == "<!--" || start == "<?xml") {
            const std::string lower = LowerAscii(head);
            return lower.find("<html") != std::string::npos ||
                   lower.find("<!doctype html") != std::string::npos;
        }
        return true;
    }
    return false;
}

bool IsHtml(std::string_view mediaType, std::string_view name, std::string_view text) {
    if (mediaType == "text/html" || mediaType == "application/xhtml+xml") return true;
    if (!mediaType.empty() && mediaType != "application/octet-stream")
        return false;  // the server said what it is
    return HasHtmlExtension(name) || LooksLikeHtml(text);
}

// Converts `bytes` from `charset`; false when the charset is unknown to iconv.
bool Convert(std::string_view bytes, const std::string& charset, std::string& out) {
    if (charset == "UTF-8" || charset == "UTF8") {
        out = charset::RepairUtf8(bytes);
        return true;
    }
    // Browsers read pages labelled Latin-1 or ASCII as windows-1252, its superset; so does this.
    const bool latin1 = charset == "ISO-8859-1" || charset == "ISO8859-1" || charset == "LATIN1" ||
                        charset == "US-ASCII" || charset == "ASCII";
    return charset::ConvertToUtf8(bytes, latin1 ? "WINDOWS-1252" : charset, out);
}

}  // namespace

ContentText ContentToText(std::string_view bytes, const ContentHints& hints) {
    ContentText result;
    const std::string mediaType = MediaType(hints.contentType);
    std::size_t markLength = 0;
    std::string byMark = charset::FromByteOrderMark(bytes, markLength);
    // UTF-16 text is full of NUL bytes; only its byte order mark tells it from binary.
    if ((markLength == 0 && IsBinary(bytes)) || IsBinaryMediaType(mediaType)) {
        result.kind = TextKind::Binary;
        result.text = BinarySummary(bytes);
        return result;
    }

    const std::string_view body = bytes.substr(markLength);
    const bool html = IsHtml(mediaType, hints.name, body);
    // A byte order mark cannot be mistaken, so it outranks the reply's word, which outranks the
    // page's own declaration.
    std::string candidates[] = {std::move(byMark), charset::FromContentType(hints.contentType),
                                html ? charset::FromPageDeclaration(body) : std::string()};
    std::string text;
    bool converted = false;
    for (std::string& candidate : candidates) {
        if (!candidate.empty() && Convert(body, candidate, text)) {
            result.charset = std::move(candidate);
            converted = true;
            break;
        }
    }
    if (!converted) {
        result.charset = charset::IsValidUtf8(body) ? "UTF-8" : "WINDOWS-1252";
        if (!Convert(body, result.charset, text))
            text = charset::RepairUtf8(body);  // iconv without windows-1252: still never dropped
    }

    result.kind = html ? TextKind::Html : TextKind::Plain;
    result.text = html ? HtmlToText(text) : std::move(text);
    return result;
}

}  // namespace tellweir
