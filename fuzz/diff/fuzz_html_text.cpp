// Feeds arbitrary bytes to ContentToText under several content types (HTML, plain text with a
// charset, none) and to HtmlToText; whatever comes out must be valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "diff/charset.h"
#include "diff/content_text.h"

namespace {

using namespace tellweir;

constexpr std::string_view kContentTypes[] = {
    "",
    "text/html",
    "text/html; charset=iso-8859-1",
    "text/plain; charset=utf-16",
    "text/plain; charset=shift_jis",
    "application/xhtml+xml; charset=\"utf-8\"",
    "text/plain; charset=x-unknown",
    "application/octet-stream",
};

void ExpectUtf8(std::string_view text) {
    if (!charset::IsValidUtf8(text)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the content type; the rest is the content.
    const std::string_view contentType = kContentTypes[data[0] % std::size(kContentTypes)];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const ContentText text = ContentToText(bytes, {contentType, "page"});
    ExpectUtf8(text.text);
    ExpectUtf8(HtmlToText(charset::RepairUtf8(bytes)));
    return 0;
}
