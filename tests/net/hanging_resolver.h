// A name resolver for the tests that holds every lookup until the test lets it go, so that what
// waits for a lookup can be stopped while the lookup still hangs; and the scope that puts it in.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/socket/resolve.h"

namespace tellweir::testing {

class HangingResolver final : public IHostResolver {
  public:
    // Holds the lookup until Release, then answers `answer` (127.0.0.1 unless set otherwise).
    std::optional<Ipv4Address> Lookup(const std::string&) override {
        std::unique_lock guard(lock_);
        ++held_;
        ++started_;
        changed_.notify_all();
        changed_.wait(guard, [this] { return released_; });
        --held_;
        changed_.notify_all();
        return answer_;
    }

    // Waits (bounded) until `count` lookups in all have begun.
    bool WaitForLookup(int count = 1) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(10),
                                 [&] { return started_ >= count; });
    }
    int Held() const {
        std::lock_guard guard(lock_);
        return held_;
    }
    void SetAnswer(std::optional<Ipv4Address> answer) {
        std::lock_guard guard(lock_);
        answer_ = answer;
    }
    void Release() {
        std::lock_guard guard(lock_);
        released_ = true;
        changed_.notify_all();
    }

  private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    int held_ = 0;
    int started_ = 0;
    bool released_ = false;
    std::optional<Ipv4Address> answer_ = 0x7F000001;
};

// Sends the process's lookups to a hanging resolver while it lives; at the end lets the held
// lookups go (their helpers own the resolver with them) and puts the system's resolver back.
class ScopedHangingResolver {
  public:
    ScopedHangingResolver() { SetHostResolver(resolver_); }
    ~ScopedHangingResolver() {
        resolver_->Release();
        SetHostResolver(nullptr);
    }
    ScopedHangingResolver(const ScopedHangingResolver&) = delete;
    ScopedHangingResolver& operator=(const ScopedHangingResolver&) = delete;

    HangingResolver& operator*() const { return *resolver_; }
    HangingResolver* operator->() const { return resolver_.get(); }

  private:
    std::shared_ptr<HangingResolver> resolver_ = std::make_shared<HangingResolver>();
};

}  // namespace tellweir::testing
