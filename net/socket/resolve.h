// Host name resolution for the socket layer: IPv4 only, dotted decimal texts taken as they are,
// names looked up on a helper thread so that a connecting caller can stop waiting for them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "log/transfer_result.h"
#include "url/dotted_address.h"

namespace tellweir {

// A dotted address (ParseDottedAddress), else the first IPv4 address the system's name lookup gives
// (getaddrinfo, AF_INET); a lookup that fails or gives 0.0.0.0 or 255.255.255.255 is nothing.
// May block for as long as the system's resolver takes.
std::optional<Ipv4Address> ResolveHost(std::string_view host);

// "a.b.c.d".
std::string FormatAddress(Ipv4Address address);

// Where CHostLookup sends names: the system's lookup (ResolveHost) unless another is put in.
class IHostResolver {
  public:
    virtual ~IHostResolver() = default;
    // The first usable IPv4 address of `name`, or nothing. Runs on a helper thread and may
    // block for as long as it likes; nobody waits for it beyond the caller's deadline.
    virtual std::optional<Ipv4Address> Lookup(const std::string& name) = 0;
};

// Puts `resolver` in for every lookup that starts from now on (null: the system's again) and
// gives back the one it replaces. A lookup under way keeps the resolver it started with.
std::shared_ptr<IHostResolver> SetHostResolver(std::shared_ptr<IHostResolver> resolver);

// One name lookup on a detached helper thread of its own, so that the thread waiting for it can
// give up: at its deadline, or when its owner is stopped. The helper shares only a small state
// with the lookup and the resolver's ownership, so it may outlive both; what it finds after the
// wait has ended is dropped.
class CHostLookup {
  public:
    // Starts looking `name` up.
    explicit CHostLookup(std::string name);
    ~CHostLookup();
    CHostLookup(const CHostLookup&) = delete;
    CHostLookup& operator=(const CHostLookup&) = delete;

    // Waits for the answer until `deadlineMs` (MonotonicMs) or until `stop` gives true; `stop`
    // is asked before the wait and after every Wake. Gives 0 with `address` set, 1008 when the
    // name has no usable address, 110 at the deadline, 3 when stopped.
    [[nodiscard]] TransferResult Wait(std::int64_t deadlineMs, const std::function<bool()>& stop,
                                      Ipv4Address& address);
    // Any thread: makes Wait ask `stop` again.
    void Wake();

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace tellweir
