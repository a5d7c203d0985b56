// RunActionLine and the action test.
#include "core/action_runner.h"

#include <unistd.h>

#include "base/ascii_text.h"
#include "core/action_line.h"
#include "core/beep_action.h"
#include "core/local_clock.h"
#include "core/shell_actions.h"
#include "core/sound_output.h"
#include "log/item_log.h"
#include "transfer/file_path.h"

namespace tellweir {
namespace {

void PlaySoundAction(const std::string& path, ILog* log) {
    const bool played = SoundOutput().PlayFile(path);
    if (!log) return;
    if (played) {
        log->WriteFormat(0, "Playing sound: \"%s\".", path);
    } else {
        log->WriteFormat(1, "Cannot play sound: \"%s\".", path);
    }
}

// The environment of a program started for `context`; the diff file, when there is one, is held
// until the program has ended.
ChildEnvironment ChildEnvironmentOf(const ActionContext& context) {
    std::shared_ptr<const CActionDiffFile> diff = context.diffFile ? context.diffFile() : nullptr;
    return {ActionEnvironment(context, diff.get()), std::move(diff)};
}

void OpenInShellAction(const std::string& target, ILog* log, const ActionContext& context,
                       IDesktopPort& desktop) {
    // The main window opens it on its own thread when it is there; otherwise, or when it
    // declines, it is opened here.
    ChildEnvironment environment = ChildEnvironmentOf(context);
    const std::optional<int> reply = desktop.OpenInShell(target, log, environment);
    if (reply && *reply == kShellOpenHandled) return;
    ShellOpenAction(target, log, std::move(environment));
}

void AddEntry(std::vector<std::string>& entries, std::string_view name, std::string_view value) {
    // A NUL would end the entry early: the value is cut there, as a C string would be.
    value = value.substr(0, value.find('\0'));
    if (!value.empty()) entries.push_back(std::string(name) + "=" + std::string(value));
}

}  // namespace

ActionContext TaskActionContext(std::string_view taskName) {
    ActionContext context;
    context.taskName = std::string(taskName);
    context.time = LocalNow();
    return context;
}

std::vector<std::string> ActionEnvironment(const ActionContext& context,
                                           const CActionDiffFile* diff) {
    std::vector<std::string> entries;
    AddEntry(entries, "TELLWEIR_TASK", context.taskName);
    AddEntry(entries, "TELLWEIR_URL", context.url);
    AddEntry(entries, "TELLWEIR_EVENT", context.event);
    if (context.time.days != 0.0)
        AddEntry(entries, "TELLWEIR_TIME", context.time.Format("%Y-%m-%d %H:%M:%S"));
    if (context.change.version != 0) AddEntry(entries, "TELLWEIR_SUMMARY", context.change.summary);
    if (diff != nullptr) AddEntry(entries, "TELLWEIR_DIFF", diff->Path());
    return entries;
}

bool RunActionLine(std::string_view line, ILog* log, const ActionContext& context,
                   IDesktopPort& desktop) {
    std::string parameter;
    const int code = ParseActionLine(line, parameter);
    const std::string& name = context.taskName;
    const bool changed = context.change.version != 0;
    switch (code) {
        case kActionPrompt:
            if (changed)
                desktop.ShowChangePrompt(name, parameter, context.change);
            else
                desktop.ShowPrompt(name, parameter);
            return false;
        case kActionBeep:
            SoundBeep(ParseBeepParameter(parameter));
            return false;
        case kActionLightIcon:
            if (changed)
                desktop.LightChangeIcon(name, parameter, context.change);
            else
                desktop.LightTrayIcon(name, parameter);
            return false;
        case kActionPlaySound:
            PlaySoundAction(parameter, log);
            return false;
        case kActionCreateProcess:
            // Only a program that can start is worth a diff file: a broken action must not
            // write one on every run.
            CreateProcessAction(
                parameter, log,
                !parameter.empty() && ::access(NativePath(parameter).c_str(), X_OK) == 0
                    ? ChildEnvironmentOf(context)
                    : ChildEnvironment{});
            return false;
        case kActionOpenInShell:
            OpenInShellAction(parameter, log, context, desktop);
            return false;
        default:
            return IsEngineAction(code);
    }
}

std::string RunActionTest(std::string_view line, IDesktopPort& desktop) {
    ItemLogPtr log = MakeRef<CItemLog>();
    log->SetForcedLevel(kLevelRaw);
    RunActionLine(line, log.get(), TaskActionContext(kActionTestTaskName), desktop);
    const std::string raw = log->GetText();
    std::string_view text = TrimAsciiSpace(raw);
    std::string shown;
    if (text.empty()) {
        shown = " None.";
    } else {
        const std::size_t lastBreak = text.find_last_of("\r\n");
        if (lastBreak != std::string_view::npos) text = TrimAsciiSpace(text.substr(lastBreak + 1));
        shown = std::string(text);
    }
    return "Action test results:\r\n" + shown;
}

}  // namespace tellweir
