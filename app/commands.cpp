// The commands of the program without windows. They follow the start-up and exit order of the
// desktop program, minus its windows.
#include "app/commands.h"

#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <utility>

#include "app/control_client.h"
#include "app/control_server.h"
#include "app/engine_commands.h"
#include "app/headless_desktop.h"
#include "app/history_commands.h"
#include "app/instance_lock.h"
#include "app/queue_lock.h"
#include "app/services.h"
#include "base/date_time.h"
#include "core/monitor_engine.h"
#include "core/monitor_task.h"
#include "core/transfer_link.h"
#include "history/version_store.h"
#include "log/status_message.h"
#include "store/app_settings.h"
#include "store/atomic_file.h"
#include "store/setting_ids.h"
#include "store/state_file.h"
#include "transfer/transfer_manager.h"

namespace tellweir {

namespace {

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

// Prints what a command collected: standard error first, as a command says its problems before
// its result; gives its exit status.
int PrintReply(const ControlReply& reply) {
    std::fwrite(reply.err.data(), 1, reply.err.size(), stderr);
    std::fwrite(reply.out.data(), 1, reply.out.size(), stdout);
    return reply.status;
}

// Loads the queue file. A missing file is an empty queue; a file that cannot be read is said on
// standard error and returns false, so that the caller never writes over it. A damaged file loads
// in part and returns true: the engine keeps it under another name before it saves.
bool LoadQueueOrSay(CMonitorEngine& engine, const CMonitorEngine::TaskVisitor& visit = {}) {
    const TransferResult loaded = visit ? engine.VisitQueue(visit) : engine.LoadQueue();
    ControlReply reply;
    if (CheckQueueLoaded(engine, loaded, reply)) return true;
    PrintReply(reply);
    return false;
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
    // Listens as soon as this is the instance: a copy started while the queue loads is answered
    // once it is loaded, rather than told that nobody answers.
    CControlServer control;
    if (const std::string said = StartControlSocket(control); !said.empty())
        std::fprintf(stderr, "tellweir: %s\n", said.c_str());
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
            // What a save killed on its way left behind; no other process writes the queue now.
            if (saveable) RemoveStaleTempFiles(AppSettings().String(setting::kMonitorQueueFile));
        }
        std::vector<MonitorTaskPtr> tasks;
        engine.SnapshotTasks(tasks);
        std::vector<std::pair<ItemLogPtr, std::string>> logs;
        logs.reserve(tasks.size());
        for (const MonitorTaskPtr& task : tasks)
            logs.emplace_back(task->GetLog(), task->GetName());
        desktop.WatchAll(logs);
        // Other copies of the program hand their --add, --remove and --list to this one. Not
        // when the queue could not be loaded: their saves would write over it.
        EngineCommandHooks hooks;
        hooks.added = [&desktop](const MonitorTaskPtr& task) {
            desktop.Watch(task->GetLog(), task->GetName());
        };
        CEngineCommands commands(engine, std::move(hooks));
        if (saveable)
            control.SetHandler(commands);
        else
            control.Stop();
        // After the handler: once a task runs, the commands of other copies reach this one.
        engine.Start();
        int received = 0;
        sigwait(&signals, &received);
        control.Stop();  // no change comes in after the last save
        EndEngine(engine, saveable);
    }
    StopServices();
    return 0;
}

std::optional<int> RunInRunningInstance(const std::vector<std::string>& args,
                                        const std::string& folder) {
    SetProgramIdentity();
    if (!CInstanceLock::IsHeldElsewhere()) return std::nullopt;
    const std::optional<ControlReply> reply =
        SendControlRequest({ControlRequest::Kind::Run, folder, args});
    if (!reply) return std::nullopt;
    return PrintReply(*reply);
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
    ControlReply reply;
    (void)AddTaskTo(engine, options, reply);
    return PrintReply(reply);
}

int ListTasksCommand() {
    LoadSettingsOnly();
    CMonitorEngine engine;
    // Each task is formatted as it is read and then dropped: a long queue is never held whole.
    // The lines are printed after what the load has to say, as the list follows the report.
    ControlReply reply;
    const auto list = [&reply](const CMonitorTask& task) { reply.out += TaskListLine(task); };
    if (!LoadQueueOrSay(engine, list)) return 1;
    // A list that misses entries of the file fails, after listing what could be read.
    if (SayQueueReport(engine, true, reply.err)) reply.status = 1;
    return PrintReply(reply);
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
    ControlReply reply;
    RemoveTaskFrom(engine, name, reply);
    return PrintReply(reply);
}

int HistoryCommand(const ProgramOptions& options) {
    LoadSettingsOnly();
    CMonitorEngine engine;
    ControlReply reply;
    TaskVersions task;
    if (FindTaskVersions(engine, options.name, task, reply))
        reply = HistoryReply(task.name, CVersionStore(task.folder));
    return PrintReply(reply);
}

int DiffCommand(const ProgramOptions& options, const std::string& folder) {
    LoadSettingsOnly();
    CMonitorEngine engine;
    ControlReply reply;
    TaskVersions task;
    if (!FindTaskVersions(engine, options.name, task, reply)) return PrintReply(reply);
    CVersionStore store(task.folder);
    std::int32_t viewed = 0;
    reply = DiffReply(options, task.name, store, viewed);
    const int status = PrintReply(reply);
    std::fflush(stdout);
    if (viewed > 0) {
        // The mark is the file's; a running instance is told as well, so that its row follows.
        if (viewed > store.Viewed() && !store.SetViewed(viewed))
            std::fprintf(stderr, "tellweir: cannot mark version %d of \"%s\" as viewed\n", viewed,
                         task.name.c_str());
        if (CInstanceLock::IsHeldElsewhere()) {
            const std::optional<ControlReply> told =
                SendControlRequest({ControlRequest::Kind::Run,
                                    folder,
                                    {"--mark-viewed", task.name, "--to", std::to_string(viewed)}});
            if (told && told->status != 0)
                std::fwrite(told->err.data(), 1, told->err.size(), stderr);
        }
    }
    return status;
}

int MarkViewedCommand(const ProgramOptions& options) {
    LoadSettingsOnly();
    CMonitorEngine engine;
    ControlReply reply;
    TaskVersions task;
    if (!FindTaskVersions(engine, options.name, task, reply)) return PrintReply(reply);
    CVersionStore store(task.folder);
    const std::int32_t number =
        VersionToMark(options, task.name, task.folder.empty() ? 0 : store.NewestNumber(), reply);
    if (number > store.Viewed() && !store.SetViewed(number)) {
        reply.err += "tellweir: cannot mark version " + std::to_string(number) + " of \"" +
                     task.name + "\" as viewed\n";
        reply.status = 1;
    }
    return PrintReply(reply);
}

}  // namespace tellweir
