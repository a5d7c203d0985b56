// RunActionLine and the action test.
#include "core/action_runner.h"

#include "base/ascii_text.h"
#include "core/action_line.h"
#include "core/beep_action.h"
#include "core/shell_actions.h"
#include "core/sound_output.h"
#include "log/item_log.h"

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

void OpenInShellAction(const std::string& target, ILog* log, IDesktopPort& desktop) {
    // The main window opens it on its own thread when it is there; otherwise, or when it
    // declines, it is opened here.
    const std::optional<int> reply = desktop.OpenInShell(target, log);
    if (reply && *reply == kShellOpenHandled) return;
    ShellOpenAction(target, log);
}

}  // namespace

bool RunActionLine(std::string_view line, ILog* log, std::string_view taskName,
                   IDesktopPort& desktop) {
    std::string parameter;
    const int code = ParseActionLine(line, parameter);
    const std::string name(taskName);
    switch (code) {
        case kActionPrompt:
            desktop.ShowPrompt(name, parameter);
            return false;
        case kActionBeep:
            SoundBeep(ParseBeepParameter(parameter));
            return false;
        case kActionLightIcon:
            desktop.LightTrayIcon(name, parameter);
            return false;
        case kActionPlaySound:
            PlaySoundAction(parameter, log);
            return false;
        case kActionCreateProcess:
            CreateProcessAction(parameter, log);
            return false;
        case kActionOpenInShell:
            OpenInShellAction(parameter, log, desktop);
            return false;
        default:
            return IsEngineAction(code);
    }
}

std::string RunActionTest(std::string_view line, IDesktopPort& desktop) {
    ItemLogPtr log = MakeRef<CItemLog>();
    log->SetForcedLevel(kLevelRaw);
    RunActionLine(line, log.get(), kActionTestTaskName, desktop);
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
