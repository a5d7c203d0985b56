// The URL history: addresses the user typed before, offered again by the new-task dialog. The
// list is filled from "History.xml" at start-up; the desktop program writes it back at exit.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tellweir {

class CUrlHistory {
  public:
    // The list of the process, created on first use.
    static CUrlHistory& Instance();

    void Insert(std::size_t position, std::string_view url);
    std::vector<std::string> Items() const;
    void Clear();

  private:
    mutable std::mutex lock_;
    std::vector<std::string> items_;
};

// A larger history file is refused unread: the list holds at most a thousand addresses.
inline constexpr std::size_t kMaxHistoryFileBytes = 16u << 20;

// Puts the "URI" attribute of every "Item" element of the file, trimmed and not empty, at the
// front of `history`, in file order. False when the file is missing or cannot be read; a file
// that exists but cannot be read, or is damaged (whatever could be read is taken), is kept
// (KeepStateFile), which says so once.
bool ReadHistoryFile(const std::string& path, CUrlHistory& history);

}  // namespace tellweir
