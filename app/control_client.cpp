// Connecting to the control socket, sending one request and reading its reply, every step within
// a time limit.
#include "app/control_client.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "app/control_server.h"
#include "app/control_socket_io.h"

namespace tellweir {

namespace {

constexpr std::chrono::milliseconds kConnectRetryPause{20};

class CSocketFd {
  public:
    explicit CSocketFd(int fd) : fd_(fd) {}
    ~CSocketFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    CSocketFd(const CSocketFd&) = delete;
    CSocketFd& operator=(const CSocketFd&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

// Connects to `path`: NoServer for a socket file that stays missing or stale until `grace`,
// NoAnswer when the server's queue of pending connections stays full until `deadline`.
ControlOutcome::Kind Connect(int fd, const std::string& path, ControlClock::time_point grace,
                             ControlClock::time_point deadline) {
    using Kind = ControlOutcome::Kind;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return Kind::NoServer;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    for (;;) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return Kind::Replied;
        if (errno == EINTR) continue;
        const auto now = ControlClock::now();
        if (errno == ENOENT || errno == ECONNREFUSED) {
            if (now >= grace) return Kind::NoServer;
        } else if (errno == EAGAIN) {
            // A full queue of pending connections: the server has more clients than it serves
            // at once.
            if (now >= deadline) return Kind::NoAnswer;
        } else {
            return Kind::NoServer;
        }
        std::this_thread::sleep_for(kConnectRetryPause);
    }
}

ControlReply FailedReply(const std::string& text) {
    return {1, {}, "tellweir: " + text + "\n"};
}

}  // namespace

ControlOutcome ExchangeControlRequest(const ControlRequest& request, const std::string& path,
                                      std::chrono::milliseconds answerLimit) {
    using Kind = ControlOutcome::Kind;
    const std::string target = path.empty() ? ControlSocketPath() : path;
    if (target.empty()) return {};
    const auto start = ControlClock::now();
    const auto answerDeadline = start + answerLimit;
    CSocketFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const int fd = socket.Get();
    if (fd < 0) return {};
    const Kind connected =
        Connect(fd, target, start + std::min(answerLimit, kControlStartGrace), answerDeadline);
    if (connected != Kind::Replied) return {connected, {}};
    // Only an instance of this user is trusted with the command and believed about its result.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid())
        return {};
    const ControlIo wrote = WriteControlBytes(fd, EncodeControlRequest(request), answerDeadline);
    if (wrote == ControlIo::TimedOut) return {Kind::NoAnswer, {}};
    // A server that closes while the request is written has still said why, when it could.
    ::shutdown(fd, SHUT_WR);  // the end of the request
    std::string bytes;
    const ControlIo taken =
        ReadControlBytes(fd, bytes, kControlMagic.size(), kMaxControlReply, answerDeadline);
    if (taken == ControlIo::TimedOut) return {Kind::NoAnswer, {}};
    if (taken != ControlIo::Done || bytes.size() < kControlMagic.size()) return {};
    if (!bytes.starts_with(kControlMagic)) {
        if (bytes.starts_with(kControlMagicStem))
            return {Kind::Replied,
                    FailedReply("the running instance speaks another version of the control "
                                "protocol; stop it to run this command")};
        return {};
    }
    const ControlIo read = ReadControlBytes(fd, bytes, SIZE_MAX, kMaxControlReply,
                                            ControlClock::now() + kControlReplyLimit);
    if (read != ControlIo::Done)
        return {Kind::Replied,
                FailedReply("the running instance did not finish the command; see its log")};
    std::string error;
    std::optional<ControlReply> reply =
        ParseControlReplyFields(std::string_view(bytes).substr(kControlMagic.size()), error);
    if (!reply)
        return {Kind::Replied,
                FailedReply("the running instance's reply cannot be read (" + error + ")")};
    return {Kind::Replied, std::move(*reply)};
}

std::optional<ControlReply> SendControlRequest(const ControlRequest& request,
                                               const std::string& path,
                                               std::chrono::milliseconds answerLimit) {
    ControlOutcome outcome = ExchangeControlRequest(request, path, answerLimit);
    switch (outcome.kind) {
        case ControlOutcome::Kind::NoServer:
            return std::nullopt;
        case ControlOutcome::Kind::NoAnswer:
            return FailedReply("the running instance did not answer in time");
        case ControlOutcome::Kind::Replied:
            break;
    }
    return std::move(outcome.reply);
}

ShowOutcome AskRunningInstanceToShow() {
    const ControlOutcome outcome = ExchangeControlRequest({});
    switch (outcome.kind) {
        case ControlOutcome::Kind::NoServer:
            return ShowOutcome::NoServer;
        case ControlOutcome::Kind::NoAnswer:
            return ShowOutcome::NoAnswer;
        case ControlOutcome::Kind::Replied:
            break;
    }
    return outcome.reply.status == 0 ? ShowOutcome::Shown : ShowOutcome::Headless;
}

}  // namespace tellweir
