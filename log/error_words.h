// Words for the socket error numbers that reach the user: a log line or the task list saying
// "10061" alone tells only those who know Windows Sockets that the server refused.
#pragma once

#include <string>
#include <string_view>

#include "log/transfer_result.h"

namespace tellweir {

// What socket error number `code` means, in lower case ("connection refused" for 10061); empty
// for a code that is not a socket error number.
std::string_view SocketErrorWords(TransferResult code);

// `code` in decimal, followed by ", " and its words when it has some: "10061, connection
// refused", "110".
std::string ErrorNumberText(TransferResult code);

// ResultName of `code` with the words of a socket error number appended the same way:
// "Error 10061, connection refused"; what the task list's Last Error column shows.
std::string ResultText(TransferResult code);

}  // namespace tellweir
