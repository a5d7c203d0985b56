// CThreadObject: an object that owns at most one background thread, with a stop flag the
// thread body polls.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace tellweir {

class CThreadObject {
  public:
    CThreadObject() = default;
    CThreadObject(const CThreadObject&) = delete;
    CThreadObject& operator=(const CThreadObject&) = delete;
    // The derived class must call Stop in its own destructor: the body uses its members.
    virtual ~CThreadObject();

    // Requests the stop and waits until the thread has ended; at once when none runs. Never
    // call it from the thread itself.
    int Stop();
    // Starts the thread unless one runs; true when one was started.
    bool Start();
    bool IsStopRequested() const { return stopRequested_.load() != 0; }
    bool IsRunning() const;

  protected:
    virtual void OnStopRequested() {}
    // The thread body; its result is the thread's exit code.
    virtual int Run() = 0;

  private:
    mutable std::mutex lock_;  // guards thread_
    std::atomic<int> stopRequested_{1};
    std::thread thread_;
};

}  // namespace tellweir
