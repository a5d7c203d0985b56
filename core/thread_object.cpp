// The background thread of an object, started and stopped on request.
#include "core/thread_object.h"

#include "transfer/thread_priority.h"

namespace tellweir {

CThreadObject::~CThreadObject() {
    Stop();
}

int CThreadObject::Stop() {
    stopRequested_.store(1);
    OnStopRequested();
    std::thread ending;
    {
        std::lock_guard guard(lock_);
        ending = std::move(thread_);
    }
    if (ending.joinable()) ending.join();
    return 0;
}

bool CThreadObject::Start() {
    std::lock_guard guard(lock_);
    if (thread_.joinable()) return false;
    stopRequested_.store(0);
    try {
        thread_ = std::thread([this] {
            SetLowestThreadPriority();
            Run();
        });
    } catch (const std::system_error&) {
        stopRequested_.store(1);
        return false;
    }
    return true;
}

bool CThreadObject::IsRunning() const {
    std::lock_guard guard(lock_);
    return thread_.joinable();
}

}  // namespace tellweir
