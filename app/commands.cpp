// The commands of the program without windows. They follow the start-up and exit order of the
// desktop program, minus its windows.
#include "app/commands.h"

#include <signal.h>

#include <cstdio>
#include <filesystem>

#include "app/headless_desktop.h"
#include "app/instance_lock.h"
#include "app/queue_lock.h"
#include "app/services.h"
#include "base/date_time.h"
#include "core/monitor_engine.h"
#include "core/task_properties.h"
#include "core/transfer_link.h"
#include "log/status_message.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "store/state_file.h"
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

// Says on standard error, once each, the state files that could not be read and are left alone.
void SayStateFileNotices() {
    for (const std::string& notice : TakeStateFileNotices())
        std::fprintf(stderr, "tellweir: %s\n", notice.c_str());
}

// The settings and the queue file, without the network or the transfer manager.
void LoadSettingsOnly() {
    SetProgramIdentity();
    LoadSettings(AppSettingTable(), AppSettings());
    SayStateFileNotices();
}

// Loads the queue file. A missing file is an empty queue; a file that cannot be read is said on
// standard error and returns false, so that the caller never writes over it. A damaged file loads
// in part and returns true: the engine keeps it under another name before it saves.
bool LoadQueueOrSay(CMonitorEngine& engine, const CMonitorEngine::TaskVisitor& visit = {}) {
    const TransferResult loaded = visit ? engine.VisitQueue(visit) : engine.LoadQueue();
    const QueueFileReport report = engine.GetQueueReport();
    if (!report.unreadable && (loaded == result::kOk || loaded == result::kNotFound)) return true;
    const std::string path = AppSettings().String(setting::kMonitorQueueFile);
    std::fprintf(stderr, "tellweir: cannot read the queue file \"%s\" (%s)\n", path.c_str(),
                 report.unreadable ? report.problem.c_str() : ResultName(loaded).c_str());
    return false;
}

// Says on standard error what the queue file's last load or save found wrong: the damage (and
// where the damaged file is kept) with `withDamage`, and the entries that could not be read.
// True when there was something to say.
bool SayQueueReport(const CMonitorEngine& engine, bool withDamage = true) {
    const QueueFileReport report = engine.GetQueueReport();
    const std::string damage = withDamage ? report.Describe() : std::string();
    if (!damage.empty()) std::fprintf(stderr, "tellweir: %s\n", damage.c_str());
    for (const std::string& line : report.skipped)
        std::fprintf(stderr, "tellweir: %s\n", line.c_str());
    return !damage.empty() || !report.skipped.empty();
}

// Says on standard error what is wrong with the queue file as a whole, and where a damaged one
// is kept once a save has kept it.
void SayQueueDamage(const CMonitorEngine& engine) {
    if (const std::string damage = engine.GetQueueReport().Describe(); !damage.empty())
        std::fprintf(stderr, "tellweir: %s\n", damage.c_str());
}

// Takes the queue file's lock for a command that changes the queue; false, said on standard
// error, when another command kept it too long or it cannot be made.
bool LockQueueOrSay(CQueueFileLock& lock) {
    const std::string path = AppSettings().String(setting::kMonitorQueueFile);
    switch (lock.Acquire(path, kQueueLockWait)) {
        case CQueueFileLock::Outcome::Locked:
            return true;
        case CQueueFileLock::Outcome::TimedOut:
            std::fprintf(stderr,
                         "tellweir: the queue file \"%s\" is still in use by another command "
                         "after %lld seconds\n",
                         path.c_str(), static_cast<long long>(kQueueLockWait.count()));
            return false;
        case CQueueFileLock::Outcome::NoFile:
            break;
    }
    std::fprintf(stderr, "tellweir: cannot lock the queue file (\"%s\")\n",
                 CQueueFileLock::LockPath(path).c_str());
    return false;
}

// Takes the single-instance lock; false, said on standard error, when another instance holds
// it or it cannot be made.
bool LockInstanceOrSay(CInstanceLock& lock) {
    switch (lock.Acquire()) {
        case CInstanceLock::Outcome::Locked:
            return true;
        case CInstanceLock::Outcome::HeldElsewhere:
            std::fprintf(stderr, "tellweir: another instance is running (%s)\n",
                         CInstanceLock::LockPath().c_str());
            return false;
        case CInstanceLock::Outcome::NoFile:
            break;
    }
    const std::string path = CInstanceLock::LockPath();
    if (path.empty())
        std::fprintf(stderr, "tellweir: no data folder (set HOME or XDG_DATA_HOME)\n");
    else
        std::fprintf(stderr, "tellweir: cannot lock \"%s\"\n", path.c_str());
    return false;
}

// Blocks the signals that end the program cleanly in every thread started from now on, so that
// only the main thread receives them, through sigwait: SIGINT, SIGTERM, SIGHUP (the terminal or
// ssh session went away) and SIGUSR1, which would otherwise end the program without saving.
// Other fatal signals keep their default action.
sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1})
        sigaddset(&signals, signal);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

}  // namespace

int RunHeadless() {
    const sigset_t signals = BlockStopSignals();
    SetProgramIdentity();
    CInstanceLock lock;
    if (!LockInstanceOrSay(lock)) return 1;
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
        // The stores were loaded by StartServices; the files they left alone are said here.
        if (ItemLogPtr log = engine.GetEngineLog())
            for (const std::string& notice : TakeStateFileNotices())
                log->Write(kLevelError, notice);
        // An --add or --remove that began before this instance took its lock finishes before
        // the queue is read; later ones see the instance lock and change nothing, so the saves
        // of this instance need no queue lock. A queue that could not be locked or read is left
        // as it is: nothing is saved over it.
        bool saveable = false;
        {
            CQueueFileLock queueLock;
            saveable = LockQueueOrSay(queueLock) && LoadQueueOrSay(engine);
        }
        std::vector<MonitorTaskPtr> tasks;
        engine.SnapshotTasks(tasks);
        std::vector<std::pair<ItemLogPtr, std::string>> logs;
        logs.reserve(tasks.size());
        for (const MonitorTaskPtr& task : tasks)
            logs.emplace_back(task->GetLog(), task->GetName());
        desktop.WatchAll(logs);
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
    // Held from the instance test to the save, so that no other command, and no instance
    // starting now, reads the queue in between.
    CQueueFileLock queueLock;
    if (!LockQueueOrSay(queueLock)) return 1;
    if (CInstanceLock::IsHeldElsewhere()) {
        std::fprintf(stderr,
                     "tellweir: another instance is running; stop it before adding a task\n");
        return 1;
    }
    CMonitorEngine engine;
    if (!LoadQueueOrSay(engine)) return 1;
    SayQueueReport(engine, false);  // the damage is said once the save has kept the file
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
        SayQueueDamage(engine);
        std::fprintf(stderr, "tellweir: Invalid URL: \"%s\".\n",
                     MaskUrlPassword(options.uri).c_str());
        return 1;
    }
    const TransferResult saved = engine.SaveQueue();
    SayQueueDamage(engine);
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
    // Each task is formatted as it is read and then dropped: a long queue is never held whole.
    // The lines are printed after what the load has to say, as the list follows the report.
    std::string lines;
    const auto list = [&lines](const CMonitorTask& task) {
        // Through c_str(), as printf would take them.
        lines += task.GetName().c_str();
        lines += '\t';
        lines += StateName(task.GetState());
        lines += '\t';
        lines += ScheduleText(task).c_str();
        lines += '\t';
        lines += MaskUrlPassword(task.GetUri()).c_str();
        lines += '\n';
    };
    if (!LoadQueueOrSay(engine, list)) return 1;
    // A list that misses entries of the file fails, after listing what could be read.
    const bool incomplete = SayQueueReport(engine);
    std::fwrite(lines.data(), 1, lines.size(), stdout);
    return incomplete ? 1 : 0;
}

int RemoveTaskCommand(const std::string& name) {
    LoadSettingsOnly();
    CQueueFileLock queueLock;  // as in AddTaskCommand
    if (!LockQueueOrSay(queueLock)) return 1;
    if (CInstanceLock::IsHeldElsewhere()) {
        std::fprintf(stderr,
                     "tellweir: another instance is running; stop it before removing a task\n");
        return 1;
    }
    CMonitorEngine engine;
    if (!LoadQueueOrSay(engine)) return 1;
    SayQueueReport(engine, false);  // as in AddTaskCommand
    MonitorTaskPtr task = engine.FindTaskByName(name);
    if (!task) {
        SayQueueDamage(engine);
        std::fprintf(stderr, "tellweir: no task named \"%s\"\n", name.c_str());
        return 1;
    }
    engine.DeleteTasks({task});
    const TransferResult saved = engine.SaveQueue();
    SayQueueDamage(engine);
    if (saved != 0) {
        std::fprintf(stderr, "tellweir: cannot save the queue file (%s)\n",
                     ResultName(saved).c_str());
        return 1;
    }
    return 0;
}

}  // namespace tellweir
