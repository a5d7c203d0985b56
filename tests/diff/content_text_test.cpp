// ContentToText and HtmlToText: the readable text of HTML pages, charsets by the reply, the byte
// order mark and the page, and binary content summarised.
#include <gtest/gtest.h>

#include <string>

#include "diff/content_text.h"

namespace tellweir {
namespace {

TEST(HtmlText, ReadableText) {
    struct Case {
        const char* name;
        const char* html;
        const char* text;
    };
    const Case cases[] = {
        {"scripts, styles and comments dropped",
         "<html><head><title>Shop</title><style>p{color:red}</style>"
         "<script>var x = '<p>no</p>';</script></head>"
         "<body><!-- hidden --><p>Price: 10 EUR</p><noscript>Enable it</noscript>"
         "<template><p>later</p></template></body></html>",
         "Shop\n\nPrice: 10 EUR\n"},
        {"entities decoded", "<p>Tom &amp; Jerry &lt;3 &eacute;t&eacute; &#8364;5 &#x41;</p>",
         "Tom & Jerry <3 été €5 A\n"},
        {"no-break spaces collapse", "<p>Price:&nbsp;&nbsp;10&nbsp;EUR</p>", "Price: 10 EUR\n"},
        {"block elements break lines",
         "<div>one</div><div>two<br>three</div><section>four</section>five",
         "one\ntwo\nthree\nfour\nfive\n"},
        {"white space collapsed and lines trimmed", "<div>  a \n\t b  </div>\n\n<div> c </div>",
         "a b\nc\n"},
        {"links kept as their text", "<p>See <a href=\"/x\">the <b>new</b> offer</a> now.</p>",
         "See the new offer now.\n"},
        {"paragraphs apart by one blank line", "<h1>Title</h1><p>One</p><p>Two</p>",
         "Title\n\nOne\n\nTwo\n"},
        {"no blank line floods", "<p>a</p><br><br><br><br><p></p><p></p><div></div><p>b</p>",
         "a\n\nb\n"},
        {"pre keeps its spaces", "<p>x</p><pre>  a   b\n    c</pre><p>y   z</p>",
         "x\n\n  a   b\n    c\n\ny z\n"},
        {"nested lists", "<ul><li>one<ul><li>one.a</li><li>one.b</li></ul></li><li>two</li></ul>",
         "one\none.a\none.b\ntwo\n"},
        {"table rows and cells",
         "<table><tr><td>Item</td><td>Price</td></tr>"
         "<tr><td>Tea</td><td>3</td></tr></table>",
         "Item Price\nTea 3\n"},
        {"malformed markup", "<p>open <b>bold <i>both</p><div>after</b> &bogus; <p>end",
         "open bold both\n\nafter &bogus;\n\nend\n"},
        {"text outside any element", "just text", "just text\n"},
        {"empty document", "", ""},
        {"only a script", "<script>alert(1)</script>", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HtmlToText(c.html), c.text);
    }
}

TEST(HtmlText, DeepNestingKeepsItsText) {
    // Deeper than the parser's default limit, which would drop the rest of the page.
    std::string html = "<p>before</p>";
    for (int i = 0; i < 5000; ++i)
        html += "<div><span>";
    html += "deep";
    for (int i = 0; i < 5000; ++i)
        html += "</span></div>";
    html += "<p>after</p>";
    EXPECT_EQ(HtmlToText(html), "before\n\ndeep\n\nafter\n");
}

TEST(ContentText, Charsets) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* contentType;
        const char* charset;
        const char* text;
    };
    const std::string latin1Page =
        "<html><body><p>Gr\xF6\xDF"
        "e: 5 \x80</p></body></html>";
    const Case cases[] = {
        {"Latin-1 by the reply", latin1Page, "text/html; charset=ISO-8859-1", "ISO-8859-1",
         "Größe: 5 €\n"},
        {"quoted charset in the reply", "caf\xE9", "text/plain; charset=\"iso-8859-1\"",
         "ISO-8859-1", "café"},
        {"Latin-1 by meta charset",
         "<html><head><meta charset=\"iso-8859-1\"></head><body>Gr\xF6\xDF"
         "e</body></html>",
         "text/html", "ISO-8859-1", "Größe\n"},
        {"Latin-1 by meta http-equiv",
         "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
         "charset=iso-8859-15\"></head><body>\xA4 5</body></html>",
         "", "ISO-8859-15", "€ 5\n"},
        {"the reply outranks the page",
         "<html><head><meta charset=\"utf-8\"></head><body>caf\xE9</body></html>",
         "text/html; charset=windows-1252", "WINDOWS-1252", "café\n"},
        {"UTF-8 without a word of it",
         "Gr\xC3\xB6\xC3\x9F"
         "e",
         "text/plain", "UTF-8", "Größe"},
        {"windows-1252 when not UTF-8", "\x93quoted\x94 caf\xE9", "", "WINDOWS-1252",
         "“quoted” café"},
        {"UTF-8 with a byte order mark",
         "\xEF\xBB\xBFGr\xC3\xB6\xC3\x9F"
         "e",
         "text/plain; charset=iso-8859-1", "UTF-8", "Größe"},
        {"UTF-16 with a byte order mark", std::string("\xFF\xFEG\0r\0\xF6\0\n\0", 10), "",
         "UTF-16LE", "Grö\n"},
        {"an unknown charset name falls back", "caf\xC3\xA9", "text/plain; charset=x-no-such",
         "UTF-8", "café"},
        {"invalid UTF-8 replaced, not dropped",
         "a\xC3(b\xFF"
         "c",
         "text/plain; charset=utf-8", "UTF-8",
         "a\xEF\xBF\xBD(b\xEF\xBF\xBD"
         "c"},
        {"a sequence cut off at the end", "ok \xE2\x82", "text/plain; charset=utf-8", "UTF-8",
         "ok \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"invalid in an iconv charset",
         "a\xFF"
         "b",
         "text/plain; charset=iso-2022-jp", "ISO-2022-JP",
         "a\xEF\xBF\xBD"
         "b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ContentText text = ContentToText(c.bytes, {c.contentType, ""});
        EXPECT_EQ(text.charset, c.charset);
        EXPECT_EQ(text.text, c.text);
        EXPECT_NE(text.kind, TextKind::Binary);
    }
}

TEST(ContentText, KindByTypeNameAndContent) {
    struct Case {
        const char* name;
        const char* bytes;
        const char* contentType;
        const char* fileName;
        TextKind kind;
    };
    const Case cases[] = {
        {"HTML by its type", "<b>x</b>", "text/html", "", TextKind::Html},
        {"HTML by its extension", "<b>x</b>", "", "/srv/page.HTM", TextKind::Html},
        {"HTML by its first bytes", "\n <!DOCTYPE html><p>x", "", "notes", TextKind::Html},
        {"a comment before the page", "<!-- c --><html><p>x", "", "", TextKind::Html},
        {"plain text by its type", "<html><p>x", "text/plain", "page.html", TextKind::Plain},
        {"XML is no HTML", "<?xml version=\"1.0\"?><feed/>", "", "feed", TextKind::Plain},
        {"plain text", "line one\nline two\n", "", "notes.txt", TextKind::Plain},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ContentToText(c.bytes, {c.contentType, c.fileName}).kind, c.kind);
    }
}

TEST(ContentText, BinaryIsSummarised) {
    const std::string withNul("PK\3\4\0\0data", 10);
    const ContentText text = ContentToText(withNul, {"", "archive.zip"});
    EXPECT_EQ(text.kind, TextKind::Binary);
    EXPECT_EQ(text.text,
              "Binary content: 10 bytes, SHA-256 "
              "5be1c3aed041bae897879236cc48f4c98727cf49f8fa804d95978d5a22787fd6\n");

    // Mostly control bytes, and a type that says so, are binary too; text with a few is not.
    EXPECT_EQ(ContentToText("\x01\x02\x03\x04x", {}).kind, TextKind::Binary);
    EXPECT_EQ(ContentToText("GIF89a", {"image/gif", ""}).kind, TextKind::Binary);
    EXPECT_EQ(ContentToText("a\tb\x1b[1mc\r\n", {}).kind, TextKind::Plain);
    EXPECT_EQ(ContentToText("", {}).text, "");
}

}  // namespace
}  // namespace tellweir
