// CMonitorTask events and actions: choosing the event of a run, running its actions, the default
// event table and the description of the table for the dialogs.
#include "core/action_diff_file.h"
#include "core/action_line.h"
#include "core/action_runner.h"
#include "core/default_events.h"
#include "core/event_table.h"
#include "core/local_clock.h"
#include "core/monitor_task.h"
#include "log/error_words.h"
#include "url/url_mask.h"

namespace tellweir {

void CMonitorTask::HandleEvent(int event) {
    if (!IsEventIndex(event)) return;
    TaskLock g = LockTask();
    WriteLog(kLevelDetail, "HandleEvent: %s.", EventDisplayName(event));
    if (!EventAppliesToKind(event, GetKind())) return;
    // The last raised event that has actions wins; until one has, the first one raised stands.
    // A recovering run raises UP before OK, and UP is the news: it counts as raised after OK.
    const auto hasActions = [this](int e) {
        return events_.count(std::string(EventHandlerName(e))) != 0;
    };
    if (event == kEventOk && chosenEvent_ == kEventUp && hasActions(kEventUp)) return;
    if (chosenEvent_ < 0 || hasActions(event)) chosenEvent_ = event;
}

namespace {

// The lazy writer of a run's diff file: written when the first program is started, and once.
std::function<std::shared_ptr<const CActionDiffFile>()> RunDiffWriter(std::string folder,
                                                                      std::string taskName,
                                                                      std::int32_t version,
                                                                      ItemLogPtr log) {
    struct Written {
        bool tried = false;
        std::shared_ptr<const CActionDiffFile> file;
    };
    return [written = std::make_shared<Written>(), folder = std::move(folder),
            taskName = std::move(taskName), version, log = std::move(log)]() {
        if (written->tried) return written->file;
        written->tried = true;
        std::string error;
        written->file = WriteChangeDiffFile(folder, taskName, version, error);
        if (!error.empty() && log)
            log->WriteFormat(1, "Cannot write the difference for TELLWEIR_DIFF: %s.", error);
        return written->file;
    };
}

}  // namespace

void CMonitorTask::RunActions(IDesktopPort& desktop) {
    std::vector<std::string> lines;
    ItemLogPtr log;
    ActionContext context;
    {
        TaskLock g = LockTask();
        if (chosenEvent_ < 0) return;
        const auto it = events_.find(std::string(EventHandlerName(chosenEvent_)));
        lines = SplitActionLines(it == events_.end() ? ActionName(kActionNone) : it->second);
        pendingEngineActions_.clear();
        const char* format = lines.size() == 1 ? "Last monitor event: %s (%s), %d action."
                                               : "Last monitor event: %s (%s), %d actions.";
        WriteLog(0, format, EventDisplayName(chosenEvent_), ResultText(lastResult_), lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i)
            WriteLog(0, "Action %d: %s.", i + 1, MaskUrlPasswordsInText(lines[i]));
        log = GetLog();
        context.taskName = GetName();
        context.url = MaskUrlPassword(GetUri());
        context.event = std::string(EventDisplayName(chosenEvent_));
        context.time = LocalNow();
        // Only a version with one before it is a change (the first one has no summary).
        if (const ChangeNote change = GetRunChange(); !change.summary.empty()) {
            context.change = change;
            context.diffFile =
                RunDiffWriter(GetVersionFolder(), context.taskName, context.change.version, log);
        }
    }
    // Actions may block (a tone, the shell's reply), so they run outside the task lock.
    for (const std::string& line : lines) {
        if (!RunActionLine(line, log.get(), context, desktop)) continue;
        std::string parameter;
        const int code = ParseActionLine(line, parameter);
        TaskLock g = LockTask();
        pendingEngineActions_.push_back(code);
    }
}

void CMonitorTask::TakeEngineActions(std::vector<int>& codes) {
    TaskLock g = LockTask();
    codes.insert(codes.end(), pendingEngineActions_.begin(), pendingEngineActions_.end());
    pendingEngineActions_.clear();
}

void CMonitorTask::ApplyDefaultEvents() {
    TaskLock g = LockTask();
    events_.clear();
    for (int event : EventsForKind(GetKind())) {
        std::string text = DefaultEventActions(event);
        if (!text.empty()) events_[std::string(EventHandlerName(event))] = std::move(text);
    }
    RenewStamp();
}

void CMonitorTask::DescribeEvents(const EventWithActionsSink& withActions,
                                  const EventWithoutActionsSink& withoutActions) const {
    const int kind = GetKind();
    const EventTable events = GetEventTable();
    for (int event : EventsForKind(kind)) {
        const auto it = events.find(std::string(EventHandlerName(event)));
        if (it == events.end()) {
            if (withoutActions) withoutActions(event);
            continue;
        }
        std::string summary;
        for (const std::string& line : SplitActionLines(it->second)) {
            std::string parameter;
            if (!summary.empty()) summary += "; ";
            summary += ActionName(ParseActionLine(line, parameter));
        }
        if (withActions) withActions(event, it->second, summary);
    }
}

}  // namespace tellweir
