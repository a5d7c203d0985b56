// The main window and its tray icon.
#include "shell/main_window/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QToolBar>

#include "core/local_clock.h"
#include "core/task_properties.h"
#include "shell/changes_view/changes_window.h"
#include "shell/log_view/log_window.h"
#include "shell/log_view/prompts_window.h"
#include "shell/login/credential_prompter.h"
#include "shell/main_window/task_list_model.h"
#include "shell/main_window/task_list_view.h"
#include "shell/main_window/window_layout.h"
#include "shell/program/desktop_notifier.h"
#include "shell/program/qt_desktop_port.h"
#include "shell/settings/settings_dialog.h"
#include "shell/task_dialog/task_dialog.h"
#include "shell/widgets/about_dialog.h"
#include "shell/widgets/desktop_opener.h"
#include "shell/widgets/message_box.h"
#include "shell/widgets/shell_icons.h"
#include "store/app_identity.h"
#include "store/app_settings.h"
#include "store/help_file.h"
#include "store/password_store.h"
#include "store/setting_ids.h"
#include "url/url_mask.h"

namespace tellweir {

namespace {

QString SettingText(const CPropertySet& settings, PropertyId id) {
    return QString::fromStdString(settings.String(id));
}

constexpr int kTickMs = 250;
constexpr int kTrayTipLimit = 127;

}  // namespace

CMainFrame::CMainFrame(CMonitorEngine& engine, CQtDesktopPort& port, CPropertySet& settings)
    : engine_(engine),
      port_(port),
      settings_(settings),
      model_(new CTaskListModel(this)),
      list_(new CTaskListView(model_, this)),
      commands_(engine, RowHooks()) {
    setWindowTitle(QStringLiteral("%1 - %2").arg(IdentityText(CAppIdentity::kProduct),
                                                 IdentityText(CAppIdentity::kVersion)));
    setWindowIcon(AppIcon());
    setCentralWidget(list_);
    std::vector<MonitorTaskPtr> tasks;
    engine_.SnapshotTasks(tasks);
    model_->SetTasks(tasks);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateTray();
    ConnectPort();
    list_->ApplyColumnWidths(SettingText(settings_, setting::kMonitorListColumns));
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CMainFrame::UpdateCommands);
    connect(list_, &CTaskListView::rowActivated, this, &CMainFrame::ActivateRow);

    timer_ = new QTimer(this);
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &CMainFrame::Tick);
    timer_->start();
    resize(1040, 440);
    Tick();
}

CMainFrame::~CMainFrame() {
    // The log and changes windows are top-level windows of their own; they go with the frame,
    // the prompts window first.
    for (auto& [task, window] : changesWindows_)
        delete window.data();
    delete promptsWindow_;
    delete logWindow_;
}

void CMainFrame::CreateActions() {
    for (const CommandInfo& info : Commands()) {
        auto* action = new QAction(tr(info.text), this);
        if (*info.key) action->setShortcut(QKeySequence(QString::fromLatin1(info.key)));
        action->setStatusTip(tr(info.status));
        action->setToolTip(tr(info.tooltip));
        if (info.ownIcon)
            action->setIcon(ToolbarIcon(info.themeIcon ? info.themeIcon : "", info.ownIcon));
        else if (info.themeIcon)
            action->setIcon(QIcon::fromTheme(QString::fromLatin1(info.themeIcon)));
        const CommandId id = info.id;
        connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
        addAction(action);  // the keys work while the menu bar is hidden, too
        actions_[id] = action;
    }
    for (CommandId id : {CommandId::Toolbar, CommandId::StatusBar}) {
        actions_[id]->setCheckable(true);
        actions_[id]->setChecked(true);
    }
}

void CMainFrame::CreateMenus() {
    fileMenu_ = menuBar()->addMenu(tr("&File"));
    for (CommandId id :
         {CommandId::NewTask, CommandId::DisplayPrompts, CommandId::Show, CommandId::Hide})
        fileMenu_->addAction(actions_[id]);
    fileMenu_->addSeparator();
    fileMenu_->addAction(actions_[CommandId::CleanupCache]);
    fileMenu_->addSeparator();
    fileMenu_->addAction(actions_[CommandId::Settings]);
    fileMenu_->addSeparator();
    fileMenu_->addAction(actions_[CommandId::Exit]);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(actions_[CommandId::Toolbar]);
    view->addAction(actions_[CommandId::StatusBar]);

    itemMenu_ = menuBar()->addMenu(tr("&Item"));
    for (CommandId id : {CommandId::EventsActions, CommandId::Schedule, CommandId::ViewLog,
                         CommandId::ViewChanges, CommandId::ClearLog})
        itemMenu_->addAction(actions_[id]);
    itemMenu_->addSeparator();
    for (CommandId id : {CommandId::Start, CommandId::Stop, CommandId::Remove})
        itemMenu_->addAction(actions_[id]);
    list_->SetContextMenu(itemMenu_, actions_[CommandId::EventsActions]);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(actions_[CommandId::Help]);
    help->addSeparator();
    help->addAction(actions_[CommandId::Update]);
    help->addSeparator();
    help->addAction(actions_[CommandId::About]);
}

void CMainFrame::CreateToolBar() {
    QToolBar* bar = addToolBar(tr("Toolbar"));
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setMovable(false);
    bar->setIconSize(QSize(16, 16));
    bar->addAction(actions_[CommandId::NewTask]);
    bar->addSeparator();
    bar->addAction(actions_[CommandId::Settings]);
    bar->addSeparator();
    for (CommandId id : {CommandId::ViewLog, CommandId::ViewChanges, CommandId::Schedule,
                         CommandId::EventsActions})
        bar->addAction(actions_[id]);
    bar->addSeparator();
    bar->addAction(actions_[CommandId::Stop]);
    bar->addAction(actions_[CommandId::Start]);
    bar->addSeparator();
    bar->addAction(actions_[CommandId::About]);
    connect(actions_[CommandId::Toolbar], &QAction::toggled, bar, &QToolBar::setVisible);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    clock_ = new QLabel(bar);
    clock_->setMinimumWidth(120);
    clock_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bar->addPermanentWidget(clock_);
    bar->showMessage(tr("Ready"));
    // A command's status text shows while the pointer is on it; then "Ready" again.
    connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& message) {
        if (message.isEmpty()) bar->showMessage(tr("Ready"));
    });
    connect(actions_[CommandId::StatusBar], &QAction::toggled, bar, &QStatusBar::setVisible);
}

void CMainFrame::CreateTray() {
    trayMenu_ = new QMenu(this);
    auto* about = new QAction(tr("&About..."), trayMenu_);
    connect(about, &QAction::triggered, this, [this] { Execute(CommandId::About); });
    trayMenu_->addAction(about);
    trayMenu_->addSeparator();
    trayMenu_->addActions(fileMenu_->actions());
    trayMenu_->setDefaultAction(actions_[CommandId::Show]);
    notifier_ = new CDesktopNotifier(this);
    // Without a notification service the tray's own balloon shows the message.
    notifier_->SetFallback([this](const QString& taskName, const QString& text) {
        if (!tray_) return;
        notifiedTask_ = taskName;
        notifiedChange_ = notifier_->LastWasChange(taskName);
        tray_->showMessage(taskName, text, AppIcon());
    });
    connect(notifier_, &CDesktopNotifier::taskActivated, this,
            [this](const QString& taskName) { ShowTask(taskName); });
    connect(notifier_, &CDesktopNotifier::changesActivated, this,
            [this](const QString& taskName) { ShowTask(taskName, true); });
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        statusBar()->showMessage(tr("No system tray: closing the window minimises it."), 10000);
        return;
    }
    tray_ = new QSystemTrayIcon(AppIcon(), this);
    tray_->setToolTip(TrayTip());
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { TrayActivated(reason); });
    connect(tray_, &QSystemTrayIcon::messageClicked, this,
            [this] { ShowTask(notifiedTask_, notifiedChange_); });
    tray_->show();
}

void CMainFrame::ConnectPort() {
    connect(&port_, &CQtDesktopPort::displayQueueRequested, this, &CMainFrame::ShowWindow);
    connect(
        &port_, &CQtDesktopPort::promptShown, this,
        [this](const QString& taskName, const QString& text) { Prompt(taskName, text, false); });
    connect(
        &port_, &CQtDesktopPort::iconLit, this,
        [this](const QString& taskName, const QString& text) { LightIcon(taskName, text, false); });
    connect(&port_, &CQtDesktopPort::changePromptShown, this,
            [this](const QString& taskName, const QString& text) { Prompt(taskName, text, true); });
    connect(
        &port_, &CQtDesktopPort::changeIconLit, this,
        [this](const QString& taskName, const QString& text) { LightIcon(taskName, text, true); });
    connect(&port_, &CQtDesktopPort::queueSaveFailed, this,
            [this](const QString& text) { statusBar()->showMessage(text, 10000); });
    connect(&port_, &CQtDesktopPort::logChanged, this, [this](int logId) {
        if (logWindow_) logWindow_->LogChanged(logId);
        if (promptsWindow_) promptsWindow_->LogChanged(logId);
    });
    // Logins that need a user name and password are answered here, in dialogs.
    prompter_ =
        new CCredentialPrompter(CPromptBroker::Instance(), CPasswordStore::Instance(), this);
    connect(&port_, &CQtDesktopPort::credentialsChanged, prompter_, &CCredentialPrompter::Sync);
}

void CMainFrame::Start(bool hidden) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const std::optional<WindowPlacement> placement =
        ParsePlacement(SettingText(settings_, setting::kMainFrameLayout), area);
    if (placement) setGeometry(placement->normal);
    if (placement && placement->maximized) setWindowState(windowState() | Qt::WindowMaximized);
    if (!hidden) {
        show();
    } else if (!tray_) {
        // Without a tray a hidden window could not be found again.
        showMinimized();
    }
    UpdateCommands();
}

QString CMainFrame::TrayTip() const {
    std::string title = CAppIdentity::Instance().FormatProductTitle("", "", true);
    return QString::fromStdString(title).left(kTrayTipLimit);
}

QString CMainFrame::LitTip() const {
    return tr("Item: %1 - %2").arg(litTask_, litText_).left(kTrayTipLimit);
}

void CMainFrame::Tick() {
    if (ticking_) return;
    ticking_ = true;
    model_->Refresh();
    clock_->setText(QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat));
    if (tray_) {
        if (lit_) {
            litPhase_ ^= 1;
            tray_->setIcon(LitTrayIcon(litPhase_));
            tray_->setToolTip(LitTip());
        } else if (trayIconShown_) {
            tray_->setIcon(AppIcon());
            tray_->setToolTip(TrayTip());
            trayIconShown_ = false;
        }
        if (!tray_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable()) tray_->show();
    }
    for (auto& [task, window] : changesWindows_)
        if (window) window->FollowTask();
    UpdateCommands();
    ticking_ = false;
}

void CMainFrame::UpdateCommands() {
    const bool question = exitQuestion_ > 0;
    QWidget* modal = QApplication::activeModalWidget();
    const bool hidden = !isVisible() || isMinimized();
    int selected = 0;
    bool someActive = false;
    bool someInactive = false;
    bool versions = false;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
        ++selected;
        versions = model_->RowAt(index.row()).newestVersion > 0;
        const TaskState state = model_->RowAt(index.row()).state;
        const bool active = state == TaskState::Waiting || state == TaskState::Working;
        someActive |= active;
        someInactive |= !active;
    }
    const auto enable = [&](CommandId id, bool on) { actions_[id]->setEnabled(on); };
    enable(CommandId::Show, hidden && !question);
    enable(CommandId::Hide, !hidden && modal == nullptr && !question);
    enable(CommandId::CleanupCache, !question);
    enable(CommandId::Exit,
           !question &&
               (modal == nullptr || (modal->isEnabled() && !qobject_cast<QFileDialog*>(modal))));
    enable(CommandId::EventsActions, !question && selected == 1);
    enable(CommandId::Schedule, !question && selected == 1);
    enable(CommandId::ViewLog, !question && selected == 1);
    enable(CommandId::ViewChanges, !question && selected == 1 && versions);
    enable(CommandId::ClearLog, !question && selected > 0);
    enable(CommandId::Start, !question && someInactive);
    enable(CommandId::Stop, !question && someActive);
    enable(CommandId::Remove, !question && selected > 0);
}

void CMainFrame::Execute(CommandId id) {
    if (!actions_[id]->isEnabled()) return;
    switch (id) {
        case CommandId::NewTask:
            return NewTask();
        case CommandId::DisplayPrompts:
            return ShowPrompts();
        case CommandId::Show:
            return ShowWindow();
        case CommandId::Hide:
            HideWindow();
            UpdateCommands();
            return;
        case CommandId::CleanupCache:
            return CleanupCache();
        case CommandId::Settings:
            return ShowSettings();
        case CommandId::Exit:
            return Exit();
        case CommandId::Toolbar:
        case CommandId::StatusBar:
            return;  // the checkable actions toggle the bars themselves
        case CommandId::EventsActions:
            return EditTask(false);
        case CommandId::Schedule:
            return EditTask(true);
        case CommandId::ViewLog:
            return ViewLog();
        case CommandId::ViewChanges:
            return ViewChanges();
        case CommandId::ClearLog:
            return ClearLog();
        case CommandId::Start:
            return StartTasks(true);
        case CommandId::Stop:
            return StartTasks(false);
        case CommandId::Remove:
            return RemoveTasks();
        case CommandId::Help:
            return ShowHelp();
        case CommandId::Update:
            return OpenHomePage();
        case CommandId::About:
            return ShowAbout();
    }
}

void CMainFrame::HideWindow() {
    hiddenAt_ = isMaximized() ? QRect() : QRect(pos(), size());
    hide();
}

void CMainFrame::ShowWindow() {
    if (isMinimized()) {
        showNormal();
    } else if (!isVisible()) {
        // Back where it was: a window the program never placed is placed anew by the window
        // manager when it maps again (next to the tray, where the pointer is).
        if (hiddenAt_.isValid()) {
            resize(hiddenAt_.size());
            move(hiddenAt_.topLeft());
        }
        show();
    }
    raise();
    activateWindow();
    UpdateCommands();
}

void CMainFrame::PlaceNearWindow(QWidget& window) const {
    const QScreen* on = isVisible() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = on ? on->availableGeometry() : QRect(0, 0, 1024, 768);
    const QRect anchor = isVisible() && !isMinimized() ? frameGeometry() : QRect();
    window.setGeometry(PlaceNear(anchor, window.size(), area));
}

void CMainFrame::SaveQueue() {
    // Written on the engine's saver thread; a failure comes back through the port.
    commands_.RequestSave();
}

void CMainFrame::NewTask() {
    ShowWindow();
    MonitorTaskPtr task;
    if (!RunTaskDialog(this, port_, QString(), task)) return;
    // The row comes through the commands' hook, as for a task another copy adds.
    if (!commands_.AddTask(task)) {
        AskOkCancel(this, tr("Invalid URL: \"%1\".")
                              .arg(QString::fromStdString(MaskUrlPassword(task->GetUri()))));
        return;
    }
    list_->SelectTask(task.get());
}

void CMainFrame::EditTask(bool schedule) {
    const std::vector<MonitorTaskPtr> selected = list_->SelectedTasks();
    if (selected.empty()) return;
    const MonitorTaskPtr& task = selected.front();
    const MonitorTaskPtr opened = task->Clone();
    MonitorTaskPtr copy = opened->Clone();
    const QString page = schedule ? QStringLiteral("schedule") : QStringLiteral("events");
    bool startNow = false;
    if (!RunTaskDialog(this, port_, page, copy, &startNow)) return;
    // Only what the dialog changed: the task ran on while it was open.
    commands_.ApplyEdit(task, schedule ? TaskEditPart::Schedule : TaskEditPart::Events, *opened,
                        *copy);
    if (startNow) StartTaskNow(task);
    model_->RefreshRow(model_->RowOf(task.get()));
}

void CMainFrame::StartTaskNow(const MonitorTaskPtr& task) {
    // Due in the engine's next pass: a waiting task takes the new time at once, a stopped one is
    // resumed with it, and a running one counts its next run from now.
    task->SetTime(task::kNextStartTime, LocalNow());
    commands_.StartTasks({task}, true);
    UpdateCommands();
}

void CMainFrame::ViewLog() {
    const std::vector<MonitorTaskPtr> selected = list_->SelectedTasks();
    if (selected.empty()) return;
    const MonitorTaskPtr& task = selected.front();
    const ItemLogPtr log = task->GetLog();
    if (!log) return;
    // One window for all tasks: View Log on another task switches it.
    if (!logWindow_) {
        logWindow_ = new CLogWindow(&port_);
        PlaceNearWindow(*logWindow_);
    }
    logWindow_->SetTitle(tr("Monitor item log: %1").arg(QString::fromStdString(task->GetName())));
    logWindow_->ShowLog(log);
}

void CMainFrame::ViewChanges() {
    const std::vector<MonitorTaskPtr> selected = list_->SelectedTasks();
    if (!selected.empty()) ShowChanges(selected.front());
}

CChangesWindow* CMainFrame::ChangesWindow(const CMonitorTask* task) const {
    const auto it = changesWindows_.find(task);
    return it == changesWindows_.end() ? nullptr : it->second.data();
}

void CMainFrame::ShowChanges(const MonitorTaskPtr& task) {
    if (!task) return;
    // Windows closed since are forgotten.
    std::erase_if(changesWindows_, [](const auto& entry) { return entry.second.isNull(); });
    CChangesWindow* window = ChangesWindow(task.get());
    if (window) {
        window->Reload();
    } else {
        window = new CChangesWindow(task, settings_.Int(setting::kVersionsKept) == 0);
        window->setAttribute(Qt::WA_DeleteOnClose);
        PlaceNearWindow(*window);
        changesWindows_[task.get()] = window;
    }
    window->show();
    window->raise();
    window->activateWindow();
    // Viewed now: the row loses its bold at once.
    model_->RefreshRow(model_->RowOf(task.get()));
    UpdateCommands();
}

void CMainFrame::ActivateRow() {
    const std::vector<MonitorTaskPtr> selected = list_->SelectedTasks();
    const int row = selected.size() == 1 ? model_->RowOf(selected.front().get()) : -1;
    if (row >= 0) {
        const TaskRow& cells = model_->RowAt(row);
        if (cells.newestVersion > 0 && (cells.runChanged || cells.unseen))
            return Execute(CommandId::ViewChanges);
    }
    Execute(CommandId::EventsActions);
}

void CMainFrame::ClearLog() {
    for (const MonitorTaskPtr& task : list_->SelectedTasks())
        if (ItemLogPtr log = task->GetLog()) log->Clear();
}

void CMainFrame::StartTasks(bool start) {
    const std::vector<MonitorTaskPtr> selected = list_->SelectedTasks();
    if (selected.empty()) return;
    commands_.StartTasks(selected, start);
    model_->Refresh();
    UpdateCommands();
}

void CMainFrame::RemoveTasks() {
    const std::vector<MonitorTaskPtr> selected = list_->SelectedTasks();
    if (selected.empty()) return;
    if (!AskYesNo(this,
                  tr("Are you sure you want to delete %1 monitor task(s)?").arg(selected.size())))
        return;
    commands_.RemoveTasks(selected);  // the rows go through the commands' hook
}

void CMainFrame::CleanupCache() {
    // The cache folder may be large: it is walked on a thread of its own, and the result comes
    // back to this window when done.
    QPointer<CMainFrame> self(this);
    QThread* worker = QThread::create([this, self] {
        const CacheCleanupResult result = engine_.CleanupCache();
        QMetaObject::invokeMethod(
            qApp,
            [self, result] {
                if (!self) return;
                self->AddPromptLine(tr("Cache cleanup"),
                                    tr("Cache cleanup results: Skipped: %1 Skipped size: %2 "
                                       "Deleted: %3 Deleted size: %4")
                                        .arg(result.skipped)
                                        .arg(result.skippedBytes)
                                        .arg(result.deleted)
                                        .arg(result.deletedBytes));
                self->ShowPrompts();
            },
            Qt::QueuedConnection);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(this, &CMainFrame::exitRequested, worker, [worker] { worker->wait(); });
    worker->start();
}

void CMainFrame::AddPromptLine(const QString& taskName, const QString& text) {
    if (const ItemLogPtr log = engine_.GetEngineLog()) WritePromptEntries(*log, taskName, text);
}

void CMainFrame::MakePromptsWindowNearby() {
    if (promptsWindow_ || !engine_.GetEngineLog()) return;
    promptsWindow_ = MakePromptsWindow(&port_);
    PlaceNearWindow(*promptsWindow_);
}

void CMainFrame::ShowPrompts() {
    MakePromptsWindowNearby();
    ShowPrompt(promptsWindow_, &port_, engine_.GetEngineLog(), QString(), QString());
}

void CMainFrame::Prompt(const QString& taskName, const QString& text, bool change) {
    MakePromptsWindowNearby();
    ShowPrompt(promptsWindow_, &port_, engine_.GetEngineLog(), taskName, text);
    Notify(taskName, text, change);
}

void CMainFrame::LightIcon(const QString& taskName, const QString& text, bool change) {
    lit_ = true;
    trayIconShown_ = true;
    litTask_ = taskName;
    litText_ = text;
    Notify(taskName, text, change);
}

void CMainFrame::Notify(const QString& taskName, const QString& text, bool change) {
    if (isVisible() && !isMinimized() && isActiveWindow()) return;
    notifier_->Notify(taskName, text, change);
}

void CMainFrame::ShowTask(const QString& taskName, bool changes) {
    ShowWindow();
    if (MonitorTaskPtr task = engine_.FindTaskByName(taskName.toStdString())) {
        list_->SelectTask(task.get());
        if (changes && task->GetNewestVersion() > 0) ShowChanges(task);
    }
    // Seen: the icon it lit has told its news.
    if (lit_ && litTask_ == taskName) ClearLit(false);
}

void CMainFrame::TrayActivated(int reason) {
    if (reason != QSystemTrayIcon::DoubleClick && reason != QSystemTrayIcon::Trigger) return;
    ShowWindow();
    ClearLit(true);
}

void CMainFrame::ClearLit(bool selectTask) {
    if (!lit_) return;
    if (selectTask) {
        const std::string name = litTask_.toStdString();
        if (MonitorTaskPtr task = engine_.FindTaskByName(name)) list_->SelectTask(task.get());
    }
    lit_ = false;
    Tick();
}

void CMainFrame::ShowHelp() {
    std::string path = settings_.String(setting::kHelpFilePath);
    if (path.empty() || !QFileInfo::exists(QString::fromStdString(path))) {
        path = FindHelpFile(settings_.String(setting::kExecutablePath));
        settings_.SetString(setting::kHelpFilePath, path);
    }
    if (path.empty()) {
        ShowMessage(this, tr("Help file not found!"), QMessageBox::Critical);
        return;
    }
    OpenOnDesktop(this, QString::fromStdString(path), HelpOpenFailure(path));
}

void CMainFrame::ShowSettings() {
    SettingsDialogContext context;
    context.settings = &settings_;
    RunSettingsDialog(this, context);
}

void CMainFrame::OpenHomePage() {
    const QString link = SettingText(settings_, setting::kHomePageLink);
    OpenOnDesktop(this, link, LinkOpenFailure(link));
}

void CMainFrame::ShowAbout() {
    CAboutDialog about(this);
    about.exec();
}

void CMainFrame::Exit() {
    if (exitQuestion_ > 0 || qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) return;
    if (confirmOnExit_) {
        const int active = engine_.CountActiveTasks();
        if (active > 0) {
            ++exitQuestion_;
            UpdateCommands();
            const bool yes = AskYesNo(
                isVisible() ? this : nullptr,
                tr("You have currently %1 active tasks.\nExit Tellweir anyway?").arg(active));
            --exitQuestion_;
            UpdateCommands();
            if (!yes) return;
            confirmOnExit_ = false;
        }
    }
    QTimer::singleShot(0, this, [this] { CloseForExit(10); });
}

void CMainFrame::ExitNow() {
    confirmOnExit_ = false;
    CloseForExit(10);
}

void CMainFrame::CloseForExit(int tries) {
    if (exiting_) return;
    if (QWidget* modal = QApplication::activeModalWidget(); modal && tries > 0) {
        // An open dialog ends as if cancelled; the window's own close comes after it.
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        QTimer::singleShot(0, this, [this, tries] { CloseForExit(tries - 1); });
        return;
    }
    exiting_ = true;
    timer_->stop();
    // A login still asked for is refused: nobody is left to answer it.
    prompter_->Stop();
    if (tray_) tray_->hide();
    SaveLayout();
    // The port stops passing changes on: the windows stop observing their logs.
    if (promptsWindow_) promptsWindow_->Detach();
    if (logWindow_) logWindow_->Detach();
    for (auto& [task, window] : changesWindows_)
        if (window) window->close();
    close();
    emit exitRequested();
}

void CMainFrame::SaveLayout() {
    WindowPlacement placement;
    placement.normal = isMaximized() ? normalGeometry() : geometry();
    if (!placement.normal.isValid()) placement.normal = geometry();
    placement.maximized = isMaximized();
    settings_.SetString(setting::kMainFrameLayout, FormatPlacement(placement).toStdString());
    settings_.SetString(setting::kMonitorListColumns,
                        FormatColumnWidths(list_->ColumnWidths()).toStdString());
}

EngineCommandHooks CMainFrame::RowHooks() {
    // A command of another copy runs on the control thread: its news is queued onto the GUI
    // thread. The window's own commands run here, and their rows follow at once.
    const auto onGuiThread = [self = QPointer<CMainFrame>(this)](std::function<void()> call) {
        if (QThread::currentThread() == qApp->thread()) {
            if (self) call();
            return;
        }
        QMetaObject::invokeMethod(
            qApp,
            [self, call = std::move(call)] {
                if (self) call();
            },
            Qt::QueuedConnection);
    };
    return {
        .show =
            [this, onGuiThread] {
                onGuiThread([this] { ShowWindow(); });
                return true;
            },
        .added = [this, onGuiThread](
                     const MonitorTaskPtr& task) { onGuiThread([this, task] { AddRow(task); }); },
        .removed =
            [this, onGuiThread](const std::vector<MonitorTaskPtr>& tasks) {
                onGuiThread([this, tasks] { RemoveRows(tasks); });
            }};
}

void CMainFrame::AddRow(const MonitorTaskPtr& task) {
    if (model_->RowOf(task.get()) < 0) model_->AddTask(task);
    UpdateCommands();
}

void CMainFrame::RemoveRows(const std::vector<MonitorTaskPtr>& tasks) {
    model_->RemoveTasks(tasks);
    UpdateCommands();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (exiting_) {
        event->accept();
        return;
    }
    // Closing only puts the window away: monitoring goes on.
    event->ignore();
    if (tray_ && tray_->isVisible())
        HideWindow();
    else
        showMinimized();
    UpdateCommands();
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange || event->type() == QEvent::ActivationChange)
        UpdateCommands();
}

}  // namespace tellweir
