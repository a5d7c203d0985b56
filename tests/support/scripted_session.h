// A scripted transfer session for the transfer manager's tests: its connect, file-information
// and receive steps follow a script shared by every session the factory makes, and can be held
// until the test releases them or the transfer is stopped.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "transfer/file_info.h"
#include "transfer/local_file.h"
#include "transfer/progress_meter.h"
#include "transfer/session_factory.h"
#include "transfer/transfer.h"
#include "transfer/transfer_session.h"
#include "url/file_type.h"

namespace tellweir::testing {

// One scripted receive: the bytes written from the requested offset on, and the result.
struct ReceiveStep {
    std::string bytes;
    TransferResult result = 0;
};

struct SessionScript {
    std::mutex lock;
    std::condition_variable changed;
    bool hold = false;  // steps wait while set, until released or stopped
    int running = 0;
    int maxRunning = 0;
    int sessionsMade = 0;
    int connects = 0;
    int infoCalls = 0;
    bool stayConnected = true;
    std::deque<TransferResult> connectResults;  // default 0
    std::deque<ReceiveStep> receiveSteps;       // default: the rest of `content`
    // The resource.
    std::string content = "0123456789";
    bool exists = true;
    bool sizeKnown = true;
    std::string etag;
    std::string contentType = "application/octet-stream";
    std::string encoding;
    FileType type = FileType::File;

    void Release() {
        std::lock_guard guard(lock);
        hold = false;
        changed.notify_all();
    }
    // Waits (bounded) until `count` steps are held at once.
    bool WaitForRunning(int count) {
        std::unique_lock guard(lock);
        return changed.wait_for(guard, std::chrono::seconds(10), [&] { return running >= count; });
    }
};

class CScriptedSession final : public CTransferSession {
  public:
    CScriptedSession(const SessionParams& params, SessionScript& script)
        : CTransferSession(params), script_(script) {}

    TransferResult Connect(CTransfer&, ILog*) override {
        std::lock_guard guard(script_.lock);
        ++script_.connects;
        TransferResult result = 0;
        if (!script_.connectResults.empty()) {
            result = script_.connectResults.front();
            script_.connectResults.pop_front();
        }
        SetConnected(result == 0 && script_.stayConnected);
        return result;
    }

    TransferResult GetFileInfo(CTransfer& transfer, ILog*) override {
        if (!Enter()) return result::kStopped;
        std::lock_guard guard(script_.lock);
        Leave();
        ++script_.infoCalls;
        for (PropertyId id : {prop::kContentType, prop::kSize, prop::kTimeModified, prop::kType,
                              prop::kSizeKnown, prop::kETag, prop::kContentEncoding})
            transfer.Remove(id);
        if (!script_.exists) return result::kRemoteNotFound;
        transfer.SetString(prop::kContentType, script_.contentType);
        transfer.SetInt64(prop::kSize,
                          script_.sizeKnown ? std::int64_t(script_.content.size()) : -1);
        transfer.SetInt(prop::kSizeKnown, script_.sizeKnown ? 1 : 0);
        transfer.SetInt(prop::kType, static_cast<std::int32_t>(script_.type));
        transfer.SetString(prop::kETag, script_.etag);
        transfer.SetString(prop::kContentEncoding, script_.encoding);
        return 0;
    }

    TransferResult ReceiveFile(CTransfer& transfer, CLocalFile& file, std::int64_t offset, ILog*,
                               CProgressMeter& meter) override {
        if (!Enter()) return result::kStopped;
        ReceiveStep step;
        {
            std::lock_guard guard(script_.lock);
            Leave();
            if (!script_.receiveSteps.empty()) {
                step = script_.receiveSteps.front();
                script_.receiveSteps.pop_front();
            } else if (offset <= std::int64_t(script_.content.size())) {
                step.bytes = script_.content.substr(offset);
            }
            transfer.SetString(prop::kContentEncoding, script_.encoding);
            transfer.SetString(prop::kContentType, script_.contentType);
        }
        file.Write(step.bytes.data(), step.bytes.size());
        meter.SetPosition(offset + std::int64_t(step.bytes.size()));
        if (TrafficObserver()) TrafficObserver()->OnReceived(std::int64_t(step.bytes.size()));
        return step.result;
    }

    void CheckAlive() override {}

  protected:
    void Interrupt() override {
        std::lock_guard guard(script_.lock);
        script_.changed.notify_all();
    }

  private:
    // Counts the step as running and waits while the script holds; false when stopped.
    bool Enter() {
        std::unique_lock guard(script_.lock);
        ++script_.running;
        script_.maxRunning = std::max(script_.maxRunning, script_.running);
        script_.changed.notify_all();
        script_.changed.wait(guard, [&] { return !script_.hold || IsAborted(); });
        if (IsAborted()) {
            --script_.running;
            script_.changed.notify_all();
            return false;
        }
        return true;
    }
    void Leave() {
        --script_.running;
        script_.changed.notify_all();
    }

    SessionScript& script_;
};

// Registers the scripted session for a protocol while it lives.
class ScopedScriptedFactory {
  public:
    ScopedScriptedFactory(ProtocolId protocol, SessionScript& script) : protocol_(protocol) {
        RegisterSessionFactory(protocol, [&script](const SessionParams& params) {
            {
                std::lock_guard guard(script.lock);
                ++script.sessionsMade;
            }
            return SessionPtr::Adopt(new CScriptedSession(params, script));
        });
    }
    ~ScopedScriptedFactory() { RegisterSessionFactory(protocol_, nullptr); }
    ScopedScriptedFactory(const ScopedScriptedFactory&) = delete;
    ScopedScriptedFactory& operator=(const ScopedScriptedFactory&) = delete;

  private:
    ProtocolId protocol_;
};

}  // namespace tellweir::testing
