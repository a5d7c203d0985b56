// TlsScriptedServer: a TLS server on 127.0.0.1 (a port the system picks) for one connection, in
// a thread of its own, for endings no real TLS server sends. After the handshake it reads the
// request head, sends `reply` through TLS and then ends the stream as told: with the close
// notification, with a plain close (no notification), with bytes that are not a TLS record, or
// with a reset. Each step waits at most 10 seconds.
#pragma once

#include <openssl/types.h>

#include <mutex>
#include <string>
#include <thread>

#include "tests/support/real_servers.h"

namespace tellweir::testing {

enum class TlsEnding { CloseNotify, PlainClose, Garbage, Reset };

class TlsScriptedServer {
  public:
    // `certificate` names PEM files the server presents.
    TlsScriptedServer(const Certificate& certificate, std::string reply, TlsEnding ending);
    ~TlsScriptedServer();  // wakes the thread if it still waits for a connection, and joins it
    TlsScriptedServer(const TlsScriptedServer&) = delete;
    TlsScriptedServer& operator=(const TlsScriptedServer&) = delete;

    int Port() const { return port_; }
    // The plain bytes read from the client so far.
    std::string Received() const;
    // What went wrong on the server's side; empty while all is well.
    std::string Error() const;

  private:
    void Run();
    void Serve(int connection);
    void End(int connection, SSL* session);
    void Fail(const std::string& text);

    const std::string reply_;
    const TlsEnding ending_;
    SSL_CTX* context_ = nullptr;
    int listener_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int port_ = 0;
    std::thread thread_;

    mutable std::mutex lock_;
    std::string received_;
    std::string error_;
};

}  // namespace tellweir::testing
