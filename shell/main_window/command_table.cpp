// The command table.
#include "shell/main_window/command_table.h"

#include <cstdlib>

namespace tellweir {

namespace {

// Hide's Alt+F4 is the window manager's close, which hides the window; it is not bound here.
constexpr CommandInfo kCommands[] = {
    {kCmdNewTask, "&New Task...", "Ctrl+N", "Create new monitor item", "New", "document-new",
     "new.svg"},
    {kCmdDisplayPrompts, "Display &Prompts...", "Ctrl+P", "Show prompts view window",
     "Show prompts"},
    {kCmdShow, "Show &Tellweir", "F4", "Show main window", "Show"},
    {kCmdHide, "&Hide Tellweir", "", "Hide main window", "Hide"},
    {kCmdCleanupCache, "&Cleanup cache", "", "Delete unused cache files", "Cleanup cache"},
    {kCmdSettings, "&Settings...", "Alt+F7", "Display global settings", "Settings",
     "preferences-system", "settings.svg"},
    {kCmdExit, "E&xit Tellweir", "Ctrl+Q", "Quit the application; prompts to save documents",
     "Exit", "application-exit"},
    {kCmdToolbar, "&Toolbar", "", "Show or hide the toolbar", "Toggle ToolBar"},
    {kCmdStatusBar, "&Status Bar", "", "Show or hide the status bar", "Toggle StatusBar"},
    {kCmdEventsActions, "&Events && Actions...", "F10", "Configure selected item events handlers",
     "Events & Actions", nullptr, "events.svg"},
    {kCmdSchedule, "Sc&hedule...", "F8", "Schedule selected item", "Schedule", nullptr,
     "schedule.svg"},
    {kCmdViewLog, "View &Log...", "F9", "View selected item log", "Log", nullptr, "log.svg"},
    {kCmdClearLog, "&Clear log", "", "Clear selected item log", "Clear Log", "edit-clear"},
    {kCmdStart, "&Start", "F5", "Resume selected items(s)", "Resume", "media-playback-start",
     "start.svg"},
    {kCmdStop, "St&op", "F6", "Stop selected item(s)", "Stop", "media-playback-stop", "stop.svg"},
    {kCmdRemove, "&Remove", "Del", "Remove", "Remove", "edit-delete"},
    {kCmdHelp, "&Contents", "F1", "Open help", "Help", "help-contents"},
    {kCmdUpdate, "Check for latest &Update...", "", "Check for latest program version", "Update"},
    {kCmdAbout, "&About Tellweir...", "",
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
