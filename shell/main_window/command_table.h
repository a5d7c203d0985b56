// The commands of the main window: ids, menu texts, keys, status texts, tooltips and images.
#pragma once

#include <span>

namespace tellweir {

enum CommandId : int {
    kCmdNewTask = 57600,
    kCmdDisplayPrompts = 32779,
    kCmdShow = 32774,
    kCmdHide = 32775,
    kCmdCleanupCache = 32778,
    kCmdSettings = 32773,
    kCmdExit = 57665,
    kCmdToolbar = 59392,
    kCmdStatusBar = 59393,
    kCmdEventsActions = 59411,
    kCmdSchedule = 32776,
    kCmdViewLog = 32780,
    kCmdClearLog = 32783,
    kCmdStart = 32771,
    kCmdStop = 32772,
    kCmdRemove = 32777,
    kCmdHelp = 32827,
    kCmdUpdate = 32830,
    kCmdAbout = 57664,
};

struct CommandInfo {
    CommandId id;
    const char* text;     // menu text with its "&" mnemonic
    const char* key;      // QKeySequence text; empty for none
    const char* status;   // the status bar text
    const char* tooltip;  // the toolbar tooltip
    const char* themeIcon = nullptr;
    const char* ownIcon = nullptr;
};

std::span<const CommandInfo> Commands();
const CommandInfo& Command(CommandId id);

}  // namespace tellweir
