// CControlServer: the running instance's control socket. A second copy of the program started
// while this one holds the instance lock hands its --add, --remove or --list over it instead of
// refusing, and a second desktop start asks it to show its window. One socket per data folder,
// in $XDG_RUNTIME_DIR, reachable only by the same user.
#pragma once

#include <chrono>
#include <string>
#include <thread>

#include "app/control_protocol.h"
#include "app/options.h"

namespace tellweir {

// What the running instance does for a request; called on the control thread, one request at a
// time, with no lock of the server held.
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
// reply: a client that stalls is dropped, and the next one is served.
inline constexpr std::chrono::milliseconds kControlClientLimit{2000};

class CControlServer {
  public:
    // `clientLimit`: how long a client may take to send its request, and to take the reply.
    explicit CControlServer(IControlHandler& handler,
                            std::chrono::milliseconds clientLimit = kControlClientLimit)
        : handler_(handler), clientLimit_(clientLimit) {}
    ~CControlServer();  // Stop
    CControlServer(const CControlServer&) = delete;
    CControlServer& operator=(const CControlServer&) = delete;

    // Listens on `path` (mode 0600) and starts the control thread. The caller holds the
    // instance lock, so a socket file found there was left by an instance that ended without
    // removing it, and is replaced. False, with the reason in `error`, when the path is empty,
    // names something that is not a socket, or cannot be bound.
    bool Start(const std::string& path, std::string& error);
    // Ends the control thread (a request being handled is finished first) and removes the
    // socket file. Safe to call more than once.
    void Stop();
    bool IsRunning() const { return thread_.joinable(); }

  private:
    void Serve();
    void HandleConnection(int fd);
    // The reply to one request's bytes.
    ControlReply Answer(std::string_view bytes);

    IControlHandler& handler_;
    const std::chrono::milliseconds clientLimit_;
    std::string path_;
    int listenFd_ = -1;
    int stopFd_ = -1;  // an eventfd the control thread polls with its sockets
    // The socket file as bound: removed at Stop only while it is still this one.
    unsigned long long device_ = 0;
    unsigned long long inode_ = 0;
    std::thread thread_;
};

}  // namespace tellweir
