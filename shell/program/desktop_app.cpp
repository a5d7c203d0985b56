// Start-up and exit of the desktop program.
#include "shell/program/desktop_app.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "app/control_client.h"
#include "app/control_server.h"
#include "app/engine_commands.h"
#include "app/instance_lock.h"
#include "app/queue_lock.h"
#include "app/services.h"
#include "core/monitor_engine.h"
#include "core/transfer_link.h"
#include "log/status_message.h"
#include "shell/main_window/main_frame.h"
#include "shell/program/qt_desktop_port.h"
#include "shell/program/url_history_file.h"
#include "shell/task_dialog/action_test_threads.h"
#include "shell/widgets/message_box.h"
#include "store/app_settings.h"
#include "store/atomic_file.h"
#include "store/setting_ids.h"
#include "store/state_file.h"
#include "transfer/transfer_manager.h"

namespace tellweir {

namespace {

// How long the exit waits for a running Test Action: past the longest wait of an "Open in
// Shell" for the window.
constexpr auto kActionTestJoin = 2 * CQtDesktopPort::kShellOpenWait + std::chrono::seconds(1);

// The signals that end the program cleanly (a logout sends SIGHUP), read from a descriptor on
// the GUI thread instead of interrupting whatever thread they hit. Blocked before any thread
// starts, so that every thread inherits the mask.
int BlockStopSignalsIntoFd() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stopSignals, signal);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
}

// Says why the desktop program cannot start while another instance holds the lock.
int SayOtherInstance() {
    switch (AskRunningInstanceToShow()) {
        case ShowOutcome::Shown:
            return 0;
        case ShowOutcome::Headless:
            std::fprintf(stderr,
                         "tellweir: the program is running without windows (%s); stop it "
                         "before starting the desktop\n",
                         CInstanceLock::LockPath().c_str());
            return 1;
        case ShowOutcome::NoServer:
            std::fprintf(stderr,
                         "tellweir: another instance is running (%s) and cannot be reached "
                         "(it has no control socket in XDG_RUNTIME_DIR)\n",
                         CInstanceLock::LockPath().c_str());
            return 1;
        case ShowOutcome::NoAnswer:
            break;
    }
    std::fprintf(stderr, "tellweir: another instance is running (%s) and does not answer\n",
                 CInstanceLock::LockPath().c_str());
    return 1;
}

// Loads the queue under its lock; false, said in a message box, when it cannot be read: the
// program then ends rather than save an empty queue over it, and takes no commands (`control`
// stops before the box waits for the user). What the load found wrong is said in `report`, for
// the window to show.
bool LoadQueueOrSay(CMonitorEngine& engine, CControlServer& control, std::string& report) {
    CQueueFileLock queueLock;
    const std::string path = AppSettings().String(setting::kMonitorQueueFile);
    if (queueLock.Acquire(path, kQueueLockWait) != CQueueFileLock::Outcome::Locked) {
        control.Stop();
        ShowMessage(nullptr,
                    QCoreApplication::translate("DesktopApp", "Cannot lock the queue file \"%1\".")
                        .arg(QString::fromStdString(path)),
                    QMessageBox::Critical);
        return false;
    }
    const TransferResult loaded = engine.LoadQueue();
    ControlReply reply;
    if (!CheckQueueLoaded(engine, loaded, reply)) {
        control.Stop();
        ShowMessage(nullptr, QString::fromStdString(reply.err).trimmed(), QMessageBox::Critical);
        return false;
    }
    // What a save killed on its way left behind; no other process writes the queue now.
    RemoveStaleTempFiles(path);
    // The damage and every entry left out, in one box: the commands of other copies do not
    // repeat them.
    const QueueFileReport found = engine.GetQueueReport();
    report = found.Describe();
    for (const std::string& line : found.skipped)
        report += (report.empty() ? "" : "\n") + line;
    return true;
}

}  // namespace

int RunDesktop(int argc, char** argv, bool hidden) {
    const int signalFd = BlockStopSignalsIntoFd();
    SetProgramIdentity();
    // A second start hands over to the first before it reads or writes anything.
    CInstanceLock lock;
    // Listens as soon as this is the instance: a second start during a long load waits for the
    // window instead of finding nobody; commands wait for the queue.
    CControlServer control;
    switch (lock.Acquire()) {
        case CInstanceLock::Outcome::Locked:
            break;
        case CInstanceLock::Outcome::HeldElsewhere:
            if (signalFd >= 0) ::close(signalFd);
            return SayOtherInstance();
        case CInstanceLock::Outcome::NoFile:
            std::fprintf(stderr, "tellweir: cannot lock \"%s\" (set HOME or XDG_DATA_HOME)\n",
                         CInstanceLock::LockPath().c_str());
            if (signalFd >= 0) ::close(signalFd);
            return 1;
    }
    const std::string unreachable = StartControlSocket(control);
    if (!unreachable.empty()) std::fprintf(stderr, "tellweir: %s\n", unreachable.c_str());

    QApplication application(argc, argv);
    // Qt takes the whole locale from the environment; numbers in files and protocol texts must
    // keep the C form.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Tellweir"));
    QApplication::setOrganizationName(QStringLiteral("Quandor Software"));
    QApplication::setDesktopFileName(QStringLiteral("tellweir"));
    // The window hides into the tray: the last window closing does not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    CQtDesktopPort port;
    if (!StartServices(&port)) {
        ShowMessage(
            nullptr,
            QCoreApplication::translate("DesktopApp", "The network layer could not be started."),
            QMessageBox::Critical);
        return 1;
    }
    int status = 0;
    {
        CManagerLink transfers(CTransferManager::Get());
        CMonitorEngine engine({.transfers = &transfers, .desktop = &port});
        engine.AnnounceStart();
        if (ItemLogPtr log = engine.GetEngineLog()) {
            for (const std::string& notice : TakeStateFileNotices())
                log->Write(kLevelError, notice);
            if (!unreachable.empty()) log->Write(kLevelError, unreachable);
        }
        std::string report;
        if (LoadQueueOrSay(engine, control, report)) {
            engine.Start();
            auto* frame = new CMainFrame(engine, port, AppSettings());
            QObject::connect(frame, &CMainFrame::exitRequested, &application, &QApplication::quit,
                             Qt::QueuedConnection);
            // Other copies' commands go the window's way in: their tasks reach its list.
            CEngineCommands& commands = frame->EngineCommands();
            if (!report.empty()) commands.ReportSaid();
            // The window exists: a "show" that came during the load is answered now, and
            // brings it forward once the event loop runs.
            control.SetHandler(commands);
            std::unique_ptr<QSocketNotifier> signalNotifier;
            if (signalFd >= 0) {
                signalNotifier = std::make_unique<QSocketNotifier>(signalFd, QSocketNotifier::Read);
                QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, frame,
                                 [signalFd, frame] {
                                     signalfd_siginfo info{};
                                     while (::read(signalFd, &info, sizeof info) > 0) {
                                     }
                                     frame->ExitNow();
                                 });
            }
            frame->Start(hidden);
            if (!report.empty()) ShowMessage(frame, QString::fromStdString(report));
            status = application.exec();

            // The exit sequence: no more calls into the windows, no more commands from outside,
            // then the queue is saved and the engine stopped before the services go.
            signalNotifier.reset();
            port.Close();
            // A running Test Action ends soon now that the port answers nothing.
            (void)CActionTestThreads::Instance().JoinAll(kActionTestJoin);
            control.Stop();
            delete frame;
            EndEngine(engine, true);
            // The addresses typed into the wizard are offered again after a restart.
            if (const std::string history = DataFilePath("History.xml"); !history.empty())
                SaveUrlHistory(history, CUrlHistory::Instance(),
                               static_cast<std::size_t>(
                                   std::max(0, AppSettings().Int(setting::kMaxHistorySize))));
        } else {
            status = 1;
        }
    }
    StopServices();
    if (signalFd >= 0) ::close(signalFd);
    return status;
}

}  // namespace tellweir
