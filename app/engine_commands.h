// --add, --remove and --list against an engine: the texts and exit statuses are the same whether
// a one-shot command runs them on the queue file it loaded or a running instance runs them on its
// live engine for a second copy of the program. Output is collected in a ControlReply, never
// printed here.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/control_protocol.h"
#include "app/control_server.h"
#include "app/options.h"
#include "core/monitor_engine.h"
#include "core/monitor_task.h"
#include "log/transfer_result.h"

namespace tellweir {

// False, with "cannot read the queue file ..." in `reply` (status 1), when the engine's last read
// of the queue file (`loaded`: its result) could not read it; the queue is then never saved.
bool CheckQueueLoaded(const CMonitorEngine& engine, TransferResult loaded, ControlReply& reply);
// Says in `err` what the last load found wrong with the queue file: the damage (with
// `withDamage`) and the entries it could not read. True when there was something to say.
bool SayQueueReport(const CMonitorEngine& engine, bool withDamage, std::string& err);
// The name the new-task wizard proposes: the file name of the URI, or the whole URI without
// its password when it ends with a separator (a name is shown everywhere).
std::string NameFromUri(const std::string& uri);
// One line of --list: name, state, schedule and URI (its password hidden), tab-separated.
std::string TaskListLine(const CMonitorTask& task);

// Adds the task `options` describe to `engine`, whose queue is loaded, and saves the queue: the
// new task's name on standard output, or why not. With `sayReport`, what the load found wrong
// with the queue file comes first. The task added, or null.
MonitorTaskPtr AddTaskTo(CMonitorEngine& engine, const ProgramOptions& options, ControlReply& reply,
                         bool sayReport = true);
// Removes the task `name` from `engine`, whose queue is loaded, and saves the queue. The task
// removed, or null.
MonitorTaskPtr RemoveTaskFrom(CMonitorEngine& engine, const std::string& name, ControlReply& reply,
                              bool sayReport = true);

// Marks the versions of the task `options.name` of `engine` as viewed up to --to (default: the
// newest), in the task and in its versions folder. The task, or null when there is none.
MonitorTaskPtr MarkViewedIn(CMonitorEngine& engine, const ProgramOptions& options,
                            ControlReply& reply);

// The end of a running instance's engine: the queue saved (when `save`; a failure said on
// standard error), the saver thread ended, the tasks deleted and the engine thread stopped.
void EndEngine(CMonitorEngine& engine, bool save);

// What the owner of the engine adds to the commands; each is called on the thread that called
// the command, with no engine lock held.
struct EngineCommandHooks {
    // Brings the window to the front; null: there is no window.
    std::function<bool()> show;
    // Told of each task added, after it joined the engine's list.
    std::function<void(const MonitorTaskPtr&)> added;
    // Told of the tasks removed, after they left the engine's list.
    std::function<void(const std::vector<MonitorTaskPtr>&)> removed;
};

// The one way in for changes to a running engine's list: the commands of other copies (Run) and
// the window's own (AddTask ... RequestSave) make their change here, and the owner hears of
// additions and removals through its hooks whoever asked. Any thread may call while the engine
// thread runs. Other copies' commands run one at a time, each from its change to the save of the
// queue file, whose result they report; the window's commands ask for a save in the background
// and never wait for one of those.
class CEngineCommands final : public IControlHandler {
  public:
    explicit CEngineCommands(CMonitorEngine& engine, EngineCommandHooks hooks = {})
        : engine_(engine), hooks_(std::move(hooks)) {}

    bool Show() override;
    // --add, --remove, --list and --mark-viewed; any other command is refused with status 2. What
    // the load found wrong with the queue file (damage, entries left out) is said by the first
    // command only, which a list then fails: the file does not change while the instance runs, and
    // the user has been told.
    ControlReply Run(const ProgramOptions& options) override;
    // The report of the load has been said elsewhere (in the window): no command repeats it.
    void ReportSaid();

    // The window's commands. Each asks for a save of the queue file when it changed the list.
    // False: the engine refused the task (its URL), which is not added.
    bool AddTask(const MonitorTaskPtr& task);
    void RemoveTasks(const std::vector<MonitorTaskPtr>& tasks);
    // Resumes (`start`) or stops the tasks.
    void StartTasks(const std::vector<MonitorTaskPtr>& tasks, bool start);
    // Applies to `task` what a dialog changed in its part (`opened`: the copy it started from).
    void ApplyEdit(const MonitorTaskPtr& task, TaskEditPart part, const CMonitorTask& opened,
                   const CMonitorTask& edited);
    void RequestSave();

  private:
    CMonitorEngine& engine_;
    EngineCommandHooks hooks_;
    std::mutex lock_;          // taken before any engine lock: one command at a time
    bool reportSaid_ = false;  // under lock_
};

}  // namespace tellweir
