// Running one action line: the sounds, prompts, programs and shell opens of the actions, and the
// action test of the action dialog.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.h"
#include "core/action_diff_file.h"
#include "log/log.h"
#include "port/desktop_port.h"

namespace tellweir {

// What the actions of one run know of it: the prompts and icons say how much changed, and the
// programs started get it in their environment.
struct ActionContext {
    std::string taskName;
    std::string url;    // the task's URL or path as the logs show it (no password)
    std::string event;  // the event's name ("Content Changed"); empty outside a run
    DateTime time;      // when the actions run, local
    ChangeNote change;  // the version the run kept and its summary; version 0: none
    // The diff file of the change, written on the first call; null when there is none. A run
    // writes it once however many actions ask, and only when a program is started.
    std::function<std::shared_ptr<const CActionDiffFile>()> diffFile;
};

// The context of the action test, and of a line run outside a task run.
ActionContext TaskActionContext(std::string_view taskName);

// The entries a started program gets: TELLWEIR_TASK, TELLWEIR_URL, TELLWEIR_EVENT and
// TELLWEIR_TIME when known, and for a change TELLWEIR_SUMMARY and, with `diff`, TELLWEIR_DIFF.
std::vector<std::string> ActionEnvironment(const ActionContext& context,
                                           const CActionDiffFile* diff);

// Runs `line` for the task of `context`, writing into `log` (may be null); prompts, lit icons and
// shell opens go to the windows through `desktop`. True for the engine-level actions (stop task,
// cleanup cache, save queue, display queue), which it leaves to the engine; false for every
// other line. Runs on the engine thread outside every task lock: a tone blocks for its duration
// and "Open in Shell" waits for the main window's reply.
bool RunActionLine(std::string_view line, ILog* log, const ActionContext& context,
                   IDesktopPort& desktop);

// The task name the action test runs under.
inline constexpr std::string_view kActionTestTaskName = "ACTION TEST";

// Runs `line` as the action dialog's test does, into a fresh raw log, and gives the text the
// dialog shows: "Action test results:\r\n" and the last line the action wrote (" None." when it
// wrote nothing).
std::string RunActionTest(std::string_view line, IDesktopPort& desktop);

}  // namespace tellweir
