// Desktop notifications over D-Bus.
#include "shell/program/desktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "shell/widgets/about_dialog.h"
#include "store/app_identity.h"

namespace tellweir {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
// The icon and desktop entry names the program installs.
const QString kIconName = QStringLiteral("tellweir");

}  // namespace

CDesktopNotifier::CDesktopNotifier(QObject* parent)
    : QObject(parent), bus_(QDBusConnection::sessionBus()) {
    Subscribe(true);
}

CDesktopNotifier::~CDesktopNotifier() {
    Subscribe(false);
}

void CDesktopNotifier::UseBus(const QDBusConnection& bus) {
    Subscribe(false);
    bus_ = bus;
    notes_.clear();
    Subscribe(true);
}

void CDesktopNotifier::Subscribe(bool on) {
    if (!bus_.isConnected()) return;
    const auto link = [&](const QString& name, const char* slot) {
        if (on)
            bus_.connect(kService, kPath, kInterface, name, this, slot);
        else
            bus_.disconnect(kService, kPath, kInterface, name, this, slot);
    };
    link(QStringLiteral("ActionInvoked"), SLOT(OnActionInvoked(uint, QString)));
    link(QStringLiteral("NotificationClosed"), SLOT(OnNotificationClosed(uint, uint)));
}

uint CDesktopNotifier::NotificationId(const QString& taskName) const {
    const auto it = notes_.find(taskName);
    return it == notes_.end() ? 0 : it->second.id;
}

bool CDesktopNotifier::LastWasChange(const QString& taskName) const {
    const auto it = notes_.find(taskName);
    return it != notes_.end() && it->second.change;
}

void CDesktopNotifier::Notify(const QString& taskName, const QString& text, bool change) {
    TaskNote& note = notes_[taskName];
    note.change = change;
    // The id to replace comes with the reply: a second message sent before it would stand
    // beside the first instead of replacing it.
    if (note.sending) {
        note.next = text;
        return;
    }
    Send(taskName, text);
}

void CDesktopNotifier::Send(const QString& taskName, const QString& text) {
    if (!bus_.isConnected()) {
        if (fallback_) fallback_(taskName, text);
        return;
    }
    TaskNote& note = notes_[taskName];
    note.sending = true;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QString appName = IdentityText(CAppIdentity::kProduct);
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), kIconName);
    call << appName << note.id << kIconName << taskName << text
         << QStringList{kDefaultAction, tr("Show")} << hints << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, taskName, text](QDBusPendingCallWatcher* finished) {
                const QDBusPendingReply<uint> reply = *finished;
                finished->deleteLater();
                Replied(taskName, text,
                        reply.isError() ? std::nullopt : std::optional<uint>(reply.value()));
            });
}

void CDesktopNotifier::Replied(const QString& taskName, const QString& text,
                               std::optional<uint> id) {
    const auto it = notes_.find(taskName);
    if (it == notes_.end()) return;  // the bus changed meanwhile
    TaskNote& note = it->second;
    note.sending = false;
    if (id) {
        note.id = *id;
    } else {
        // No service answered: the message shows all the same, the old way.
        note.id = 0;
        if (fallback_) fallback_(taskName, text);
    }
    if (note.next) {
        const QString next = *note.next;
        note.next.reset();
        Send(taskName, next);
    }
}

void CDesktopNotifier::OnActionInvoked(uint id, const QString& actionKey) {
    if (id == 0 || actionKey != kDefaultAction) return;
    for (const auto& [taskName, note] : notes_)
        if (note.id == id) {
            if (note.change)
                emit changesActivated(taskName);
            else
                emit taskActivated(taskName);
            return;
        }
}

void CDesktopNotifier::OnNotificationClosed(uint id, uint /*reason*/) {
    // A closed notification cannot be replaced: the task's next one is a new one.
    for (auto& [taskName, note] : notes_)
        if (note.id == id && !note.sending) note.id = 0;
}

}  // namespace tellweir
