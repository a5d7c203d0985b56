// Cache paths of monitor tasks.
#include "core/task_cache_path.h"

#include <atomic>

#include "base/ascii_text.h"
#include "base/text_format.h"
#include "transfer/file_path.h"
#include "url/download_path.h"
#include "url/local_path.h"
#include "url/url_address.h"

namespace tellweir {
namespace {

std::atomic<std::int32_t> g_downloadCounter{0};

std::string LocalName(std::string_view uri) {
    const std::size_t last = uri.find_last_of("/\\");
    return last == std::string_view::npos ? std::string() : std::string(uri.substr(last + 1));
}

std::string RemoteName(std::string path) {
    if (path.empty() || path.back() == '/') path += "[default]";
    const std::size_t query = path.find('?');
    if (query != std::string::npos) path = path.substr(0, query) + "?-params";
    return EscapeFileName(path);
}

std::string SiteFolder(const CUrlAddress& address) {
    std::string site(ProtocolName(address.protocol));
    site += '/';
    if (!address.user.empty()) site += address.user + "@";
    site += Format("%s-%d", address.host, address.port);
    return site;
}

}  // namespace

std::uint32_t CacheNameHash(std::string_view text) {
    std::uint32_t h = 0;
    for (char c : text)
        h = h * 33u +
            static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
    return h;
}

std::string CacheBasePath(std::string_view cacheFolder, std::string_view uri, DateTime created) {
    if (cacheFolder.empty()) return {};
    const std::string folder(TrimTrailingPathSeparators(cacheFolder));
    const std::string stamp = created.Format("%Y_%m_%d_%H_%M_%S");
    if (IsLocalPath(uri)) {
        const std::string name = LocalName(uri);
        return Format("%s/locals/%s_%.8X%.8X_%s", folder, stamp, CacheNameHash(uri),
                      CacheNameHash(name), name);
    }
    CUrlAddress address;
    std::string path;
    if (!ParseUrl(uri, true, address, path)) return {};
    const std::string name = RemoteName(path);
    return Format("%s/remotes/%s/%s_%.8X%.8X_%s", folder, SiteFolder(address), stamp,
                  CacheNameHash(uri), CacheNameHash(name), name);
}

std::string TaskDownloadPath(std::string_view cacheFolder, std::string_view uri) {
    if (cacheFolder.empty()) return {};
    CUrlAddress address;
    std::string path;
    if (!ParseUrl(uri, true, address, path)) return {};
    const std::int32_t counter = g_downloadCounter.fetch_add(1, std::memory_order_relaxed);
    return MakeDownloadPath(JoinPath(cacheFolder, "Downloads"), address, path, counter);
}

}  // namespace tellweir
