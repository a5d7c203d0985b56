// CHttpSession: the HTTP and HTTPS client on which the transfer manager runs http and https
// transfers (and ftp transfers through an http:// proxy): one connection to one site, kept
// alive between transfers, with requests built from the transfer's properties, POST bodies,
// redirects within the host, file information from HEAD, and downloads from an offset.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/socket/net_socket.h"
#include "transfer/transfer_session.h"
#include "url/url_address.h"

namespace tellweir {

class CBodyDecoder;
class CCookieStore;
class CPasswordStore;
class CPropertySet;

// Where a received body goes: the local file, or nowhere (a body drained so that the
// connection can carry the next reply). False when the bytes could not be stored.
class IHttpBodySink {
  public:
    virtual bool Write(std::string_view bytes) = 0;
    // Why the last Write failed, written to `log` as the result says: by default a full disk.
    virtual TransferResult WriteFailure(ILog* log) const;

  protected:
    ~IHttpBodySink() = default;
};

// Runs on one worker at a time (the one running its transfer); Stop may come from any thread
// and only shuts the connection down. `settings` (the application settings: connection time-out,
// TLS version, whether untrusted certificates are accepted), `cookies` and `passwords` must
// outlive the session.
class CHttpSession final : public CTransferSession {
  public:
    // The one status the cycle gives up on: the tenth redirect of one request.
    static constexpr TransferResult kTooManyRedirects = 1010;
    static constexpr int kMaxRedirects = 9;

    CHttpSession(const SessionParams& params, const CPropertySet& settings, CCookieStore& cookies,
                 CPasswordStore& passwords);

    void Close() override;
    [[nodiscard]] TransferResult Connect(CTransfer& transfer, ILog* log) override;
    [[nodiscard]] TransferResult ReceiveFile(CTransfer& transfer, CLocalFile& file,
                                             std::int64_t offset, ILog* log,
                                             CProgressMeter& meter) override;
    [[nodiscard]] TransferResult GetFileInfo(CTransfer& transfer, ILog* log) override;
    void CheckAlive() override;

    // The steps of a request and its reply, public for the tests. All run on the worker.
    [[nodiscard]] TransferResult SendRequest(std::string_view head, ILog* log);
    [[nodiscard]] TransferResult SendData(const char* bytes, std::int32_t length, ILog* log,
                                          std::int32_t shown);
    void ApplyCookies(CTransfer& transfer);
    // One request and its reply, following redirects within the host. On 0 `header` holds the
    // final reply's header block and `status` its code; the body's first bytes are buffered.
    [[nodiscard]] TransferResult ExecuteRequest(CTransfer& transfer, std::string_view method,
                                                std::int64_t start, std::int64_t length,
                                                std::string& header, int& status, bool connect,
                                                ILog* log, std::string_view postData = {});
    [[nodiscard]] TransferResult ReadReply(CTransfer& transfer, std::string& header, int& status,
                                           ILog* log);
    // Receives a body of `length` bytes (-1: to its end) into `sink`; `meter` may be null.
    [[nodiscard]] TransferResult ReceiveBody(IHttpBodySink& sink, std::int64_t length, bool chunked,
                                             ILog* log, CProgressMeter* meter);
    // Reads and drops the body of the reply `header` so that the connection can be reused.
    [[nodiscard]] TransferResult DrainBody(std::string_view header, ILog* log);
    // Follows a "Location:" value as received; it is escaped first (EscapeReplyUrl), and the
    // escaped form is what property 103 keeps for a redirect to another site.
    [[nodiscard]] TransferResult ApplyRedirect(CTransfer& transfer, std::string_view location);

  protected:
    ~CHttpSession() override;
    void Interrupt() override;

  private:
    // Marks the session not connected and closes the socket (owner thread only).
    void Disconnect();
    // Points the socket at the running operation's byte counter and the connection time-out.
    void ArmSocket();
    std::int32_t TimeoutMs() const;
    bool IdleConnectionUsable(ILog* log);
    // Logs what an idle connection received unasked and drops the connection.
    void TrashResponse(std::string_view bytes, ILog* log);
    bool ViaHttpProxy() const;
    // One request (with its cookies and stored password) and the head of its reply.
    [[nodiscard]] TransferResult SendAndReadReply(CTransfer& transfer, std::string_view method,
                                                  bool viaProxy, std::int64_t start,
                                                  std::int64_t end, std::string& header,
                                                  int& status, ILog* log,
                                                  std::string_view postData);
    [[nodiscard]] TransferResult SendPost(CTransfer& transfer, const CUrlAddress& address,
                                          bool viaProxy, std::string_view postData, ILog* log);
    [[nodiscard]] TransferResult SendPostFile(CLocalFile& file, const std::string& path, ILog* log);
    [[nodiscard]] TransferResult PeekEarlyReply(CTransfer& transfer, ILog* log);
    using BodyPieces = std::vector<std::string_view>;
    // Decodes what it can from the front of `input` (left holding the rest) and writes the body
    // bytes to `sink`; `pieces` is the decoder's scratch list, kept across calls.
    [[nodiscard]] TransferResult WriteBodyData(CBodyDecoder& decoder, std::string_view& input,
                                               BodyPieces& pieces, IHttpBodySink& sink, ILog* log,
                                               CProgressMeter* meter);
    [[nodiscard]] TransferResult BodyCutShort(const CBodyDecoder& decoder, bool chunked, ILog* log,
                                              CProgressMeter* meter);
    // The end of a body write: 0, or a failure that ends the connection.
    [[nodiscard]] TransferResult BodyWritten(TransferResult written, ILog* log);
    [[nodiscard]] TransferResult BodyReceiveFailed(const CBodyDecoder& decoder, ILog* log);
    [[nodiscard]] TransferResult FinishReceive(CTransfer& transfer, CLocalFile& file,
                                               std::int64_t offset, const std::string& header,
                                               int status, ILog* log, CProgressMeter& meter);

    const CPropertySet& settings_;
    CCookieStore& cookies_;
    CPasswordStore& passwords_;
    CNetSocket socket_;
    // Bytes received after the last header block and not consumed yet: the start of a body.
    std::string received_;
};

}  // namespace tellweir
