// The indexed table of the 53 status message templates that every transfer layer writes into
// logs, and the two severity levels the transfer engine writes at.
#pragma once

#include <string_view>

namespace tellweir {

inline constexpr int kStatusMessageCount = 53;

// Severity levels of transfer-engine log writes.
inline constexpr int kLevelStatus = 0;
inline constexpr int kLevelError = 1;

// The template at `index` (printf conventions; "%I64d" is a signed 64-bit decimal), or an empty
// view for an index outside 0..52.
std::string_view StatusMessage(int index);

// Indexes of the templates, named after their text.
namespace msg {
inline constexpr int kCannotSocket = 0;
inline constexpr int kCannotConnectPlain = 1;
inline constexpr int kCannotConnect = 2;
inline constexpr int kConnecting = 3;
inline constexpr int kConnected = 4;
inline constexpr int kCannotResolve = 5;
inline constexpr int kHostResolved = 6;
inline constexpr int kIncorrectParameter = 7;
inline constexpr int kLoginTypeNotSupported = 8;
inline constexpr int kSkeyGenerated = 9;
inline constexpr int kFileNotFound = 10;
inline constexpr int kDirectoryNotFound = 11;
inline constexpr int kAccessDenied = 12;
inline constexpr int kCannotGetFileInfo = 13;
inline constexpr int kGettingFileInfo = 14;
inline constexpr int kTransferFinished = 15;
inline constexpr int kTransferFailed = 16;
inline constexpr int kTransferring = 17;
inline constexpr int kConnectionFailed = 18;
inline constexpr int kConnectingPlain = 19;
inline constexpr int kRemovingFile = 20;
inline constexpr int kRemovingDir = 21;
inline constexpr int kCannotRemoveFile = 22;
inline constexpr int kCannotRemoveDir = 23;
inline constexpr int kConnectionClosed = 24;
inline constexpr int kControlClosed = 25;
inline constexpr int kControlClosedCode = 26;
inline constexpr int kDataClosed = 27;
inline constexpr int kDataClosedCode = 28;
inline constexpr int kCannotOpenFile = 29;
inline constexpr int kCannotCreateDir = 30;
inline constexpr int kCannotCopyFile = 31;
inline constexpr int kCannotCopyDir = 32;
inline constexpr int kProxyRefused = 33;
inline constexpr int kProxyFailed = 34;
inline constexpr int kReusingConnection = 35;
inline constexpr int kNotSupported = 36;
inline constexpr int kTimeoutOn = 37;
inline constexpr int kSendingRequestPlain = 38;
inline constexpr int kSendingRequest = 39;
inline constexpr int kReceivedReply = 40;
inline constexpr int kReceivedReplyText = 41;
inline constexpr int kRetryPlain = 42;
inline constexpr int kRetryFrom = 43;
inline constexpr int kLocalFileInfo = 44;
inline constexpr int kWaitingMs = 45;
inline constexpr int kWaitingSeconds = 46;
inline constexpr int kTransferRetry = 47;
inline constexpr int kProtocolError = 48;
inline constexpr int kTransferAborted = 49;
inline constexpr int kCertificateAccepted = 50;
inline constexpr int kCertificateInfo = 51;
inline constexpr int kCertificateDenied = 52;
}  // namespace msg

}  // namespace tellweir
