// The "Create Process" and "Open in Shell" actions: start a program by its path, or have the
// desktop open a document or URL with its default program, writing what happens into a log.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "core/process_launch.h"
#include "log/log.h"

namespace tellweir {

// Starts `program` (its path, not searched for) with no arguments, the current directory "/" and
// the parent's environment with `environment`, and does not wait for it. Writes "Creating
// process" and then the success or failure line into `log` (which may be null). False when it
// could not be started.
bool CreateProcessAction(std::string_view program, ILog* log, ChildEnvironment environment = {});

// Opens `target` with the desktop's "open" (xdg-open) and returns without waiting for it. The
// opener's outcome is mapped onto the shell results the log lines are made for: success, 2 target
// missing, 31 no program for it (or no opener at all), anything else the opener's own code. The
// line of an opener that could not be started is written at once and gives false; otherwise the
// verdict line is written from another thread when the opener ends (holding a reference to `log`
// until then), and the call gives true. The opener gets `environment` as a started program does.
bool ShellOpenAction(std::string_view target, ILog* log, ChildEnvironment environment = {});

// The error line (with CR LF) for a shell result of 32 or less; any code the shell table does
// not name gives the "failed, error code" line.
std::string ShellResultText(int result);

// How long an opener may run before its open counts as done.
inline constexpr std::chrono::seconds kShellOpenWait{10};

// The program that opens targets; empty restores "xdg-open". Tests put a script there.
void SetShellOpenProgram(std::string program);

}  // namespace tellweir
