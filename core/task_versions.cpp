// The versions a task keeps of its resource: where they are, which the user has seen, and what
// the current run kept.
#include "core/monitor_task.h"
#include "core/sample_check.h"
#include "core/version_keeping.h"
#include "diff/text_diff.h"
#include "history/version_store.h"
#include "log/status_message.h"
#include "store/app_settings.h"

namespace tellweir {

std::unique_ptr<VersionJob> CMonitorTask::MakeVersionJob(bool information) const {
    const TaskLock guard = LockTask();
    // A run stopped or removed meanwhile keeps nothing: Remove may be deleting the folder.
    const std::string folder = GetVersionFolder();
    if (folder.empty() || state_ != TaskState::Working) return nullptr;
    auto job = std::make_unique<VersionJob>();
    job->folder = folder;
    job->limits = VersionLimitsFrom(AppSettings());
    VersionRecord& record = job->record;
    record.time = GetLastStartTime();
    record.run = Int(task::kCount);
    record.contentType = String(task::kContentType);
    record.name = VersionNameOf(GetUri());
    record.information = information;
    return job;
}

void CMonitorTask::AttachVersionJob(CSampleCheck& check) const {
    if (std::unique_ptr<VersionJob> job = MakeVersionJob(false)) check.KeepVersions(std::move(job));
}

void CMonitorTask::KeepInformation(const CPropertySet& found, std::string_view event) {
    const TaskLock guard = LockTask();
    const std::unique_ptr<VersionJob> job = MakeVersionJob(true);
    if (!job) return;
    // A few lines: kept here on the engine thread.
    const std::string text =
        InformationText(found.Int64(task::kSize), found.String(task::kTimeModified),
                        found.String(task::kTimeCreated), found.String(task::kETag),
                        found.String(task::kContentType));
    NoteVersion(KeepVersion(*job, event, text));
}

void CMonitorTask::NoteVersion(const KeptVersion& kept) {
    const TaskLock guard = LockTask();
    for (const std::string& path : kept.damaged)
        if (damageTold_.insert(path).second)
            WriteLog(kLevelError, "Version file damaged, skipped: \"%s\".", path);
    if (kept.number == 0) {
        if (!kept.error.empty()) WriteLog(kLevelError, "%s", kept.error);
        return;
    }
    const std::string summary =
        kept.added >= 0 ? ChangeSummaryText(kept.added, kept.removed) : std::string();
    SetInt(task::kNewestVersion, kept.number);
    SetInt(task::kRunVersion, kept.number);
    SetString(task::kRunChangeSummary, summary);
    RenewStamp();
    if (summary.empty())
        WriteLog(kLevelStatus, "Version %d kept.", kept.number);
    else
        WriteLog(kLevelStatus, "Version %d kept: %s.", kept.number, summary);
}

std::string CMonitorTask::GetVersionFolder() const {
    return CVersionStore::FolderFor(GetSamplePath());
}

bool CMonitorTask::SetViewedVersion(std::int32_t number) {
    const TaskLock guard = LockTask();
    if (number <= GetViewedVersion()) return true;
    SetInt(task::kViewedVersion, number);
    RenewStamp();
    const std::string folder = GetVersionFolder();
    return !folder.empty() && CVersionStore(folder).SetViewed(number);
}

ChangeNote CMonitorTask::GetRunChange() const {
    const TaskLock guard = LockTask();
    return {Int(task::kRunVersion), String(task::kRunChangeSummary)};
}

}  // namespace tellweir
