// The info cache tree and its operations.
#include "transfer/info_cache.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "transfer/file_info.h"
#include "transfer/info_cache_line.h"

namespace tellweir {

struct CInfoCache::Node {
    using Children = std::unordered_map<std::string, std::unique_ptr<Node>>;
    std::unique_ptr<Children> children;  // made on the first child
    std::unique_ptr<InfoCacheEntry> entry;
};

namespace {

// The file information copied between requests and entries: 64-bit, 32-bit and text values.
constexpr PropertyId kInt64Fields[] = {prop::kSize};
constexpr PropertyId kIntFields[] = {prop::kType, prop::kSizeKnown};
constexpr PropertyId kTextFields[] = {
    prop::kContentLocation, prop::kContentType, prop::kTimeModified, prop::kAdded, prop::kETag,
    prop::kRedirect,        prop::kRedirPath};

// Copies every field; one the source lacks becomes 0 or empty (which a sparse set drops).
void CopyFileInfo(const CPropertySet& from, CPropertySet& to) {
    for (PropertyId id : kIntFields)
        to.SetInt(id, from.Int(id));
    for (PropertyId id : kInt64Fields)
        to.SetInt64(id, from.Int64(id));
    for (PropertyId id : kTextFields)
        to.SetString(id, from.String(id));
    to.Remove(prop::kContentEncoding);
}

// Splits the key at '/' and '\', skipping empty segments; false when it has too many.
bool SplitKey(std::string_view key, std::vector<std::string_view>& segments) {
    std::size_t pos = 0;
    while (pos < key.size()) {
        const std::size_t end = std::min(key.find_first_of("/\\", pos), key.size());
        if (end > pos) {
            if (segments.size() == CInfoCache::kMaxKeySegments) return false;
            segments.push_back(key.substr(pos, end - pos));
        }
        pos = end + 1;
    }
    return true;
}

}  // namespace

CInfoCache::CInfoCache() : clock_([] { return DateTime::Now(); }) {}

CInfoCache::~CInfoCache() {
    ClearLocked();
}

void CInfoCache::SetClock(Clock clock) {
    std::lock_guard guard(lock_);
    clock_ = clock ? std::move(clock) : Clock([] { return DateTime::Now(); });
}

bool CInfoCache::IsUsable(const InfoCacheEntry& entry) const {
    return HasKnownFileType(entry.data) &&
           IsAddedTimeFresh(entry.data.String(prop::kAdded), clock_());
}

CInfoCache::Node* CInfoCache::FindLocked(const CUrlAddress& address, const CPropertySet& request,
                                         bool create) {
    const std::string key = InfoCacheUrl(address, request.String(prop::kPath));
    std::vector<std::string_view> segments;
    if (!SplitKey(key, segments)) return nullptr;
    if (!root_) {
        if (!create) return nullptr;
        root_ = std::make_unique<Node>();
    }
    Node* node = root_.get();
    for (std::string_view segment : segments) {
        if (!create) {
            if (!node->children) return nullptr;
            const auto found = node->children->find(std::string(segment));
            if (found == node->children->end()) return nullptr;
            node = found->second.get();
            continue;
        }
        if (!node->children) node->children = std::make_unique<Node::Children>(10);
        std::unique_ptr<Node>& child = (*node->children)[std::string(segment)];
        if (!child) child = std::make_unique<Node>();
        node = child.get();
    }
    return node;
}

int CInfoCache::Lookup(const CUrlAddress& address, CPropertySet& request) {
    std::lock_guard guard(lock_);
    if (request.Has(prop::kBody)) return 0;
    const Node* node = FindLocked(address, request, false);
    if (!node || !node->entry || !IsUsable(*node->entry)) return 0;
    CopyFileInfo(node->entry->data, request);
    return 1;
}

int CInfoCache::Store(const CUrlAddress& address, const CPropertySet& request) {
    std::lock_guard guard(lock_);
    return StoreLocked(address, request);
}

int CInfoCache::StoreLocked(const CUrlAddress& address, const CPropertySet& request) {
    if (request.Has(prop::kBody)) return 1;
    Node* node = FindLocked(address, request, true);
    if (!node) return 1;
    if (!node->entry) node->entry = std::make_unique<InfoCacheEntry>();
    InfoCacheEntry& entry = *node->entry;
    entry.address = address;
    entry.data.SetString(prop::kPath, request.String(prop::kPath));
    entry.data.SetString(prop::kLocalFile, request.String(prop::kLocalFile));
    CopyFileInfo(request, entry.data);
    return 0;
}

void CInfoCache::Invalidate(const CUrlAddress& address, const CPropertySet& request) {
    std::lock_guard guard(lock_);
    Node* node = FindLocked(address, request, false);
    if (node && node->entry) node->entry->data.SetInt(prop::kType, 0);
}

void CInfoCache::Clear() {
    std::lock_guard guard(lock_);
    ClearLocked();
}

void CInfoCache::ClearLocked() {
    // Nodes are taken apart one at a time, so a deep tree never recurses on the stack.
    std::vector<std::unique_ptr<Node>> pending;
    if (root_) pending.push_back(std::move(root_));
    while (!pending.empty()) {
        std::unique_ptr<Node> node = std::move(pending.back());
        pending.pop_back();
        if (!node->children) continue;
        for (auto& [segment, child] : *node->children)
            pending.push_back(std::move(child));
    }
}

void CInfoCache::Enumerate(const Visitor& visitor) {
    std::lock_guard guard(lock_);
    EnumerateLocked(visitor);
}

void CInfoCache::EnumerateLocked(const Visitor& visitor) {
    if (!root_) return;
    std::vector<const Node*> pending{root_.get()};
    while (!pending.empty()) {
        const Node* node = pending.back();
        pending.pop_back();
        if (node->entry && IsUsable(*node->entry)) visitor(*node->entry);
        if (!node->children) continue;
        for (const auto& [segment, child] : *node->children)
            pending.push_back(child.get());
    }
}

}  // namespace tellweir
