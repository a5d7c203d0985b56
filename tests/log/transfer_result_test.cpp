// Result names, status messages, the retryable set and the events of a final result.
#include "log/transfer_result.h"

#include <gtest/gtest.h>

#include "log/error_words.h"
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

TEST(ErrorWords, SocketErrorNumbersCarryTheirWords) {
    struct Case {
        TransferResult code;
        const char* number;  // ErrorNumberText
        const char* result;  // ResultText
    };
    const Case cases[] = {
        {10061, "10061, connection refused", "Error 10061, connection refused"},
        {10060, "10060, connection timed out", "Error 10060, connection timed out"},
        {10054, "10054, connection reset by peer", "Error 10054, connection reset by peer"},
        {10065, "10065, no route to host", "Error 10065, no route to host"},
        {110, "110", "timeout"},  // the system's own codes keep their names alone
        {1008, "1008", "cannot resolve hostname"},
        {10059, "10059", "Error 10059"},  // no errno maps to it
        {5, "5", "Error 5"},              // a SOCKS5 reply code
        {-1, "-1", "Error -1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorNumberText(c.code), c.number) << c.code;
        EXPECT_EQ(ResultText(c.code), c.result) << c.code;
    }
}

TEST(ErrorWords, StatusMessagesKeepTheirTextAndNumberAndAddTheWords) {
    struct Case {
        int index;
        std::vector<FormatArg> args;
        const char* text;
    };
    const Case cases[] = {
        {msg::kCannotConnect,
         {"127.0.0.1", 9, 10061},
         "Cannot connect to 127.0.0.1:9 (error: 10061, connection refused)."},
        {msg::kCannotConnect, {"127.0.0.1", 9, 110}, "Cannot connect to 127.0.0.1:9 (error: 110)."},
        {msg::kCannotSocket, {10024}, "Cannot socket (error: 10024, too many open files)."},
        {msg::kProxyFailed,
         {"10.1.0.0", 81, 10053},
         "Cannot connect to 10.1.0.0:81 via proxy (error: 10053, connection aborted)."},
        {msg::kControlClosedCode,
         {10054},
         "Control connection closed (10054, connection reset by peer)."},
        {msg::kDataClosedCode, {10053}, "Data connection closed (10053, connection aborted)."},
        // Only the socket error argument counts: a port that looks like one changes nothing.
        {msg::kConnected, {"127.0.0.1", 10061}, "Connected to 127.0.0.1:10061."},
        {msg::kCannotConnect, {}, "Cannot connect to :0 (error: 0)."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatStatusMessage(c.index, c.args), c.text) << c.index;
}

}  // namespace
}  // namespace tellweir
