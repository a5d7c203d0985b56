// The tree in which the cookie store files its cookies: one node per component of a cookie key
// (reversed domain labels, then path segments), each holding the cookies filed under its key,
// one per name, domain and path. Not thread-safe: the store guards it with its lock. Walks and
// destruction are iterative, so a deep key cannot exhaust the stack, and nodes left without
// cookies and children are removed, so the tree never holds more than the keys of the cookies
// it keeps.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/date_time.h"

namespace tellweir {

struct CookieRecord {
    std::string domain;  // lower case, without a leading '.' (CanonicalCookieDomain)
    std::string path;
    bool secure = false;
    bool hostOnly = false;               // sent to exactly that host, not to hosts below it
    std::string text;                    // the name=value part
    std::optional<std::time_t> expires;  // seconds since 1970 (UTC); none for a session cookie
    DateTime added;                      // local time at which it was stored
};

class CCookieTree {
  public:
    // Tells, for each cookie a walk meets, whether it stays (true) or is dropped (false).
    using Visitor = std::function<bool(const CookieRecord&)>;

    CCookieTree();
    CCookieTree(const CCookieTree&) = delete;
    CCookieTree& operator=(const CCookieTree&) = delete;
    ~CCookieTree();

    // Stores `record` in the node at `components`, creating the nodes on the way, in place of
    // the cookie there of the same name (the text before its first '='), domain (ignoring case)
    // and path; a new cookie goes after the node's others, and when the node already holds
    // `nodeLimit` cookies its oldest one makes room. True when the count grew.
    bool Set(std::span<const std::string_view> components, CookieRecord record,
             std::size_t nodeLimit);

    // Drops the cookie at `components` that `like` would replace. True when there was one.
    bool Erase(std::span<const std::string_view> components, const CookieRecord& like);

    // Calls `visitor` for every cookie of the subtree at `start` (the whole tree when empty),
    // each node before its children, siblings in ascending order of their components, the
    // cookies of one node in the order they were first stored. Nothing happens when `start`
    // does not exist. The visitor must not touch the tree.
    void Walk(std::span<const std::string_view> start, const Visitor& visitor);

    // Drops the cookie stored longest ago; false when there is none.
    bool DropOldest();

    void Clear();
    std::size_t Count() const { return order_.size(); }

  private:
    struct Node;

    Node* Find(std::span<const std::string_view> components) const;
    void PruneUpwards(Node* node);

    std::unique_ptr<Node> root_;
    std::map<std::uint64_t, Node*> order_;  // storing sequence to the cookie's node, oldest first
    std::uint64_t nextSequence_ = 0;
};

}  // namespace tellweir
