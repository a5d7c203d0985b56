// Driver for bench/download_vs_curl.sh: downloads one http:// URL from a local server through the
// transfer manager and a minimal HTTP/1.0 session over CNetSocket, and prints the wall and CPU
// seconds of the download. The session is the bench's own, so the figures show the cost of the
// socket layer, the transfer operation and the local file, not of a full HTTP client.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ascii_text.h"
#include "log/item_log.h"
#include "log/log_registry.h"
#include "net/net_startup.h"
#include "net/socket/net_socket.h"
#include "store/property_set.h"
#include "store/setting_ids.h"
#include "transfer/file_info.h"
#include "transfer/local_file.h"
#include "transfer/progress_meter.h"
#include "transfer/session_factory.h"
#include "transfer/transfer.h"
#include "transfer/transfer_manager.h"

namespace tellweir {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;
constexpr std::size_t kMaxHeadSize = 64 * 1024;

// The result of a reply's status code.
TransferResult ResultOfStatus(int code) {
    if (code == 200) return result::kOk;
    if (code == 404) return result::kRemoteNotFound;
    if (code >= 400 && code < 500) return result::kHttp4xx;
    if (code >= 500 && code < 600) return result::kHttp5xx;
    return result::kHttpError;
}

// The number after "name:" in a reply head, or -1 when the field is missing or not a number.
std::int64_t HeadNumber(std::string_view head, std::string_view name) {
    std::string lowered(head);
    LowerAsciiInPlace(lowered);
    const std::string field = "\r\n" + std::string(name) + ":";
    const std::size_t at = lowered.find(field);
    if (at == std::string::npos) return -1;
    std::size_t begin = at + field.size();
    while (begin < lowered.size() && lowered[begin] == ' ')
        ++begin;
    std::int64_t value = -1;
    const char* end = lowered.data() + lowered.size();
    if (std::from_chars(lowered.data() + begin, end, value).ec != std::errc()) return -1;
    return value;
}

// One GET per connection, as HTTP/1.0 without keep-alive has it; no ranges, so a resumed attempt
// is refused with 1020 rather than appended from the wrong place.
class CPlainHttpSession final : public CTransferSession {
  public:
    explicit CPlainHttpSession(const SessionParams& params) : CTransferSession(params) {}

    TransferResult Connect(CTransfer& transfer, ILog* log) override {
        socket_.Close();
        const CUrlAddress& address = transfer.Address();
        if (!socket_.ConnectHost(address.host, address.port, log)) {
            const TransferResult error = socket_.LastError();
            socket_.Close();
            SetConnected(false);
            return error != result::kOk ? error : result::kRemoteUnavailable;
        }
        SetConnected(true);
        return result::kOk;
    }

    TransferResult ReceiveFile(CTransfer& transfer, CLocalFile& file, std::int64_t offset, ILog*,
                               CProgressMeter& meter) override {
        if (offset != 0) return result::kWrongOffset;
        socket_.SetObserver(TrafficObserver());
        const TransferResult received = Exchange(transfer, file, meter);
        socket_.SetObserver(nullptr);
        socket_.Close();  // the server ends an HTTP/1.0 reply by closing
        SetConnected(false);
        return received;
    }

    TransferResult GetFileInfo(CTransfer&, ILog*) override { return result::kOk; }
    void CheckAlive() override {}

    void Close() override {
        socket_.Close();
        CTransferSession::Close();
    }

  protected:
    void Interrupt() override { socket_.Interrupt(); }

  private:
    TransferResult Exchange(CTransfer& transfer, CLocalFile& file, CProgressMeter& meter) {
        const std::string request = "GET " + transfer.String(prop::kPath) +
                                    " HTTP/1.0\r\nHost: " + transfer.Address().host + "\r\n\r\n";
        if (socket_.Send(request.data(), std::int32_t(request.size())) < 0)
            return socket_.LastError();
        std::vector<char> block(kBlockSize);
        std::size_t fill = 0;
        std::int64_t length = -1;
        const TransferResult head = ReadHead(block, fill, length);
        if (head != result::kOk) return head;
        std::int64_t written = 0;
        for (;;) {
            const std::int32_t count =
                socket_.Receive(block.data() + fill, std::int32_t(block.size() - fill));
            if (count < 0) return socket_.LastError();
            fill += std::size_t(count);
            if (fill < block.size() && count > 0) continue;
            if (file.Write(block.data(), fill) != fill) return ResultFromErrno(file.LastError());
            written += std::int64_t(fill);
            fill = 0;
            meter.SetPosition(written);
            if (count == 0) break;
        }
        // A connection that ends before the announced length is a cut download, not a success.
        if (length >= 0 && written != length) return result::kDataClosed;
        return result::kOk;
    }

    // Reads up to the blank line after the reply head; the body bytes that came with it are
    // left at the start of `block` (`fill` of them).
    TransferResult ReadHead(std::vector<char>& block, std::size_t& fill, std::int64_t& length) {
        std::string head;
        std::size_t end;
        while ((end = head.find("\r\n\r\n")) == std::string::npos) {
            if (head.size() >= kMaxHeadSize) return result::kProtocolError;
            char buffer[4096];
            const std::int32_t count = socket_.Receive(buffer, sizeof buffer);
            if (count < 0) return socket_.LastError();
            if (count == 0) return result::kProtocolError;
            head.append(buffer, std::size_t(count));
        }
        const std::size_t space = head.find(' ');
        int code = 0;
        if (space == std::string::npos ||
            std::from_chars(head.data() + space + 1, head.data() + end, code).ec != std::errc())
            return result::kProtocolError;
        const TransferResult status = ResultOfStatus(code);
        if (status != result::kOk) return status;
        length = HeadNumber(std::string_view(head).substr(0, end + 2), "content-length");
        fill = head.size() - (end + 4);
        head.copy(block.data(), fill, end + 4);
        return result::kOk;
    }

    CNetSocket socket_;
};

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The transfer's log text, to show why a download failed.
std::string LogText(CTransferManager& manager, CLogRegistry& logs, std::int32_t id) {
    std::int32_t logId = 0;
    manager.QueryTransfers(std::span(&id, 1), kKindLogId, std::span(&logId, 1));
    const ItemLogPtr log = logs.GetLog(logId);
    return log ? log->GetText() : std::string();
}

int Run(const char* url, const char* output) {
    if (!Startup(true)) {
        std::fprintf(stderr, "the network layer did not start\n");
        return 1;
    }
    CTransferRequest request;
    if (!request.SetUrl(url, true) || request.Address().protocol != ProtocolId::Http) {
        std::fprintf(stderr, "not an http:// URL: %s\n", url);
        return 2;
    }
    request.SetInt(prop::kOperation, prop::kOperationDownload);
    // The transfer wants a full path.
    std::error_code error;
    const std::filesystem::path target = std::filesystem::absolute(output, error);
    if (error) {
        std::fprintf(stderr, "bad output path: %s\n", output);
        return 2;
    }
    request.SetString(prop::kLocalFile, target.string());

    CPropertySet settings;
    settings.SetInt(setting::kMaxConnects, 10);
    settings.SetInt(setting::kMaxConnectsPerSite, 10);
    settings.SetInt(setting::kConnectionRetries, 0);
    settings.SetInt(setting::kTransferRetries, 0);
    settings.SetInt(setting::kConnectionDelay, 0);
    settings.SetInt(setting::kSessionIdleTime, 60);
    settings.SetInt(setting::kMaxLogLines, 2000);
    CLogRegistry logs;
    RegisterSessionFactory(ProtocolId::Http, [](const SessionParams& params) {
        return SessionPtr::Adopt(new CPlainHttpSession(params));
    });
    TransferManagerOptions options;
    options.settings = &settings;
    options.logs = &logs;
    CTransferManager& manager = CTransferManager::Create(options);

    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuSeconds();
    std::int32_t id = 0;
    TransferStatus status;
    int waited = manager.AddTransfer(request, id, true);
    if (waited == kManagerOk) waited = manager.WaitTransfer(id, status, -1);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
    const double cpu = ProcessCpuSeconds() - cpuStart;

    const bool ok = waited == kManagerOk && status.result == result::kOk;
    if (ok)
        std::printf("%.3f %.3f\n", wall.count(), cpu);
    else
        std::fprintf(stderr, "download failed (manager %d, result %d)\n%s", waited, status.result,
                     LogText(manager, logs, id).c_str());
    CTransferManager::Shutdown();
    RegisterSessionFactory(ProtocolId::Http, nullptr);
    Startup(false);
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace tellweir

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <http://host:port/path> <output>\n", argv[0]);
        return 2;
    }
    return tellweir::Run(argv[1], argv[2]);
}
