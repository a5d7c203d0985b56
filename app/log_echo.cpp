// Echoing item logs onto a stream.
#include "app/log_echo.h"

#include "base/ascii_text.h"

namespace tellweir {

CLogEcho::CLogEcho(std::FILE* out) : out_(out) {}

CLogEcho::~CLogEcho() {
    // Once RemoveObserver returns no call of the log is under way or can start.
    for (auto& [id, slot] : slots_)
        slot.log->RemoveObserver(this);
}

CLogEcho::Slot* CLogEcho::AddSlot(const ItemLogPtr& log, std::string name) {
    if (!log) return nullptr;
    std::lock_guard guard(slotsLock_);
    const auto [it, added] = slots_.try_emplace(log->GetId());
    if (!added) return nullptr;
    Slot& slot = it->second;
    slot.log = log;
    if (!name.empty()) {
        // Built in place: GCC 12 warns wrongly of overlapping copies in "[" + name.
        name.insert(0, 1, '[');
        name += "] ";
    }
    slot.prefix = std::move(name);
    return &slot;
}

void CLogEcho::Watch(const ItemLogPtr& log, std::string name) {
    Slot* slot = AddSlot(log, std::move(name));
    if (slot == nullptr) return;
    // Lines already in the log are echoed first; nothing else writes to it yet when the
    // program watches it, and a line written meanwhile comes with the next change.
    EchoNewLines(*slot);
    log->AddObserver(this);
}

void CLogEcho::WatchAll(const std::vector<std::pair<ItemLogPtr, std::string>>& logs) {
    for (const auto& [log, name] : logs) {
        Slot* slot = AddSlot(log, name);
        if (slot == nullptr) continue;
        EchoNewLines(*slot, false);
        log->AddObserver(this);
    }
    std::lock_guard guard(outLock_);
    std::fflush(out_);
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

void CLogEcho::EchoNewLines(Slot& slot, bool flush) {
    // Called with the log's lock held, so the text and the counts belong together. A log only
    // grows at its end and loses lines at its front, so what follows the bytes already echoed
    // is exactly what is new, and only that is read: the cost of a change is that of its own
    // lines, whatever the log's length. An unfinished last line waits for its end.
    const LogStats stats = slot.log->GetStats();
    if (stats.bytesDropped + stats.textLength <= slot.echoed) return;
    const std::size_t from = slot.echoed > stats.bytesDropped
                                 ? static_cast<std::size_t>(slot.echoed - stats.bytesDropped)
                                 : 0;
    std::string text;
    slot.log->ReadText(text, from, stats.textLength - from);
    const std::size_t lastFeed = text.rfind('\n');
    if (lastFeed == std::string::npos) return;
    slot.echoed = stats.bytesDropped + from + lastFeed + 1;
    std::size_t start = 0;
    const std::size_t end = lastFeed + 1;
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
    if (flush) std::fflush(out_);
}

}  // namespace tellweir
