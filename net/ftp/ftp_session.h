// CFtpSession: the FTP client as a transfer session — one control connection to one site, kept
// for reuse between transfers, over which it logs in (anonymous, stored, prompted or one-time
// passwords), asks for file information (CWD, SIZE, MDTM) and retrieves files and listings over
// passive or active data connections.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "net/ftp/ftp_reply.h"
#include "net/socket/net_socket.h"
#include "store/property_set.h"
#include "transfer/download_limit.h"
#include "transfer/traffic_observer.h"
#include "transfer/transfer_session.h"

namespace tellweir {

class CLocalFile;
class CProgressMeter;
class CTransfer;
struct CUrlAddress;

// Values of transfer property 200 ("FTP/Data Connection Type").
inline constexpr int kFtpDataActive = 0;           // PORT
inline constexpr int kFtpDataPassive = 1;          // PASV, the command sent before connecting
inline constexpr int kFtpDataPassiveCmdAfter = 2;  // PASV, the command sent once connected

// Login types; `Login` starts at kFtpLoginSkeyAuto and narrows it from the server's challenge.
inline constexpr int kFtpLoginAnonymous = 0;
inline constexpr int kFtpLoginNormal = 1;
inline constexpr int kFtpLoginDouble = 2;
inline constexpr int kFtpLoginSkeyAuto = 3;
inline constexpr int kFtpLoginSkeyMd4 = 4;
inline constexpr int kFtpLoginSkeyMd5 = 5;

// The name of a login type as messages show it ("skey md5"); empty for an unknown type.
std::string_view FtpLoginTypeName(int type);
// The result of a refusing reply by its class: 4xx 1015, 5xx 1016, any other 1017.
[[nodiscard]] TransferResult FtpResultForClass(int code);

// Every operation runs on the worker that owns the session, except Stop (any thread) and the
// manager's Close and CheckAlive while no transfer uses it.
class CFtpSession final : public CTransferSession {
  public:
    // `settings` null reads the transfer manager's settings (the application's without one).
    explicit CFtpSession(const SessionParams& params, const CPropertySet* settings = nullptr);

    void Close() override;
    [[nodiscard]] TransferResult Connect(CTransfer& transfer, ILog* log) override;
    [[nodiscard]] TransferResult ReceiveFile(CTransfer& transfer, CLocalFile& file,
                                             std::int64_t offset, ILog* log,
                                             CProgressMeter& meter) override;
    [[nodiscard]] TransferResult GetFileInfo(CTransfer& transfer, ILog* log) override;
    void CheckAlive() override;

    // Logging in.
    [[nodiscard]] TransferResult LoginWithCredentials(CTransfer& transfer, ILog* log);
    [[nodiscard]] TransferResult Login(std::string_view user, std::string_view password, ILog* log);

    // The command layer. `Command` sends (unless the shortcut answers) and reads the reply;
    // `CommandExpect` gives 0 when the code equals `expected` or, for a one-digit `expected`,
    // lies in that class; else 1015 (4xx), 1016 (5xx) or 1017.
    [[nodiscard]] TransferResult Command(std::string_view command, ILog* log, int& code,
                                         std::string& text);
    [[nodiscard]] TransferResult CommandExpect(std::string_view command, ILog* log, int& code,
                                               int expected);
    [[nodiscard]] TransferResult SendCommand(std::string_view command, ILog* log);
    [[nodiscard]] TransferResult ReadFtpReply(ILog* log, std::string& text, int& code);
    // True, with the assumed code, when `command` need not be sent: "REST 0" with no restart
    // marker pending, "TYPE A" or "TYPE I" with that type in force.
    bool CommandShortcut(std::string_view command, int& code) const;
    // Brings the type and restart states in line with a command's reply (0: none came).
    void RecordCommandResult(std::string_view command, int code);

    // Transfers over a data connection.
    [[nodiscard]] TransferResult ListToFile(CTransfer& transfer, CLocalFile& file, ILog* log,
                                            CProgressMeter* meter);
    [[nodiscard]] TransferResult RetrieveToFile(CTransfer& transfer, CLocalFile& file,
                                                std::int64_t offset, std::int64_t length, ILog* log,
                                                CProgressMeter* meter);
    // Opens the data connection for `command` (LIST, RETR) and reads its 1xx reply.
    [[nodiscard]] TransferResult OpenDataConnection(CTransfer& transfer, std::string_view command,
                                                    std::int64_t restartOffset, ILog* log);
    // Appends to `file` (which holds `offset` bytes) until the data connection ends, `length`
    // bytes came (-1: no length) or the file would pass `limit` (113).
    [[nodiscard]] TransferResult ReceiveData(CLocalFile& file, std::int64_t offset,
                                             std::int64_t length, ILog* log, bool listing,
                                             CProgressMeter* meter, const CDownloadLimit& limit);

    // -1 unknown, 0 ASCII, 1 binary.
    int TypeState() const { return typeState_; }
    // -1 unknown, 0 no restart marker pending.
    int RestartState() const { return restartState_; }
    // Commands put on the wire since the session was made.
    std::int64_t CommandsSent() const { return commandsSent_; }
    // The user the last login succeeded with.
    const std::string& LoginUser() const { return loginUser_; }

  protected:
    ~CFtpSession() override;
    void Interrupt() override;

  private:
    // Hands every byte count of both connections to the running transfer's counter, so that
    // the sockets never keep a counter that ended with its run.
    class CTrafficRelay final : public ITrafficObserver {
      public:
        explicit CTrafficRelay(CFtpSession& session) : session_(session) {}
        void OnReceived(std::int64_t count) override;
        void OnSent(std::int64_t count) override;

      private:
        CFtpSession& session_;
    };

    const CPropertySet& Settings() const;
    // "Connections/Connection Timeout" in milliseconds, at least one second.
    std::int32_t ConnectionTimeoutMs() const;
    // The idle connection check; true when the open control connection can be reused.
    bool IsIdleConnectionUsable();
    // Marks the session not connected and closes both connections (owner thread only).
    void Disconnect();
    // Reads the reply that ends a LIST or RETR; a refusal after the data counts as a cut.
    [[nodiscard]] TransferResult ReadTransferEnd(ILog* log, TransferResult received);
    [[nodiscard]] TransferResult OpenPassive(CTransfer& transfer, std::string_view command,
                                             std::int64_t restartOffset, ILog* log);
    [[nodiscard]] TransferResult OpenActive(CTransfer& transfer, std::string_view command,
                                            std::int64_t restartOffset, ILog* log);
    // The server's address, which data connections lead to and come from whatever a reply
    // names: the control connection's peer, or through a tunnelling proxy (https, socks), which
    // is that peer, the address the server's name resolves to.
    [[nodiscard]] TransferResult ServerAddress(const CTransfer& transfer, Ipv4Address& address,
                                               ILog* log);
    // Accepts the data connection from `server` into data_; one from elsewhere is closed and
    // the wait goes on within the same time limit.
    [[nodiscard]] TransferResult AcceptFrom(Ipv4Address server, ILog* log);
    [[nodiscard]] TransferResult SendRestart(std::int64_t restartOffset, ILog* log);
    // The stop flag wins over a socket's own error.
    [[nodiscard]] TransferResult SocketFailure(const CNetSocket& socket) const;

    // The steps of LoginWithCredentials.
    // The user and password to try first: anonymous, from the URL, a prompt's earlier answer,
    // or the password store's for the URL's user. True when they still have to be asked for.
    bool ChooseCredentials(const CUrlAddress& address, std::string& user,
                           std::string& password) const;
    // Asks for both and keeps the answer for this session's later logins.
    [[nodiscard]] TransferResult PromptLogin(std::string_view siteUrl, std::string& user,
                                             std::string& password, ILog* log);
    // Login while holding the login lock of `site` ("host:port"), waited for up to the
    // connection timeout.
    [[nodiscard]] TransferResult LoginHoldingSiteLock(const std::string& site,
                                                      std::string_view user,
                                                      std::string_view password, ILog* log);

    const CPropertySet* const settings_;
    CTrafficRelay relay_{*this};
    CNetSocket control_;
    CNetSocket data_;
    CNetSocket listener_;  // active mode only, open while it waits for the server
    CFtpReplyBuffer replies_;
    int typeState_ = -1;
    int restartState_ = -1;
    std::int64_t commandsSent_ = 0;
    std::string loginUser_;
    std::string loginPassword_;
    // The user and password a prompt gave; a later login of this session uses them instead of
    // asking again.
    std::string promptedUser_;
    std::string promptedPassword_;
};

}  // namespace tellweir
