// The commands of the program without windows. They follow the start-up and exit order of the
// desktop program, minus its windows.
#include "app/commands.h"

#include <signal.h>

#include <cstdio>
#include <filesystem>

#include "app/headless_desktop.h"
#include "app/instance_lock.h"
#include "app/services.h"
#include "base/date_time.h"
#include "core/monitor_engine.h"
#include "core/task_properties.h"
#include "core/transfer_link.h"
#include "log/status_message.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "transfer/transfer_manager.h"
#include "url/url_mask.h"

namespace tellweir {

namespace {

const char* StateName(TaskState state) {
    switch (state) {
        case TaskState::New:
            return "new";
        case TaskState::Idle:
            return "idle";
        case TaskState::Waiting:
            return "waiting";
        case TaskState::Working:
            return "working";
    }
    return "?";
}

std::string ScheduleText(const CMonitorTask& task) {
    switch (task.Int(task::kSchedule)) {
        case task::kScheduleOnce:
            return "once";
        case task::kScheduleManual:
            return "manually";
        default:
            break;
    }
    std::string text = "every " + std::to_string(task.Int(task::kScheduleRepeatValue)) + " " +
                       task.String(task::kScheduleRepeatUnit);
    const std::string days = task.String(task::kScheduleWeekDays);
    if (!days.empty() && days != "1234567") text += " on days " + days;
    return text;
}

// The name the new-task wizard proposes: the file name of the URI, or the whole URI without
// its password when it ends with a separator (a name is shown everywhere).
std::string NameFromUri(const std::string& uri) {
    std::string path = uri.substr(0, uri.find_first_of("?#"));
    const std::size_t slash = path.find_last_of("/\\");
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    return last.empty() ? MaskUrlPassword(uri) : last;
}

// The settings and the queue file, without the network or the transfer manager.
void LoadSettingsOnly() {
    SetProgramIdentity();
    LoadSettings(AppSettingTable(), AppSettings());
}

// Loads the queue file. A missing file is an empty queue; any other failure is said on standard
// error and returns false, so that the caller never writes the survivors over the file.
bool LoadQueueOrSay(CMonitorEngine& engine) {
    const TransferResult loaded = engine.LoadQueue();
    const std::string path = AppSettings().String(setting::kMonitorQueueFile);
    std::error_code error;
    if (loaded == result::kOk || (!path.empty() && !std::filesystem::exists(path, error) && !error))
        return true;
    std::fprintf(stderr, "tellweir: cannot read the queue file \"%s\" (%s)\n", path.c_str(),
                 ResultName(loaded).c_str());
    return false;
}

// Blocks SIGINT and SIGTERM in every thread started from now on, so that only the main thread
// receives them, through sigwait.
sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

}  // namespace

int RunHeadless() {
    const sigset_t signals = BlockStopSignals();
    SetProgramIdentity();
    CInstanceLock lock;
    if (!lock.Acquire()) {
        std::fprintf(stderr, "tellweir: another instance is running (%s)\n",
                     CInstanceLock::LockPath().c_str());
        return 1;
    }
    CHeadlessDesktop desktop(stdout);
    if (!StartServices(&desktop)) {
        std::fprintf(stderr, "tellweir: the network layer could not be started\n");
        return 1;
    }
    {
        CManagerLink transfers(CTransferManager::Get());
        CMonitorEngine engine({.transfers = &transfers, .desktop = &desktop});
        engine.AnnounceStart();
        desktop.SetEngineLog(engine.GetEngineLog());
        // A queue that could not be read is left as it is: the tasks run, nothing is saved.
        const bool saveable = LoadQueueOrSay(engine);
        std::vector<MonitorTaskPtr> tasks;
        engine.SnapshotTasks(tasks);
        for (const MonitorTaskPtr& task : tasks)
            desktop.Watch(task->GetLog(), task->GetName());
        engine.Start();
        int received = 0;
        sigwait(&signals, &received);
        if (saveable) {
            const TransferResult saved = engine.SaveQueue();
            if (saved != result::kOk)
                std::fprintf(stderr, "tellweir: cannot save the queue file (%s)\n",
                             ResultName(saved).c_str());
        }
        engine.DeleteAllTasks();
        engine.Stop();
    }
    StopServices();
    return 0;
}

int AddTaskCommand(const ProgramOptions& options) {
    LoadSettingsOnly();
    if (CInstanceLock::IsHeldElsewhere()) {
        std::fprintf(stderr,
                     "tellweir: another instance is running; stop it before adding a task\n");
        return 1;
    }
    CMonitorEngine engine;
    if (!LoadQueueOrSay(engine)) return 1;
    MonitorTaskPtr task = CMonitorTask::Create();
    task->SetString(task::kUri, options.uri);
    task->SetName(options.name.empty() ? NameFromUri(options.uri) : options.name);
    task->SetInt(task::kDownload, options.download ? 1 : 0);
    if (options.schedule) task->SetInt(task::kSchedule, *options.schedule);
    if (options.repeatValue > 0) {
        task->SetInt(task::kScheduleRepeatValue, options.repeatValue);
        task->SetString(task::kScheduleRepeatUnit, options.repeatUnit);
    }
    if (options.weekdays) task->SetString(task::kScheduleWeekDays, *options.weekdays);
    task->ApplyDefaultEvents();
    if (!engine.AddTask(*task)) {
        std::fprintf(stderr, "tellweir: Invalid URL: \"%s\".\n",
                     MaskUrlPassword(options.uri).c_str());
        return 1;
    }
    const TransferResult saved = engine.SaveQueue();
    if (saved != 0) {
        std::fprintf(stderr, "tellweir: cannot save the queue file \"%s\" (%s)\n",
                     AppSettings().String(setting::kMonitorQueueFile).c_str(),
                     ResultName(saved).c_str());
        return 1;
    }
    std::printf("%s\n", task->GetName().c_str());
    return 0;
}

int ListTasksCommand() {
    LoadSettingsOnly();
    CMonitorEngine engine;
    if (!LoadQueueOrSay(engine)) return 1;
    std::vector<MonitorTaskPtr> tasks;
    engine.SnapshotTasks(tasks);
    for (const MonitorTaskPtr& task : tasks)
        std::printf("%s\t%s\t%s\t%s\n", task->GetName().c_str(), StateName(task->GetState()),
                    ScheduleText(*task).c_str(), MaskUrlPassword(task->GetUri()).c_str());
    return 0;
}

int RemoveTaskCommand(const std::string& name) {
    LoadSettingsOnly();
    if (CInstanceLock::IsHeldElsewhere()) {
        std::fprintf(stderr,
                     "tellweir: another instance is running; stop it before removing a task\n");
        return 1;
    }
    CMonitorEngine engine;
    if (!LoadQueueOrSay(engine)) return 1;
    MonitorTaskPtr task = engine.FindTaskByName(name);
    if (!task) {
        std::fprintf(stderr, "tellweir: no task named \"%s\"\n", name.c_str());
        return 1;
    }
    engine.DeleteTasks({task});
    const TransferResult saved = engine.SaveQueue();
    if (saved != 0) {
        std::fprintf(stderr, "tellweir: cannot save the queue file (%s)\n",
                     ResultName(saved).c_str());
        return 1;
    }
    return 0;
}

}  // namespace tellweir
