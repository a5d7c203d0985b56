// Credential requests: asking and waiting on the worker side, answering and refusing elsewhere.
#include "transfer/prompt_broker.h"

#include <algorithm>

#include "base/id_counter.h"

namespace tellweir {

CPromptBroker::CPromptBroker(std::chrono::milliseconds timeout, std::chrono::milliseconds step)
    : timeout_(timeout), step_(step) {}

CPromptBroker::~CPromptBroker() = default;

CPromptBroker& CPromptBroker::Instance() {
    static CPromptBroker broker;
    return broker;
}

bool CPromptBroker::Ask(std::atomic<std::int32_t>& id, std::string& userName, std::string& password,
                        std::string_view text) {
    const auto started = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex_);
    auto owned = std::make_unique<Pending>();
    Pending* pending = owned.get();
    pending->request.id = PromptRequestIds().Next();
    pending->request.userName = userName;
    pending->request.password = password;
    pending->request.text = text;
    id = pending->request.id;
    pending_.push_back(std::move(owned));
    bool listening = NotifyLocked();
    bool timedOut = false;
    // The request stays in the array until this thread removes it, so `pending` stays valid.
    while (listening) {
        lock.unlock();
        pending->wake.Wait(step_);
        lock.lock();
        // The flags, not the wait's result, decide: an answer given just as a step timed out
        // still counts.
        if (pending->request.answered || pending->request.refused) {
            const bool answered = !pending->request.refused;
            userName = pending->request.userName;
            password = pending->request.password;
            RemoveLocked(pending);
            id = 0;
            return answered;
        }
        timedOut = std::chrono::steady_clock::now() - started > timeout_;
        listening = !timedOut && NotifyLocked();
    }
    RemoveLocked(pending);
    id = 0;
    // A window showing the request learns that it is gone.
    if (timedOut) (void)NotifyLocked();
    return false;
}

bool CPromptBroker::Cancel(std::int32_t id) {
    std::lock_guard lock(mutex_);
    Pending* pending = FindLocked(id);
    if (pending == nullptr || pending->request.refused) return false;
    pending->request.refused = true;
    pending->wake.Set();
    NotifyLocked();
    return true;
}

bool CPromptBroker::GetPending(PromptRequest& out) {
    std::lock_guard lock(mutex_);
    for (const auto& pending : pending_) {
        if (!pending->request.refused && !pending->request.answered) {
            out = pending->request;
            return true;
        }
    }
    return false;
}

bool CPromptBroker::Answer(const PromptRequest& answer) {
    std::lock_guard lock(mutex_);
    Pending* pending = FindLocked(answer.id);
    if (pending == nullptr || pending->request.refused) return false;
    pending->request.refused = answer.refused;
    pending->request.answered = true;
    pending->request.userName = answer.userName;
    pending->request.password = answer.password;
    pending->wake.Set();
    return true;
}

void CPromptBroker::SetListener(IDesktopPort* listener) {
    std::lock_guard lock(mutex_);
    listener_ = listener;
}

bool CPromptBroker::NotifyLocked() {
    // Without a listener nobody can answer, so an asker gives up at once.
    return listener_ != nullptr && listener_->CredentialsRequested();
}

CPromptBroker::Pending* CPromptBroker::FindLocked(std::int32_t id) {
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [id](const auto& pending) { return pending->request.id == id; });
    return it == pending_.end() ? nullptr : it->get();
}

void CPromptBroker::RemoveLocked(const Pending* pending) {
    std::erase_if(pending_, [pending](const auto& owned) { return owned.get() == pending; });
}

}  // namespace tellweir
