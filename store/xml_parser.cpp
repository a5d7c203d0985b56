// CXmlParser: the tokenizer and the placement of tokens into the tree.
#include "store/xml_parser.h"

#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "base/ascii_text.h"

namespace tellweir {

namespace {

constexpr std::string_view kCommentOpening = "<!--";

// Splits the input into text, tag and comment tokens. The rules are byte by byte; the input is
// read in blocks and runs without markup are copied whole, which gives the same tokens faster.
class CTokenizer {
  public:
    explicit CTokenizer(IByteSource& source) : source_(source) {}

    // The next raw token; false at the end of the input, and when it ends inside a tag or a
    // comment, whose partial token is dropped.
    bool Next(std::string& token) {
        token.clear();
        const int c = Get();
        if (c < 0) return false;
        token += static_cast<char>(c);
        if (c != '<') {
            ReadUntil(token, '<', false);  // text ends before the next '<' or at the end
            return true;
        }
        return ReadMarkup(token);
    }

  private:
    bool Fill() {
        if (pos_ < length_) return true;
        length_ = source_.Read(buffer_.data(), buffer_.size());
        pos_ = 0;
        return length_ > 0;
    }

    int Get() { return Fill() ? static_cast<unsigned char>(buffer_[pos_++]) : -1; }

    // Appends the bytes before the next `stop`; with `take` the stop byte is consumed and
    // appended too, otherwise it is left for the next token. False when the input ends first.
    bool ReadUntil(std::string& token, char stop, bool take) {
        while (Fill()) {
            const char* begin = buffer_.data() + pos_;
            const std::size_t available = length_ - pos_;
            const void* hit = std::memchr(begin, stop, available);
            if (hit == nullptr) {
                token.append(begin, available);
                pos_ = length_;
                continue;
            }
            const std::size_t count = static_cast<const char*>(hit) - begin + (take ? 1 : 0);
            token.append(begin, count);
            pos_ += count;
            return true;
        }
        return false;
    }

    // After '<': a comment if "!--" follows, else a tag up to the first '>' (quotes are not
    // special). The bytes read while telling the two apart belong to the token either way.
    bool ReadMarkup(std::string& token) {
        while (token.size() < kCommentOpening.size()) {
            const int c = Get();
            if (c < 0) return false;
            token += static_cast<char>(c);
            if (!kCommentOpening.starts_with(token)) {
                return c == '>' || ReadUntil(token, '>', true);
            }
        }
        // A comment ends at a '>' preceded by two dashes that follow the opening "<!--".
        constexpr std::size_t kShortest = kCommentOpening.size() + 3;  // "<!---->"
        do {
            if (!ReadUntil(token, '>', true)) return false;
        } while (token.size() < kShortest || token[token.size() - 2] != '-' ||
                 token[token.size() - 3] != '-');
        return true;
    }

    IByteSource& source_;
    std::array<char, 4096> buffer_{};
    std::size_t pos_ = 0;
    std::size_t length_ = 0;
};

constexpr int kEndTag = -1;  // classification of "</...>", which never becomes a node

int Classify(std::string_view token) {
    if (!token.starts_with('<')) return XML_TEXT;
    if (token.size() < 3 || !token.ends_with('>')) return XML_MALFORMED;
    if (token.starts_with("</")) return kEndTag;
    if (token.starts_with("<!")) return XML_COMMENT;
    if (token.starts_with("<?")) return XML_DECLARATION;
    if (token.ends_with("/>")) return XML_EMPTY_ELEMENT;
    return XML_START_TAG;
}

// The element name of a tag: without the leading '<' and '/' characters and the closing ">"
// or "/>", up to the first space, CR, LF or tab. Empty for text and comments.
std::string_view TokenName(std::string_view token) {
    if (token.size() < 3 || !token.starts_with('<') || !token.ends_with('>') ||
        token.starts_with(kCommentOpening)) {
        return {};
    }
    const std::size_t start = token.find_first_not_of("</");
    const std::size_t end = token.size() - (token.ends_with("/>") ? 2 : 1);
    if (start == std::string_view::npos || start >= end) return {};
    const std::string_view name = token.substr(start, end - start);
    return name.substr(0, name.find_first_of(" \r\n\t"));
}

}  // namespace

void CXmlParser::ParseDocument(CXmlNode& root, IByteSource& source) {
    root.Reset();
    CTokenizer tokenizer(source);
    CXmlNode* current = &root;
    std::string raw;
    while (tokenizer.Next(raw)) {
        const std::string_view token = TrimAsciiSpace(raw);
        if (token.empty()) continue;
        int type = Classify(token);
        if (type == XML_MALFORMED) return;
        const std::string_view name = TokenName(token);
        if (type == kEndTag) {
            // The root has no end tag; closing it would leave no current element.
            if (current == &root || name != current->Name()) return;
            current->SetType(XML_ELEMENT);
            current = current->Parent();
            continue;
        }
        if (type == XML_START_TAG && name.empty()) type = XML_MALFORMED;
        std::unique_ptr<CXmlNode> node = root.CreateNode();
        node->Assign(std::string(token), std::string(name), type);
        CXmlNode* placed = current->AppendChild(std::move(node));
        if (type == XML_START_TAG || type == XML_MALFORMED) current = placed;
    }
}

}  // namespace tellweir
