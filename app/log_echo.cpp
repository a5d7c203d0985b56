// Echoing item logs onto a stream.
#include "app/log_echo.h"

#include <map>

namespace tellweir {

namespace {

// Listeners are plain functions with a value, so the value leads back to the slot.
struct SlotTable {
    std::mutex lock;  // taken inside a log's lock, never around a log call
    std::map<std::int32_t, std::pair<CLogEcho*, void*>> slots;
    std::int32_t next = 1;
};

SlotTable& Slots() {
    static SlotTable table;
    return table;
}

}  // namespace

CLogEcho::CLogEcho(std::FILE* out) : out_(out) {}

CLogEcho::~CLogEcho() {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        // Once this returns no listener call of the log is under way or can start.
        slots_[i].log->RemoveListener(&CLogEcho::OnLogChanged, values_[i]);
        std::lock_guard guard(Slots().lock);
        Slots().slots.erase(values_[i]);
    }
}

void CLogEcho::Watch(const ItemLogPtr& log, std::string name) {
    if (!log) return;
    Slot& slot = slots_.emplace_back();
    slot.log = log;
    slot.prefix = name.empty() ? std::string() : "[" + std::move(name) + "] ";
    // Lines already in the log are echoed first; nothing else writes to it yet when the
    // program watches it, and a line written meanwhile is caught by the listener.
    EchoNewLines(slot);
    std::int32_t value;
    {
        std::lock_guard guard(Slots().lock);
        value = Slots().next++;
        Slots().slots[value] = {this, &slot};
    }
    values_.push_back(value);
    log->AddListener(&CLogEcho::OnLogChanged, value);
}

void CLogEcho::OnLogChanged(std::int32_t value) {
    CLogEcho* echo;
    Slot* slot;
    {
        std::lock_guard guard(Slots().lock);
        const auto found = Slots().slots.find(value);
        if (found == Slots().slots.end()) return;
        echo = found->second.first;
        slot = static_cast<Slot*>(found->second.second);
    }
    echo->EchoNewLines(*slot);
}

void CLogEcho::EchoNewLines(Slot& slot) {
    // Called with the log's lock held, so the text and the counts belong together.
    const LogStats stats = slot.log->GetStats();
    const std::string text = slot.log->GetText();
    const bool open = !text.empty() && text.back() != '\n';
    const std::uint32_t complete = stats.lineCount - (open ? 1 : 0);
    const std::uint64_t ever = std::uint64_t{stats.linesDropped} + complete;
    if (ever <= slot.printed) return;
    std::uint64_t fresh = std::min<std::uint64_t>(ever - slot.printed, complete);
    slot.printed = ever;
    // Find the start of the first fresh line, counting complete lines from the end.
    std::size_t end = open ? text.rfind('\n') + 1 : text.size();
    std::size_t start = end;
    for (std::uint64_t n = 0; n < fresh && start > 0; ++n) {
        const std::size_t previous = start >= 2 ? text.rfind('\n', start - 2) : std::string::npos;
        start = previous == std::string::npos ? 0 : previous + 1;
    }
    std::lock_guard guard(outLock_);
    while (start < end) {
        std::size_t lineEnd = text.find('\n', start);
        std::string_view line(text.data() + start, lineEnd - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\t' || line.back() == ' '))
            line.remove_suffix(1);
        std::fprintf(out_, "%.*s%.*s\n",
                     static_cast<int>(line.empty() && !slot.prefix.empty() ? slot.prefix.size() - 1
                                                                           : slot.prefix.size()),
                     slot.prefix.data(), static_cast<int>(line.size()), line.data());
        start = lineEnd + 1;
    }
    std::fflush(out_);
}

}  // namespace tellweir
