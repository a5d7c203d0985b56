// The action vocabulary of event tables and the text form of action lines: a line is an action
// name followed by its parameter; an event's action text is its lines joined by CR LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tellweir {

enum ActionCode : int {
    kActionNone = 0,
    kActionPrompt = 1,
    kActionBeep = 2,
    kActionLightIcon = 3,
    kActionPlaySound = 4,
    kActionCreateProcess = 5,
    kActionOpenInShell = 6,
    kActionStopTask = 7,
    kActionCleanupCache = 8,
    kActionSaveQueue = 9,
    kActionDisplayQueue = 10,
};
inline constexpr int kActionCount = 11;

// "None", "Prompt", ... "Display queue"; empty for a code outside 0..10.
std::string_view ActionName(int code);

// Codes 7 to 10 are carried out by the engine after its pass, not by the task.
constexpr bool IsEngineAction(int code) {
    return code >= kActionStopTask && code <= kActionDisplayQueue;
}

// The code of the first action name (in code order) that starts `line`, compared without regard
// to case; `parameter` gets the rest of the line without its leading blanks. A line that starts
// with no name is code 0 with an empty parameter. "BeepFreq=100" is a Beep line.
int ParseActionLine(std::string_view line, std::string& parameter);

// Splits an action text at every CR LF: an empty text has no lines, a final CR LF adds no empty
// line, and an empty line between two CR LF stays.
std::vector<std::string> SplitActionLines(std::string_view text);
std::string JoinActionLines(const std::vector<std::string>& lines);

}  // namespace tellweir
