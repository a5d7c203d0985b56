// Reading "History.xml" into the URL history.
#include "store/url_history.h"

#include "base/ascii_text.h"
#include "store/state_file.h"
#include "store/xml_node.h"
#include "store/xml_parser.h"

namespace tellweir {

CUrlHistory& CUrlHistory::Instance() {
    static CUrlHistory history;
    return history;
}

void CUrlHistory::Insert(std::size_t position, std::string_view url) {
    std::lock_guard g(lock_);
    position = std::min(position, items_.size());
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(position), std::string(url));
}

std::vector<std::string> CUrlHistory::Items() const {
    std::lock_guard g(lock_);
    return items_;
}

void CUrlHistory::Clear() {
    std::lock_guard g(lock_);
    items_.clear();
}

bool ReadHistoryFile(const std::string& path, CUrlHistory& history) {
    const StateFileRead read = ReadStateFile(path, kMaxHistoryFileBytes);
    if (read.missing) return false;
    if (!read.Read()) {
        KeepStateFile(path, read.problem);
        return false;
    }
    CXmlNode root;
    CStringSource source(read.text);
    const std::string damage = DescribeXmlDamage(CXmlParser().ParseDocument(root, source));
    if (!damage.empty()) KeepStateFile(path, damage);
    std::vector<CXmlNode*> items;
    root.CollectByName("Item", true, true, items);
    std::size_t next = 0;
    for (const CXmlNode* item : items) {
        bool isUri = false;
        item->EnumAttributes(
            [&](std::string_view name) {
                isUri = name == "URI";
                return true;
            },
            [&](std::string_view value) {
                const std::string_view url = TrimAscii(value, IsBlankOrLineBreak);
                if (isUri && !url.empty()) history.Insert(next++, url);
                return true;
            });
    }
    return true;
}

}  // namespace tellweir
