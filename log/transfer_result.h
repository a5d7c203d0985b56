// TransferResult: the signed code that every transfer step ends with (0 = success), the names of
// the codes, which results are worth another attempt, and which events a final result raises.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tellweir {

using TransferResult = std::int32_t;

// Named codes. Socket error numbers (10004..10065) pass through unchanged as results.
namespace result {
inline constexpr TransferResult kOk = 0;
inline constexpr TransferResult kStopped = 3;
inline constexpr TransferResult kNotSupported = 100;
inline constexpr TransferResult kEmptyParameter = 101;
inline constexpr TransferResult kInvalidParameter = 102;
inline constexpr TransferResult kInvalidHandle = 103;
inline constexpr TransferResult kReadOnly = 104;
inline constexpr TransferResult kNoMoreHandles = 105;
inline constexpr TransferResult kNotFound = 106;
inline constexpr TransferResult kAlreadyExists = 107;
inline constexpr TransferResult kAccessDenied = 108;
inline constexpr TransferResult kNoDiskSpace = 109;
inline constexpr TransferResult kTimeout = 110;
// A download grew beyond "Misc/Max Download Size", as received or as unpacked.
inline constexpr TransferResult kTooLarge = 113;
inline constexpr TransferResult kRemoteUnavailable = 1000;
inline constexpr TransferResult kRemoteNotFound = 1001;
inline constexpr TransferResult kRemoteExists = 1002;
inline constexpr TransferResult kRemoteAccessDenied = 1003;
inline constexpr TransferResult kRemoteNoDiskSpace = 1004;
inline constexpr TransferResult kRemoteNotSupported = 1005;
inline constexpr TransferResult kControlClosed = 1006;
inline constexpr TransferResult kDataClosed = 1007;
inline constexpr TransferResult kResolveFailed = 1008;
inline constexpr TransferResult kProtocolError = 1009;
inline constexpr TransferResult kHttp4xx = 1011;
inline constexpr TransferResult kHttp5xx = 1012;
inline constexpr TransferResult kHttpError = 1013;
inline constexpr TransferResult kHttpRedirectOutside = 1014;
inline constexpr TransferResult kFtp4xx = 1015;
inline constexpr TransferResult kFtp5xx = 1016;
inline constexpr TransferResult kFtpError = 1017;
inline constexpr TransferResult kFtpLoginType = 1018;
inline constexpr TransferResult kTlsFailed = 1019;
inline constexpr TransferResult kWrongOffset = 1020;
}  // namespace result

// The lower-case name of a code; "Error %d" for every code the table does not name.
std::string ResultName(TransferResult code);

// True for the results after which a connection or transfer attempt is repeated.
bool IsRetryableResult(TransferResult code);

// The events a run's final result raises, in order ("OK" for 0, which the comparison follows).
std::vector<std::string_view> EventsForResult(TransferResult code);

}  // namespace tellweir
