// Entity escaping of the XML document in both directions.
#include <gtest/gtest.h>

#include <string>

#include "store/xml_escape.h"

namespace tellweir {
namespace {

TEST(XmlEscape, EscapesTheFiveMarkupCharactersOnly) {
    EXPECT_EQ(XmlEscape("a & b < c > d ' e \" f"), "a &amp; b &lt; c &gt; d &apos; e &quot; f");
    EXPECT_EQ(XmlEscape("plain text\twith\r\nbytes \xe4\xff"),
              "plain text\twith\r\nbytes \xe4\xff");
    // One byte at a time: an existing entity is escaped again rather than kept.
    EXPECT_EQ(XmlEscape("&amp;"), "&amp;amp;");
}

TEST(XmlEscape, UnescapeCases) {
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"&amp;&lt;&gt;&apos;&quot;", "&<>'\""},
        {"x&nbsp;y", "x y"},
        {"&foo; stays", "&foo; stays"},
        {"&AMP; is case-sensitive", "&AMP; is case-sensitive"},
        {"a & b", "a & b"},         // no semicolon after the ampersand
        {"a &amp b", "a &amp b"},   // likewise
        {"&lt;x &amp", "<x &amp"},  // decoding ends at the last lone ampersand
        {"&a&amp;", "&a&amp;"},     // the candidate runs to the first semicolon
        {"&amp;lt;", "&lt;"},       // decoded once only
        {"a;b&;c", "a;b&;c"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XmlUnescape(c.input), c.expected) << c.input;
}

TEST(XmlEscape, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    all += "&nbsp;&amp;";
    EXPECT_EQ(XmlUnescape(XmlEscape(all)), all);
}

}  // namespace
}  // namespace tellweir
