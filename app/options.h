// The command line of the program: what to do and the values of the task to add.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tellweir {

struct ProgramOptions {
    // Desktop: no command given; the windows when there is a display, else Headless.
    enum class Command {
        Desktop,
        Headless,
        Add,
        List,
        Remove,
        Check,
        History,
        Diff,
        MarkViewed,
        Version,
        Help
    };
    Command command = Command::Desktop;
    bool startHidden = false;  // "-winstart", "/minimize", "-Minimized"...: the tray icon alone
    std::string uri;           // --add, --check
    std::string output;        // --check --download: where the content goes
    std::string name;          // --name, or the task to remove, list or compare
    bool download = false;
    std::optional<int> schedule;  // 0 once, 1 periodically, 2 manually
    int repeatValue = 0;          // --every N UNIT
    std::string repeatUnit;
    std::optional<std::string> weekdays;
    // --diff: the versions compared (--from, --to), the one printed as text (--text), or the
    // pair the user has not seen yet (--unseen). --mark-viewed: the version (--to).
    std::optional<int> fromVersion;
    std::optional<int> toVersion;
    std::optional<int> textVersion;
    bool unseen = false;
};

// The most the arguments after the program name may take, each counted with one byte more (as
// the kernel counts them): a command line is the same command whether it runs alone or is
// handed to the running instance, and so has one limit, far above any name or URL.
inline constexpr std::size_t kMaxCommandLineBytes = std::size_t{1} << 20;

// Parses the arguments after the program name. On a mistake returns nothing and sets `error`.
// The desktop's start switches ("-winstart", "/minimize", ...) set startHidden.
// The URI of --add and --check is given as a task keeps it: a "file:" URI becomes the absolute
// path it names; for --add a text without a scheme is a path below `currentFolder` (empty when
// unknown). --add also refuses a URI of a kind no task watches (sftp://, mailto:, ...), a blank
// name, control characters in the name or URI, and contradicting schedule options.
std::optional<ProgramOptions> ParseOptions(const std::vector<std::string>& args,
                                           std::string_view currentFolder, std::string& error);

// The text of --help.
std::string UsageText();

}  // namespace tellweir
