// HtmlToText: an HTML document parsed by libxml2's HTML parser (forgiving, as browsers are) and
// walked into the lines a reader sees.
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <array>
#include <mutex>

#include "base/ascii_text.h"
#include "diff/content_text.h"

namespace tellweir {
namespace {

enum class ElementKind {
    Inline,     // text flows on
    Dropped,    // no text of its own or its children (scripts, styles, templates)
    Block,      // starts and ends a line
    Paragraph,  // a block with a blank line around it
    Break,      // <br>: ends the line even if it is empty
    Cell,       // a table cell: apart from its neighbours on the same line
    Preformatted,
};

struct ElementRule {
    std::string_view name;
    ElementKind kind;
};

// libxml2 gives HTML element names in lower case.
constexpr std::array kRules = {
    ElementRule{"script", ElementKind::Dropped},
    ElementRule{"style", ElementKind::Dropped},
    ElementRule{"noscript", ElementKind::Dropped},
    ElementRule{"template", ElementKind::Dropped},
    ElementRule{"iframe", ElementKind::Dropped},
    ElementRule{"object", ElementKind::Dropped},
    ElementRule{"svg", ElementKind::Dropped},
    ElementRule{"math", ElementKind::Dropped},
    ElementRule{"p", ElementKind::Paragraph},
    ElementRule{"h1", ElementKind::Paragraph},
    ElementRule{"h2", ElementKind::Paragraph},
    ElementRule{"h3", ElementKind::Paragraph},
    ElementRule{"h4", ElementKind::Paragraph},
    ElementRule{"h5", ElementKind::Paragraph},
    ElementRule{"h6", ElementKind::Paragraph},
    ElementRule{"table", ElementKind::Paragraph},
    ElementRule{"ul", ElementKind::Block},
    ElementRule{"ol", ElementKind::Block},
    ElementRule{"dl", ElementKind::Block},
    ElementRule{"blockquote", ElementKind::Paragraph},
    ElementRule{"hr", ElementKind::Paragraph},
    ElementRule{"figure", ElementKind::Paragraph},
    ElementRule{"pre", ElementKind::Preformatted},
    ElementRule{"listing", ElementKind::Preformatted},
    ElementRule{"xmp", ElementKind::Preformatted},
    ElementRule{"plaintext", ElementKind::Preformatted},
    ElementRule{"textarea", ElementKind::Preformatted},
    ElementRule{"br", ElementKind::Break},
    ElementRule{"td", ElementKind::Cell},
    ElementRule{"th", ElementKind::Cell},
    ElementRule{"div", ElementKind::Block},
    ElementRule{"li", ElementKind::Block},
    ElementRule{"tr", ElementKind::Block},
    ElementRule{"dt", ElementKind::Block},
    ElementRule{"dd", ElementKind::Block},
    ElementRule{"section", ElementKind::Block},
    ElementRule{"article", ElementKind::Block},
    ElementRule{"header", ElementKind::Block},
    ElementRule{"footer", ElementKind::Block},
    ElementRule{"nav", ElementKind::Block},
    ElementRule{"main", ElementKind::Block},
    ElementRule{"aside", ElementKind::Block},
    ElementRule{"address", ElementKind::Block},
    ElementRule{"form", ElementKind::Block},
    ElementRule{"fieldset", ElementKind::Block},
    ElementRule{"legend", ElementKind::Block},
    ElementRule{"caption", ElementKind::Block},
    ElementRule{"figcaption", ElementKind::Block},
    ElementRule{"details", ElementKind::Block},
    ElementRule{"summary", ElementKind::Block},
    ElementRule{"center", ElementKind::Block},
    ElementRule{"title", ElementKind::Block},
    ElementRule{"option", ElementKind::Block},
    ElementRule{"thead", ElementKind::Block},
    ElementRule{"tbody", ElementKind::Block},
    ElementRule{"tfoot", ElementKind::Block},
    ElementRule{"body", ElementKind::Block},
    ElementRule{"menu", ElementKind::Block},
};

ElementKind KindOf(const xmlNode* node) {
    const std::string_view name = reinterpret_cast<const char*>(node->name);
    for (const ElementRule& rule : kRules) {
        if (rule.name == name) return rule.kind;
    }
    return ElementKind::Inline;
}

// Collects the lines: white space collapsed within a line (except in preformatted text), lines
// trimmed, and never more than one blank line in a row.
class CTextLines {
  public:
    void Inline(std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            // A no-break space is a space to a reader; as a byte pair it would defeat the collapse.
            const bool noBreakSpace = c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0';
            if (IsAsciiSpace(c) || noBreakSpace) {
                i += noBreakSpace ? 1 : 0;
                pendingSpace_ = !line_.empty();
                continue;
            }
            if (pendingSpace_) {
                line_ += ' ';
                pendingSpace_ = false;
            }
            line_ += c;
        }
    }

    void Preformatted(std::string_view text) {
        if (pendingSpace_) {
            line_ += ' ';
            pendingSpace_ = false;
        }
        for (const char c : text) {
            if (c == '\n')
                EndLine(true);
            else if (c != '\r')
                line_ += c;
        }
    }

    // Separates what follows from what came before on the same line (table cells).
    void Space() { pendingSpace_ = !line_.empty(); }

    // Ends the line; an empty one too when `hard` (a <br>, a line of preformatted text).
    void EndLine(bool hard = false) {
        pendingSpace_ = false;
        const std::string_view line = TrimTrailingAscii(line_, IsAsciiSpace);
        if (line.empty()) {
            line_.clear();
            if (hard && !text_.empty() && blankLines_ == 0) {
                text_ += '\n';
                ++blankLines_;
            }
            return;
        }
        if (blankBefore_ && !text_.empty() && blankLines_ == 0) text_ += '\n';
        blankBefore_ = false;
        text_.append(line).append("\n");
        blankLines_ = 0;
        line_.clear();
    }

    // Ends the line and keeps a blank line before the next one.
    void Paragraph() {
        EndLine();
        blankBefore_ = true;
    }

    std::string Take() {
        EndLine();
        // No blank line at the end.
        while (text_.size() >= 2 && text_[text_.size() - 1] == '\n' &&
               text_[text_.size() - 2] == '\n')
            text_.pop_back();
        return std::move(text_);
    }

  private:
    std::string text_;  // the finished lines
    std::string line_;  // the line being built
    bool pendingSpace_ = false;
    bool blankBefore_ = false;
    int blankLines_ = 0;  // blank lines at the end of text_
};

class CHtmlWalker {
  public:
    explicit CHtmlWalker(CTextLines& lines) : lines_(lines) {}

    // Visits the tree without recursion: broken markup can nest elements without bound.
    void Walk(xmlNode* first, const xmlNode* top) {
        xmlNode* node = first;
        while (node) {
            if (Enter(node) && node->children) {
                node = node->children;
                continue;
            }
            if (node->type == XML_ELEMENT_NODE) Leave(node);
            while (node && !node->next) {
                node = node->parent;
                if (!node || node == top) return;
                Leave(node);
            }
            node = node->next;
        }
    }

  private:
    // True when the walk goes into the node's children.
    bool Enter(const xmlNode* node) {
        switch (node->type) {
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                if (node->content) {
                    const std::string_view text = reinterpret_cast<const char*>(node->content);
                    if (preformatted_ > 0)
                        lines_.Preformatted(text);
                    else
                        lines_.Inline(text);
                }
                return false;
            case XML_ELEMENT_NODE:
                break;
            default:
                return false;  // comments, processing instructions, the DTD
        }
        switch (KindOf(node)) {
            case ElementKind::Dropped:
                return false;
            case ElementKind::Block:
                lines_.EndLine();
                break;
            case ElementKind::Paragraph:
                lines_.Paragraph();
                break;
            case ElementKind::Break:
                lines_.EndLine(true);
                break;
            case ElementKind::Cell:
                lines_.Space();
                break;
            case ElementKind::Preformatted:
                lines_.Paragraph();
                ++preformatted_;
                break;
            case ElementKind::Inline:
                break;
        }
        return true;
    }

    void Leave(const xmlNode* node) {
        switch (KindOf(node)) {
            case ElementKind::Block:
                lines_.EndLine();
                break;
            case ElementKind::Paragraph:
                lines_.Paragraph();
                break;
            case ElementKind::Cell:
                lines_.Space();
                break;
            case ElementKind::Preformatted:
                lines_.Paragraph();
                --preformatted_;
                break;
            default:
                break;
        }
    }

    CTextLines& lines_;
    int preformatted_ = 0;
};

void IgnoreError(void* /*context*/, const char* /*message*/, ...) {}

// libxml2 is set up once for the process; its error channel is per thread, and a converting
// thread must never write the parser's complaints about broken pages to standard error.
void PrepareLibxml2() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    thread_local const bool quiet = [] {
        xmlSetGenericErrorFunc(nullptr, IgnoreError);
        return true;
    }();
    (void)quiet;
}

}  // namespace

std::string HtmlToText(std::string_view utf8Html) {
    PrepareLibxml2();
    if (utf8Html.empty() || utf8Html.size() > static_cast<std::size_t>(INT32_MAX)) return {};
    htmlParserCtxtPtr context = htmlNewParserCtxt();
    if (!context) return {};
    // The bytes are UTF-8 already: the page's own charset declaration must not switch the reading.
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                        HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC | HTML_PARSE_NODEFDTD |
                        XML_PARSE_HUGE;
    htmlDocPtr document = htmlCtxtReadMemory(
        context, utf8Html.data(), static_cast<int>(utf8Html.size()), nullptr, "UTF-8", options);
    CTextLines lines;
    if (document) {
        CHtmlWalker walker(lines);
        walker.Walk(document->children, reinterpret_cast<const xmlNode*>(document));
        xmlFreeDoc(document);
    }
    htmlFreeParserCtxt(context);
    return lines.Take();
}

}  // namespace tellweir
