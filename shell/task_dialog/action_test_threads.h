// CActionTestThreads: the threads of Test Action. A test may outlive its dialog (a tone plays
// on, an "Open in Shell" waits for the window), so the threads belong to the program, which
// joins them at exit once the desktop port answers nothing any more.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace tellweir {

class CActionTestThreads {
  public:
    static CActionTestThreads& Instance();
    // Joins what has ended; a thread still running is let go with the process.
    ~CActionTestThreads();

    // Runs `work` on a thread of its own. GUI thread only.
    void Start(std::function<void()> work);
    // Joins every test thread, waiting at most `limit` for those still running; one that runs
    // on past it is left to end with the process. True when all were joined. GUI thread only.
    bool JoinAll(std::chrono::milliseconds limit);
    // Test threads not joined yet.
    std::size_t Count();

  private:
    struct Entry {
        std::thread thread;
        bool ended = false;  // under lock_
    };
    // Joins the threads that have ended.
    void JoinEnded();

    std::mutex lock_;  // guards the entries' `ended`; taken last
    std::condition_variable ended_;
    std::list<Entry> entries_;  // the list itself: GUI thread only
};

}  // namespace tellweir
