// The socket error words, one per number that SocketErrorFromErrno gives.
#include "log/error_words.h"

namespace tellweir {
namespace {

struct ErrorWords {
    TransferResult code;
    const char* words;
};

constexpr ErrorWords kWords[] = {
    {10004, "interrupted"},
    {10009, "bad socket handle"},
    {10013, "permission denied"},
    {10014, "bad address"},
    {10022, "invalid argument"},
    {10024, "too many open files"},
    {10035, "operation would block"},
    {10036, "operation in progress"},
    {10048, "address already in use"},
    {10049, "address not available"},
    {10050, "network is down"},
    {10051, "network is unreachable"},
    {10052, "network dropped the connection"},
    {10053, "connection aborted"},
    {10054, "connection reset by peer"},
    {10055, "no buffer space available"},
    {10056, "already connected"},
    {10057, "not connected"},
    {10058, "connection shut down"},
    {10060, "connection timed out"},
    {10061, "connection refused"},
    {10064, "host is down"},
    {10065, "no route to host"},
};

}  // namespace

std::string_view SocketErrorWords(TransferResult code) {
    for (const ErrorWords& row : kWords) {
        if (row.code == code) return row.words;
    }
    return {};
}

std::string ErrorNumberText(TransferResult code) {
    std::string text = std::to_string(code);
    const std::string_view words = SocketErrorWords(code);
    if (!words.empty()) text.append(", ").append(words);
    return text;
}

std::string ResultText(TransferResult code) {
    std::string text = ResultName(code);
    const std::string_view words = SocketErrorWords(code);
    if (!words.empty()) text.append(", ").append(words);
    return text;
}

}  // namespace tellweir
