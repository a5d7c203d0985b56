// CQtDesktopPort: the desktop port of the windows. Engine, transfer and pulser threads call it;
// every call is queued onto the GUI thread and turned into a signal there, so no window is ever
// touched from another thread and no caller waits for the GUI (OpenInShell alone waits, for a
// bounded time, as the port allows).
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>

#include "port/desktop_port.h"

namespace tellweir {

class CQtDesktopPort final : public QObject, public IDesktopPort {
    Q_OBJECT

  public:
    explicit CQtDesktopPort(QObject* parent = nullptr);
    ~CQtDesktopPort() override;

    // From here on calls are dropped and OpenInShell answers nothing at once: the windows are
    // going away (the engine may still be stopping).
    void Close();

    void DisplayQueue() override;
    void ShowPrompt(const std::string& taskName, const std::string& text) override;
    void LightTrayIcon(const std::string& taskName, const std::string& text) override;
    // As the plain ones, with how much changed after the text; their notification leads to the
    // task's changes.
    void ShowChangePrompt(const std::string& taskName, const std::string& text,
                          const ChangeNote& change) override;
    void LightChangeIcon(const std::string& taskName, const std::string& text,
                         const ChangeNote& change) override;
    std::optional<int> OpenInShell(const std::string& target, ILog* log,
                                   const ChildEnvironment& environment) override;
    void LogChanged(std::int32_t logId) override;
    void QueueSaveFailed(const std::string& text) override;
    // True while the port is open: the windows answer credential requests (a login dialog).
    bool CredentialsRequested() override;

    // Left at their defaults, as the windows need nothing from them:
    // EngineThreadChanged: no window shows whether the engine thread runs; the list reads the
    //   tasks' states on its own tick.
    // TransfersChanged and PeriodicRefresh: there is no transfer list; the task list's 250 ms
    //   tick reads each task's progress and counters.
    // RefreshView: no view asks the message pulser for refreshes (the default's false would end
    //   them).

    // How long OpenInShell waits for the GUI thread.
    static constexpr std::chrono::seconds kShellOpenWait{5};

  signals:
    void displayQueueRequested();
    void promptShown(const QString& taskName, const QString& text);
    void iconLit(const QString& taskName, const QString& text);
    void changePromptShown(const QString& taskName, const QString& text);
    void changeIconLit(const QString& taskName, const QString& text);
    void logChanged(int logId);
    void queueSaveFailed(const QString& text);
    // The prompt broker's requests changed; at most one is queued at a time.
    void credentialsChanged();

  private:
    // Runs `call` on the GUI thread unless the port was closed by then.
    template <typename Call>
    void Queue(Call call);

    std::atomic<bool> closed_{false};
    std::atomic<bool> credentialsQueued_{false};
};

// A prompt's text followed by how much changed: "Content Changed (12 lines added, 3 removed)".
QString ChangeText(const std::string& text, const ChangeNote& change);

// Opens a path or link with the desktop's handler; false when none took it. With `environment`
// entries the opener (xdg-open) gets them, and what they name is kept for as long as an action's
// opener is given to finish.
bool OpenWithDesktop(const QString& target, const ChildEnvironment& environment = {});

}  // namespace tellweir
