// Reading a version's bytes as text (to be built).
#include "diff/content_text.h"

namespace tellweir {

ContentText ContentToText(std::string_view bytes, const ContentHints& /*hints*/) {
    ContentText text;
    text.text.assign(bytes);
    text.charset = "UTF-8";
    return text;
}

std::string HtmlToText(std::string_view utf8Html) {
    return std::string(utf8Html);
}

}  // namespace tellweir
