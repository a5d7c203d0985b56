// CTransferSession: the base of the protocol sessions (HTTP, FTP) on which the transfer manager
// runs transfers — one connection to one site, kept for reuse between transfers — with the
// operations every protocol shares: downloading into a local file, preparing the target's
// folder, describing the local target and prompting for credentials.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "base/ref_ptr.h"
#include "log/log.h"
#include "log/transfer_result.h"
#include "transfer/traffic_observer.h"

namespace tellweir {

class CLocalFile;
class CProgressMeter;
class CTransfer;

// What a new session is made for.
struct SessionParams {
    std::string siteKey;   // the URL without path, user and password
    std::string userName;  // the request's user name
    std::string proxyUrl;  // the chosen proxy; empty for a direct connection
};

class CTransferSession : public CRefCounted {
  public:
    explicit CTransferSession(const SessionParams& params);
    CTransferSession(const CTransferSession&) = delete;
    CTransferSession& operator=(const CTransferSession&) = delete;

    // Ends the connection and cancels a pending prompt. Only the owner calls it: the manager
    // when no transfer uses the session, or the session's own worker.
    virtual void Close();
    // Safe from any thread while a worker runs on the session: sets the abort flag, cancels a
    // pending prompt and wakes a blocked call (Interrupt), so that the running operation ends
    // with 3. It never closes what the worker still uses.
    virtual void Stop();
    // Opens the connection for the transfer, or checks that the open one can be reused.
    [[nodiscard]] virtual TransferResult Connect(CTransfer& transfer, ILog* log) = 0;
    // Appends the resource from the file's current length to the open file; `offset` is that
    // length. Returns 1020 when the server answers from another offset than asked.
    [[nodiscard]] virtual TransferResult ReceiveFile(CTransfer& transfer, CLocalFile& file,
                                                     std::int64_t offset, ILog* log,
                                                     CProgressMeter& meter) = 0;
    // Fills the remote file information of the transfer; 1001 when the resource does not exist.
    [[nodiscard]] virtual TransferResult GetFileInfo(CTransfer& transfer, ILog* log) = 0;
    // Tests an idle connection and clears the connected flag when the peer has gone.
    virtual void CheckAlive() = 0;

    // Shared by every protocol.
    [[nodiscard]] virtual TransferResult DownloadToFile(CTransfer& transfer, ILog* log,
                                                        CProgressMeter& meter);
    [[nodiscard]] virtual TransferResult PrepareTargetDir(std::string_view targetPath, ILog* log);
    [[nodiscard]] virtual TransferResult LocalFileInfo(CTransfer& transfer, ILog* log);
    // Asks the user, through the process's prompt broker, for a user name and password;
    // 0 when answered, 3 when refused, timed out or stopped.
    [[nodiscard]] virtual TransferResult PromptCredentials(std::string_view text,
                                                           std::string& userName,
                                                           std::string& password, ILog* log);

    std::int32_t Id() const { return id_; }
    std::int32_t LogId() const { return logId_; }
    void SetLogId(std::int32_t id) { logId_ = id; }
    const std::string& SiteKey() const { return params_.siteKey; }
    const std::string& UserName() const { return params_.userName; }
    const std::string& ProxyUrl() const { return params_.proxyUrl; }

    bool IsConnected() const { return connected_.load(); }
    bool IsAborted() const { return aborted_.load(); }
    void ClearAbort() { aborted_.store(false); }

    // The transfer using the session; guarded by the manager's lock.
    CTransfer* CurrentTransfer() const { return transfer_; }
    void SetCurrentTransfer(CTransfer* transfer) { transfer_ = transfer; }
    std::uint32_t IdleSince() const { return idleSince_; }
    void SetIdleSince(std::uint32_t ms) { idleSince_ = ms; }

    // The byte counter of the running operation; the protocol hands it to its sockets.
    ITrafficObserver* TrafficObserver() const { return traffic_.load(); }
    void SetTrafficObserver(ITrafficObserver* observer) { traffic_.store(observer); }

    // Waits `seconds` in 100 ms steps; false (stopped early) when the abort flag is set.
    bool WaitUnlessAborted(std::int32_t seconds);

  protected:
    ~CTransferSession() override;
    void SetConnected(bool connected) { connected_.store(connected); }
    // Wakes a call blocked on the connection (a socket shutdown); any thread may call it.
    virtual void Interrupt() {}
    // Cancels the pending credential prompt, if any.
    void CancelPrompt();

  private:
    const std::int32_t id_;
    const SessionParams params_;
    std::int32_t logId_ = 0;
    std::atomic<bool> connected_{false};
    std::atomic<bool> aborted_{false};
    std::atomic<std::int32_t> pendingPrompt_{0};
    std::atomic<ITrafficObserver*> traffic_{nullptr};
    CTransfer* transfer_ = nullptr;
    std::uint32_t idleSince_ = 0;
};

using SessionPtr = RefPtr<CTransferSession>;

}  // namespace tellweir
