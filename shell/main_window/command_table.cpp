// The command table.
#include "shell/main_window/command_table.h"

#include <cstdlib>

namespace tellweir {

namespace {

// Hide's Alt+F4 is the window manager's close, which hides the window; it is not bound here.
constexpr CommandInfo kCommands[] = {
    {CommandId::NewTask, "&New Task...", "Ctrl+N", "Create new monitor item", "New", "document-new",
     "new.svg"},
    {CommandId::DisplayPrompts, "Display &Prompts...", "Ctrl+P", "Show prompts view window",
     "Show prompts"},
    {CommandId::Show, "Show &Tellweir", "F4", "Show main window", "Show"},
    {CommandId::Hide, "&Hide Tellweir", "", "Hide main window", "Hide"},
    {CommandId::CleanupCache, "&Cleanup cache", "", "Delete unused cache files", "Cleanup cache"},
    {CommandId::Settings, "&Settings...", "Alt+F7", "Display global settings", "Settings",
     "preferences-system", "settings.svg"},
    {CommandId::Exit, "E&xit Tellweir", "Ctrl+Q", "Quit the application; prompts to save documents",
     "Exit", "application-exit"},
    {CommandId::Toolbar, "&Toolbar", "", "Show or hide the toolbar", "Toggle ToolBar"},
    {CommandId::StatusBar, "&Status Bar", "", "Show or hide the status bar", "Toggle StatusBar"},
    {CommandId::EventsActions, "&Events && Actions...", "F10",
     "Configure selected item events handlers", "Events & Actions", nullptr, "events.svg"},
    {CommandId::Schedule, "Sc&hedule...", "F8", "Schedule selected item", "Schedule", nullptr,
     "schedule.svg"},
    {CommandId::ViewLog, "View &Log...", "F9", "View selected item log", "Log", nullptr, "log.svg"},
    {CommandId::ViewChanges, "View Chan&ges...", "Ctrl+D",
     "Show what changed between the selected item's versions", "View Changes", nullptr,
     "changes.svg"},
    {CommandId::ClearLog, "&Clear log", "", "Clear selected item log", "Clear Log", "edit-clear"},
    {CommandId::Start, "&Start", "F5", "Resume selected items(s)", "Resume", "media-playback-start",
     "start.svg"},
    {CommandId::Stop, "St&op", "F6", "Stop selected item(s)", "Stop", "media-playback-stop",
     "stop.svg"},
    {CommandId::Remove, "&Remove", "Del", "Remove", "Remove", "edit-delete"},
    {CommandId::Help, "&Contents", "F1", "Open help", "Help", "help-contents"},
    {CommandId::Update, "Check for latest &Update...", "", "Check for latest program version",
     "Update"},
    {CommandId::About, "&About Tellweir...", "",
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
