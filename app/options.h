// The command line of the program: what to do and the values of the task to add.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tellweir {

struct ProgramOptions {
    enum class Command { Headless, Add, List, Remove, Check, Version, Help };
    Command command = Command::Headless;
    std::string uri;     // --add, --check
    std::string output;  // --check --download: where the content goes
    std::string name;    // --name, or the task to remove
    bool download = false;
    std::optional<int> schedule;  // 0 once, 1 periodically, 2 manually
    int repeatValue = 0;          // --every N UNIT
    std::string repeatUnit;
    std::optional<std::string> weekdays;
};

// Parses the arguments after the program name. On a mistake returns nothing and sets `error`.
// The desktop's start switches ("-winstart", "/minimize", ...) are accepted and ignored.
std::optional<ProgramOptions> ParseOptions(const std::vector<std::string>& args,
                                           std::string& error);

// The text of --help.
std::string UsageText();

}  // namespace tellweir
