// The cookie tree: nodes keyed by key components, an index by storing order for eviction.
#include "net/cookie/cookie_tree.h"

#include <vector>

namespace tellweir {

struct CCookieTree::Node {
    using Children = std::map<std::string, std::unique_ptr<Node>, std::less<>>;

    bool IsEmpty() const { return !cookie && children.empty(); }

    Node* parent = nullptr;
    std::string_view name;  // this node's key in the parent's children, which owns the text
    Children children;
    std::optional<CookieRecord> cookie;
    std::uint64_t sequence = 0;  // when the cookie was stored; its key in order_
};

CCookieTree::CCookieTree() : root_(std::make_unique<Node>()) {}

CCookieTree::~CCookieTree() {
    Clear();
}

bool CCookieTree::Set(std::span<const std::string_view> components, CookieRecord record) {
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
    const bool added = !node->cookie;
    if (!added) order_.erase(node->sequence);
    node->cookie = std::move(record);
    node->sequence = nextSequence_++;
    order_.emplace(node->sequence, node);
    return added;
}

void CCookieTree::Walk(std::span<const std::string_view> start, const Visitor& visitor) {
    Node* top = Find(start);
    if (!top) return;
    auto visit = [&](Node& node) {
        if (node.cookie && !visitor(*node.cookie)) Drop(node);
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
    Node* node = order_.begin()->second;
    Drop(*node);
    PruneUpwards(node);
    return true;
}

void CCookieTree::Clear() {
    // Children are detached before a node dies, so no destructor recurses.
    std::vector<std::unique_ptr<Node>> pending;
    for (auto& [name, child] : root_->children)
        pending.push_back(std::move(child));
    root_->children.clear();
    root_->cookie.reset();
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

void CCookieTree::Drop(Node& node) {
    order_.erase(node.sequence);
    node.cookie.reset();
}

void CCookieTree::PruneUpwards(Node* node) {
    while (node != root_.get() && node->IsEmpty()) {
        Node* parent = node->parent;
        parent->children.erase(parent->children.find(node->name));
        node = parent;
    }
}

}  // namespace tellweir
