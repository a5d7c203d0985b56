// Starting, waiting for and stopping real server processes.
#include "tests/support/child_process.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/support/file_text.h"
#include "tests/support/wait_until.h"

extern char** environ;

namespace tellweir::testing {
namespace {

bool CanConnect(int port) {
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<in_port_t>(port));
    const bool connected =
        ::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(handle);
    return connected;
}

// How a server is spawned: stdin from /dev/null, stdout and stderr appended to `output`, a
// process group of its own (so Stop reaches its helpers too) and default signal handling.
struct SpawnSetup {
    explicit SpawnSetup(const std::string& output) {
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(
            &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        posix_spawnattr_setpgroup(&attributes, 0);
        sigset_t signals;
        sigemptyset(&signals);
        posix_spawnattr_setsigmask(&attributes, &signals);
        sigaddset(&signals, SIGPIPE);  // the test process may ignore it; the server must not
        posix_spawnattr_setsigdefault(&attributes, &signals);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

}  // namespace

std::string FindProgram(std::string_view name) {
    if (name.find('/') != std::string_view::npos) {
        return ::access(std::string(name).c_str(), X_OK) == 0 ? std::string(name) : std::string();
    }
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    folders += ":/usr/sbin:/sbin:/usr/bin:/bin";
    std::istringstream list(folders);
    std::string folder;
    while (std::getline(list, folder, ':')) {
        if (folder.empty()) continue;
        std::string candidate = (std::filesystem::path(folder) / name).string();
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

ChildProcess::~ChildProcess() {
    Stop();
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& outputPath) {
    Stop();
    error_.clear();
    if (argv.empty()) {
        error_ = "no program given";
        return false;
    }
    const std::string program = FindProgram(argv[0]);
    if (program.empty()) {
        error_ = "program '" + argv[0] +
                 "' is not installed (scripts/install-deps.sh servers installs the test servers)";
        return false;
    }
    outputPath_ = outputPath;

    SpawnSetup setup(outputPath.empty() ? "/dev/null" : outputPath);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args[0] = const_cast<char*>(program.c_str());
    args.push_back(nullptr);
    const int failed = ::posix_spawn(&pid_, program.c_str(), &setup.actions, &setup.attributes,
                                     args.data(), environ);
    if (failed != 0) {
        pid_ = -1;
        error_ = "cannot start " + program + ": error " + std::to_string(failed);
        return false;
    }
    return true;
}

bool ChildProcess::WaitForPort(int port, std::chrono::milliseconds limit) {
    bool ended = false;
    const bool listening = WaitUntil(
        [&] {
            ended = !Running();
            return ended || CanConnect(port);
        },
        limit, std::chrono::milliseconds(20));
    if (ended) {
        error_ = "the server ended before it listened on port " + std::to_string(port) +
                 "; its output: " + Output();
        return false;
    }
    if (!listening) {
        error_ = "the server did not listen on port " + std::to_string(port) +
                 " in time; output: " + Output();
    }
    return listening;
}

bool ChildProcess::Running() {
    return pid_ > 0 && !Reap(false);
}

bool ChildProcess::Reap(bool wait) {
    if (pid_ <= 0) return true;
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, wait ? 0 : WNOHANG);
    if (done == pid_ || (done < 0 && errno == ECHILD)) {
        exitStatus_ = done == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
        return true;
    }
    return false;
}

int ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
    if (WaitUntil([this] { return Reap(false); }, limit, std::chrono::milliseconds(10)))
        return exitStatus_;
    error_ = "the program did not end in time; its output: " + Output();
    Stop();
    return -1;
}

void ChildProcess::Stop() {
    if (pid_ <= 0) return;
    const pid_t group = pid_;
    ::kill(-group, SIGTERM);
    WaitUntil([this] { return Reap(false); }, std::chrono::seconds(2),
              std::chrono::milliseconds(10));
    if (pid_ > 0) {
        ::kill(-group, SIGKILL);
        Reap(true);
    }
    // Helpers the server forked share its group; none may outlive the test.
    ::kill(-group, SIGKILL);
}

std::string ChildProcess::Output() const {
    return outputPath_.empty() ? std::string() : ReadAll(outputPath_);
}

int RunProgram(const std::vector<std::string>& argv, const std::string& outputPath,
               std::string& error, std::chrono::milliseconds limit) {
    ChildProcess process;
    if (!process.Start(argv, outputPath)) {
        error = process.Error();
        return -1;
    }
    const int status = process.WaitForExit(limit);
    if (status != 0)
        error = argv[0] + " ended with status " + std::to_string(status) + ": " + process.Output() +
                process.Error();
    return status;
}

}  // namespace tellweir::testing
