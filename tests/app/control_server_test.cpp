// The control socket in one process: requests reach the handler parsed against the client's
// folder, malformed and oversized requests get an error reply, silent clients hold up nobody,
// requests that come before the handler wait for it, a server that does not take a request is
// said to not answer, a stale socket file is no server, and Stop ends the threads at once and
// removes the socket file.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/control_client.h"
#include "app/control_protocol.h"
#include "app/control_server.h"
#include "app/control_socket_io.h"
#include "tests/support/file_text.h"
#include "tests/support/stale_socket.h"
#include "tests/support/temp_dir.h"

namespace tellweir::testing {
namespace {

using namespace std::chrono_literals;

// Records what reaches it and answers with the command's URI or name.
class RecordingHandler final : public IControlHandler {
  public:
    bool Show() override {
        ++shows;
        return window;
    }
    ControlReply Run(const ProgramOptions& options) override {
        std::lock_guard guard(lock);
        runs.push_back(options);
        return {options.command == ProgramOptions::Command::Remove ? 1 : 0,
                options.uri + options.name + "\n", "said on stderr\n"};
    }

    bool window = false;
    std::atomic<int> shows{0};
    std::mutex lock;
    std::vector<ProgramOptions> runs;
};

// A connected client socket of our own, for requests no client of the program sends.
int Connect(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends `bytes` as a whole request and reads everything the server answers.
std::string Exchange(const std::string& path, const std::string& bytes) {
    const int fd = Connect(path);
    if (fd < 0) return "(no connection)";
    const auto deadline = ControlClock::now() + 10s;
    std::string answer;
    if (WriteControlBytes(fd, bytes, deadline) == ControlIo::Done) {
        ::shutdown(fd, SHUT_WR);
        (void)ReadControlBytes(fd, answer, SIZE_MAX, kMaxControlReply, deadline);
    }
    ::close(fd);
    return answer;
}

class ControlServerTest : public ::testing::Test {
  protected:
    TempDir dir_{"control"};
    std::string path_ = dir_ / "c.sock";
    RecordingHandler handler_;
};

TEST_F(ControlServerTest, RequestsReachTheHandlerAndTheRepliesTheClient) {
    MakeStaleSocket(path_);
    EXPECT_FALSE(SendControlRequest({}, path_, 1s)) << "a stale socket file is no server";
    CControlServer server(handler_);
    std::string error;
    ASSERT_TRUE(server.Start(path_, error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // A relative path is resolved against the client's folder, not the server's; arguments
    // keep bytes that mean something to the format.
    std::optional<ControlReply> reply =
        SendControlRequest({ControlRequest::Kind::Run,
                            "/client/folder",
                            {"--add", "pages/3:x.txt", "--name", " a b "}},
                           path_);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 0);
    EXPECT_EQ(reply->out, "/client/folder/pages/3:x.txta b\n") << "the name trimmed as parsed";
    EXPECT_EQ(reply->err, "said on stderr\n");
    reply = SendControlRequest({ControlRequest::Kind::Run, "/", {"--remove", "n"}}, path_);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 1);
    ASSERT_EQ(handler_.runs.size(), 2u);
    EXPECT_EQ(handler_.runs[1].command, ProgramOptions::Command::Remove);

    // A command line the parser refuses never reaches the handler.
    reply = SendControlRequest({ControlRequest::Kind::Run, "/", {"--frobnicate"}}, path_);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 2);
    EXPECT_EQ(reply->err, "tellweir: unknown option '--frobnicate'\nTry 'tellweir --help'.\n");
    EXPECT_EQ(handler_.runs.size(), 2u);

    reply = SendControlRequest({}, path_);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 1) << "no window to show";
    handler_.window = true;
    reply = SendControlRequest({}, path_);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 0);
    EXPECT_EQ(handler_.shows, 2);
}

TEST_F(ControlServerTest, MalformedRequestsGetAnErrorReply) {
    CControlServer server(handler_);
    std::string error;
    ASSERT_TRUE(server.Start(path_, error)) << error;
    const std::string magic(kControlMagic);
    const struct {
        const char* name;
        std::string bytes;
        const char* why;
    } cases[] = {
        {"empty", "", "not a control request"},
        {"no magic", "4:show", "not a control request"},
        {"other version", "tellweir-control 2\n4:show", "another version"},
        {"no fields", magic, "the request is empty"},
        {"unknown kind", magic + "4:quit", "unknown request"},
        {"show with more", magic + "4:show1:x", "unknown request"},
        {"run without folder", magic + "3:run", "unknown request"},
        {"no length", magic + ":show", "does not start with its length"},
        {"sign", magic + "+4:show", "does not start with its length"},
        {"huge length", magic + "99999999999:x", "does not start with its length"},
        {"cut short", magic + "3:run1:/6:--li", "cut short"},
        {"NUL in argument", magic + "3:run1:/6:" + std::string("--li\0t", 6), "NUL"},
        {"too large", magic + "3:run1:/" + std::string(kMaxControlRequest, 'x'), "too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string answer = Exchange(path_, c.bytes);
        ASSERT_TRUE(answer.starts_with(kControlMagic)) << answer;
        std::string parseError;
        const std::optional<ControlReply> reply = ParseControlReplyFields(
            std::string_view(answer).substr(kControlMagic.size()), parseError);
        ASSERT_TRUE(reply) << parseError;
        EXPECT_EQ(reply->status, 2);
        EXPECT_TRUE(reply->err.starts_with("tellweir: malformed control request: ")) << reply->err;
        EXPECT_NE(reply->err.find(c.why), std::string::npos) << reply->err;
    }
    EXPECT_TRUE(handler_.runs.empty());
    EXPECT_EQ(handler_.shows, 0);
}

// Clients are served side by side: silent ones and one that stops half-way through its request
// delay no other (their time limit here is far longer than any client waits), and each is
// dropped, unanswered, once its own limit passes.
TEST_F(ControlServerTest, SilentClientsDoNotDelayOthers) {
    for (const auto limit : {std::chrono::milliseconds(1h), std::chrono::milliseconds(300)}) {
        SCOPED_TRACE(limit.count());
        CControlServer server(handler_, limit);
        std::string error;
        ASSERT_TRUE(server.Start(path_, error)) << error;
        std::vector<int> silent;
        for (int i = 0; i < 5; ++i)
            silent.push_back(Connect(path_));
        silent.push_back(Connect(path_));
        const std::string half = EncodeControlRequest({ControlRequest::Kind::Run, "/", {"--list"}});
        ASSERT_GT(::send(silent.back(), half.data(), half.size() / 2, MSG_NOSIGNAL), 0);
        const std::optional<ControlReply> reply =
            SendControlRequest({ControlRequest::Kind::Run, "/", {"--list"}}, path_);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 0) << reply->err;
        EXPECT_EQ(reply->err, "said on stderr\n");
        if (limit < 1s) {
            for (const int fd : silent) {
                char byte = 0;
                EXPECT_EQ(::recv(fd, &byte, 1, 0), 0) << "dropped, unanswered";
            }
        }
        for (const int fd : silent)
            ::close(fd);
    }
}

// An instance listens before it can run anything: a request waits for the handler instead of
// being turned away, and one still waiting when the server stops is told so.
TEST_F(ControlServerTest, RequestsBeforeTheHandlerWaitForIt) {
    CControlServer server;
    std::string error;
    ASSERT_TRUE(server.Start(path_, error)) << error;
    // The short answer limit covers only the taking: the reply may come much later.
    auto shown =
        std::async(std::launch::async, [&] { return SendControlRequest({}, path_, 300ms); });
    EXPECT_EQ(shown.wait_for(600ms), std::future_status::timeout) << "answered without a handler";
    handler_.window = true;
    server.SetHandler(handler_);
    const std::optional<ControlReply> reply = shown.get();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 0) << reply->err;
    EXPECT_EQ(handler_.shows, 1);

    CControlServer stopped;
    ASSERT_TRUE(stopped.Start(dir_ / "d.sock", error)) << error;
    auto listed = std::async(std::launch::async, [&] {
        return SendControlRequest({ControlRequest::Kind::Run, "/", {"--list"}}, dir_ / "d.sock");
    });
    EXPECT_EQ(listed.wait_for(300ms), std::future_status::timeout);
    stopped.Stop();
    const std::optional<ControlReply> refused = listed.get();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 1);
    EXPECT_EQ(refused->err,
              "tellweir: the running instance stopped taking commands before it ran this one\n");
    EXPECT_TRUE(handler_.runs.empty());
}

// Something listens but never takes a request (an instance stuck elsewhere): the client says
// so, rather than run the command as if no instance ran.
TEST_F(ControlServerTest, ServerThatDoesNotTakeTheRequestIsSaid) {
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    EXPECT_EQ(ExchangeControlRequest({}, path_, 300ms).kind, ControlOutcome::Kind::NoAnswer);
    const std::optional<ControlReply> reply =
        SendControlRequest({ControlRequest::Kind::Run, "/", {"--list"}}, path_, 300ms);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 1);
    EXPECT_EQ(reply->err, "tellweir: the running instance did not answer in time\n");
    ::close(listener);
    EXPECT_EQ(ExchangeControlRequest({}, path_, 300ms).kind, ControlOutcome::Kind::NoServer);
}

// Stop returns while a client that sends nothing is connected (the server's time limit here is
// far longer than any test), and removes the socket file: a later client finds no server.
TEST_F(ControlServerTest, StopEndsTheThreadAndRemovesTheSocket) {
    CControlServer server(handler_, 1h);
    std::string error;
    ASSERT_TRUE(server.Start(path_, error)) << error;
    const int silent = Connect(path_);
    ASSERT_GE(silent, 0);
    // Connected clients wait in the queue until the thread takes them; give it the moment.
    std::this_thread::sleep_for(100ms);
    server.Stop();
    EXPECT_FALSE(server.IsRunning());
    EXPECT_FALSE(std::filesystem::exists(path_));
    EXPECT_FALSE(SendControlRequest({}, path_, 1s));
    ::close(silent);
    server.Stop();  // twice is harmless
    // And it starts again on the same path.
    ASSERT_TRUE(server.Start(path_, error)) << error;
    EXPECT_TRUE(SendControlRequest({}, path_));
}

TEST_F(ControlServerTest, SomethingElseInTheSocketsPlaceIsLeftAlone) {
    WriteAll(path_, "mine");
    CControlServer server(handler_);
    std::string error;
    EXPECT_FALSE(server.Start(path_, error));
    EXPECT_NE(error.find("in the control socket's place"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(path_), "mine");
    EXPECT_FALSE(server.Start("", error));
}

}  // namespace
}  // namespace tellweir::testing
