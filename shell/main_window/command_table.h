// The commands of the main window: ids, menu texts, keys, status texts, tooltips and images.
#pragma once

#include <span>

namespace tellweir {

// The window's commands, in the order of the command table.
enum class CommandId {
    NewTask,
    DisplayPrompts,
    Show,
    Hide,
    CleanupCache,
    Settings,
    Exit,
    Toolbar,
    StatusBar,
    EventsActions,
    Schedule,
    ViewLog,
    ViewChanges,
    ClearLog,
    Start,
    Stop,
    Remove,
    Help,
    Update,
    About,
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
