// Parsing the GNU-style command line.
#include "app/options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace tellweir {

namespace {

constexpr const char* kUnits[] = {"seconds", "minutes", "hours", "days",
                                  "weeks",   "months",  "years"};

bool IsStartSwitch(std::string_view arg) {
    if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/')) return false;
    std::string word(arg.substr(1));
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word == "winstart" || word == "minimize" || word == "minimized";
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
    bool HasAttachedValue() const { return attached_.has_value(); }

  private:
    const std::vector<std::string>& args_;
    std::size_t next_ = 0;
    std::optional<std::string> attached_;
};

}  // namespace

std::optional<ProgramOptions> ParseOptions(const std::vector<std::string>& args,
                                           std::string& error) {
    ProgramOptions options;
    std::optional<ProgramOptions::Command> command;
    const auto setCommand = [&](ProgramOptions::Command c, const std::string& option) {
        if (command && *command != c) {
            error = "option '" + option + "' cannot be combined with another command";
            return false;
        }
        command = c;
        return true;
    };
    const auto needValue = [&](ArgReader& reader, const std::string& option, std::string& out) {
        std::optional<std::string> value = reader.Value();
        if (!value || value->empty()) {
            error = "option '" + option + "' requires a value";
            return false;
        }
        out = *value;
        return true;
    };
    ArgReader reader(args);
    bool taskOptions = false;
    bool checkOptions = false;
    bool downloadOption = false;
    while (!reader.Done()) {
        const std::string option = reader.NextOption();
        using C = ProgramOptions::Command;
        bool ok = true;
        if (option == "--headless") {
            ok = setCommand(C::Headless, option);
        } else if (option == "--list") {
            ok = setCommand(C::List, option);
        } else if (option == "--version") {
            ok = setCommand(C::Version, option);
        } else if (option == "--help" || option == "-h") {
            ok = setCommand(C::Help, option);
        } else if (option == "--add") {
            ok = setCommand(C::Add, option) && needValue(reader, option, options.uri);
        } else if (option == "--check") {
            ok = setCommand(C::Check, option) && needValue(reader, option, options.uri);
        } else if (option == "--output") {
            ok = needValue(reader, option, options.output);
            checkOptions = true;
        } else if (option == "--remove") {
            ok = setCommand(C::Remove, option) && needValue(reader, option, options.name);
        } else if (option == "--name") {
            ok = needValue(reader, option, options.name);
            taskOptions = true;
        } else if (option == "--download") {
            options.download = true;
            downloadOption = true;
        } else if (option == "--once" || option == "--manual") {
            options.schedule = option == "--once" ? 0 : 2;
            taskOptions = true;
        } else if (option == "--every") {
            std::string count, unit;
            ok = needValue(reader, option, count) && needValue(reader, option, unit);
            int value = 0;
            const auto [end, ec] =
                std::from_chars(count.data(), count.data() + count.size(), value);
            if (ok && (ec != std::errc() || end != count.data() + count.size() || value < 1)) {
                error = "'--every' needs a positive whole number, not '" + count + "'";
                ok = false;
            }
            if (ok && std::find(std::begin(kUnits), std::end(kUnits), unit) == std::end(kUnits)) {
                error = "unknown unit '" + unit +
                        "' (use seconds, minutes, hours, days, weeks, months or years)";
                ok = false;
            }
            options.schedule = 1;
            options.repeatValue = value;
            options.repeatUnit = unit;
            taskOptions = true;
        } else if (option == "--weekdays") {
            std::string days;
            ok = needValue(reader, option, days);
            if (ok && days.find_first_not_of("1234567") != std::string::npos) {
                error = "'--weekdays' takes digits 1 (Sunday) to 7 (Saturday), not '" + days + "'";
                ok = false;
            }
            options.weekdays = days;
            taskOptions = true;
        } else if (IsStartSwitch(option)) {
            // The desktop's start switches: nothing to do without windows.
        } else {
            error = "unknown option '" + option + "'";
            ok = false;
        }
        if (!ok) return std::nullopt;
    }
    options.command = command.value_or(ProgramOptions::Command::Headless);
    using C = ProgramOptions::Command;
    if ((taskOptions || downloadOption) && options.command != C::Add &&
        !(options.command == C::Check && !taskOptions)) {
        error = "task options need '--add URI'";
        return std::nullopt;
    }
    if (checkOptions && options.command != C::Check) {
        error = "'--output' needs '--check URI --download'";
        return std::nullopt;
    }
    return options;
}

std::string UsageText() {
    return "Usage: tellweir [COMMAND] [OPTIONS]\n"
           "Watches web resources (http, https, ftp) and local files for change.\n"
           "\n"
           "Commands:\n"
           "  --headless           run the monitor tasks until interrupted (the default);\n"
           "                       every log line is printed as \"[task] line\"\n"
           "  --add URI            add a monitor task for URI (a URL or a local path)\n"
           "  --list               list the tasks: name, state, schedule, URI\n"
           "  --remove NAME        remove the task NAME\n"
           "  --check URI          get the file information of URI now, as a task run would;\n"
           "                       the transfer's log goes to standard error\n"
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
           "  --output FILE        where the content goes (default: the URI's file name)\n";
}

}  // namespace tellweir
