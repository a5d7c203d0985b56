// Parsing the GNU-style command line.
#include "app/options.h"

#include <algorithm>
#include <charconv>

#include "base/ascii_text.h"
#include "core/event_table.h"
#include "url/local_path.h"
#include "url/protocol.h"
#include "url/url_address.h"
#include "url/url_mask.h"

namespace tellweir {

namespace {

constexpr const char* kUnits[] = {"seconds", "minutes", "hours", "days",
                                  "weeks",   "months",  "years"};

bool IsStartSwitch(std::string_view arg) {
    if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/')) return false;
    const std::string_view word = arg.substr(1);
    return EqualsIgnoreAsciiCase(word, "winstart") || EqualsIgnoreAsciiCase(word, "minimize") ||
           EqualsIgnoreAsciiCase(word, "minimized");
}

// Reads the values of the options in turn, from "--opt=value" or the next argument.
class ArgReader {
  public:
    explicit ArgReader(const std::vector<std::string>& args) : args_(args) {}
    bool Done() const { return next_ >= args_.size(); }
    // The next option's name ("--every"), remembering an attached "=value".
    std::string NextOption() {
        std::string arg = args_[next_++];
        attached_.reset();
        const std::size_t equals = arg.find('=');
        if (arg.starts_with("--") && equals != std::string::npos) {
            attached_ = arg.substr(equals + 1);
            arg.resize(equals);
        }
        return arg;
    }
    std::optional<std::string> Value() {
        if (attached_) {
            std::optional<std::string> value = std::move(attached_);
            attached_.reset();
            return value;
        }
        if (next_ >= args_.size()) return std::nullopt;
        return args_[next_++];
    }

  private:
    const std::vector<std::string>& args_;
    std::size_t next_ = 0;
    std::optional<std::string> attached_;
};

using Command = ProgramOptions::Command;
using OptionValues = std::vector<std::string>;

// Which command an option that selects none belongs to; Schedule options belong to --add and
// exclude one another.
enum class OptionOf { Any, Add, Schedule, Check, AddOrCheck, Diff, DiffOrMark };

// What the options read so far have chosen.
struct ParseState {
    ProgramOptions options;
    std::optional<Command> command;
    bool taskOptions = false;     // an option of --add only
    bool checkOptions = false;    // an option of --check only
    bool downloadOption = false;  // an option of both (--download)
    std::string diffOption;       // the last option of --diff only, as written
    std::string toOption;         // --to, which --mark-viewed takes too
    std::string scheduleOption;   // the schedule option as written, with its values
};

// Takes an option's values into `options`; false, with `error` set, for a value it refuses.
using OptionAction = bool (*)(const OptionValues& values, ProgramOptions& options,
                              std::string& error);

// The option's one value as the text field `field` (uri, name, output).
template <std::string ProgramOptions::*field>
bool SetText(const OptionValues& values, ProgramOptions& options, std::string&) {
    options.*field = values[0];
    return true;
}

// --once (0) and --manual (2).
template <int schedule>
bool SetSchedule(const OptionValues&, ProgramOptions& options, std::string&) {
    options.schedule = schedule;
    return true;
}

bool SetDownload(const OptionValues&, ProgramOptions& options, std::string&) {
    options.download = true;
    return true;
}

// --every N UNIT: N a positive whole number, UNIT one of kUnits.
bool SetEvery(const OptionValues& values, ProgramOptions& options, std::string& error) {
    const std::string& count = values[0];
    const std::string& unit = values[1];
    int value = 0;
    const auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), value);
    if (ec != std::errc() || end != count.data() + count.size() || value < 1) {
        error = "'--every' needs a positive whole number, not '" + count + "'";
        return false;
    }
    if (std::find(std::begin(kUnits), std::end(kUnits), unit) == std::end(kUnits)) {
        error = "unknown unit '" + unit +
                "' (use seconds, minutes, hours, days, weeks, months or years)";
        return false;
    }
    options.schedule = 1;
    options.repeatValue = value;
    options.repeatUnit = unit;
    return true;
}

bool SetWeekdays(const OptionValues& values, ProgramOptions& options, std::string& error) {
    const std::string& days = values[0];
    if (days.find_first_not_of("1234567") != std::string::npos) {
        error = "'--weekdays' takes digits 1 (Sunday) to 7 (Saturday), not '" + days + "'";
        return false;
    }
    options.weekdays = days;
    return true;
}

// A version number: a positive whole number.
template <std::optional<int> ProgramOptions::*field>
bool SetVersion(const OptionValues& values, ProgramOptions& options, std::string& error) {
    const std::string& text = values[0];
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1) {
        error = "a version is a positive whole number, not '" + text + "'";
        return false;
    }
    options.*field = value;
    return true;
}

bool SetUnseen(const OptionValues&, ProgramOptions& options, std::string&) {
    options.unseen = true;
    return true;
}

struct OptionSpec {
    std::string_view name;
    std::optional<Command> command;  // the command the option selects, if any
    OptionOf of;                     // else the command it belongs to
    int valueCount;                  // how many values follow it
    OptionAction apply;              // what it sets; null when it only selects its command
};

constexpr OptionSpec kOptions[] = {
    {"--headless", Command::Headless, OptionOf::Any, 0, nullptr},
    {"--list", Command::List, OptionOf::Any, 0, nullptr},
    {"--version", Command::Version, OptionOf::Any, 0, nullptr},
    {"--help", Command::Help, OptionOf::Any, 0, nullptr},
    {"-h", Command::Help, OptionOf::Any, 0, nullptr},
    {"--add", Command::Add, OptionOf::Any, 1, SetText<&ProgramOptions::uri>},
    {"--check", Command::Check, OptionOf::Any, 1, SetText<&ProgramOptions::uri>},
    {"--output", std::nullopt, OptionOf::Check, 1, SetText<&ProgramOptions::output>},
    {"--remove", Command::Remove, OptionOf::Any, 1, SetText<&ProgramOptions::name>},
    {"--history", Command::History, OptionOf::Any, 1, SetText<&ProgramOptions::name>},
    {"--diff", Command::Diff, OptionOf::Any, 1, SetText<&ProgramOptions::name>},
    {"--mark-viewed", Command::MarkViewed, OptionOf::Any, 1, SetText<&ProgramOptions::name>},
    {"--from", std::nullopt, OptionOf::Diff, 1, SetVersion<&ProgramOptions::fromVersion>},
    {"--to", std::nullopt, OptionOf::DiffOrMark, 1, SetVersion<&ProgramOptions::toVersion>},
    {"--text", std::nullopt, OptionOf::Diff, 1, SetVersion<&ProgramOptions::textVersion>},
    {"--unseen", std::nullopt, OptionOf::Diff, 0, SetUnseen},
    {"--name", std::nullopt, OptionOf::Add, 1, SetText<&ProgramOptions::name>},
    {"--download", std::nullopt, OptionOf::AddOrCheck, 0, SetDownload},
    {"--once", std::nullopt, OptionOf::Schedule, 0, SetSchedule<0>},
    {"--manual", std::nullopt, OptionOf::Schedule, 0, SetSchedule<2>},
    {"--every", std::nullopt, OptionOf::Schedule, 2, SetEvery},
    {"--weekdays", std::nullopt, OptionOf::Add, 1, SetWeekdays},
};

const OptionSpec* FindOption(std::string_view name) {
    for (const OptionSpec& spec : kOptions)
        if (spec.name == name) return &spec;
    return nullptr;
}

// At most one command: the same one named twice is fine.
bool SelectCommand(Command command, const std::string& option, ParseState& state,
                   std::string& error) {
    if (state.command && *state.command != command) {
        error = "option '" + option + "' cannot be combined with another command";
        return false;
    }
    state.command = command;
    return true;
}

// Reads `count` values, none of them empty.
bool ReadValues(ArgReader& reader, const std::string& option, int count, OptionValues& values,
                std::string& error) {
    for (int n = 0; n < count; ++n) {
        std::optional<std::string> value = reader.Value();
        if (!value || value->empty()) {
            error = "option '" + option + "' requires a value";
            return false;
        }
        values.push_back(std::move(*value));
    }
    return true;
}

// At most one schedule: the same one written twice is fine.
bool SelectSchedule(const std::string& option, const OptionValues& values, ParseState& state,
                    std::string& error) {
    std::string written = option;
    for (const std::string& value : values)
        written += " " + value;
    if (!state.scheduleOption.empty() && state.scheduleOption != written) {
        error = "'" + written + "' cannot be combined with '" + state.scheduleOption + "'";
        return false;
    }
    state.scheduleOption = std::move(written);
    return true;
}

// One option as written (`option`: "-h" or "--help"): its command first, then its values.
bool ApplyOption(const OptionSpec& spec, const std::string& option, ArgReader& reader,
                 ParseState& state, std::string& error) {
    if (spec.command && !SelectCommand(*spec.command, option, state, error)) return false;
    OptionValues values;
    if (!ReadValues(reader, option, spec.valueCount, values, error)) return false;
    if (spec.of == OptionOf::Schedule && !SelectSchedule(option, values, state, error))
        return false;
    if (spec.apply && !spec.apply(values, state.options, error)) return false;
    state.taskOptions |= spec.of == OptionOf::Add || spec.of == OptionOf::Schedule;
    state.checkOptions |= spec.of == OptionOf::Check;
    state.downloadOption |= spec.of == OptionOf::AddOrCheck;
    if (spec.of == OptionOf::Diff) state.diffOption = option;
    if (spec.of == OptionOf::DiffOrMark) state.toOption = option;
    return true;
}

// Options of --add need --add, except --download, which --check takes too; --output needs
// --check.
bool CheckCombination(const ParseState& state, std::string& error) {
    const Command command = state.options.command;
    if ((state.taskOptions || state.downloadOption) && command != Command::Add &&
        !(command == Command::Check && !state.taskOptions)) {
        error = "task options need '--add URI'";
        return false;
    }
    if (state.checkOptions && command != Command::Check) {
        error = "'--output' needs '--check URI --download'";
        return false;
    }
    if (!state.diffOption.empty() && command != Command::Diff) {
        error = "'" + state.diffOption + "' needs '--diff NAME'";
        return false;
    }
    if (!state.toOption.empty() && command != Command::Diff && command != Command::MarkViewed) {
        error = "'--to' needs '--diff NAME' or '--mark-viewed NAME'";
        return false;
    }
    return true;
}

// --text prints one version and --unseen chooses the pair itself: neither takes a pair given.
bool CheckDiffChoice(const ProgramOptions& options, std::string& error) {
    const bool pair = options.fromVersion || options.toVersion;
    if (options.textVersion && (pair || options.unseen)) {
        error = "'--text' cannot be combined with '--from', '--to' or '--unseen'";
        return false;
    }
    if (options.unseen && pair) {
        error = "'--unseen' cannot be combined with '--from' or '--to'";
        return false;
    }
    return true;
}

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// The task kind of a URI as the task derives it, and whether any event applies to it: a task
// of a kind without events would be dropped by the next load of the queue file.
bool IsWatchableUri(std::string_view uri) {
    const int kind = uri.starts_with("<null") ? kKindNull
                     : IsLocalPath(uri)       ? kKindLocal
                                              : static_cast<int>(DetectProtocol(uri, true).id);
    return !EventsForKind(kind).empty();
}

// A "file:" URI becomes the path it names, so that runs, cache names and --check all see a plain
// path; for --add, a text without a scheme becomes a path below `currentFolder`.
bool MakeUriLocal(ProgramOptions& options, std::string_view currentFolder, std::string& error) {
    std::string& uri = options.uri;
    if (StartsWithIgnoreAsciiCase(uri, "file:")) {
        std::optional<std::string> path = PathFromFileUri(uri);
        if (!path) {
            error = "'" + uri + "' names no absolute path on this machine";
            return false;
        }
        uri = std::move(*path);
    } else if (options.command == Command::Add && IsRelativeLocalPath(uri)) {
        if (currentFolder.empty()) {
            error = "cannot make '" + uri + "' absolute: the current folder is unknown";
            return false;
        }
        uri = AbsolutePathIn(currentFolder, uri);
    }
    return true;
}

// What --add would store but could not use: a blank name or one with control characters (it
// could not be removed or listed), a URI with control characters, a kind without events, and a
// day filter on a schedule that has no days.
bool CheckTaskValues(ParseState& state, std::string& error) {
    ProgramOptions& options = state.options;
    // A name is stored trimmed: a blank one would be stored empty.
    const std::string_view name = TrimAsciiSpace(options.name);
    if (!options.name.empty() && name.empty()) {
        error = "a task's name cannot be blank";
        return false;
    }
    options.name = std::string(name);
    if (HasControlCharacter(options.name)) {
        error = "a task's name cannot hold control characters (line breaks, tabs, ...)";
        return false;
    }
    if (HasControlCharacter(options.uri)) {
        error = "the URI cannot hold control characters (line breaks, tabs, ...)";
        return false;
    }
    if (!IsWatchableUri(options.uri)) {
        error = "cannot watch '" + MaskUrlPassword(options.uri) +
                "': tasks watch http://, https:// and ftp:// URLs and local paths";
        return false;
    }
    // As the task checks it when it is added: a URL without a host or with a port past 65534
    // is a mistake in the command line, not a failure of the command.
    CUrlAddress address;
    std::string path;
    if (!IsLocalPath(options.uri) && !options.uri.starts_with("<null") &&
        !ParseUrl(options.uri, true, address, path)) {
        error = "Invalid URL: \"" + MaskUrlPassword(options.uri) + "\".";
        return false;
    }
    if (options.weekdays && options.schedule && *options.schedule != 1) {
        error = "'--weekdays' cannot be combined with '" + state.scheduleOption + "'";
        return false;
    }
    return true;
}

}  // namespace

std::optional<ProgramOptions> ParseOptions(const std::vector<std::string>& args,
                                           std::string_view currentFolder, std::string& error) {
    // Counted as the kernel counts them, each with its terminating NUL.
    std::size_t length = 0;
    for (const std::string& arg : args)
        length += arg.size() + 1;
    if (length > kMaxCommandLineBytes) {
        error = "the arguments are longer than " + std::to_string(kMaxCommandLineBytes >> 10) +
                " KiB in all";
        return std::nullopt;
    }
    ParseState state;
    ArgReader reader(args);
    while (!reader.Done()) {
        const std::string option = reader.NextOption();
        if (const OptionSpec* spec = FindOption(option)) {
            if (!ApplyOption(*spec, option, reader, state, error)) return std::nullopt;
        } else if (IsStartSwitch(option)) {
            // Without windows there is nothing to hide: the other commands ignore it.
            state.options.startHidden = true;
        } else {
            error = "unknown option '" + option + "'";
            return std::nullopt;
        }
    }
    state.options.command = state.command.value_or(Command::Desktop);
    if (!CheckCombination(state, error)) return std::nullopt;
    const Command command = state.options.command;
    if (command == Command::Add || command == Command::Check) {
        if (!MakeUriLocal(state.options, currentFolder, error)) return std::nullopt;
    }
    if (command == Command::Add && !CheckTaskValues(state, error)) return std::nullopt;
    if (command == Command::Diff && !CheckDiffChoice(state.options, error)) return std::nullopt;
    return state.options;
}

std::string UsageText() {
    return "Usage: tellweir [COMMAND] [OPTIONS]\n"
           "Watches web resources (http, https, ftp) and local files for change.\n"
           "\n"
           "Commands:\n"
           "  (none)               start the desktop program when a display is there,\n"
           "                       else run without windows as --headless does;\n"
           "                       -winstart or -minimize start it in the tray\n"
           "  --headless           run the monitor tasks until SIGINT, SIGTERM, SIGHUP or\n"
           "                       SIGUSR1, then save the queue;\n"
           "                       every log line is printed as \"[task] line\"\n"
           "  --add URI            add a monitor task for URI: an http://, https:// or ftp://\n"
           "                       URL, or a local path (a file: URI or relative path is\n"
           "                       stored as the absolute path)\n"
           "  --list               list the tasks: name, state, schedule, URI\n"
           "  --remove NAME        remove the task NAME\n"
           "  --check URI          get the file information of URI now, as a task run would;\n"
           "                       the transfer's log goes to standard error\n"
           "  --history NAME       list the versions the task NAME keeps: number, time, event,\n"
           "                       size, lines added and removed\n"
           "  --diff NAME          print what changed between the task's last two versions as\n"
           "                       a unified diff; exit status 0 with a difference, 1 when the\n"
           "                       two are equal, 2 on a mistake (no such task or version)\n"
           "  --mark-viewed NAME   mark the task's versions as viewed (the bold row clears)\n"
           "  --version            print the version\n"
           "  --help               print this help\n"
           "\n"
           "Options of --add:\n"
           "  --name NAME          the task's name (default: from the URI)\n"
           "  --download           compare the whole content (default: file information)\n"
           "  --once               run once\n"
           "  --manual             run only when started by hand\n"
           "  --every N UNIT       run every N seconds, minutes, hours, days, weeks, months\n"
           "                       or years (default: every 10 seconds)\n"
           "  --weekdays DIGITS    only on these days: 1 Sunday, 2 Monday ... 7 Saturday\n"
           "\n"
           "Options of --check:\n"
           "  --download           fetch the whole content\n"
           "  --output FILE        where the content goes (default: the URI's file name)\n"
           "\n"
           "Options of --diff:\n"
           "  --from N             the older version (default: the one before --to)\n"
           "  --to M               the newer version (default: the newest)\n"
           "  --text N             print version N as text instead\n"
           "  --unseen             compare the newest version viewed with the newest, and\n"
           "                       mark the newest viewed\n"
           "\n"
           "Options of --mark-viewed:\n"
           "  --to N               the version viewed (default: the newest)\n";
}

}  // namespace tellweir
