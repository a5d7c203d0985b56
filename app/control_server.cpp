// The control socket's server: one thread accepts a connection at a time, checks that the peer
// runs as the same user, reads its request within a time limit and answers it.
#include "app/control_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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

CControlServer::~CControlServer() {
    Stop();
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
        if (listenFd_ >= 0) ::close(listenFd_);
        listenFd_ = -1;
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
    path_ = path;
    stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (::listen(listenFd_, 16) != 0 || stopFd_ < 0) {
        const int saved = errno;
        if (stopFd_ >= 0) ::close(stopFd_);
        stopFd_ = -1;
        ::unlink(path.c_str());
        path_.clear();
        errno = saved;
        return fail("cannot listen on the control socket");
    }
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void CControlServer::Stop() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        // The eventfd counter cannot overflow from one write: the write always succeeds.
        (void)!::write(stopFd_, &one, sizeof one);
        thread_.join();
    }
    for (int* fd : {&listenFd_, &stopFd_}) {
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

void CControlServer::Serve() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            // Out of descriptors: pause rather than spin on a connection that stays pending.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                pollfd stop{stopFd_, POLLIN, 0};
                if (::poll(&stop, 1, 100) > 0) return;
            }
            continue;
        }
        HandleConnection(fd);
        ::close(fd);
    }
}

void CControlServer::HandleConnection(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid())
        return;
    std::string bytes;
    const ControlIo read = ReadControlBytes(fd, bytes, SIZE_MAX, kMaxControlRequest,
                                            ControlClock::now() + clientLimit_, stopFd_);
    if (read != ControlIo::Done && read != ControlIo::TooLarge) return;
    // Says at once that the request is taken: the command may take longer than a client waits
    // for an answer at all.
    if (WriteControlBytes(fd, kControlMagic, ControlClock::now() + clientLimit_, stopFd_) !=
        ControlIo::Done)
        return;
    const ControlReply reply = read == ControlIo::TooLarge
                                   ? ErrorReply(2, "malformed control request: too large")
                                   : Answer(bytes);
    const std::string fields = EncodeControlReplyFields(reply);
    // A long list takes longer to pass than a short one, however fast the client reads.
    const auto limit = clientLimit_ * (1 + fields.size() / (std::size_t{16} << 20));
    (void)WriteControlBytes(fd, fields, ControlClock::now() + limit, stopFd_);
}

ControlReply CControlServer::Answer(std::string_view bytes) {
    std::string error;
    const std::optional<ControlRequest> request = ParseControlRequest(bytes, error);
    if (!request) return ErrorReply(2, "malformed control request: " + error);
    if (request->kind == ControlRequest::Kind::Show)
        return handler_.Show() ? ControlReply{}
                               : ErrorReply(1, "the running instance has no window");
    // Parsed again here, against the client's folder: only a command line crosses the socket.
    const std::optional<ProgramOptions> options =
        ParseOptions(request->args, request->folder, error);
    if (!options) return ErrorReply(2, error + "\nTry 'tellweir --help'.");
    return handler_.Run(*options);
}

}  // namespace tellweir
