// Bounded polling for the tests of threaded code: wait for a condition another thread brings
// about, without hanging the run when it never comes.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace tellweir::testing {

// Evaluates `condition` every `step` until it holds or `limit` has passed; true when it held.
// The condition may do work of its own each time (run an engine pass, probe a connection).
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(3),
                      std::chrono::milliseconds step = std::chrono::milliseconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(step);
    }
    return true;
}

}  // namespace tellweir::testing
