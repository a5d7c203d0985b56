// The scripted TCP server.
#include "tests/support/scripted_server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tellweir::testing {
namespace {

constexpr auto kStepLimit = std::chrono::seconds(10);

// Non-printable bytes as \xNN, so a failure text shows what really came.
std::string Printable(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
        } else {
            text += "\\x";
            text += kHex[c >> 4];
            text += kHex[c & 0xF];
        }
    }
    return text;
}

}  // namespace

namespace script {
namespace {
ScriptStep Step(ScriptStep::Kind kind, std::string bytes = {}, std::size_t count = 0,
                std::chrono::milliseconds delay = {}) {
    return {kind, std::move(bytes), count, delay};
}
}  // namespace

ScriptStep Expect(std::string bytes) {
    return Step(ScriptStep::Kind::Expect, std::move(bytes));
}
ScriptStep ReadUntil(std::string terminator) {
    return Step(ScriptStep::Kind::ReadUntil, std::move(terminator));
}
ScriptStep Read(std::size_t count) {
    return Step(ScriptStep::Kind::Read, {}, count);
}
ScriptStep Send(std::string bytes) {
    return Step(ScriptStep::Kind::Send, std::move(bytes));
}
ScriptStep Delay(std::chrono::milliseconds delay) {
    return Step(ScriptStep::Kind::Delay, {}, 0, delay);
}
ScriptStep Close() {
    return Step(ScriptStep::Kind::Close);
}
ScriptStep Reset() {
    return Step(ScriptStep::Kind::Reset);
}
ScriptStep Echo() {
    return Step(ScriptStep::Kind::Echo);
}
ScriptStep Drain() {
    return Step(ScriptStep::Kind::Drain);
}
}  // namespace script

ScriptedServer::ScriptedServer(std::vector<ScriptStep> script, int connections)
    : script_(std::move(script)), connections_(connections) {
    int wake[2] = {-1, -1};
    if (::pipe2(wake, O_CLOEXEC) == 0) {
        wakeRead_ = wake[0];
        wakeWrite_ = wake[1];
    }
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ >= 0 &&
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listener_, 16) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port_ = ntohs(address.sin_port);
    }
    thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
    Stop();
}

void ScriptedServer::Stop() {
    if (thread_.joinable()) {
        const char wake = 1;
        if (::write(wakeWrite_, &wake, 1) < 0) Fail("cannot wake the server thread");
        thread_.join();
    }
    for (int* handle : {&listener_, &wakeRead_, &wakeWrite_}) {
        if (*handle >= 0) ::close(*handle);
        *handle = -1;
    }
}

bool ScriptedServer::Wait(std::chrono::milliseconds limit) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, limit, [this] {
        return finished_ || (connections_ > 0 && served_ >= connections_);
    });
}

std::string ScriptedServer::Received() const {
    std::lock_guard guard(lock_);
    return received_;
}

std::vector<std::string> ScriptedServer::Failures() const {
    std::lock_guard guard(lock_);
    return failures_;
}

int ScriptedServer::Accepted() const {
    std::lock_guard guard(lock_);
    return accepted_;
}

void ScriptedServer::Fail(std::string text) {
    std::lock_guard guard(lock_);
    failures_.push_back(std::move(text));
}

void ScriptedServer::Run() {
    if (port_ == 0) Fail("cannot listen on 127.0.0.1");
    while (port_ != 0 && (connections_ == 0 || served_ < connections_)) {
        pollfd entries[2] = {{listener_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0 && errno != EINTR) break;
        if (entries[1].revents != 0) break;
        if ((entries[0].revents & POLLIN) == 0) continue;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        {
            std::lock_guard guard(lock_);
            ++accepted_;
        }
        Serve(connection);
        std::lock_guard guard(lock_);
        ++served_;
        changed_.notify_all();
    }
    std::lock_guard guard(lock_);
    finished_ = true;
    changed_.notify_all();
}

void ScriptedServer::Serve(int connection) {
    bool closed = false;
    for (const ScriptStep& step : script_) {
        if (!RunStep(connection, step, closed)) break;
    }
    if (!closed) ::close(connection);
}

bool ScriptedServer::WaitFor(int handle, short events) {
    pollfd entries[2] = {{handle, events, 0}, {wakeRead_, POLLIN, 0}};
    const int limit = static_cast<int>(std::chrono::milliseconds(kStepLimit).count());
    int ready = 0;
    do {
        ready = ::poll(entries, 2, limit);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0 || entries[1].revents != 0) return false;
    return true;
}

long ScriptedServer::ReadSome(int connection, char* buffer, std::size_t size) {
    if (!WaitFor(connection, POLLIN)) return -1;
    const ssize_t count = ::recv(connection, buffer, size, 0);
    if (count > 0) {
        std::lock_guard guard(lock_);
        received_.append(buffer, static_cast<std::size_t>(count));
    }
    return count;
}

bool ScriptedServer::SendAll(int connection, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (!WaitFor(connection, POLLOUT)) return false;
        const ssize_t count =
            ::send(connection, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (count < 0) {
            Fail("send failed: errno " + std::to_string(errno));
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

bool ScriptedServer::ReadStep(int connection, const ScriptStep& step) {
    const bool exact = step.kind != ScriptStep::Kind::ReadUntil;
    const std::size_t wanted = step.kind == ScriptStep::Kind::Read ? step.count : step.bytes.size();
    std::string got;
    char buffer[4096];
    // Until-reads go byte by byte, so what follows the terminator stays for the next step.
    while (exact ? got.size() < wanted : got.find(step.bytes) == std::string::npos) {
        const long count = ReadSome(connection, buffer, exact ? wanted - got.size() : 1);
        if (count <= 0) break;
        got.append(buffer, static_cast<std::size_t>(count));
    }
    const bool complete = exact ? got.size() == wanted : got.find(step.bytes) != got.npos;
    const bool matches = step.kind != ScriptStep::Kind::Expect || got == step.bytes;
    if (complete && matches) return true;
    Fail("expected \"" + Printable(step.bytes) + "\" (" + std::to_string(wanted) +
         " bytes), got \"" + Printable(got) + "\"");
    return false;
}

bool ScriptedServer::EchoOrDrain(int connection, bool echo) {
    char buffer[4096];
    for (;;) {
        const long count = ReadSome(connection, buffer, sizeof buffer);
        if (count <= 0) return count == 0;
        if (echo && !SendAll(connection, std::string(buffer, static_cast<std::size_t>(count)))) {
            return false;
        }
    }
}

bool ScriptedServer::RunStep(int connection, const ScriptStep& step, bool& closed) {
    switch (step.kind) {
        case ScriptStep::Kind::Expect:
        case ScriptStep::Kind::Read:
        case ScriptStep::Kind::ReadUntil:
            return ReadStep(connection, step);
        case ScriptStep::Kind::Send:
            return SendAll(connection, step.bytes);
        case ScriptStep::Kind::Delay: {
            pollfd entry{wakeRead_, POLLIN, 0};
            return ::poll(&entry, 1, static_cast<int>(step.delay.count())) == 0;
        }
        case ScriptStep::Kind::Reset: {
            const linger abortive{1, 0};
            ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            [[fallthrough]];
        }
        case ScriptStep::Kind::Close:
            ::close(connection);
            closed = true;
            return false;
        case ScriptStep::Kind::Echo:
        case ScriptStep::Kind::Drain:
            return EchoOrDrain(connection, step.kind == ScriptStep::Kind::Echo);
    }
    return false;
}

}  // namespace tellweir::testing
