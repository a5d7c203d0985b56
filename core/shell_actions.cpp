// Starting programs and opening targets for the actions.
#include "core/shell_actions.h"

#include <cerrno>
#include <mutex>

#include "core/process_launch.h"
#include "transfer/file_path.h"
#include "url/url_mask.h"

namespace tellweir {
namespace {

std::mutex g_programLock;
std::string g_openProgram;

std::string OpenProgram() {
    std::lock_guard g(g_programLock);
    return g_openProgram.empty() ? std::string("xdg-open") : g_openProgram;
}

void WriteLine(ILog* log, int level, std::string_view text) {
    if (log) log->Write(level, text);
}

// The shell result of an opener that ended with `exitCode` (-1: ended by a signal). xdg-open
// ends with 2 for a missing file and 3 when it finds no way to open the target.
int ShellResultOfExit(int exitCode) {
    if (exitCode == 2) return 2;
    if (exitCode == 3) return 31;
    return exitCode;
}

// The shell result of an opener that could not be started: without one, no program is
// associated with anything.
int ShellResultOfSpawnError(int error) {
    return error == ENOENT || error == EACCES ? 31 : error;
}

// The failure line of a shell result; codes of the opener that merely coincide with a shell
// code are not the shell's, so only the mapped ones get their table text.
std::string ShellFailureLine(int result) {
    if (result == 2 || result == 31) return ShellResultText(result);
    return Format("ShellExecute failed, error code: %d.\r\n", result);
}

// An opener still running at the limit has handed the target to a program; that counts as done.
void WriteShellOutcome(ILog* log, const std::string& shown, std::optional<int> exitCode) {
    if (!exitCode || *exitCode == 0) {
        if (log) log->WriteFormat(0, "ShellExecute %s: \"%s\" OK.\r\n", "open", shown);
        return;
    }
    WriteLine(log, 1, ShellFailureLine(ShellResultOfExit(*exitCode)));
}

}  // namespace

bool CreateProcessAction(std::string_view program, ILog* log, ChildEnvironment environment) {
    if (program.empty()) {
        WriteLine(log, 1, "Empty process name.\r\n");
        return false;
    }
    if (log) log->WriteFormat(0, "Creating process: \"%s\".\r\n", program);
    const SpawnResult spawned =
        SpawnProcess(NativePath(program), {}, false, {}, std::move(environment));
    if (spawned.error != 0) {
        if (log) log->WriteFormat(1, "Create process failed: \"%s\".\r\n", program);
        return false;
    }
    if (log) log->WriteFormat(0, "Created process: \"%s\" (OK).\r\n", program);
    return true;
}

std::string ShellResultText(int result) {
    switch (result) {
        case 0:
            return "The operating system is out of memory or resources.\r\n";
        case 2:
            return "The specified file was not found.\r\n";
        case 3:
            return "The specified path was not found.\r\n";
        case 5:
            return "The operating system denied access to the specified file.\r\n";
        case 8:
            return "There was not enough memory to complete the operation.\r\n";
        case 11:
            return "The .exe file is invalid (non-Win32\u00ae .exe or error in .exe image).\r\n";
        case 26:
            return "A sharing violation occurred.\r\n";
        case 27:
            return "The file name association is incomplete or invalid.\r\n";
        case 31:
            return "There is no application associated with the given file name extension.\r\n";
        case 32:
            return "The specified dynamic-link library was not found.\r\n";
        default:
            return Format("ShellExecute failed, error code: %d.\r\n", result);
    }
}

bool ShellOpenAction(std::string_view target, ILog* log, ChildEnvironment environment) {
    if (target.empty()) {
        WriteLine(log, 1, "Empty parameter(s) for shell execute command.\r\n");
        return false;
    }
    // The target is opened as written but logged without a URL password.
    const std::string shown = MaskUrlPassword(target);
    if (log) log->WriteFormat(0, "ShellExecute %sing: \"%s\".\r\n", "open", shown);
    // The opener's verdict is written when it comes, by the thread that reaps the opener, so the
    // caller (the engine) never waits for it; the log is held until then.
    ChildWatch watch;
    watch.limit = kShellOpenWait;
    watch.settled = [kept = LogPtr::Share(log), shown](std::optional<int> exitCode) {
        WriteShellOutcome(kept.get(), shown, exitCode);
    };
    const SpawnResult spawned = SpawnProcess(OpenProgram(), {std::string(target)}, true,
                                             std::move(watch), std::move(environment));
    if (spawned.error == 0) return true;
    WriteLine(log, 1, ShellFailureLine(ShellResultOfSpawnError(spawned.error)));
    return false;
}

void SetShellOpenProgram(std::string program) {
    std::lock_guard g(g_programLock);
    g_openProgram = std::move(program);
}

}  // namespace tellweir
