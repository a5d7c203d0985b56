// The cookie tree: nodes keyed by key components, an index by storing order for eviction.
#include "net/cookie/cookie_tree.h"

#include <algorithm>
#include <vector>

#include "base/ascii_text.h"

namespace tellweir {
namespace {

std::string_view NameOf(std::string_view text) {
    const std::size_t equals = text.find('=');
    return equals == std::string_view::npos ? std::string_view() : text.substr(0, equals);
}

// Whether `b` replaces `a`: the same name, domain and path.
bool SameCookie(const CookieRecord& a, const CookieRecord& b) {
    return NameOf(a.text) == NameOf(b.text) && a.path == b.path &&
           EqualsIgnoreAsciiCase(a.domain, b.domain);
}

}  // namespace

struct CCookieTree::Node {
    using Children = std::map<std::string, std::unique_ptr<Node>, std::less<>>;
    struct Entry {
        CookieRecord cookie;
        std::uint64_t sequence = 0;  // when the cookie was stored; its key in order_
    };

    bool IsEmpty() const { return cookies.empty() && children.empty(); }
    std::vector<Entry>::iterator FindLike(const CookieRecord& like) {
        return std::find_if(cookies.begin(), cookies.end(),
                            [&](const Entry& entry) { return SameCookie(entry.cookie, like); });
    }

    Node* parent = nullptr;
    std::string_view name;  // this node's key in the parent's children, which owns the text
    Children children;
    std::vector<Entry> cookies;  // in the order they were first stored
};

CCookieTree::CCookieTree() : root_(std::make_unique<Node>()) {}

CCookieTree::~CCookieTree() {
    Clear();
}

bool CCookieTree::Set(std::span<const std::string_view> components, CookieRecord record,
                      std::size_t nodeLimit) {
    Node* node = root_.get();
    for (const std::string_view component : components) {
        auto it = node->children.find(component);
        if (it == node->children.end()) {
            it = node->children.emplace(std::string(component), std::make_unique<Node>()).first;
            it->second->parent = node;
            it->second->name = it->first;
        }
        node = it->second.get();
    }
    const std::uint64_t sequence = nextSequence_++;
    order_.emplace(sequence, node);
    const auto old = node->FindLike(record);
    if (old == node->cookies.end()) {
        bool grew = true;
        if (!node->cookies.empty() && node->cookies.size() >= nodeLimit) {
            const auto oldest = std::min_element(
                node->cookies.begin(), node->cookies.end(),
                [](const Node::Entry& a, const Node::Entry& b) { return a.sequence < b.sequence; });
            order_.erase(oldest->sequence);
            node->cookies.erase(oldest);
            grew = false;
        }
        node->cookies.push_back({std::move(record), sequence});
        return grew;
    }
    order_.erase(old->sequence);
    *old = {std::move(record), sequence};
    return false;
}

bool CCookieTree::Erase(std::span<const std::string_view> components, const CookieRecord& like) {
    Node* node = Find(components);
    if (!node) return false;
    const auto old = node->FindLike(like);
    if (old == node->cookies.end()) return false;
    order_.erase(old->sequence);
    node->cookies.erase(old);
    PruneUpwards(node);
    return true;
}

void CCookieTree::Walk(std::span<const std::string_view> start, const Visitor& visitor) {
    Node* top = Find(start);
    if (!top) return;
    auto visit = [&](Node& node) {
        std::erase_if(node.cookies, [&](const Node::Entry& entry) {
            if (visitor(entry.cookie)) return false;
            order_.erase(entry.sequence);
            return true;
        });
    };
    // Depth first with an explicit stack; a child left empty is erased by its parent's frame,
    // whose iterator then moves on to the next sibling.
    struct Frame {
        Node* node;
        Node::Children::iterator next;
    };
    visit(*top);
    std::vector<Frame> stack{{top, top->children.begin()}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.node->children.end()) {
            stack.pop_back();
            if (stack.empty()) break;
            Frame& parent = stack.back();
            parent.next = parent.next->second->IsEmpty() ? parent.node->children.erase(parent.next)
                                                         : std::next(parent.next);
            continue;
        }
        Node* child = frame.next->second.get();
        visit(*child);
        stack.push_back({child, child->children.begin()});
    }
    PruneUpwards(top);
}

bool CCookieTree::DropOldest() {
    if (order_.empty()) return false;
    const auto [sequence, node] = *order_.begin();
    order_.erase(order_.begin());
    std::erase_if(node->cookies, [sequence = sequence](const Node::Entry& entry) {
        return entry.sequence == sequence;
    });
    PruneUpwards(node);
    return true;
}

void CCookieTree::Clear() {
    // Children are detached before a node dies, so no destructor recurses.
    std::vector<std::unique_ptr<Node>> pending;
    for (auto& [name, child] : root_->children)
        pending.push_back(std::move(child));
    root_->children.clear();
    root_->cookies.clear();
    while (!pending.empty()) {
        std::unique_ptr<Node> node = std::move(pending.back());
        pending.pop_back();
        for (auto& [name, child] : node->children)
            pending.push_back(std::move(child));
    }
    order_.clear();
}

CCookieTree::Node* CCookieTree::Find(std::span<const std::string_view> components) const {
    Node* node = root_.get();
    for (const std::string_view component : components) {
        const auto it = node->children.find(component);
        if (it == node->children.end()) return nullptr;
        node = it->second.get();
    }
    return node;
}

void CCookieTree::PruneUpwards(Node* node) {
    while (node != root_.get() && node->IsEmpty()) {
        Node* parent = node->parent;
        parent->children.erase(parent->children.find(node->name));
        node = parent;
    }
}

}  // namespace tellweir
