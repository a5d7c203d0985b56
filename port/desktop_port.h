// IDesktopPort: every notification the engine, the transfer manager and their helpers send to
// the windows, through one interface handed to them when they are created. The desktop shell's
// adapter queues each call onto the GUI thread; the program without windows echoes logs and
// prompts on standard output. No call may block its caller: an implementation hands the call over
// and returns (the one exception, OpenInShell, waits for a bounded time).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "log/log.h"
#include "log/log_observer.h"
#include "port/child_environment.h"

namespace tellweir {

// What changed in the transfer manager's lists.
enum class TransferNotice : int { Added = 0, Removed = 1, Changed = 2 };

// The reply of OpenInShell meaning the window opened the target itself.
inline constexpr int kShellOpenHandled = 123;

// The change a run found, when it kept a new version of its task's resource: for the prompts and
// lit icons of that run, so that they can say how much changed and lead to the change.
struct ChangeNote {
    std::int32_t version = 0;  // the version the run kept; 0 when it kept none
    std::string summary;       // "12 lines added, 3 removed"
};

// Lock order reminder: the engine lock, a task's lock, a log's lock; the transfer-manager lock, a
// transfer's lock, a session's lock. The comment of each method names the locks its caller may
// hold. The defaults do what is right when there is no window.
class IDesktopPort : public ILogObserver {
  public:
    // The engine thread started (true) or is about to end (false). Engine thread, engine lock
    // held.
    virtual void EngineThreadChanged(bool /*running*/) {}
    // The "Display queue" action: the main window shows itself. Engine thread, engine lock held.
    virtual void DisplayQueue() {}
    // The "Prompt" action: a prompt with the task's name and the text. Engine thread, no engine
    // or task lock held.
    virtual void ShowPrompt(const std::string& /*taskName*/, const std::string& /*text*/) {}
    // The "Light Icon" action. Engine thread, no engine or task lock held.
    virtual void LightTrayIcon(const std::string& /*taskName*/, const std::string& /*text*/) {}
    // The "Prompt" and "Light Icon" actions of a run that kept a new version of the task's
    // resource (`change`). Without a window of their own they are the plain ones.
    virtual void ShowChangePrompt(const std::string& taskName, const std::string& text,
                                  const ChangeNote& /*change*/) {
        ShowPrompt(taskName, text);
    }
    virtual void LightChangeIcon(const std::string& taskName, const std::string& text,
                                 const ChangeNote& /*change*/) {
        LightTrayIcon(taskName, text);
    }
    // The "Open in Shell" action: asks the main window to open the target, and waits for its
    // reply (kShellOpenHandled when it did; it may write to `log`, which stays valid for the
    // call). Engine thread, no lock held. The only call that waits: an implementation answers
    // directly when already on the receiving thread, gives up after a bounded time, and
    // answers nothing once the window is going away. Nothing: no window, the caller opens it.
    // `environment` is what the opener gets besides the program's own (the run's context).
    virtual std::optional<int> OpenInShell(const std::string& /*target*/, ILog* /*log*/,
                                           const ChildEnvironment& /*environment*/) {
        return std::nullopt;
    }
    // An item log this port was added to as observer changed (see ILogObserver).
    void LogChanged(std::int32_t /*logId*/) override {}
    // Transfers were added or removed, or a watched transfer changed. Any thread: Added comes
    // from a dispatch (the pump or the end of a run), 200 ms after the last addition, with the
    // transfer-manager lock held; Removed from the thread that removed them, with no lock held;
    // Changed from the thread that changed the transfer's status, often with the
    // transfer-manager lock held.
    virtual void TransfersChanged(TransferNotice /*what*/) {}
    // A worker asks for a user name and password, or a request was answered, withdrawn or given
    // up after its time limit (also called about once a second while a request waits); the
    // window reads the pending request from the prompt broker. Returns whether a window is there
    // to answer: without one the asking transfer gives up at once. Worker thread, with the prompt
    // broker's lock held: never call the broker from here.
    virtual bool CredentialsRequested() { return false; }
    // A periodic refresh that the view `viewId` asked for (the message pulser) is due. Pulser
    // thread, with the pulser's lock held: never call the pulser from here. Returns false when
    // the view no longer exists, which ends its refreshes.
    virtual bool RefreshView(std::int32_t /*viewId*/) { return false; }
    // The transfer manager's once-a-second tick (progress and counters). Scheduler thread, no
    // lock held.
    virtual void PeriodicRefresh() {}
    // A save of the queue file asked for in the background (after a window command or the
    // "Save queue" action) failed; `text` names the file and the reason, and is also in the
    // engine log. Queue saver thread, no lock held.
    virtual void QueueSaveFailed(const std::string& /*text*/) {}

  protected:
    ~IDesktopPort() = default;
};

// The port of a program without windows and of most tests: every default.
class CNoDesktop final : public IDesktopPort {};

// The one shared port with no windows behind it, for owners given none.
inline IDesktopPort& NoDesktop() {
    static CNoDesktop none;
    return none;
}

}  // namespace tellweir
