// Driver for bench/http_vs_curl.sh: runs the real HTTP session through the transfer manager.
//   http_driver checks <file of URLs> <max connects> <max per site>
//       one information check (HEAD) of every URL, all added at once; prints
//       "<wall s> <CPU s> <sessions made> <failed checks>"
//   http_driver download <URL> <output file>
//       one download; prints "<wall s> <CPU s>"
// Times cover the transfers alone, not process start or manager creation; CPU is the whole
// process (all threads).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "log/log_registry.h"
#include "net/net_clients.h"
#include "net/net_startup.h"
#include "store/property_set.h"
#include "store/setting_ids.h"
#include "transfer/file_info.h"
#include "transfer/session_factory.h"
#include "transfer/transfer_manager.h"

namespace tellweir {
namespace {

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The settings a fresh installation has, without retries so that a failure shows at once.
void DefaultSettings(CPropertySet& settings, int maxConnects, int perSite) {
    settings.SetInt(setting::kMaxConnects, maxConnects);
    settings.SetInt(setting::kMaxConnectsPerSite, perSite);
    settings.SetInt(setting::kConnectionRetries, 0);
    settings.SetInt(setting::kTransferRetries, 0);
    settings.SetInt(setting::kConnectionDelay, 0);
    settings.SetInt(setting::kConnectionTimeout, 120);
    settings.SetInt(setting::kSessionIdleTime, 60000);
    settings.SetInt(setting::kTimeoutThreading, 10000);
    settings.SetInt(setting::kMaxLogLines, 2000);
    for (PropertyId id : {setting::kHttpVersion, setting::kHttpEnableConnection,
                          setting::kHttpEnableCookies, setting::kHttpEnableAccept})
        settings.SetInt(id, 1);
}

struct Timer {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = ProcessCpuSeconds();
    double Wall() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    }
    double Cpu() const { return ProcessCpuSeconds() - cpu; }
};

int RunChecks(CTransferManager& manager, const char* listPath) {
    std::vector<std::string> urls;
    std::ifstream list(listPath);
    for (std::string line; std::getline(list, line);)
        if (!line.empty()) urls.push_back(line);
    // Counts the sessions the manager makes, through the registered factory.
    static std::atomic<int> made{0};
    static SessionFactory real;
    real = FindSessionFactory(ProtocolId::Http);
    RegisterSessionFactory(ProtocolId::Http, [](const SessionParams& params) {
        ++made;
        return real(params);
    });
    std::vector<CTransferRequest> requests(urls.size());
    for (std::size_t i = 0; i < urls.size(); ++i) {
        if (!requests[i].SetUrl(urls[i], true)) {
            std::fprintf(stderr, "bad URL: %s\n", urls[i].c_str());
            return 2;
        }
        requests[i].SetInt(prop::kOperation, prop::kOperationFileInfo);
    }
    const Timer timer;
    std::vector<std::int32_t> ids(urls.size());
    for (std::size_t i = 0; i < urls.size(); ++i)
        manager.AddTransfer(requests[i], ids[i], true);
    int failed = 0;
    for (std::int32_t id : ids) {
        TransferStatus status;
        if (manager.WaitTransfer(id, status, -1) != kManagerOk || status.result != 0) ++failed;
    }
    std::printf("%.3f %.3f %d %d\n", timer.Wall(), timer.Cpu(), made.load(), failed);
    return failed == 0 ? 0 : 1;
}

int RunDownload(CTransferManager& manager, const char* url, const char* output) {
    CTransferRequest request;
    if (!request.SetUrl(url, true)) return 2;
    request.SetInt(prop::kOperation, prop::kOperationDownload);
    request.SetString(prop::kLocalFile, std::filesystem::absolute(output).string());
    const Timer timer;
    std::int32_t id = 0;
    TransferStatus status;
    int waited = manager.AddTransfer(request, id, true);
    if (waited == kManagerOk) waited = manager.WaitTransfer(id, status, -1);
    if (waited != kManagerOk || status.result != 0) {
        std::fprintf(stderr, "download failed (manager %d, result %d)\n", waited, status.result);
        return 1;
    }
    std::printf("%.3f %.3f\n", timer.Wall(), timer.Cpu());
    return 0;
}

int Run(int argc, char** argv) {
    const std::string mode = argv[1];
    const bool checks = mode == "checks" && argc == 5;
    if (!checks && !(mode == "download" && argc == 4)) return 2;
    if (!Startup(true)) return 1;
    CPropertySet settings;
    DefaultSettings(settings, checks ? std::atoi(argv[3]) : 10, checks ? std::atoi(argv[4]) : 10);
    CLogRegistry logs;
    TransferManagerOptions options;
    options.settings = &settings;
    options.logs = &logs;
    CTransferManager& manager = CTransferManager::Create(options);
    RegisterNetworkClients(manager);
    const int code = checks ? RunChecks(manager, argv[2]) : RunDownload(manager, argv[2], argv[3]);
    CTransferManager::Shutdown();
    RegisterSessionFactory(ProtocolId::Http, nullptr);
    RegisterSessionFactory(ProtocolId::Https, nullptr);
    Startup(false);
    return code;
}

}  // namespace
}  // namespace tellweir

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: %s checks <URL list> <max connects> <per site>\n"
                     "       %s download <URL> <output>\n",
                     argv[0], argv[0]);
        return 2;
    }
    const int code = tellweir::Run(argc, argv);
    if (code == 2) std::fprintf(stderr, "bad arguments\n");
    return code;
}
