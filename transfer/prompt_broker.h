// CPromptBroker: the queue through which a worker thread asks for a user name and password and
// waits, for a bounded time, for another thread to answer or refuse the request.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "port/desktop_port.h"
#include "transfer/sync_event.h"

namespace tellweir {

// A request as GetPending hands it out and Answer takes it back.
struct PromptRequest {
    std::int32_t id = 0;
    bool refused = false;
    bool answered = false;
    std::string userName;
    std::string password;
    std::string text;  // what the request is about
};

class CPromptBroker {
  public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{60000};
    static constexpr std::chrono::milliseconds kDefaultStep{1000};

    // Ask gives up after `timeout`; while waiting it checks every `step` that a listener is still
    // there.
    explicit CPromptBroker(std::chrono::milliseconds timeout = kDefaultTimeout,
                           std::chrono::milliseconds step = kDefaultStep);
    // No Ask may still be waiting.
    virtual ~CPromptBroker();
    CPromptBroker(const CPromptBroker&) = delete;
    CPromptBroker& operator=(const CPromptBroker&) = delete;

    // The broker of the process, on which the application installs its notification.
    static CPromptBroker& Instance();

    // Blocks a worker thread until the request is answered, refused or timed out, or until no
    // listener is left. `id` holds the request's id while it is pending and 0 afterwards. True
    // only when the request was answered; the user name and password are then the answer's.
    virtual bool Ask(std::atomic<std::int32_t>& id, std::string& userName, std::string& password,
                     std::string_view text);
    // Refuses the request and wakes its asker; true when a pending request was refused.
    virtual bool Cancel(std::int32_t id);
    // A copy of the first request neither refused nor answered, with both flags clear.
    virtual bool GetPending(PromptRequest& out);
    // Takes the answer (refused flag, user name, password) for the request with the copy's id
    // and wakes its asker; false when the id is unknown or the request was already refused.
    virtual bool Answer(const PromptRequest& answer);
    // The window side, told through CredentialsRequested whenever the requests change (with the
    // broker's lock held); null: nobody listens. The transfer manager installs its desktop port.
    virtual void SetListener(IDesktopPort* listener);

  protected:
    // Whether a listener took notice; without one, nobody did. Caller holds the lock.
    virtual bool NotifyLocked();

  private:
    struct Pending {
        PromptRequest request;
        CSyncEvent wake{CSyncEvent::Mode::AutoReset};
    };

    Pending* FindLocked(std::int32_t id);
    void RemoveLocked(const Pending* pending);

    const std::chrono::milliseconds timeout_;
    const std::chrono::milliseconds step_;
    std::vector<std::unique_ptr<Pending>> pending_;
    std::mutex mutex_;
    IDesktopPort* listener_ = nullptr;
};

}  // namespace tellweir
