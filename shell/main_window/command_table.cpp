// The command table.
#include "shell/main_window/command_table.h"

#include <cstdlib>

namespace tellweir {

namespace {

// Hide's Alt+F4 is the window manager's close, which hides the window; it is not bound here.
constexpr CommandInfo kCommands[] = {
    {CommandId::kNewTask, "&New Task...", "Ctrl+N", "Create new monitor item", "New",
     "document-new", "new.svg"},
    {CommandId::kDisplayPrompts, "Display &Prompts...", "Ctrl+P", "Show prompts view window",
     "Show prompts"},
    {CommandId::kShow, "Show &Tellweir", "F4", "Show main window", "Show"},
    {CommandId::kHide, "&Hide Tellweir", "", "Hide main window", "Hide"},
    {CommandId::kCleanupCache, "&Cleanup cache", "", "Delete unused cache files", "Cleanup cache"},
    {CommandId::kSettings, "&Settings...", "Alt+F7", "Display global settings", "Settings",
     "preferences-system", "settings.svg"},
    {CommandId::kExit, "E&xit Tellweir", "Ctrl+Q",
     "Quit the application; prompts to save documents", "Exit", "application-exit"},
    {CommandId::kToolbar, "&Toolbar", "", "Show or hide the toolbar", "Toggle ToolBar"},
    {CommandId::kStatusBar, "&Status Bar", "", "Show or hide the status bar", "Toggle StatusBar"},
    {CommandId::kEventsActions, "&Events && Actions...", "F10",
     "Configure selected item events handlers", "Events & Actions", nullptr, "events.svg"},
    {CommandId::kSchedule, "Sc&hedule...", "F8", "Schedule selected item", "Schedule", nullptr,
     "schedule.svg"},
    {CommandId::kViewLog, "View &Log...", "F9", "View selected item log", "Log", nullptr,
     "log.svg"},
    {CommandId::kClearLog, "&Clear log", "", "Clear selected item log", "Clear Log", "edit-clear"},
    {CommandId::kStart, "&Start", "F5", "Resume selected items(s)", "Resume",
     "media-playback-start", "start.svg"},
    {CommandId::kStop, "St&op", "F6", "Stop selected item(s)", "Stop", "media-playback-stop",
     "stop.svg"},
    {CommandId::kRemove, "&Remove", "Del", "Remove", "Remove", "edit-delete"},
    {CommandId::kHelp, "&Contents", "F1", "Open help", "Help", "help-contents"},
    {CommandId::kUpdate, "Check for latest &Update...", "", "Check for latest program version",
     "Update"},
    {CommandId::kAbout, "&About Tellweir...", "",
     "Display program information, version number and copyright", "About", "help-about",
     "about.svg"},
};

}  // namespace

std::span<const CommandInfo> Commands() {
    return kCommands;
}

const CommandInfo& Command(CommandId id) {
    for (const CommandInfo& info : kCommands)
        if (info.id == id) return info;
    std::abort();  // every id of the enumeration is in the table
}

}  // namespace tellweir
