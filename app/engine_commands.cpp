// The task commands over an engine, and their texts.
#include "app/engine_commands.h"

#include <algorithm>
#include <cstdio>

#include "app/history_commands.h"

#include "base/ascii_text.h"
#include "base/text_format.h"
#include "core/task_properties.h"
#include "core/task_schedule.h"
#include "history/version_store.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
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
    // A value below 1 runs as 1, and one unit reads as one: "every 1 minute".
    const std::int32_t count = std::max(task.Int(task::kScheduleRepeatValue), 1);
    std::string unit(TrimAsciiSpace(task.String(task::kScheduleRepeatUnit)));
    if (count == 1 && unit.size() > 1 && unit.back() == 's') unit.pop_back();
    std::string text = "every " + std::to_string(count) + " " + unit;
    // Days in any stored order, and all seven meaning every day, read the same.
    const std::string days = RestrictedWeekDays(task.String(task::kScheduleWeekDays));
    if (!days.empty()) text += " on days " + days;
    return text;
}

MonitorTaskPtr BuildTask(const ProgramOptions& options) {
    MonitorTaskPtr task = CMonitorTask::Create();
    task->SetString(task::kUri, options.uri);
    task->SetName(options.name.empty() ? NameFromUri(options.uri) : options.name);
    task->SetInt(task::kDownload, options.download ? 1 : 0);
    if (options.schedule) task->SetInt(task::kSchedule, *options.schedule);
    if (options.repeatValue > 0) {
        task->SetInt(task::kScheduleRepeatValue, options.repeatValue);
        task->SetString(task::kScheduleRepeatUnit, options.repeatUnit);
    }
    if (options.weekdays)
        task->SetString(task::kScheduleWeekDays, CanonicalWeekDays(*options.weekdays));
    task->ApplyDefaultEvents();
    return task;
}

// What is wrong with the queue file as a whole, and where a damaged one is kept once a save
// has kept it.
void SayQueueDamage(const CMonitorEngine& engine, std::string& err) {
    if (const std::string damage = engine.GetQueueReport().Describe(); !damage.empty())
        err += "tellweir: " + damage + "\n";
}

// Saves the queue after a change; false, said in `reply`, when it could not be saved. With
// `sayDamage`, where a damaged file is now kept.
bool SaveQueueOrSay(CMonitorEngine& engine, bool namePath, bool sayDamage, ControlReply& reply) {
    const TransferResult saved = engine.SaveQueue();
    if (sayDamage) SayQueueDamage(engine, reply.err);
    if (saved == result::kOk) return true;
    // --add has always named the file, --remove not.
    if (namePath)
        reply.err += Format("tellweir: cannot save the queue file \"%s\" (%s)\n",
                            AppSettings().String(setting::kMonitorQueueFile), ResultName(saved));
    else
        reply.err += Format("tellweir: cannot save the queue file (%s)\n", ResultName(saved));
    reply.status = 1;
    return false;
}

}  // namespace

std::string NameFromUri(const std::string& uri) {
    std::string path = uri.substr(0, uri.find_first_of("?#"));
    const std::size_t slash = path.find_last_of("/\\");
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    return last.empty() ? MaskUrlPassword(uri) : last;
}

bool CheckQueueLoaded(const CMonitorEngine& engine, TransferResult loaded, ControlReply& reply) {
    const QueueFileReport report = engine.GetQueueReport();
    if (!report.unreadable && (loaded == result::kOk || loaded == result::kNotFound)) return true;
    const std::string path = AppSettings().String(setting::kMonitorQueueFile);
    reply.err += Format("tellweir: cannot read the queue file \"%s\" (%s)\n", path,
                        report.unreadable ? report.problem : ResultName(loaded));
    reply.status = 1;
    return false;
}

bool SayQueueReport(const CMonitorEngine& engine, bool withDamage, std::string& err) {
    const QueueFileReport report = engine.GetQueueReport();
    const std::string damage = withDamage ? report.Describe() : std::string();
    if (!damage.empty()) err += "tellweir: " + damage + "\n";
    for (const std::string& line : report.skipped)
        err += "tellweir: " + line + "\n";
    return !damage.empty() || !report.skipped.empty();
}

std::string TaskListLine(const CMonitorTask& task) {
    // Each through c_str(), as printf would take them: a NUL ends the text.
    std::string line = task.GetName().c_str();
    line += '\t';
    line += StateName(task.GetState());
    line += '\t';
    line += ScheduleText(task).c_str();
    line += '\t';
    line += MaskUrlPassword(task.GetUri()).c_str();
    line += '\n';
    return line;
}

MonitorTaskPtr AddTaskTo(CMonitorEngine& engine, const ProgramOptions& options, ControlReply& reply,
                         bool sayReport) {
    // The damage is said once the save kept the file.
    if (sayReport) SayQueueReport(engine, false, reply.err);
    MonitorTaskPtr task = BuildTask(options);
    if (!engine.AddTask(*task)) {
        if (sayReport) SayQueueDamage(engine, reply.err);
        reply.err += "tellweir: Invalid URL: \"" + MaskUrlPassword(options.uri) + "\".\n";
        reply.status = 1;
        return nullptr;
    }
    if (!SaveQueueOrSay(engine, true, sayReport, reply)) return task;
    reply.out += task->GetName().c_str();
    reply.out += '\n';
    return task;
}

MonitorTaskPtr RemoveTaskFrom(CMonitorEngine& engine, const std::string& name, ControlReply& reply,
                              bool sayReport) {
    if (sayReport) SayQueueReport(engine, false, reply.err);  // as in AddTaskTo
    MonitorTaskPtr task = engine.FindTaskByName(name);
    if (!task) {
        if (sayReport) SayQueueDamage(engine, reply.err);
        reply.err += "tellweir: no task named \"" + name + "\"\n";
        reply.status = 1;
        return nullptr;
    }
    engine.DeleteTasks({task});
    SaveQueueOrSay(engine, false, sayReport, reply);
    return task;
}

MonitorTaskPtr MarkViewedIn(CMonitorEngine& engine, const ProgramOptions& options,
                            ControlReply& reply) {
    MonitorTaskPtr task = engine.FindTaskByName(options.name);
    if (!task) {
        reply.err += "tellweir: no task named \"" + options.name + "\"\n";
        reply.status = 2;
        return nullptr;
    }
    // The folder's own newest: a version kept since the task was loaded counts too.
    const std::string folder = task->GetVersionFolder();
    const std::int32_t newest = folder.empty() ? 0 : CVersionStore(folder).NewestNumber();
    const std::int32_t number = VersionToMark(options, task->GetName(), newest, reply);
    if (number > 0 && !task->SetViewedVersion(number)) {
        reply.err += "tellweir: cannot mark version " + std::to_string(number) + " of \"" +
                     task->GetName() + "\" as viewed\n";
        reply.status = 1;
    }
    return task;
}

void EndEngine(CMonitorEngine& engine, bool save) {
    if (save) {
        const TransferResult saved = engine.SaveQueue();
        if (saved != result::kOk)
            std::fprintf(stderr, "tellweir: cannot save the queue file (%s)\n",
                         ResultName(saved).c_str());
    }
    // Before the tasks go: a save asked for since (the "Save queue" action) is written now, and
    // none is written after, which would save an emptied list.
    engine.EndSaves();
    engine.DeleteAllTasks();
    engine.Stop();
}

bool CEngineCommands::Show() {
    return hooks_.show ? hooks_.show() : false;
}

ControlReply CEngineCommands::Run(const ProgramOptions& options) {
    std::lock_guard serial(lock_);
    ControlReply reply;
    using Command = ProgramOptions::Command;
    if (options.command != Command::Add && options.command != Command::Remove &&
        options.command != Command::List && options.command != Command::MarkViewed) {
        reply.status = 2;
        reply.err =
            "tellweir: a running instance runs only --add, --remove, --list and --mark-viewed\n";
        return reply;
    }
    // A mark changes no list: it says nothing of the queue file and leaves the report to others.
    if (options.command == Command::MarkViewed) {
        MarkViewedIn(engine_, options, reply);
        return reply;
    }
    // The engine's own load of the queue file stands for the one a one-shot command makes.
    if (!CheckQueueLoaded(engine_, result::kOk, reply)) return reply;
    const bool sayReport = !reportSaid_;
    reportSaid_ = true;
    switch (options.command) {
        case Command::Add:
            if (MonitorTaskPtr task = AddTaskTo(engine_, options, reply, sayReport);
                task && hooks_.added)
                hooks_.added(task);
            break;
        case Command::Remove:
            if (MonitorTaskPtr task = RemoveTaskFrom(engine_, options.name, reply, sayReport);
                task && hooks_.removed)
                hooks_.removed({task});
            break;
        default: {
            std::vector<MonitorTaskPtr> tasks;
            engine_.SnapshotTasks(tasks);
            for (const MonitorTaskPtr& task : tasks)
                reply.out += TaskListLine(*task);
            // A list that misses entries of the file fails, as the one-shot list does.
            if (sayReport && SayQueueReport(engine_, true, reply.err)) reply.status = 1;
            break;
        }
    }
    return reply;
}

void CEngineCommands::ReportSaid() {
    std::lock_guard serial(lock_);
    reportSaid_ = true;
}

// The window's commands take no command lock: the engine guards its list, and the window must not
// wait while another copy's command writes the queue file.
bool CEngineCommands::AddTask(const MonitorTaskPtr& task) {
    if (!task || !engine_.AddTask(*task)) return false;
    engine_.RequestSave();
    if (hooks_.added) hooks_.added(task);
    return true;
}

void CEngineCommands::RemoveTasks(const std::vector<MonitorTaskPtr>& tasks) {
    if (tasks.empty()) return;
    engine_.DeleteTasks(tasks);
    engine_.RequestSave();
    if (hooks_.removed) hooks_.removed(tasks);
}

void CEngineCommands::StartTasks(const std::vector<MonitorTaskPtr>& tasks, bool start) {
    if (tasks.empty()) return;
    if (start)
        engine_.ResumeTasks(tasks);
    else
        engine_.StopTasks(tasks);
    engine_.RequestSave();
}

void CEngineCommands::ApplyEdit(const MonitorTaskPtr& task, TaskEditPart part,
                                const CMonitorTask& opened, const CMonitorTask& edited) {
    task->ApplyEdit(part, opened, edited);
    engine_.RequestSave();
}

void CEngineCommands::RequestSave() {
    engine_.RequestSave();
}

}  // namespace tellweir
