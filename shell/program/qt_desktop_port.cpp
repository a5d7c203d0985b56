// The Qt adapter of the desktop port.
#include "shell/program/qt_desktop_port.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>

#include "core/shell_actions.h"

namespace tellweir {

namespace {

// Who opens the target of one OpenInShell.
constexpr int kUnclaimed = 0;
constexpr int kClaimedByWindow = 1;
constexpr int kClaimedByAction = 2;

}  // namespace

CQtDesktopPort::CQtDesktopPort(QObject* parent) : QObject(parent) {}

CQtDesktopPort::~CQtDesktopPort() {
    Close();
}

void CQtDesktopPort::Close() {
    closed_.store(true, std::memory_order_release);
}

template <typename Call>
void CQtDesktopPort::Queue(Call call) {
    if (closed_.load(std::memory_order_acquire)) return;
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call)]() {
            if (!closed_.load(std::memory_order_acquire)) call();
        },
        Qt::QueuedConnection);
}

void CQtDesktopPort::DisplayQueue() {
    Queue([this] { emit displayQueueRequested(); });
}

void CQtDesktopPort::ShowPrompt(const std::string& taskName, const std::string& text) {
    Queue([this, name = QString::fromStdString(taskName), message = QString::fromStdString(text)] {
        emit promptShown(name, message);
    });
}

void CQtDesktopPort::LightTrayIcon(const std::string& taskName, const std::string& text) {
    Queue([this, name = QString::fromStdString(taskName), message = QString::fromStdString(text)] {
        emit iconLit(name, message);
    });
}

QString ChangeText(const std::string& text, const ChangeNote& change) {
    QString prompt = QString::fromStdString(text);
    if (change.summary.empty()) return prompt;
    const QString summary = QString::fromStdString(change.summary);
    return prompt.isEmpty() ? summary : QStringLiteral("%1 (%2)").arg(prompt, summary);
}

void CQtDesktopPort::ShowChangePrompt(const std::string& taskName, const std::string& text,
                                      const ChangeNote& change) {
    Queue([this, name = QString::fromStdString(taskName), message = ChangeText(text, change)] {
        emit changePromptShown(name, message);
    });
}

void CQtDesktopPort::LightChangeIcon(const std::string& taskName, const std::string& text,
                                     const ChangeNote& change) {
    Queue([this, name = QString::fromStdString(taskName), message = ChangeText(text, change)] {
        emit changeIconLit(name, message);
    });
}

void CQtDesktopPort::LogChanged(std::int32_t logId) {
    Queue([this, logId] { emit logChanged(logId); });
}

void CQtDesktopPort::QueueSaveFailed(const std::string& text) {
    Queue([this, message = QString::fromStdString(text)] { emit queueSaveFailed(message); });
}

bool CQtDesktopPort::CredentialsRequested() {
    if (closed_.load(std::memory_order_acquire)) return false;
    // Each waiting request calls once a second: one queued look at the broker is enough.
    if (!credentialsQueued_.exchange(true, std::memory_order_acq_rel)) {
        Queue([this] {
            credentialsQueued_.store(false, std::memory_order_release);
            emit credentialsChanged();
        });
    }
    return true;
}

std::optional<int> CQtDesktopPort::OpenInShell(const std::string& target, ILog* /*log*/,
                                               const ChildEnvironment& environment) {
    if (closed_.load(std::memory_order_acquire)) return std::nullopt;
    const QString path = QString::fromStdString(target);
    if (QThread::currentThread() == thread())
        return OpenWithDesktop(path, environment) ? std::optional<int>(kShellOpenHandled)
                                                  : std::nullopt;
    // Whoever claims the open first does it: the GUI thread when it gets to the call in time,
    // else the action itself once it stopped waiting; the other side then leaves it alone, so
    // the target opens at most once.
    struct Open {
        std::atomic<int> claim{kUnclaimed};
        std::promise<bool> answer;
    };
    auto open = std::make_shared<Open>();
    std::future<bool> opened = open->answer.get_future();
    QMetaObject::invokeMethod(
        this,
        [this, path, open, environment] {
            int unclaimed = kUnclaimed;
            if (!open->claim.compare_exchange_strong(unclaimed, kClaimedByWindow)) return;
            open->answer.set_value(!closed_.load(std::memory_order_acquire) &&
                                   OpenWithDesktop(path, environment));
        },
        Qt::QueuedConnection);
    // The GUI may be busy in a modal dialog or going away: the action then opens it itself.
    if (opened.wait_for(kShellOpenWait) != std::future_status::ready) {
        int unclaimed = kUnclaimed;
        if (open->claim.compare_exchange_strong(unclaimed, kClaimedByAction)) return std::nullopt;
        // The window took it just now and is handing it to the desktop: its answer is close.
        if (opened.wait_for(kShellOpenWait) != std::future_status::ready) return kShellOpenHandled;
    }
    bool done = false;
    try {
        done = opened.get();
    } catch (const std::future_error&) {
        // The queued call was dropped with the event loop: nothing was opened.
    }
    return done ? std::optional<int>(kShellOpenHandled) : std::nullopt;
}

bool OpenWithDesktop(const QString& target, const ChildEnvironment& environment) {
    const QUrl url = QUrl::fromUserInput(target, QString(), QUrl::AssumeLocalFile);
    if (!url.isValid()) return false;
    if (environment.entries.empty()) return QDesktopServices::openUrl(url);
    // The desktop services take no environment: the opener they would start is started here.
    QProcess opener;
    opener.setProgram(QStringLiteral("xdg-open"));
    opener.setArguments({url.toString(QUrl::FullyEncoded)});
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const std::string& entry : environment.entries) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos) continue;
        variables.insert(QString::fromStdString(entry.substr(0, equals)),
                         QString::fromStdString(entry.substr(equals + 1)));
    }
    opener.setProcessEnvironment(variables);
    opener.setStandardInputFile(QProcess::nullDevice());
    if (!opener.startDetached()) return false;
    // A detached opener cannot be waited for: what it reads is kept as long as an action's
    // opener is given.
    if (environment.keep)
        QTimer::singleShot(std::chrono::milliseconds(kShellOpenWait), QCoreApplication::instance(),
                           [keep = environment.keep] {});
    return true;
}

}  // namespace tellweir
