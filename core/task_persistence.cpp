// CMonitorTask in the queue file: the persistent properties and the event table of one "Monitor"
// element.
#include <string>

#include "core/action_line.h"
#include "core/event_table.h"
#include "core/monitor_task.h"

namespace tellweir {
namespace {

// A number of at least two digits, as "%.2d" writes a positive one; built by hand because a
// queue load makes several for every task.
std::string TwoDigits(std::int32_t n) {
    std::string digits = std::to_string(n);
    if (digits.size() < 2) digits.insert(0, 1, '0');
    return digits;
}

std::string EventPrefix(int n) {
    return "Event " + TwoDigits(n) + "/";
}

std::string ActionKey(const std::string& prefix, std::int32_t k) {
    return prefix + "Action " + TwoDigits(k);
}

// Prompt, beep, light icon and the engine-level actions count once per event; a second line of
// the same code is dropped. Sounds, programs and shell opens may repeat.
bool TakenOncePerEvent(int code) {
    return code == kActionPrompt || code == kActionBeep || code == kActionLightIcon ||
           IsEngineAction(code);
}

// Reads entry `n` of the event table; false when the element does not hold a valid one.
bool ReadEventEntry(CXmlNode& element, int n, int& event, std::string& text) {
    const std::string prefix = EventPrefix(n);
    std::string name;
    if (!element.ReadString(prefix + "Name", name)) return false;
    event = FindEvent(name);
    if (event < 0) return false;
    std::int32_t count = 0;
    if (!element.ReadInt(prefix + "Actions Count", count) || count < 0) return false;

    std::vector<std::string> lines;
    bool seen[kActionCount] = {};
    for (std::int32_t k = 1; k <= count; ++k) {
        std::string line;
        if (!element.ReadString(ActionKey(prefix, k), line)) return false;
        std::string parameter;
        const int code = ParseActionLine(line, parameter);
        if (TakenOncePerEvent(code)) {
            if (seen[code]) continue;
            seen[code] = true;
        }
        lines.push_back(std::move(line));
    }
    text = JoinActionLines(lines);
    return true;
}

}  // namespace

void CMonitorTask::Save(CXmlNode& element) const {
    TaskLock g = LockTask();
    task::TaskPropertyTable().SaveTo(element, *this);
    element.WriteInt("Events Count", static_cast<std::int32_t>(events_.size()));
    int n = 0;
    for (const auto& [handler, text] : events_) {
        const std::string prefix = EventPrefix(++n);
        element.WriteString(prefix + "Name", handler);
        const std::vector<std::string> lines = SplitActionLines(text);
        element.WriteInt(prefix + "Actions Count", static_cast<std::int32_t>(lines.size()));
        for (std::size_t k = 0; k < lines.size(); ++k) {
            // An empty value reads back as a missing key, which would make the whole task fail
            // to load; "None" is what an empty line means anyway.
            const std::string_view line = lines[k].empty() ? ActionName(kActionNone) : lines[k];
            element.WriteString(ActionKey(prefix, static_cast<std::int32_t>(k + 1)), line);
        }
    }
}

bool CMonitorTask::Restore(CXmlNode& element) {
    TaskLock g = LockTask();
    // The log belongs to the task object, not to the stored state: keep it across the reload.
    const std::int32_t logId = Int(task::kLogId);
    Clear();
    if (logId) SetInt(task::kLogId, logId);
    state_ = TaskState::Idle;
    UpdateWake();
    chosenEvent_ = -1;
    events_.clear();
    pendingEngineActions_.clear();

    task::TaskPropertyTable().LoadFrom(element, *this);
    std::int32_t count = 0;
    if (!element.ReadInt("Events Count", count) || count < 1) return false;
    for (std::int32_t n = 1; n <= count; ++n) {
        int event = -1;
        std::string text;
        if (!ReadEventEntry(element, n, event, text)) return false;
        events_[std::string(EventHandlerName(event))] = std::move(text);
    }
    if (!Prepare(false)) return false;
    if (Int(task::kStopped) == 0) Resume(true);
    return true;
}

}  // namespace tellweir
