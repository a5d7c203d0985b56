// Running one action line: the sounds, prompts, programs and shell opens of the actions, and the
// action test of the action dialog.
#pragma once

#include <string>
#include <string_view>

#include "log/log.h"
#include "port/desktop_port.h"

namespace tellweir {

// Runs `line` for the task named `taskName`, writing into `log` (may be null); prompts, lit icons
// and shell opens go to the windows through `desktop`. True for the engine-level actions (stop
// task, cleanup cache, save queue, display queue), which it leaves to the engine; false for every
// other line. Runs on the engine thread outside every task lock: a tone blocks for its duration
// and "Open in Shell" waits for the main window's reply.
bool RunActionLine(std::string_view line, ILog* log, std::string_view taskName,
                   IDesktopPort& desktop);

// The task name the action test runs under.
inline constexpr std::string_view kActionTestTaskName = "ACTION TEST";

// Runs `line` as the action dialog's test does, into a fresh raw log, and gives the text the
// dialog shows: "Action test results:\r\n" and the last line the action wrote (" None." when it
// wrote nothing).
std::string RunActionTest(std::string_view line, IDesktopPort& desktop);

}  // namespace tellweir
