// The calls that actions make into the desktop shell: show a prompt, light the tray icon, and
// ask the main window to open a target in the shell. The engine installs them when the window
// exists and clears them before it goes; with none installed the actions behave as with no
// window.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "log/log.h"

namespace tellweir {

// (task name, text). Called on the engine thread; must only hand the call over to the GUI
// thread and never wait for it. Once the setter has returned with null, no further call starts.
using TaskTextCallback = std::function<void(const std::string& taskName, const std::string& text)>;
// (target, log the opening writes into) -> the window's reply; 123 means the window opened it.
// Called on the engine thread and waits for the GUI thread, so it is called outside every lock:
// a call fetched just before the setter cleared it may still run once.
using ShellOpenCallback = std::function<int(const std::string& target, ILog* log)>;

inline constexpr int kShellOpenHandled = 123;

void SetPromptCallback(TaskTextCallback callback);
void SetLightIconCallback(TaskTextCallback callback);
void SetShellOpenCallback(ShellOpenCallback callback);

// Call the installed callback; false when none is installed.
bool CallPromptCallback(const std::string& taskName, const std::string& text);
bool CallLightIconCallback(const std::string& taskName, const std::string& text);
// The window's reply; nothing when no window is there to ask.
std::optional<int> CallShellOpenCallback(const std::string& target, ILog* log);

}  // namespace tellweir
