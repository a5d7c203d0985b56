// Small helpers shared by the socket, proxy and TLS tests.
#pragma once

#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "net/socket/net_socket.h"
#include "transfer/traffic_observer.h"

namespace tellweir::testing {

inline constexpr Ipv4Address kLoopback = 0x7F000001;

// Counts what a socket reports to its observer.
class CountingObserver final : public ITrafficObserver {
  public:
    void OnReceived(std::int64_t count) override { received += count; }
    void OnSent(std::int64_t count) override { sent += count; }
    std::atomic<std::int64_t> received{0};
    std::atomic<std::int64_t> sent{0};
};

// Receives until `size` bytes came or the peer closed or failed.
inline std::string ReceiveBytes(CNetSocket& socket, std::size_t size) {
    std::string got;
    char buffer[1024];
    while (got.size() < size) {
        const std::int32_t count = socket.Receive(
            buffer, static_cast<std::int32_t>(std::min(sizeof buffer, size - got.size())));
        if (count <= 0) break;
        got.append(buffer, static_cast<std::size_t>(count));
    }
    return got;
}

inline bool SendText(CNetSocket& socket, const std::string& text) {
    return socket.Send(text.data(), static_cast<std::int32_t>(text.size())) ==
           static_cast<std::int32_t>(text.size());
}

// Sends `text` and receives as many bytes back (through an echo server).
inline std::string EchoRoundTrip(CNetSocket& socket, const std::string& text) {
    if (!SendText(socket, text)) return "<send failed: " + std::to_string(socket.LastError()) + ">";
    return ReceiveBytes(socket, text.size());
}

inline std::int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

// Open descriptors of this process.
inline int OpenDescriptorCount() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr)
            ++count;
        ::closedir(dir);
    }
    return count;
}

}  // namespace tellweir::testing
