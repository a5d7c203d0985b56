// CInfoCache: the remote file information of URLs, kept in a tree keyed by URL segments and
// carried from one program run to the next in "InfoCache.txt". The transfer manager owns the one
// cache of the process: it loads the file at start and saves it at shutdown.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "base/date_time.h"
#include "store/property_set.h"
#include "url/url_address.h"

namespace tellweir {

// One cached entry: the URL it belongs to (address and, in `data`, its path 50), the local
// target 51 of the request it came from, and the file information 600..608, 610, 61 and 103.
struct InfoCacheEntry {
    CUrlAddress address;
    CPropertySet data;
};

class CInfoCache {
  public:
    using Clock = std::function<DateTime()>;
    // Called with the cache's lock held: it must not call back into the cache.
    using Visitor = std::function<void(const InfoCacheEntry&)>;

    // Keys with more segments are not stored: no real URL has that many, and the limit keeps a
    // damaged file from building a deep tree.
    static constexpr std::size_t kMaxKeySegments = 256;

    CInfoCache();
    CInfoCache(const CInfoCache&) = delete;
    CInfoCache& operator=(const CInfoCache&) = delete;
    virtual ~CInfoCache();

    // A request is its address and its property set (path 50, body 104, file information).
    // 1 when the request has no body and a valid, fresh entry exists for its URL: the entry's
    // file information is then copied into the request (missing values as 0 or empty) and the
    // request's content encoding (609) removed. 0 otherwise.
    virtual int Lookup(const CUrlAddress& address, CPropertySet& request);
    // Stores the request's URL, path, local target and file information; 0 when stored,
    // non-zero for a request with a body or a key too deep to keep.
    virtual int Store(const CUrlAddress& address, const CPropertySet& request);
    // Marks the request's entry as unusable (type 0), when there is one.
    virtual void Invalidate(const CUrlAddress& address, const CPropertySet& request);
    virtual void Clear();
    // Visits the valid and fresh entries, parents before children.
    virtual void Enumerate(const Visitor& visitor);

    // Replaces the cache's content with the file's entries; false when the file is missing or
    // cannot be read. Damaged lines are skipped or loaded as unusable entries. A file that
    // exists but cannot be read, or is damaged, is kept (KeepStateFile).
    bool Load(const std::string& path);
    // Writes the valid and fresh entries through a temporary file renamed over `path`, so a
    // failed save leaves the old file intact; false when anything failed, and for a kept file.
    bool Save(const std::string& path);
    // The same on text in memory.
    void LoadText(std::string_view text);
    std::string SaveText();

    // The source of "now" for the freshness rule; the local time when not set.
    void SetClock(Clock clock);

  private:
    struct Node;

    // Callers hold lock_.
    Node* FindLocked(const CUrlAddress& address, const CPropertySet& request, bool create);
    int StoreLocked(const CUrlAddress& address, const CPropertySet& request);
    void ClearLocked();
    void EnumerateLocked(const Visitor& visitor);
    // Loads lines from `next` (false when none is left; `cut` tells of an over-long line).
    void LoadLinesLocked(const std::function<bool(std::string& line, bool& cut)>& next);
    bool IsUsable(const InfoCacheEntry& entry) const;

    std::mutex lock_;
    std::unique_ptr<Node> root_;
    Clock clock_;
};

}  // namespace tellweir
