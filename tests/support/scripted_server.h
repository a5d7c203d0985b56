// ScriptedServer: a TCP server on 127.0.0.1 (a port the system picks) that runs a script of
// reads, replies, pauses and closes on each connection it accepts, in a thread of its own. Used
// for replies no real server sends: malformed, cut off, slow, refusing.
//
//   ScriptedServer server({script::ReadUntil("\r\n\r\n"),
//                          script::Send("HTTP/1.0 407 Proxy Authentication Required\r\n\r\n"),
//                          script::Close()});
//   ... connect to 127.0.0.1:server.Port() ...
//   EXPECT_TRUE(server.Wait());
//   EXPECT_EQ(server.Received(), "CONNECT ...");
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tellweir::testing {

struct ScriptStep {
    enum class Kind { Expect, ReadUntil, Read, Send, Delay, Close, Reset, Echo, Drain };
    Kind kind;
    std::string bytes;  // Expect: the bytes; ReadUntil: the terminator; Send: the reply
    std::size_t count = 0;
    std::chrono::milliseconds delay{0};
};

namespace script {
// Reads exactly as many bytes as `bytes` has; a difference is a failure and ends the connection.
ScriptStep Expect(std::string bytes);
// Reads until `terminator` has arrived.
ScriptStep ReadUntil(std::string terminator);
// Reads exactly `count` bytes, whatever they are.
ScriptStep Read(std::size_t count);
ScriptStep Send(std::string bytes);
// Waits without reading (a stop of the server ends the wait).
ScriptStep Delay(std::chrono::milliseconds delay);
// Orderly close (FIN).
ScriptStep Close();
// Abortive close (RST): the peer's next send or receive fails with a reset.
ScriptStep Reset();
// Sends back whatever arrives until the peer closes.
ScriptStep Echo();
// Reads and drops whatever arrives until the peer closes (a server that never answers).
ScriptStep Drain();
}  // namespace script

// Every method may be called from the test's thread while the server thread runs. Each step
// waits at most 10 seconds, so a script never outlives its test by long.
class ScriptedServer {
  public:
    // Serves `connections` connections one after the other (0: until stopped), each with the
    // whole script; a connection whose script ends without a close step is closed (FIN).
    explicit ScriptedServer(std::vector<ScriptStep> script, int connections = 1);
    ~ScriptedServer();  // Stop
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int Port() const { return port_; }
    // Waits until every connection has been served; false when `limit` passes first.
    bool Wait(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Ends the current step at once, closes everything and joins the thread.
    void Stop();

    // Every byte read so far, over all connections.
    std::string Received() const;
    // What went against the script ("expected ... got ..."), one text per failure.
    std::vector<std::string> Failures() const;
    int Accepted() const;

  private:
    void Run();
    void Serve(int connection);
    // Runs one step; false ends the connection (a close step, a failure or a stop).
    bool RunStep(int connection, const ScriptStep& step, bool& closed);
    bool ReadStep(int connection, const ScriptStep& step);
    // Echoes (or drops) what arrives; true when the peer closed.
    bool EchoOrDrain(int connection, bool echo);
    // Waits for `events` on `handle`, or a stop; false on a stop or after 10 seconds.
    bool WaitFor(int handle, short events);
    // Reads what is there (at most `size`); the count, 0 at end, -1 on failure or stop.
    long ReadSome(int connection, char* buffer, std::size_t size);
    bool SendAll(int connection, const std::string& bytes);
    void Fail(std::string text);

    std::vector<ScriptStep> script_;
    int connections_;
    int listener_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int port_ = 0;
    std::thread thread_;

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::string received_;
    std::vector<std::string> failures_;
    int accepted_ = 0;
    int served_ = 0;
    bool finished_ = false;
};

}  // namespace tellweir::testing
