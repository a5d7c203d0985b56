// Echoing item logs onto a stream.
#include "app/log_echo.h"

#include <map>

#include "base/ascii_text.h"

namespace tellweir {

CLogEcho::CLogEcho(std::FILE* out) : out_(out) {}

CLogEcho::~CLogEcho() {
    // Once RemoveObserver returns no call of the log is under way or can start.
    for (auto& [id, slot] : slots_)
        slot.log->RemoveObserver(this);
}

void CLogEcho::Watch(const ItemLogPtr& log, std::string name) {
    if (!log) return;
    Slot* slot;
    {
        std::lock_guard guard(slotsLock_);
        const auto [it, added] = slots_.try_emplace(log->GetId());
        if (!added) return;
        slot = &it->second;
        slot->log = log;
        slot->prefix = name.empty() ? std::string() : "[" + std::move(name) + "] ";
    }
    // Lines already in the log are echoed first; nothing else writes to it yet when the
    // program watches it, and a line written meanwhile comes with the next change.
    EchoNewLines(*slot);
    log->AddObserver(this);
}

void CLogEcho::LogChanged(std::int32_t logId) {
    Slot* slot;
    {
        std::lock_guard guard(slotsLock_);
        const auto found = slots_.find(logId);
        if (found == slots_.end()) return;
        slot = &found->second;
    }
    EchoNewLines(*slot);
}

void CLogEcho::EchoNewLines(Slot& slot) {
    // Called with the log's lock held, so the text and the counts belong together. Only the end
    // of the text is read, in a window that grows until it holds every fresh line: copying the
    // whole log for each line written would cost in proportion to the log's length.
    const LogStats stats = slot.log->GetStats();
    std::string text;
    std::size_t start = 0, end = 0;
    for (std::size_t window = 4096;; window *= 4) {
        const std::size_t from = stats.textLength > window ? stats.textLength - window : 0;
        slot.log->ReadText(text, from, stats.textLength - from);
        const bool open = !text.empty() && text.back() != '\n';
        const std::uint32_t complete = stats.lineCount - (open ? 1 : 0);
        const std::uint64_t ever = std::uint64_t{stats.linesDropped} + complete;
        if (ever <= slot.printed) return;
        const std::uint64_t fresh = std::min<std::uint64_t>(ever - slot.printed, complete);
        // Find the start of the first fresh line, counting complete lines from the end.
        const std::size_t lastFeed = text.rfind('\n');
        if (open && lastFeed == std::string::npos && from > 0) continue;
        end = open ? lastFeed + 1 : text.size();
        start = end;
        bool reachedFront = false;
        for (std::uint64_t n = 0; n < fresh && start > 0; ++n) {
            const std::size_t previous =
                start >= 2 ? text.rfind('\n', start - 2) : std::string::npos;
            reachedFront = previous == std::string::npos;
            start = reachedFront ? 0 : previous + 1;
        }
        // A line that begins before the window needs a larger one.
        if (reachedFront && from > 0) continue;
        slot.printed = ever;
        break;
    }
    std::lock_guard guard(outLock_);
    while (start < end) {
        std::size_t lineEnd = text.find('\n', start);
        // The line holds no line feed, so this drops exactly its trailing CR, tabs and blanks.
        const std::string_view line = TrimTrailingAscii(
            std::string_view(text.data() + start, lineEnd - start), IsBlankOrLineBreak);
        std::fprintf(out_, "%.*s%.*s\n",
                     static_cast<int>(line.empty() && !slot.prefix.empty() ? slot.prefix.size() - 1
                                                                           : slot.prefix.size()),
                     slot.prefix.data(), static_cast<int>(line.size()), line.data());
        start = lineEnd + 1;
    }
    std::fflush(out_);
}

}  // namespace tellweir
