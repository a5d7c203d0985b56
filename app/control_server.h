// CControlServer: the running instance's control socket. A second copy of the program started
// while this one holds the instance lock hands its --add, --remove or --list over it instead of
// refusing, and a second desktop start asks it to show its window. One socket per data folder,
// in $XDG_RUNTIME_DIR, reachable only by the same user. Clients are served side by side; their
// requests run one at a time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "app/control_protocol.h"
#include "app/options.h"

namespace tellweir {

// What the running instance does for a request; called on the control command thread, one
// request at a time, with no lock of the server held.
class IControlHandler {
  public:
    virtual ~IControlHandler() = default;
    // Brings the window to the front; false when there is no window to show.
    virtual bool Show() = 0;
    // Runs a command line already parsed against the client's current folder.
    virtual ControlReply Run(const ProgramOptions& options) = 0;
};

// "$XDG_RUNTIME_DIR/tellweir-<16 hex digits>.sock", the digits a hash of the data folder's path;
// empty without XDG_RUNTIME_DIR or a data folder, or when the path is too long for a socket.
// The program identity must be set.
std::string ControlSocketPath();

// How long the server waits for a client to send its whole request, and for it to take the
// reply: a client that stalls is dropped. Clients are served side by side, so one that stalls
// delays no other.
inline constexpr std::chrono::milliseconds kControlClientLimit{2000};
// Connections served at once; more wait in the listen queue until one ends.
inline constexpr std::size_t kMaxControlConnections = 32;

class CControlServer {
  public:
    // `handler`: who runs the requests; null until SetHandler gives one (requests that come
    // earlier wait for it). `clientLimit`: how long a client may take to send its request, and
    // to take the reply.
    explicit CControlServer(IControlHandler* handler = nullptr,
                            std::chrono::milliseconds clientLimit = kControlClientLimit)
        : handler_(handler), clientLimit_(clientLimit) {}
    explicit CControlServer(IControlHandler& handler,
                            std::chrono::milliseconds clientLimit = kControlClientLimit)
        : CControlServer(&handler, clientLimit) {}
    ~CControlServer();  // Stop
    CControlServer(const CControlServer&) = delete;
    CControlServer& operator=(const CControlServer&) = delete;

    // Lets the waiting requests, and every later one, run on `handler`, which must outlive
    // Stop. An instance listens before its queue is loaded and hands the handler over once its
    // commands (and its window) can be served, so that nobody who asks meanwhile is turned away.
    void SetHandler(IControlHandler& handler);

    // Listens on `path` (mode 0600) and starts the control threads. The caller holds the
    // instance lock, so a socket file found there was left by an instance that ended without
    // removing it, and is replaced. False, with the reason in `error`, when the path is empty,
    // names something that is not a socket, or cannot be bound.
    bool Start(const std::string& path, std::string& error);
    // Ends the control threads and removes the socket file. A request being run is finished
    // and answered first; one still waiting for a handler is answered that the instance ended.
    // Safe to call more than once.
    void Stop();
    bool IsRunning() const { return ioThread_.joinable(); }

  private:
    struct Connection;
    // A request read whole, waiting for the command thread.
    struct Pending {
        std::uint64_t id;
        std::string bytes;
    };

    void Serve();        // the I/O thread: accepts, reads and writes every connection by poll
    void RunRequests();  // the command thread: runs the requests one at a time
    // Takes the waiting connections; true when out of descriptors.
    bool Accept(std::map<std::uint64_t, Connection>& connections);
    // Reads what the client sent; false when the connection is to be closed.
    bool ReadRequest(std::uint64_t id, Connection& connection);
    // Writes what is due; false when the connection is done or broken.
    bool WriteReply(Connection& connection);
    // The reply to one request's bytes.
    ControlReply Answer(std::string_view bytes, IControlHandler& handler);

    IControlHandler* handler_;  // under lock_
    const std::chrono::milliseconds clientLimit_;
    std::string path_;
    int listenFd_ = -1;
    int stopFd_ = -1;  // an eventfd: the I/O thread ends when it is readable
    int doneFd_ = -1;  // an eventfd: the command thread has replies for the I/O thread
    // The socket file as bound: removed at Stop only while it is still this one.
    unsigned long long device_ = 0;
    unsigned long long inode_ = 0;
    std::mutex lock_;  // the server's own, taken last; guards the fields below and handler_
    std::condition_variable wake_;
    bool stopping_ = false;
    std::deque<Pending> pending_;
    std::map<std::uint64_t, std::string> replies_;  // encoded reply fields by connection id
    std::uint64_t nextId_ = 0;                      // of the I/O thread alone
    std::thread ioThread_;
    std::thread commandThread_;
};

// Starts `server` on ControlSocketPath(). Empty when it listens; else the line to say once: why
// not, and that other copies of the program cannot reach this one while it runs.
std::string StartControlSocket(CControlServer& server);

}  // namespace tellweir
