// Connecting to the control socket, sending one request and reading its reply, every step within
// a time limit.
#include "app/control_client.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

// Connects to `path`; false for a missing or stale socket file, or when the server's queue of
// pending connections stays full until `deadline`.
bool Connect(int fd, const std::string& path, ControlClock::time_point deadline) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    for (;;) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return true;
        if (errno == EINTR) continue;
        // A full queue of pending connections: the server is busy with another client.
        if (errno != EAGAIN || ControlClock::now() >= deadline) return false;
        std::this_thread::sleep_for(kConnectRetryPause);
    }
}

ControlReply FailedReply(const std::string& text) {
    return {1, {}, "tellweir: " + text + "\n"};
}

}  // namespace

std::optional<ControlReply> SendControlRequest(const ControlRequest& request,
                                               const std::string& path,
                                               std::chrono::milliseconds answerLimit) {
    const std::string target = path.empty() ? ControlSocketPath() : path;
    if (target.empty()) return std::nullopt;
    const auto answerDeadline = ControlClock::now() + answerLimit;
    CSocketFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const int fd = socket.Get();
    if (fd < 0 || !Connect(fd, target, answerDeadline)) return std::nullopt;
    // Only an instance of this user is trusted with the command and believed about its result.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid())
        return std::nullopt;
    if (WriteControlBytes(fd, EncodeControlRequest(request), answerDeadline) != ControlIo::Done)
        return std::nullopt;
    ::shutdown(fd, SHUT_WR);  // the end of the request
    std::string bytes;
    const ControlIo taken =
        ReadControlBytes(fd, bytes, kControlMagic.size(), kMaxControlReply, answerDeadline);
    if (taken != ControlIo::Done || bytes.size() < kControlMagic.size()) return std::nullopt;
    if (!bytes.starts_with(kControlMagic)) {
        if (bytes.starts_with(kControlMagicStem))
            return FailedReply(
                "the running instance speaks another version of the control "
                "protocol; stop it to run this command");
        return std::nullopt;
    }
    const ControlIo read = ReadControlBytes(fd, bytes, SIZE_MAX, kMaxControlReply,
                                            ControlClock::now() + kControlReplyLimit);
    if (read != ControlIo::Done)
        return FailedReply("the running instance did not finish the command; see its log");
    std::string error;
    std::optional<ControlReply> reply =
        ParseControlReplyFields(std::string_view(bytes).substr(kControlMagic.size()), error);
    if (!reply) return FailedReply("the running instance's reply cannot be read (" + error + ")");
    return reply;
}

ShowOutcome AskRunningInstanceToShow() {
    const std::optional<ControlReply> reply = SendControlRequest({});
    if (!reply) return ShowOutcome::NoAnswer;
    return reply->status == 0 ? ShowOutcome::Shown : ShowOutcome::Headless;
}

}  // namespace tellweir
