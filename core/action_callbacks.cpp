// The process-wide shell callbacks of the actions.
#include "core/action_callbacks.h"

#include <mutex>

namespace tellweir {
namespace {

// The prompt and light-icon callbacks run under this lock (they only post), so clearing them
// waits for a call in progress; the shell-open callback waits for the GUI thread and does not.
std::mutex g_lock;
TaskTextCallback g_prompt;
TaskTextCallback g_lightIcon;
ShellOpenCallback g_shellOpen;

bool CallLocked(const TaskTextCallback& callback, const std::string& taskName,
                const std::string& text) {
    if (!callback) return false;
    callback(taskName, text);
    return true;
}

}  // namespace

void SetPromptCallback(TaskTextCallback callback) {
    std::lock_guard g(g_lock);
    g_prompt = std::move(callback);
}

void SetLightIconCallback(TaskTextCallback callback) {
    std::lock_guard g(g_lock);
    g_lightIcon = std::move(callback);
}

void SetShellOpenCallback(ShellOpenCallback callback) {
    std::lock_guard g(g_lock);
    g_shellOpen = std::move(callback);
}

bool CallPromptCallback(const std::string& taskName, const std::string& text) {
    std::lock_guard g(g_lock);
    return CallLocked(g_prompt, taskName, text);
}

bool CallLightIconCallback(const std::string& taskName, const std::string& text) {
    std::lock_guard g(g_lock);
    return CallLocked(g_lightIcon, taskName, text);
}

std::optional<int> CallShellOpenCallback(const std::string& target, ILog* log) {
    ShellOpenCallback callback;
    {
        std::lock_guard g(g_lock);
        callback = g_shellOpen;
    }
    if (!callback) return std::nullopt;
    return callback(target, log);
}

}  // namespace tellweir
