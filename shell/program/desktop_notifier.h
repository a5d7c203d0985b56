// CDesktopNotifier: desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus). One notification per task: the next one of
// the same task replaces it, and its default action asks for the window with that task
// selected. Every call is asynchronous, so the GUI thread never waits on the bus; when no service
// answers, the fallback (the tray balloon) shows the message instead.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <optional>

namespace tellweir {

class CDesktopNotifier final : public QObject {
    Q_OBJECT

  public:
    using Fallback = std::function<void(const QString& taskName, const QString& text)>;

    // Sends on the session bus.
    explicit CDesktopNotifier(QObject* parent = nullptr);
    ~CDesktopNotifier() override;

    // Sends on `bus` from now on, forgetting the notifications shown so far.
    void UseBus(const QDBusConnection& bus);
    // What shows a message the service did not take.
    void SetFallback(Fallback fallback) { fallback_ = std::move(fallback); }

    // `change`: the notification tells of a change; choosing it asks for the task's changes.
    void Notify(const QString& taskName, const QString& text, bool change = false);
    // Whether the task's latest notification told of a change.
    bool LastWasChange(const QString& taskName) const;

    // The service's id of the task's notification; 0 when it has none (yet).
    uint NotificationId(const QString& taskName) const;

    // How long a call may wait for the service before the fallback shows the message.
    static constexpr int kCallTimeoutMs = 5000;

  signals:
    // The user chose a notification (its default action): show the window with this task.
    void taskActivated(const QString& taskName);
    // The user chose a notification of a change: show the task's changes.
    void changesActivated(const QString& taskName);

  private slots:
    void OnActionInvoked(uint id, const QString& actionKey);
    void OnNotificationClosed(uint id, uint reason);

  private:
    struct TaskNote {
        uint id = 0;                  // the service's id, kept to replace it
        bool sending = false;         // a Notify call waits for its reply
        std::optional<QString> next;  // the text to send once it has come
        bool change = false;          // the latest text tells of a change
    };

    void Send(const QString& taskName, const QString& text);
    void Replied(const QString& taskName, const QString& text, std::optional<uint> id);
    void Subscribe(bool on);

    QDBusConnection bus_;
    std::map<QString, TaskNote> notes_;
    Fallback fallback_;
};

}  // namespace tellweir
