// Driver for bench/ftp_vs_curl.sh: runs the FTP session against a local server on one kept
// connection and prints its own figures.
//   ftp_session_driver info <ftp-url> <count>   file information checks (CWD, SIZE, MDTM):
//                                                "<checks/s> <commands per check> <wall s> <CPU s>"
//   ftp_session_driver download <ftp-url> <file> a passive download into a new file:
//                                                "<wall s> <CPU s>"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "net/ftp/ftp_session.h"
#include "net/net_startup.h"
#include "store/property_set.h"
#include "store/setting_ids.h"
#include "transfer/file_info.h"
#include "transfer/progress_meter.h"
#include "transfer/request_props.h"
#include "transfer/transfer.h"

namespace tellweir {
namespace {

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Run(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s info <ftp-url> <count> | download <ftp-url> <file>\n",
                     argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    if (!Startup(true)) {
        std::fprintf(stderr, "the network layer did not start\n");
        return 1;
    }
    CTransferRequest request;
    if (!request.SetUrl(argv[2], true) || request.Protocol() != ProtocolId::Ftp) {
        std::fprintf(stderr, "not an ftp:// URL: %s\n", argv[2]);
        return 2;
    }
    request.SetInt(prop::kFtpDataConnection, kFtpDataPassive);
    CTransfer transfer(100, request, nullptr);
    CPropertySet settings;
    settings.SetInt(setting::kConnectionTimeout, 60);
    const RefPtr<CFtpSession> session = RefPtr<CFtpSession>::Adopt(
        new CFtpSession(SessionParams{transfer.SiteKey(), transfer.Address().user, ""}, &settings));
    if (const TransferResult connected = session->Connect(transfer, nullptr)) {
        std::fprintf(stderr, "connect failed: %d\n", connected);
        return 1;
    }
    const std::int64_t loginCommands = session->CommandsSent();

    const double cpuStart = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (mode == "info") {
        const int count = std::atoi(argv[3]);
        for (int i = 0; i < count; ++i) {
            if (const TransferResult info = session->GetFileInfo(transfer, nullptr)) {
                std::fprintf(stderr, "check %d failed: %d\n", i, info);
                return 1;
            }
        }
        const double wall = Since(start);
        std::printf("%.0f %.2f %.3f %.3f\n", count / wall,
                    double(session->CommandsSent() - loginCommands) / count, wall,
                    ProcessCpuSeconds() - cpuStart);
        return 0;
    }
    if (mode == "download") {
        transfer.SetString(prop::kLocalFile, std::filesystem::absolute(argv[3]).string());
        CProgressMeter meter(transfer, CProgressMeter::Direction::Download);
        if (const TransferResult received = session->DownloadToFile(transfer, nullptr, meter)) {
            std::fprintf(stderr, "download failed: %d\n", received);
            return 1;
        }
        std::printf("%.3f %.3f\n", Since(start), ProcessCpuSeconds() - cpuStart);
        return 0;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}

}  // namespace
}  // namespace tellweir

int main(int argc, char** argv) {
    return tellweir::Run(argc, argv);
}
