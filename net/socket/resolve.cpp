// The system's name lookup, and lookups a caller can give up on.
#include "net/socket/resolve.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "base/change_stamp.h"

namespace tellweir {
namespace {

constexpr Ipv4Address kNoAddress = 0;
constexpr Ipv4Address kBroadcast = 0xFFFFFFFF;

bool IsUsable(Ipv4Address address) {
    return address != kNoAddress && address != kBroadcast;
}

class CSystemResolver final : public IHostResolver {
  public:
    std::optional<Ipv4Address> Lookup(const std::string& name) override {
        return ResolveHost(name);
    }
};

std::mutex g_resolverLock;

std::shared_ptr<IHostResolver>& CurrentResolver() {
    static std::shared_ptr<IHostResolver> resolver = std::make_shared<CSystemResolver>();
    return resolver;
}

std::shared_ptr<IHostResolver> TakeResolver() {
    std::lock_guard guard(g_resolverLock);
    return CurrentResolver();
}

}  // namespace

struct CHostLookup::Shared {
    std::mutex lock;
    std::condition_variable changed;
    bool done = false;
    std::optional<Ipv4Address> answer;
};

std::optional<Ipv4Address> ResolveHost(std::string_view host) {
    if (std::optional<Ipv4Address> dotted = ParseDottedAddress(host)) return dotted;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(std::string(host).c_str(), nullptr, &hints, &found) != 0) {
        return std::nullopt;
    }
    std::optional<Ipv4Address> result;
    if (found != nullptr && found->ai_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        const Ipv4Address address = ntohl(in->sin_addr.s_addr);
        if (IsUsable(address)) result = address;
    }
    ::freeaddrinfo(found);
    return result;
}

std::string FormatAddress(Ipv4Address address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::shared_ptr<IHostResolver> SetHostResolver(std::shared_ptr<IHostResolver> resolver) {
    if (!resolver) resolver = std::make_shared<CSystemResolver>();
    std::lock_guard guard(g_resolverLock);
    std::swap(CurrentResolver(), resolver);
    return resolver;
}

CHostLookup::CHostLookup(std::string name) : shared_(std::make_shared<Shared>()) {
    try {
        std::thread([shared = shared_, resolver = TakeResolver(), name = std::move(name)] {
            std::optional<Ipv4Address> answer = resolver->Lookup(name);
            if (answer && !IsUsable(*answer)) answer.reset();
            std::lock_guard guard(shared->lock);
            shared->answer = answer;
            shared->done = true;
            shared->changed.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the name counts as not found rather than blocking the caller.
        std::lock_guard guard(shared_->lock);
        shared_->done = true;
    }
}

CHostLookup::~CHostLookup() = default;

TransferResult CHostLookup::Wait(std::int64_t deadlineMs, const std::function<bool()>& stop,
                                 Ipv4Address& address) {
    const auto stopped = [&stop] { return stop && stop(); };
    std::unique_lock guard(shared_->lock);
    for (;;) {
        if (shared_->done) {
            if (!shared_->answer) return result::kResolveFailed;
            address = *shared_->answer;
            return result::kOk;
        }
        if (stopped()) return result::kStopped;
        const std::int64_t left = deadlineMs - MonotonicMs();
        if (left <= 0) return result::kTimeout;
        shared_->changed.wait_for(guard, std::chrono::milliseconds(left));
    }
}

void CHostLookup::Wake() {
    // Taking the lock orders the wake after a Wait that is about to sleep.
    std::lock_guard guard(shared_->lock);
    shared_->changed.notify_all();
}

}  // namespace tellweir
