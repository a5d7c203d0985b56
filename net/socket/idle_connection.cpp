// The idle connection test.
#include "net/socket/idle_connection.h"

#include <vector>

namespace tellweir {
namespace {

constexpr std::int32_t kPeekSize = 255;
constexpr std::int32_t kDrainSize = 10240;

bool CloseBoth(CNetSocket& control, CNetSocket* data) {
    control.Close();
    if (data != nullptr) data->Close();
    return false;
}

}  // namespace

bool TestIdleConnection(bool connected, CNetSocket& control, CNetSocket* data) {
    if (!connected) return CloseBoth(control, data);
    char peek[kPeekSize];
    std::int32_t size = kPeekSize;
    if (control.WaitReadable(peek, size, 0) != 0) return CloseBoth(control, data);
    if (size == 0) return true;

    // Read what is there without waiting for more: a zero time limit makes the read a probe, so
    // a TLS connection whose pending bytes were only protocol records reads nothing.
    std::vector<char> drain(kDrainSize);
    const std::int32_t saved = control.Timeout();
    control.SetTimeout(0);
    const std::int32_t count = control.Receive(drain.data(), kDrainSize);
    control.SetTimeout(saved);
    if (count <= 0) return true;
    return CloseBoth(control, data);
}

}  // namespace tellweir
