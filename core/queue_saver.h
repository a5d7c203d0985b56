// CQueueSaver: writes the queue file on a thread of its own, so that a window command that
// changed the list asks for a save and returns at once. Requests that come close together, or
// while a save is written, are written once; a save asked for is written before End returns.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "log/transfer_result.h"

namespace tellweir {

class CQueueSaver {
  public:
    // Writes the queue; called on the saver thread with no lock of the saver held.
    using SaveFunction = std::function<TransferResult()>;
    // Told of a save that failed, on the saver thread with no lock of the saver held.
    using FailureFunction = std::function<void(TransferResult)>;

    // `gather`: how long a request waits for others before its save is written.
    CQueueSaver(SaveFunction save, FailureFunction failed,
                std::chrono::milliseconds gather = std::chrono::milliseconds(200));
    ~CQueueSaver();
    CQueueSaver(const CQueueSaver&) = delete;
    CQueueSaver& operator=(const CQueueSaver&) = delete;

    // Asks for a save and returns at once (the thread starts with the first request); nothing
    // after End. Any thread.
    void Request();
    // The number of the latest request: a save whose snapshot is taken after this was read holds
    // every change made before that request.
    std::uint64_t Asked() const;
    // A save made elsewhere (a synchronous one) whose snapshot followed request `asked` has
    // ended with `result`: those requests need no save of their own.
    void Written(std::uint64_t asked, TransferResult result);
    // Waits until every request made before the call has been written (or failed), hurrying a
    // gathering request; the result of the last save. Never on the saver thread.
    TransferResult Wait();
    // Writes what is still asked for, then ends the thread; later requests are dropped.
    void End();

  private:
    void Loop();

    const SaveFunction save_;
    const FailureFunction failed_;
    const std::chrono::milliseconds gather_;
    mutable std::mutex lock_;  // the saver's lock: taken last, held only for its counters
    std::condition_variable changed_;
    std::uint64_t asked_ = 0;    // requests so far
    std::uint64_t written_ = 0;  // requests a finished save covered
    std::uint64_t hurry_ = 0;    // requests a waiter wants written without gathering
    TransferResult last_ = 0;    // the result of the last save
    bool ending_ = false;
    bool running_ = false;  // the thread is in Loop
    std::thread thread_;
};

}  // namespace tellweir
