// Entry point of tellweir: hands over to the desktop program when there is a display, else runs
// without windows; the commands edit the queue file, or hand the edit to the copy that runs.
// Nothing here loads the GUI libraries, so that every command starts quickly.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/desktop_launch.h"
#include "app/options.h"
#include "base/version.h"

namespace {

// Empty when the current folder cannot be named (it was removed, or is too deep).
std::string CurrentFolder() {
    std::vector<char> buffer(4096);
    return ::getcwd(buffer.data(), buffer.size()) != nullptr ? std::string(buffer.data())
                                                             : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    // Times in logs follow the user's locale; numbers (LC_NUMERIC) never do, so that files and
    // protocol texts stay the same everywhere. Stored dates use fixed numeric formats.
    std::setlocale(LC_TIME, "");
    using tellweir::ProgramOptions;
    std::string error;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::string folder = CurrentFolder();
    const std::optional<ProgramOptions> options = tellweir::ParseOptions(args, folder, error);
    if (!options) {
        std::fprintf(stderr, "tellweir: %s\nTry 'tellweir --help'.\n", error.c_str());
        return 2;
    }
    switch (options->command) {
        case ProgramOptions::Command::Add:
        case ProgramOptions::Command::List:
        case ProgramOptions::Command::Remove:
        case ProgramOptions::Command::MarkViewed:
            // While an instance runs, it makes the change itself; on its own a command may not.
            if (const std::optional<int> status = tellweir::RunInRunningInstance(args, folder))
                return *status;
            break;
        default:
            break;
    }
    switch (options->command) {
        case ProgramOptions::Command::Help:
            std::fputs(tellweir::UsageText().c_str(), stdout);
            return 0;
        case ProgramOptions::Command::Version:
            std::printf("tellweir %s\n", tellweir::kProgramVersion);
            return 0;
        case ProgramOptions::Command::Add:
            return tellweir::AddTaskCommand(*options);
        case ProgramOptions::Command::List:
            return tellweir::ListTasksCommand();
        case ProgramOptions::Command::Remove:
            return tellweir::RemoveTaskCommand(options->name);
        case ProgramOptions::Command::Check:
            return tellweir::CheckCommand(*options);
        case ProgramOptions::Command::History:
            return tellweir::HistoryCommand(*options);
        case ProgramOptions::Command::Diff:
            return tellweir::DiffCommand(*options, folder);
        case ProgramOptions::Command::MarkViewed:
            return tellweir::MarkViewedCommand(*options);
        case ProgramOptions::Command::Desktop:
            if (tellweir::DisplayAvailable()) {
                std::string failed;
                tellweir::ExecDesktop(argv, failed);
                std::fprintf(stderr, "tellweir: %s; running without windows (--headless)\n",
                             failed.c_str());
            } else {
                std::fputs("tellweir: no display; running without windows (--headless)\n", stderr);
            }
            break;
        case ProgramOptions::Command::Headless:
            break;
    }
    return tellweir::RunHeadless();
}
