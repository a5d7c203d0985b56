// Result names, the retryable set and the result-to-events table.
#include "log/transfer_result.h"

#include <algorithm>
#include <array>

namespace tellweir {
namespace {

struct NamedResult {
    TransferResult code;
    const char* name;
};

constexpr NamedResult kNames[] = {
    {0, "none"},
    {1, "none"},
    {2, "none"},
    {3, "stopped"},
    {4, "stopped"},
    {100, "not supported"},
    {101, "empty parameter"},
    {102, "invalid parameter"},
    {103, "invalid handle"},
    {104, "is read only"},
    {105, "no more handles in system"},
    {106, "not found"},
    {107, "already exists"},
    {108, "access denied"},
    {109, "no disk space"},
    {110, "timeout"},
    {113, "download too large"},
    {1000, "remote resource temporary unavailable"},
    {1001, "remote file not found"},
    {1002, "remote file already exists"},
    {1003, "access denied to remote file"},
    {1004, "no disk space on remote"},
    {1005, "remote operation is not supported"},
    {1006, "control connection closed"},
    {1007, "data connection closed"},
    {1008, "cannot resolve hostname"},
    {1009, "protocol error"},
    {1011, "HTTP 4xx error"},
    {1012, "HTTP 5xx error"},
    {1013, "HTTP error"},
    {1014, "HTTP redirect outside"},
    {1015, "FTP 4xx error"},
    {1016, "FTP 5xx error"},
    {1017, "FTP error"},
    {1018, "FTP login type not supported"},
};

constexpr TransferResult kRetryable[] = {110, 1006, 1007, 10050, 10053, 10054, 10060, 10061, 10064};

struct ResultEvents {
    std::array<TransferResult, 6> codes;  // unused slots hold 0 after the first code
    std::array<const char*, 3> events;    // unused slots are null
};

constexpr ResultEvents kEventTable[] = {
    {{0}, {"OK"}},
    {{110}, {"Error", "Timeout Error"}},
    {{1001}, {"Error", "Not Exists"}},
    {{1008}, {"Error", "Resolve Error"}},
    {{10050, 10053, 10054, 10060, 10061, 10064}, {"Error", "Network Error"}},
    {{1011}, {"Error", "HTTP Error", "HTTP 4xx Error"}},
    {{1012}, {"Error", "HTTP Error", "HTTP 5xx Error"}},
    {{1013}, {"Error", "HTTP Error"}},
    {{1014}, {"Error", "HTTP Error", "HTTP Redirect"}},
    {{1015}, {"Error", "FTP Error", "FTP 4xx Error"}},
    {{1016}, {"Error", "FTP Error", "FTP 5xx Error"}},
    {{1017}, {"Error", "FTP Error"}},
};

bool RowHasCode(const ResultEvents& row, TransferResult code) {
    if (row.codes[0] == code) return true;
    return code != 0 && std::find(row.codes.begin() + 1, row.codes.end(), code) != row.codes.end();
}

}  // namespace

std::string ResultName(TransferResult code) {
    for (const NamedResult& r : kNames) {
        if (r.code == code) return r.name;
    }
    return "Error " + std::to_string(code);
}

bool IsRetryableResult(TransferResult code) {
    return std::find(std::begin(kRetryable), std::end(kRetryable), code) != std::end(kRetryable);
}

std::vector<std::string_view> EventsForResult(TransferResult code) {
    for (const ResultEvents& row : kEventTable) {
        if (!RowHasCode(row, code)) continue;
        std::vector<std::string_view> events;
        for (const char* e : row.events) {
            if (e) events.emplace_back(e);
        }
        return events;
    }
    return {"Error"};
}

}  // namespace tellweir
