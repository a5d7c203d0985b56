// A D-Bus bus of the test's own (dbus-daemon with a minimal configuration: no activation, so a
// name nobody owns gets its error at once) and a notification service that records its Notify
// calls, so desktop notifications are tested without touching the user's session.
#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QVariantMap>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace tellweir::testing {

class PrivateSessionBus {
  public:
    PrivateSessionBus() {
        const std::string config = dir_.WriteFile(
            "bus.conf",
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig>\n"
            "  <type>session</type>\n"
            "  <listen>unix:dir=" +
                dir_.Path() +
                "</listen>\n"
                "  <auth>EXTERNAL</auth>\n"
                "  <policy context=\"default\">\n"
                "    <allow send_destination=\"*\"/>\n"
                "    <allow receive_sender=\"*\"/>\n"
                "    <allow own=\"*\"/>\n"
                "  </policy>\n"
                "</busconfig>\n");
        // Spawned, not forked by QProcess: a fork of this many-threaded process must not run
        // anything before exec (ThreadSanitizer stops a child that does).
        const std::string output = dir_ / "daemon.txt";
        if (!daemon_.Start(
                {"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address"},
                output)) {
            error_ =
                "dbus-daemon cannot be started (Debian package dbus-daemon): " + daemon_.Error();
            return;
        }
        std::string printed;
        if (!WaitUntil(
                [&] {
                    printed = daemon_.Output();
                    return printed.find('\n') != std::string::npos || !daemon_.Running();
                },
                std::chrono::seconds(10)) ||
            printed.find('\n') == std::string::npos) {
            error_ = "dbus-daemon printed no address: " + printed;
            return;
        }
        address_ = QString::fromStdString(printed.substr(0, printed.find('\n'))).trimmed();
    }
    ~PrivateSessionBus() {
        for (const QString& name : names_)
            QDBusConnection::disconnectFromBus(name);
        daemon_.Stop();
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool Ok() const { return error_.empty() && !address_.isEmpty(); }
    const std::string& Error() const { return error_; }

    // A connection of its own to the bus, named `name` within the process.
    QDBusConnection Connect(const QString& name) {
        names_ << name;
        return QDBusConnection::connectToBus(address_, name);
    }

  private:
    TempDir dir_{"dbus"};
    ChildProcess daemon_;
    QString address_;
    QStringList names_;
    std::string error_;
};

// org.freedesktop.Notifications as far as a sender sees it: Notify answers with an id (the
// replaced one, or a new one) and is recorded.
class FakeNotificationService final : public QDBusVirtualObject {
  public:
    struct Call {
        QString appName;
        uint replacesId = 0;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int timeout = 0;
        uint id = 0;  // the id answered
    };

    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";

    explicit FakeNotificationService(QDBusConnection bus) : bus_(std::move(bus)) {
        registered_ = bus_.registerVirtualObject(QString::fromLatin1(kPath), this) &&
                      bus_.registerService(QString::fromLatin1(kService));
    }
    ~FakeNotificationService() override {
        bus_.unregisterService(QString::fromLatin1(kService));
        bus_.unregisterObject(QString::fromLatin1(kPath));
    }

    bool Registered() const { return registered_; }
    const std::vector<Call>& Calls() const { return calls_; }

    // The user chose the notification `id`.
    void InvokeDefaultAction(uint id) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QString::fromLatin1(kPath), QString::fromLatin1(kService), "ActionInvoked");
        signal << id << QStringLiteral("default");
        bus_.send(signal);
    }

    QString introspect(const QString& /*path*/) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("Notify") || message.arguments().size() != 8)
            return false;
        const QList<QVariant> a = message.arguments();
        Call call{a[0].toString(),
                  a[1].toUInt(),
                  a[2].toString(),
                  a[3].toString(),
                  a[4].toString(),
                  a[5].toStringList(),
                  qdbus_cast<QVariantMap>(a[6]),
                  a[7].toInt(),
                  0};
        call.id = call.replacesId != 0 ? call.replacesId : ++lastId_;
        calls_.push_back(call);
        connection.send(message.createReply(QVariant::fromValue(call.id)));
        return true;
    }

  private:
    QDBusConnection bus_;
    std::vector<Call> calls_;
    uint lastId_ = 40;
    bool registered_ = false;
};

}  // namespace tellweir::testing
