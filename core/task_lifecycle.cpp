// CMonitorTask lifecycle: preparing its paths and log, resuming, stopping, copying.
#include "core/monitor_task.h"

#include <optional>
#include <utility>
#include <vector>

#include "core/event_table.h"
#include "core/local_clock.h"
#include "core/task_cache_path.h"
#include "core/transfer_link.h"
#include "history/version_store.h"
#include "log/log_registry.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "transfer/local_fs.h"
#include "url/local_path.h"
#include "url/url_address.h"
#include "url/url_mask.h"

namespace tellweir {
namespace {

bool IsNullUri(std::string_view uri) {
    return uri.starts_with("<null");
}

std::string CacheFolder() {
    return AppSettings().String(setting::kCacheFolder);
}

void DeleteIfPresent(const std::string& path) {
    if (!path.empty() && IsFile(path)) DeleteFile(path);
}

}  // namespace

bool CMonitorTask::Prepare(bool create, const std::unordered_set<std::string>* takenSamples) {
    TaskLock g = LockTask();
    const std::string uri = GetUri();
    const bool isNull = IsNullUri(uri);
    const bool isLocal = IsLocalPath(uri);
    if (!isNull && !isLocal) {
        CUrlAddress address;
        std::string path;
        if (!ParseUrl(uri, true, address, path)) return false;
    }
    if (create) SetTime(task::kCreateTime, LocalNow());

    const std::string cacheFolder = CacheFolder();
    std::string base = CacheBasePath(cacheFolder, uri, GetTime(task::kCreateTime));
    if (create && takenSamples != nullptr && !base.empty() && takenSamples->count(base) != 0) {
        const std::string shared = base;
        for (int n = 2; takenSamples->count(base) != 0; ++n)
            base = shared + "_" + std::to_string(n);
    }
    if (!isNull) {
        if (GetSamplePath().empty()) SetString(task::kSamplePath, base);
        if (GetInfoPath().empty()) SetString(task::kInfoPath, base + ".info");
        SetString(task::kObjectPath, isLocal ? uri : TaskDownloadPath(cacheFolder, uri));
    } else {
        SetString(task::kSamplePath, "");
        SetString(task::kInfoPath, "");
    }
    if (create) {
        // The first run starts afresh.
        DeleteIfPresent(GetSamplePath());
        DeleteIfPresent(GetInfoPath());
        CVersionStore(GetVersionFolder()).RemoveAll();
    }
    {
        // Cheap: file names and the viewed mark, not the versions themselves.
        const CVersionStore versions(GetVersionFolder());
        SetInt(task::kNewestVersion, versions.NewestNumber());
        SetInt(task::kViewedVersion, versions.Viewed());
    }

    // A task prepared again keeps its log rather than leaving the old one in the registry.
    if (!Int(task::kLogId)) SetInt(task::kLogId, CLogRegistry::Instance().CreateLog());
    WriteLog(0, "Monitor task name: \"%s\", path: \"%s\".", GetName(), MaskUrlPassword(uri));
    if (create) {
        WriteLog(0, "Task created: %s.", FormatTaskTime(GetTime(task::kCreateTime)));
    } else {
        WriteLog(0, "Task restored: %s.", FormatTaskTime(LocalNow()));
    }
    return true;
}

bool CMonitorTask::Resume(bool initial) {
    TaskLock g = LockTask();
    if (state_ == TaskState::Waiting || state_ == TaskState::Working) return false;
    if (Int(task::kSchedule) == task::kScheduleManual) {
        // A manual task runs only when the user asks for it, never on load or add.
        if (initial) return false;
        SetTime(task::kNextStartTime, LocalNow());
    }
    WriteLog(0, "Task resumed. Next start time: %s.",
             FormatTaskTime(GetTime(task::kNextStartTime)));
    WriteSeparator();
    state_ = TaskState::Waiting;
    SetInt(task::kStopped, 0);
    RenewStamp();
    return true;
}

bool CMonitorTask::StopRun(std::vector<std::int32_t>& transferIds) {
    TaskLock g = LockTask();
    CancelSampleCheck();
    if (const std::int32_t id = Int(task::kTransferId)) {
        transferIds.push_back(id);
        SetInt(task::kTransferId, 0);
    }
    if (state_ != TaskState::Waiting && state_ != TaskState::Working) return false;
    state_ = TaskState::Idle;
    SetInt(task::kStopped, 1);
    RenewStamp();
    WriteLog(0, "Monitor task stopped.");
    return true;
}

void CMonitorTask::StopAndCancel(ITransferLink& transfers) {
    std::vector<std::int32_t> ids;
    StopRun(ids);
    if (ids.empty()) return;
    transfers.SetTransfersLog(ids, 0);
    transfers.RemoveTransfers(ids);
}

void CMonitorTask::Assign(const CMonitorTask& source) {
    if (&source == this) return;
    // Both task locks at once, in a fixed order: a copy assigned back to its original while the
    // original is assigned elsewhere must not deadlock.
    std::scoped_lock both(lock_, source.lock_);
    const DateTime shownBefore = GetNextStartTimeShown();

    // An unlocked snapshot keeps the two property sets' own locks from ever being held together.
    CPropertySet values;
    values.Merge(source, true);
    Merge(values, false,
          [](PropertyId id) { return id != task::kTransferId && id != task::kLogId; });
    // A sparse set drops zero and empty values, so a persistent property the source has cleared
    // is absent there; clear it here too, or an edit back to zero would be lost.
    for (const CSettingDef& def : task::TaskPropertyTable().Entries()) {
        if (!values.Has(def.id)) Remove(def.id);
    }
    state_ = source.state_;
    lastResult_ = source.lastResult_;
    // After the state: the stamp also tells the engine's wake queue of the new state and start.
    RenewStamp();

    events_.clear();
    const int sourceKind = source.GetKind();
    for (const auto& [handler, text] : source.events_) {
        if (EventAppliesToKind(FindEvent(handler), sourceKind)) events_[handler] = text;
    }

    const DateTime shownAfter = GetNextStartTimeShown();
    if (shownAfter != shownBefore) {
        WriteLog(0, "Next start time changed: %s.", FormatTaskTime(shownAfter));
    }
}

void CMonitorTask::ApplyEdit(TaskEditPart part, const CMonitorTask& opened,
                             const CMonitorTask& edited) {
    if (&edited == this) return;
    // The copies are read before this task is locked: no two task locks are held at once.
    const EventTable openedEvents = opened.GetEventTable();
    const EventTable editedEvents = edited.GetEventTable();
    const int editedKind = edited.GetKind();
    static constexpr PropertyId kScheduleIds[] = {task::kSchedule, task::kScheduleWeekDays,
                                                  task::kScheduleRepeatValue,
                                                  task::kScheduleRepeatUnit, task::kNextStartTime};
    std::vector<std::pair<PropertyId, std::optional<PropertyValue>>> changed;
    if (part == TaskEditPart::Schedule) {
        for (PropertyId id : kScheduleIds) {
            std::optional<PropertyValue> value = edited.GetValue(id);
            if (value != opened.GetValue(id)) changed.emplace_back(id, std::move(value));
        }
    }

    TaskLock g = LockTask();
    const DateTime shownBefore = GetNextStartTimeShown();
    if (part == TaskEditPart::Events && editedEvents != openedEvents) {
        events_.clear();
        for (const auto& [handler, text] : editedEvents) {
            if (EventAppliesToKind(FindEvent(handler), editedKind)) events_[handler] = text;
        }
    }
    for (auto& [id, value] : changed) {
        // A sparse set holds no zero or empty value: one the dialog cleared is removed.
        if (value)
            SetValue(id, std::move(*value));
        else
            Remove(id);
    }
    // Also tells the engine's wake queue of a new "NextStartTime".
    RenewStamp();
    const DateTime shownAfter = GetNextStartTimeShown();
    if (shownAfter != shownBefore) {
        WriteLog(0, "Next start time changed: %s.", FormatTaskTime(shownAfter));
    }
}

RefPtr<CMonitorTask> CMonitorTask::Clone() const {
    RefPtr<CMonitorTask> copy = Create();
    copy->Assign(*this);
    return copy;
}

}  // namespace tellweir
