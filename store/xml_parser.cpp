// CXmlParser: the tokenizer and the placement of tokens into the tree.
#include "store/xml_parser.h"

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/ascii_text.h"

namespace tellweir {

namespace {

constexpr std::string_view kCommentOpening = "<!--";

// Splits the input into text, tag and comment tokens. The rules are byte by byte; the input is
// read in blocks, a token that lies within one block is handed out where it lies, and runs
// without markup are copied whole, which gives the same tokens faster.
class CTokenizer {
  public:
    explicit CTokenizer(IByteSource& source) : source_(source) {}

    // The next raw token; false at the end of the input, and when it ends inside a tag or a
    // comment, whose partial token is dropped (Truncated() then tells). The token is valid until
    // the next call: it lies in the block read, or in `scratch` when it spans blocks.
    bool Next(std::string& scratch, std::string_view& token) {
        if (NextInBlock(token)) return true;
        if (!Next(scratch)) return false;
        token = scratch;
        return true;
    }

    // The offset of the next byte in the input.
    std::uint64_t Offset() const { return base_ + pos_; }
    bool Truncated() const { return truncated_; }
    bool SawNul() const { return sawNul_; }

  private:
    // memchr, with the first bytes looked at here: most tokens are shorter than the cost of
    // the call.
    static const char* FindByte(const char* begin, std::size_t count, char wanted) {
        const std::size_t near = count < 16 ? count : 16;
        for (std::size_t i = 0; i < near; ++i)
            if (begin[i] == wanted) return begin + i;
        if (near == count) return nullptr;
        return static_cast<const char*>(std::memchr(begin + near, wanted, count - near));
    }

    // The next token when it lies wholly in the block read and is not a comment: most tokens
    // of a document. False, with nothing taken, otherwise.
    bool NextInBlock(std::string_view& token) {
        if (pos_ >= length_) return false;
        const char* begin = buffer_.get() + pos_;
        const std::size_t available = length_ - pos_;
        const char* end = nullptr;
        if (*begin != '<') {
            end = FindByte(begin + 1, available - 1, '<');
        } else {
            // As ReadMarkup: the first byte that leaves the comment opening decides.
            std::size_t i = 1;
            while (i < kCommentOpening.size() && i < available && begin[i] == kCommentOpening[i])
                ++i;
            if (i == kCommentOpening.size() || i == available) return false;
            if (begin[i] == '>') {
                end = begin + i + 1;
            } else {
                const char* close = FindByte(begin + i + 1, available - i - 1, '>');
                if (close != nullptr) end = close + 1;
            }
        }
        if (end == nullptr) return false;
        token = std::string_view(begin, static_cast<std::size_t>(end - begin));
        pos_ += token.size();
        return true;
    }

    // The next token, copied byte by byte across blocks.
    bool Next(std::string& token) {
        token.clear();
        const int c = Get();
        if (c < 0) return false;
        token += static_cast<char>(c);
        if (c != '<') {
            ReadUntil(token, '<', false);  // text ends before the next '<' or at the end
            return true;
        }
        truncated_ = !ReadMarkup(token);
        return !truncated_;
    }

    bool Fill() {
        if (pos_ < length_) return true;
        base_ += length_;
        length_ = source_.Read(buffer_.get(), kBlockBytes);
        pos_ = 0;
        if (!sawNul_ && length_ > 0) sawNul_ = std::memchr(buffer_.get(), 0, length_) != nullptr;
        return length_ > 0;
    }

    int Get() { return Fill() ? static_cast<unsigned char>(buffer_[pos_++]) : -1; }

    // Appends the bytes before the next `stop`; with `take` the stop byte is consumed and
    // appended too, otherwise it is left for the next token. False when the input ends first.
    bool ReadUntil(std::string& token, char stop, bool take) {
        while (Fill()) {
            const char* begin = buffer_.get() + pos_;
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

    // Blocks large enough that a file is read in few calls.
    static constexpr std::size_t kBlockBytes = 64 * 1024;

    IByteSource& source_;
    std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(kBlockBytes);
    std::size_t pos_ = 0;
    std::size_t length_ = 0;
    std::uint64_t base_ = 0;  // offset of the buffer's first byte
    bool truncated_ = false;
    bool sawNul_ = false;
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
    // Plain loops: find_first_of would call memchr once for every byte of the name.
    std::size_t start = 0;
    while (start < token.size() && (token[start] == '<' || token[start] == '/'))
        ++start;
    const std::size_t end = token.size() - (token.ends_with("/>") ? 2 : 1);
    if (start >= end) return {};
    std::size_t stop = start;
    while (stop < end && token[stop] != ' ' && token[stop] != '\r' && token[stop] != '\n' &&
           token[stop] != '\t')
        ++stop;
    return token.substr(start, stop - start);
}

}  // namespace

std::string DescribeXmlDamage(const XmlParseResult& result) {
    // Binary data is the likeliest cause of whatever else went wrong.
    if (result.nulBytes) return "damaged: it holds binary data";
    const std::string at = " at byte " + std::to_string(result.offset);
    switch (result.stop) {
        case XmlParseResult::kTruncated:
            return "damaged: it ends inside a tag";
        case XmlParseResult::kStrayEndTag:
            return "damaged: an end tag closes no open element" + at;
        case XmlParseResult::kMalformed:
            return "damaged: malformed markup" + at;
        case XmlParseResult::kEnd:
            break;
    }
    if (result.nameless) return "damaged: a tag without a name" + at;
    if (result.unclosed) return "damaged: it ends before its elements are closed";
    return {};
}

std::string DescribeXmlDamage(const XmlParseResult& result, const CXmlNode& root,
                              std::string_view topName) {
    std::string damage = DescribeXmlDamage(result);
    if (!damage.empty()) return damage;
    const CXmlNode* top = FindTopElement(root);
    if (top != nullptr && top->Name() != topName)
        return "damaged: its top element is <" + top->Name() + ">, not <" + std::string(topName) +
               ">";
    if (top == nullptr) {
        for (const auto& child : root.GetChildren())
            if (child->Type() == XML_TEXT)
                return "damaged: it holds no <" + std::string(topName) + ">";
    }
    return {};
}

CXmlNode* FindTopElement(const CXmlNode& root) {
    for (CXmlNode* node = root.NextInDocument(); node; node = node->NextInDocument()) {
        if (node->Type() >= XML_START_TAG && node->Type() <= XML_EMPTY_ELEMENT) return node;
    }
    return nullptr;
}

std::unique_ptr<CXmlNode> CXmlParser::NewNode(const CXmlNode& root) {
    if (spare_.empty()) return root.CreateNode();
    std::unique_ptr<CXmlNode> node = std::move(spare_.back());
    spare_.pop_back();
    return node;
}

void CXmlParser::ReleaseLastChild(CXmlNode& parent) {
    if (parent.children_.empty()) return;
    std::unique_ptr<CXmlNode> last = std::move(parent.children_.back());
    parent.children_.pop_back();
    last->ReleaseChildren(spare_);
    last->ClearForReuse();
    spare_.push_back(std::move(last));
}

XmlParseResult CXmlParser::ParseDocument(CXmlNode& root, IByteSource& source,
                                         const XmlElementObserver& observer) {
    // Nodes kept from another document may be of another class.
    spare_.clear();
    root.Reset();
    XmlParseResult result;
    CTokenizer tokenizer(source);
    CXmlNode* current = &root;
    std::vector<std::uint64_t> openBegins;  // where each open element's start tag began
    const auto stop = [&](XmlParseResult::Stop why, std::uint64_t offset) {
        result.stop = why;
        result.offset = offset;
        result.unclosed = current != &root;
        result.nulBytes = tokenizer.SawNul();
        return result;
    };
    std::string scratch;
    std::string_view raw;
    for (;;) {
        // Tags follow text directly, so a tag token starts at the offset before it is read.
        const std::uint64_t begin = tokenizer.Offset();
        if (!tokenizer.Next(scratch, raw)) break;
        const std::string_view token = TrimAsciiSpace(raw);
        if (token.empty()) continue;
        int type = Classify(token);
        if (type == XML_MALFORMED) return stop(XmlParseResult::kMalformed, begin);
        const std::string_view name = TokenName(token);
        if (type == kEndTag) {
            // The root has no end tag; closing it would leave no current element.
            if (current == &root || name != current->Name())
                return stop(XmlParseResult::kStrayEndTag, begin);
            CXmlNode* closed = current;
            const std::uint64_t openedAt = openBegins.back();
            closed->SetType(XML_ELEMENT);
            openBegins.pop_back();
            current = closed->Parent();
            if (observer) observer(*closed, openedAt, tokenizer.Offset());
            continue;
        }
        if (type == XML_START_TAG && name.empty()) {
            type = XML_MALFORMED;
            if (!result.nameless) result.offset = begin;
            result.nameless = true;
        }
        std::unique_ptr<CXmlNode> node = NewNode(root);
        node->tag_.assign(token);
        node->name_.assign(name);
        node->type_ = type;
        CXmlNode* placed = current->AppendChild(std::move(node));
        if (type == XML_START_TAG || type == XML_MALFORMED) {
            current = placed;
            openBegins.push_back(begin);
        } else if (type == XML_EMPTY_ELEMENT && observer) {
            observer(*placed, begin, tokenizer.Offset());
        }
    }
    if (tokenizer.Truncated()) return stop(XmlParseResult::kTruncated, tokenizer.Offset());
    const std::uint64_t namelessAt = result.offset;
    stop(XmlParseResult::kEnd, namelessAt);
    return result;
}

}  // namespace tellweir
