// CMainFrame: the main window: menus, toolbar, the task list, the status bar with its clock, the
// tray icon with its lit state, desktop notifications, the login dialogs of credentials requests,
// and the commands on tasks. Closing hides it (or minimises it
// where there is no tray); Exit asks while tasks are active, closes the open dialogs and ends
// the event loop, after which the program runs its exit sequence.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QString>
#include <map>
#include <memory>

#include "app/engine_commands.h"
#include "core/monitor_engine.h"
#include "shell/main_window/command_table.h"

class QLabel;
class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace tellweir {

class CChangesWindow;
class CCredentialPrompter;
class CDesktopNotifier;
class CLogWindow;
class CQtDesktopPort;
class CTaskListModel;
class CTaskListView;

class CMainFrame final : public QMainWindow {
    Q_OBJECT

  public:
    // `settings` holds the layout and the links; the engine is loaded and running.
    CMainFrame(CMonitorEngine& engine, CQtDesktopPort& port, CPropertySet& settings);
    ~CMainFrame() override;

    // Applies the saved placement; shows the window unless `hidden` (the tray icon alone).
    void Start(bool hidden);

    QAction* Action(CommandId id) const { return actions_.at(id); }
    CTaskListView* List() const { return list_; }
    CTaskListModel* ListModel() const { return model_; }
    QSystemTrayIcon* Tray() const { return tray_; }
    QMenu* TrayMenu() const { return trayMenu_; }
    CLogWindow* LogWindow() const { return logWindow_; }
    CLogWindow* PromptsWindow() const { return promptsWindow_; }
    CDesktopNotifier* Notifier() const { return notifier_; }
    CCredentialPrompter* Prompter() const { return prompter_; }
    // The open View Changes window of a task; null when none is open.
    CChangesWindow* ChangesWindow(const CMonitorTask* task) const;
    // Opens View Changes for a task (the open window comes forward and loads anew).
    void ShowChanges(const MonitorTaskPtr& task);

    // The commands, as the menus run them.
    void Execute(CommandId id);
    // Enables the commands by the selection and the state of the tasks.
    void UpdateCommands();
    // One tick of the 250 ms timer.
    void Tick();
    // Brings the window forward, from the tray too.
    void ShowWindow();
    // Ends the program without the exit question (a signal or a logout).
    void ExitNow();
    // A click or double click on the tray icon (QSystemTrayIcon::ActivationReason): shows the
    // window and selects the task that lit the icon.
    void TrayActivated(int reason);
    // The one way in for changes to the list, the window's and other copies' (the control
    // socket's handler): additions and removals reach the rows through its hooks.
    CEngineCommands& EngineCommands() { return commands_; }

    bool IsLit() const { return lit_; }
    QString LitTip() const;
    QString TrayTip() const;
    bool ExitQuestionOpen() const { return exitQuestion_ > 0; }
    bool Exiting() const { return exiting_; }
    // The saved "Layout/Main Frame" and "Layout/Monitor List Columns" texts.
    void SaveLayout();

  signals:
    // The window closed for good: the program runs its exit sequence.
    void exitRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateTray();
    void ConnectPort();

    // Commands.
    void NewTask();
    void EditTask(bool schedule);
    // Hides the window, remembering its place for ShowWindow.
    void HideWindow();
    // Places a window that opens for the first time over this one (centred on the screen
    // while this one is hidden), never where the window manager would put it (at the tray).
    void PlaceNearWindow(QWidget& window) const;
    // The prompts window, made and placed on first use.
    void MakePromptsWindowNearby();
    // "Start now" of the Schedule dialog.
    void StartTaskNow(const MonitorTaskPtr& task);
    void ViewLog();
    void ViewChanges();
    // A double click: View Changes for a row whose news is a change, else the task's events.
    void ActivateRow();
    void ClearLog();
    void StartTasks(bool start);
    void RemoveTasks();
    void CleanupCache();
    void ShowPrompts();
    void ShowHelp();
    void ShowSettings();
    void OpenHomePage();
    void ShowAbout();
    void Exit();
    // Closes the open dialogs, then the window: up to 10 tries, one per event loop turn.
    void CloseForExit(int tries);
    void SaveQueue();

    // `change`: the run kept a new version; its notification leads to View Changes.
    void Prompt(const QString& taskName, const QString& text, bool change);
    void LightIcon(const QString& taskName, const QString& text, bool change);
    // A desktop notification when the window is not in front.
    void Notify(const QString& taskName, const QString& text, bool change);
    // A notification was chosen: the window with that task selected, and its changes when the
    // notification told of a change.
    void ShowTask(const QString& taskName, bool changes = false);
    void ClearLit(bool selectTask);
    void AddPromptLine(const QString& taskName, const QString& text);
    // The hooks of the commands: rows for the tasks added or removed, on the GUI thread.
    EngineCommandHooks RowHooks();
    void AddRow(const MonitorTaskPtr& task);
    void RemoveRows(const std::vector<MonitorTaskPtr>& tasks);

    CMonitorEngine& engine_;
    CQtDesktopPort& port_;
    CPropertySet& settings_;
    CTaskListModel* model_;
    CTaskListView* list_;
    CEngineCommands commands_;
    std::map<CommandId, QAction*> actions_;
    QMenu* itemMenu_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QLabel* clock_ = nullptr;
    QTimer* timer_ = nullptr;
    CLogWindow* logWindow_ = nullptr;
    CLogWindow* promptsWindow_ = nullptr;
    CDesktopNotifier* notifier_ = nullptr;
    CCredentialPrompter* prompter_ = nullptr;
    bool ticking_ = false;
    bool lit_ = false;
    int litPhase_ = 0;
    QString litTask_;
    QString litText_;
    QString notifiedTask_;  // the task of the last notification, selected when it is clicked
    bool notifiedChange_ = false;
    std::map<const CMonitorTask*, QPointer<CChangesWindow>> changesWindows_;
    bool confirmOnExit_ = true;
    int exitQuestion_ = 0;
    bool exiting_ = false;
    bool trayIconShown_ = false;
    QRect hiddenAt_;  // the place the window was hidden from (empty: maximized, or never hidden)
};

}  // namespace tellweir
