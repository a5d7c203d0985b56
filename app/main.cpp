// Entry point of tellweir. Until the desktop shell exists the program runs without windows:
// it runs its monitor tasks and edits its queue file from the command line.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "app/commands.h"
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
    const std::optional<ProgramOptions> options = tellweir::ParseOptions(
        std::vector<std::string>(argv + 1, argv + argc), CurrentFolder(), error);
    if (!options) {
        std::fprintf(stderr, "tellweir: %s\nTry 'tellweir --help'.\n", error.c_str());
        return 2;
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
        case ProgramOptions::Command::Headless:
            break;
    }
    return tellweir::RunHeadless();
}
