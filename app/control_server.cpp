// The control socket's server: an I/O thread serves every connection at once with poll (checks
// that the peer runs as the same user, reads its request within a time limit, says at once that
// it is taken, writes the reply); a command thread runs the requests one at a time.
#include "app/control_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/control_socket_io.h"
#include "store/app_identity.h"

namespace tellweir {

namespace {

// FNV-1a: stable across builds and machines, which std::hash is not promised to be.
std::uint64_t PathHash(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// Another spelling of the same folder (a link, a doubled slash) finds the same socket while the
// folder exists, as it does whenever an instance runs.
std::string CanonicalFolder(const std::string& folder) {
    char resolved[PATH_MAX];
    return ::realpath(folder.c_str(), resolved) != nullptr ? std::string(resolved) : folder;
}

bool SameFile(const struct stat& info, unsigned long long device, unsigned long long inode) {
    return static_cast<unsigned long long>(info.st_dev) == device &&
           static_cast<unsigned long long>(info.st_ino) == inode;
}

ControlReply ErrorReply(int status, const std::string& text) {
    return {status, {}, "tellweir: " + text + "\n"};
}

// For a request taken but never run: the server stopped before it had a handler (the queue
// could not be loaded, or the instance is ending), or while the request waited behind another.
ControlReply EndedReply() {
    return ErrorReply(1, "the running instance stopped taking commands before it ran this one");
}

}  // namespace

std::string ControlSocketPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] != '/') return {};
    std::string folder;
    if (!CAppIdentity::Instance().GetIdentity(CAppIdentity::kDataFolder, folder) || folder.empty())
        return {};
    char name[40];
    std::snprintf(name, sizeof name, "tellweir-%016llx.sock",
                  static_cast<unsigned long long>(PathHash(CanonicalFolder(folder))));
    std::string path = runtime;
    if (!path.ends_with('/')) path += '/';
    path += name;
    if (path.size() >= sizeof(sockaddr_un::sun_path)) return {};
    return path;
}

// One client as the I/O thread serves it.
struct CControlServer::Connection {
    int fd = -1;
    std::string in;                     // the request read so far
    std::string out;                    // what is due to the client
    std::size_t sent = 0;               // of `out`
    bool reading = true;                // the request is not yet whole
    bool awaiting = false;              // the request waits for its reply from the command thread
    ControlClock::time_point deadline;  // for the read, or for the write of what is due
};

CControlServer::~CControlServer() {
    Stop();
}

void CControlServer::SetHandler(IControlHandler& handler) {
    {
        std::lock_guard guard(lock_);
        handler_ = &handler;
    }
    wake_.notify_all();
}

bool CControlServer::Start(const std::string& path, std::string& error) {
    if (IsRunning()) return true;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = "no place for the control socket (XDG_RUNTIME_DIR)";
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            error = "\"" + path + "\" is in the control socket's place";
            return false;
        }
        ::unlink(path.c_str());  // left by an instance that ended without removing it
    }
    const auto fail = [&](const char* what) {
        error = std::string(what) + " \"" + path + "\": " + std::strerror(errno);
        for (int* fd : {&listenFd_, &stopFd_, &doneFd_}) {
            if (*fd >= 0) ::close(*fd);
            *fd = -1;
        }
        return false;
    };
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) return fail("cannot make the control socket");
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return fail("cannot bind the control socket");
    // Before listen, so that no connection is accepted while the file is open to others.
    if (::chmod(path.c_str(), 0600) != 0 || ::stat(path.c_str(), &info) != 0) {
        const int saved = errno;
        ::unlink(path.c_str());
        errno = saved;
        return fail("cannot protect the control socket");
    }
    device_ = static_cast<unsigned long long>(info.st_dev);
    inode_ = static_cast<unsigned long long>(info.st_ino);
    stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    doneFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (::listen(listenFd_, 16) != 0 || stopFd_ < 0 || doneFd_ < 0) {
        const int saved = errno;
        ::unlink(path.c_str());
        errno = saved;
        return fail("cannot listen on the control socket");
    }
    path_ = path;
    {
        std::lock_guard guard(lock_);
        stopping_ = false;
        pending_.clear();
        replies_.clear();
    }
    commandThread_ = std::thread([this] { RunRequests(); });
    ioThread_ = std::thread([this] { Serve(); });
    return true;
}

void CControlServer::Stop() {
    if (commandThread_.joinable()) {
        {
            std::lock_guard guard(lock_);
            stopping_ = true;
        }
        wake_.notify_all();
        commandThread_.join();  // after the request it runs, and the answers to those left
    }
    if (ioThread_.joinable()) {
        const std::uint64_t one = 1;
        // The eventfd counter cannot overflow from one write: the write always succeeds.
        (void)!::write(stopFd_, &one, sizeof one);
        ioThread_.join();
    }
    for (int* fd : {&listenFd_, &stopFd_, &doneFd_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    if (!path_.empty()) {
        struct stat info {};
        if (::lstat(path_.c_str(), &info) == 0 && SameFile(info, device_, inode_))
            ::unlink(path_.c_str());
        path_.clear();
    }
}

void CControlServer::RunRequests() {
    std::unique_lock guard(lock_);
    for (;;) {
        wake_.wait(guard, [this] { return stopping_ || (handler_ && !pending_.empty()); });
        if (pending_.empty()) return;  // stopping, nothing left
        Pending request = std::move(pending_.front());
        pending_.pop_front();
        ControlReply reply;
        if (handler_ && !stopping_) {
            IControlHandler& handler = *handler_;
            guard.unlock();
            reply = Answer(request.bytes, handler);
            guard.lock();
        } else {
            reply = EndedReply();
        }
        replies_[request.id] = EncodeControlReplyFields(reply);
        const std::uint64_t one = 1;
        (void)!::write(doneFd_, &one, sizeof one);  // as in Stop
    }
}

bool CControlServer::Accept(std::map<std::uint64_t, Connection>& connections) {
    while (connections.size() < kMaxControlConnections) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
        }
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
            peer.uid != ::geteuid()) {
            ::close(fd);
            continue;
        }
        Connection& connection = connections[++nextId_];
        connection.fd = fd;
        connection.deadline = ControlClock::now() + clientLimit_;
    }
    return false;
}

bool CControlServer::ReadRequest(std::uint64_t id, Connection& connection) {
    const ControlIo read = ReadControlBytes(connection.fd, connection.in, SIZE_MAX,
                                            kMaxControlRequest, ControlClock::now());
    if (read == ControlIo::TimedOut) return true;  // nothing more for now
    if (read == ControlIo::Failed) return false;
    connection.reading = false;
    // Says at once that the request is taken: the command may take longer than a client waits
    // for an answer at all, and others may be in line before it.
    connection.out = kControlMagic;
    connection.deadline = ControlClock::now() + clientLimit_;
    if (read == ControlIo::TooLarge) {
        connection.out += EncodeControlReplyFields(
            ErrorReply(2, "malformed control request: too large (over " +
                              std::to_string(kMaxControlRequest >> 10) + " KiB)"));
        connection.in.clear();
        return true;
    }
    connection.awaiting = true;
    {
        std::lock_guard guard(lock_);
        pending_.push_back({id, std::move(connection.in)});
    }
    wake_.notify_all();
    connection.in.clear();
    return true;
}

bool CControlServer::WriteReply(Connection& connection) {
    while (connection.sent < connection.out.size()) {
        const ssize_t sent = ::send(connection.fd, connection.out.data() + connection.sent,
                                    connection.out.size() - connection.sent, MSG_NOSIGNAL);
        if (sent > 0) {
            connection.sent += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        return sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return connection.awaiting;  // all written: done unless the reply is still to come
}

void CControlServer::Serve() {
    std::map<std::uint64_t, Connection> connections;
    std::vector<pollfd> fds;
    std::vector<std::uint64_t> ids;
    bool pauseAccept = false;
    for (;;) {
        fds.clear();
        ids.clear();
        fds.push_back({stopFd_, POLLIN, 0});
        fds.push_back({doneFd_, POLLIN, 0});
        const bool accepting = connections.size() < kMaxControlConnections && !pauseAccept;
        fds.push_back({accepting ? listenFd_ : -1, POLLIN, 0});
        auto next = ControlClock::time_point::max();
        for (auto& [id, connection] : connections) {
            const bool writing = connection.sent < connection.out.size();
            fds.push_back({connection.fd,
                           static_cast<short>(connection.reading ? POLLIN
                                              : writing          ? POLLOUT
                                                                 : 0),
                           0});
            ids.push_back(id);
            if (connection.reading || writing) next = std::min(next, connection.deadline);
        }
        int timeout = -1;
        if (pauseAccept) timeout = 100;
        if (next != ControlClock::time_point::max()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(next - ControlClock::now());
            const int wait = static_cast<int>(std::clamp<long long>(left.count(), 0, 60'000));
            timeout = timeout < 0 ? wait : std::min(timeout, wait);
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) break;
        pauseAccept = false;
        if ((fds[1].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            (void)!::read(doneFd_, &count, sizeof count);  // only a wake-up
            std::lock_guard guard(lock_);
            for (auto& [id, fields] : replies_) {
                const auto found = connections.find(id);
                if (found == connections.end()) continue;  // the client has gone
                Connection& connection = found->second;
                connection.out += fields;
                connection.awaiting = false;
                // A long list takes longer to pass than a short one, however fast the client
                // reads.
                connection.deadline = ControlClock::now() +
                                      clientLimit_ * (1 + fields.size() / (std::size_t{16} << 20));
            }
            replies_.clear();
        }
        if ((fds[2].revents & POLLIN) != 0) {
            // Out of descriptors: pause rather than spin on a connection that stays pending.
            pauseAccept = Accept(connections);
        }
        const auto now = ControlClock::now();
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const auto found = connections.find(ids[i]);
            Connection& connection = found->second;
            bool keep = true;
            if (connection.reading && (fds[i + 3].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
                keep = ReadRequest(ids[i], connection);
            if (keep && !connection.reading) keep = WriteReply(connection);
            // A client that went away while its command runs: the reply has nobody to go to.
            if (keep && connection.awaiting && (fds[i + 3].revents & (POLLHUP | POLLERR)) != 0)
                keep = false;
            const bool waiting = connection.reading || connection.sent < connection.out.size();
            if (keep && waiting && now >= connection.deadline) keep = false;  // stalled
            if (!keep) {
                ::close(connection.fd);
                connections.erase(found);
            }
        }
    }
    // Ending: what is due goes out if the client takes it now; nobody is waited for.
    for (auto& [id, connection] : connections) {
        {
            std::lock_guard guard(lock_);
            if (const auto reply = replies_.find(id); reply != replies_.end()) {
                connection.out += reply->second;
                connection.awaiting = false;
            }
        }
        if (connection.awaiting) {  // taken after the command thread ended
            connection.out += EncodeControlReplyFields(EndedReply());
            connection.awaiting = false;
        }
        if (!connection.reading) (void)WriteReply(connection);
        ::close(connection.fd);
    }
}

ControlReply CControlServer::Answer(std::string_view bytes, IControlHandler& handler) {
    std::string error;
    const std::optional<ControlRequest> request = ParseControlRequest(bytes, error);
    if (!request) return ErrorReply(2, "malformed control request: " + error);
    if (request->kind == ControlRequest::Kind::Show)
        return handler.Show() ? ControlReply{}
                              : ErrorReply(1, "the running instance has no window");
    // Parsed again here, against the client's folder: only a command line crosses the socket.
    const std::optional<ProgramOptions> options =
        ParseOptions(request->args, request->folder, error);
    if (!options) return ErrorReply(2, error + "\nTry 'tellweir --help'.");
    return handler.Run(*options);
}

std::string StartControlSocket(CControlServer& server) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string error;
    if (runtime == nullptr || runtime[0] != '/')
        error = "XDG_RUNTIME_DIR is not set";
    else if (server.Start(ControlSocketPath(), error))
        return {};
    return error + "; other copies of the program cannot reach this one while it runs";
}

}  // namespace tellweir
