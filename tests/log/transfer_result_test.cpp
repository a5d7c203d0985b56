// Result names, status messages, the retryable set and the events of a final result.
#include "log/transfer_result.h"

#include <gtest/gtest.h>

#include "log/log.h"
#include "log/status_message.h"

namespace tellweir {
namespace {

TEST(TransferResult, NamesAndUnnamedCodes) {
    const std::pair<TransferResult, const char*> cases[] = {
        {0, "none"},
        {2, "none"},
        {4, "stopped"},
        {105, "no more handles in system"},
        {1009, "protocol error"},
        {1011, "HTTP 4xx error"},
        {1018, "FTP login type not supported"},
        {1010, "Error 1010"},
        {1020, "Error 1020"},
        {-1, "Error -1"},
        {10060, "Error 10060"},
    };
    for (const auto& [code, name] : cases)
        EXPECT_EQ(ResultName(code), name) << code;
}

TEST(TransferResult, RetryableSet) {
    for (TransferResult r : {110, 1006, 1007, 10050, 10053, 10054, 10060, 10061, 10064}) {
        EXPECT_TRUE(IsRetryableResult(r)) << r;
    }
    for (TransferResult r : {0, 3, 1001, 1008, 1009, 10051, 10065}) {
        EXPECT_FALSE(IsRetryableResult(r)) << r;
    }
}

TEST(TransferResult, EventsOfAFinalResult) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(EventsForResult(0), (V{"OK"}));
    EXPECT_EQ(EventsForResult(110), (V{"Error", "Timeout Error"}));
    EXPECT_EQ(EventsForResult(10064), (V{"Error", "Network Error"}));
    EXPECT_EQ(EventsForResult(1014), (V{"Error", "HTTP Error", "HTTP Redirect"}));
    EXPECT_EQ(EventsForResult(1016), (V{"Error", "FTP Error", "FTP 5xx Error"}));
    EXPECT_EQ(EventsForResult(1009), (V{"Error"}));
    EXPECT_EQ(EventsForResult(10051), (V{"Error"}));
}

TEST(StatusMessage, TemplatesFormatAsTheLogsShowThem) {
    const FormatArg retry[] = {2, 5};
    EXPECT_EQ(FormatStatusMessage(msg::kRetryFrom, retry), "--- Retry #2 from 5 ---");
    const std::int64_t size = 5000000000LL;
    const FormatArg file[] = {"/tmp/a", size, "12/09/2026 10:00:00"};
    EXPECT_EQ(FormatStatusMessage(msg::kLocalFileInfo, file),
              "File: \"/tmp/a\", size: 5000000000, modified: 12/09/2026 10:00:00.");
    EXPECT_EQ(StatusMessage(0), "Cannot socket (error: %d).");
    EXPECT_EQ(StatusMessage(52), "Server certificate denied by user.");
    EXPECT_EQ(StatusMessage(53), "");
    EXPECT_EQ(StatusMessage(-1), "");
}

}  // namespace
}  // namespace tellweir
