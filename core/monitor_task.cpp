// CMonitorTask: creation, accessors, the event table and the task's log.
#include "core/monitor_task.h"

#include "core/event_table.h"
#include "core/local_clock.h"
#include "core/sample_check.h"
#include "core/wake_queue.h"
#include "log/log_registry.h"
#include "url/local_path.h"
#include "url/protocol.h"

namespace tellweir {

namespace {

// Any id no table or run uses: adding 0 to it changes no value but renews the change stamp.
constexpr PropertyId kStampOnlyId = 0xFFFF;

}  // namespace

CMonitorTask::CMonitorTask() : CPropertySet(Locking::ThreadSafe), wakeSecond_(CWakeQueue::kNever) {}

CMonitorTask::~CMonitorTask() = default;

RefPtr<CMonitorTask> CMonitorTask::Create() {
    auto task = RefPtr<CMonitorTask>::Adopt(new CMonitorTask());
    task::TaskPropertyTable().ApplyDefaults(*task);
    task->SetTime(task::kNextStartTime, LocalNow());
    return task;
}

void CMonitorTask::SetName(std::string_view name) {
    TaskLock g = LockTask();
    SetString(task::kName, name);
}

TaskState CMonitorTask::GetState() const {
    TaskLock g = LockTask();
    return state_;
}

void CMonitorTask::SetState(TaskState state) {
    TaskLock g = LockTask();
    state_ = state;
    RenewStamp();
}

TransferResult CMonitorTask::GetLastResult() const {
    TaskLock g = LockTask();
    return lastResult_;
}

void CMonitorTask::SetLastResult(TransferResult result) {
    TaskLock g = LockTask();
    lastResult_ = result;
}

TransferResult CMonitorTask::GetPreviousResult() const {
    TaskLock g = LockTask();
    return previousResult_;
}

void CMonitorTask::SetPreviousResult(TransferResult result) {
    TaskLock g = LockTask();
    previousResult_ = result;
}

int CMonitorTask::GetChosenEvent() const {
    TaskLock g = LockTask();
    return chosenEvent_;
}

void CMonitorTask::ResetRunEvents() {
    TaskLock g = LockTask();
    chosenEvent_ = -1;
    pendingEngineActions_.clear();
}

void CMonitorTask::RenewStamp() {
    AddInt(kStampOnlyId, 0);
    // Every change of state renews the stamp.
    UpdateWake();
}

int CMonitorTask::KindOfUri(std::string_view uri) {
    if (uri.starts_with("<null")) return kKindNull;
    if (IsLocalPath(uri)) return kKindLocal;
    return static_cast<int>(DetectProtocol(uri, true).id);
}

int CMonitorTask::GetKind() const {
    return KindOfUri(GetUri());
}

DateTime CMonitorTask::GetNextStartTimeShown() const {
    TaskLock g = LockTask();
    if (state_ != TaskState::Waiting && state_ != TaskState::Working) return {};
    return GetTime(task::kNextStartTime);
}

DateTime CMonitorTask::GetTime(PropertyId id) const {
    const std::optional<PropertyValue> value = GetValue(id);
    if (!value) return {};
    if (const TimeValue* t = value->get_if<TimeValue>()) return {t->days};
    if (const double* d = value->get_if<double>()) return {*d};
    // The setting table keeps date-times as the raw bits of the day count.
    return DateTime::FromBits(Int64(id));
}

void CMonitorTask::SetTime(PropertyId id, DateTime time) {
    SetInt64(id, time.ToBits());
}

void CMonitorTask::SetInt64(PropertyId id, std::int64_t value) {
    CPropertySet::SetInt64(id, value);
    if (id == task::kNextStartTime) UpdateWake();
}

std::int32_t CMonitorTask::GetListIndex() const {
    TaskLock g = LockTask();
    return listIndex_;
}

void CMonitorTask::SetListIndex(std::int32_t index) {
    TaskLock g = LockTask();
    listIndex_ = index;
}

std::int32_t CMonitorTask::GetListRow() const {
    TaskLock g = LockTask();
    return listRow_;
}

void CMonitorTask::SetListRow(std::int32_t row) {
    TaskLock g = LockTask();
    listRow_ = row;
}

void CMonitorTask::SetEventActions(int event, std::string_view text) {
    if (!IsEventIndex(event)) return;
    TaskLock g = LockTask();
    events_[std::string(EventHandlerName(event))] = std::string(text);
    RenewStamp();
}

bool CMonitorTask::GetEventActions(int event, std::string& text) const {
    text.clear();
    if (!IsEventIndex(event)) return false;
    TaskLock g = LockTask();
    const auto it = events_.find(std::string(EventHandlerName(event)));
    if (it == events_.end()) return false;
    text = it->second;
    return true;
}

void CMonitorTask::RemoveEvent(int event) {
    if (!IsEventIndex(event)) return;
    TaskLock g = LockTask();
    if (events_.erase(std::string(EventHandlerName(event)))) RenewStamp();
}

CMonitorTask::EventTable CMonitorTask::GetEventTable() const {
    TaskLock g = LockTask();
    return events_;
}

bool CMonitorTask::HasUnsetEvents() const {
    TaskLock g = LockTask();
    for (int event : EventsForKind(GetKind())) {
        if (!events_.count(std::string(EventHandlerName(event)))) return true;
    }
    return false;
}

ItemLogPtr CMonitorTask::GetLog() const {
    const std::int32_t id = Int(task::kLogId);
    return id ? CLogRegistry::Instance().GetLog(id) : nullptr;
}

void CMonitorTask::ReleaseLog() {
    TaskLock g = LockTask();
    const std::int32_t id = Int(task::kLogId);
    if (!id) return;
    CLogRegistry::Instance().DeleteLog(id);
    // Without this, the next write would make the registry create a fresh log under the old id
    // that nobody ever deletes.
    Remove(task::kLogId);
}

void CMonitorTask::WriteSeparator() const {
    if (ItemLogPtr log = GetLog()) log->Write(kLevelContinuation, "\r\n");
}

void CMonitorTask::AddBytesDownloaded(std::int64_t amount) {
    TaskLock g = LockTask();
    AddInt64(task::kBytesDownloaded, amount);
}

void CMonitorTask::AddBytesSent(std::int64_t amount) {
    TaskLock g = LockTask();
    AddInt64(task::kBytesSent, amount);
}

void CMonitorTask::AddBytesRecv(std::int64_t amount) {
    TaskLock g = LockTask();
    AddInt64(task::kBytesRecv, amount);
}

}  // namespace tellweir
