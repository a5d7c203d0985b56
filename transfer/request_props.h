// Ids of the transfer request properties that the transfer manager and the transfer operation
// read and write, beside the file information of file_info.h.
#pragma once

#include "store/property_set.h"
#include "url/proxy_select.h"

namespace tellweir::prop {

inline constexpr PropertyId kFlags = 0;            // int: option bits, see below
inline constexpr PropertyId kSiteLimit = 3;        // int: sessions per site; below 1 counts as 1
inline constexpr PropertyId kConnectRetries = 4;   // int
inline constexpr PropertyId kTransferRetries = 5;  // int
inline constexpr PropertyId kConnectDelay = 6;     // int: seconds between connection attempts
inline constexpr PropertyId kMaxDownloadSize = 7;  // int: MiB a download may write; 0 no limit
inline constexpr PropertyId kOptions = 56;         // int: download option word, see below
inline constexpr PropertyId kTransferType = 58;    // int: 0 binary, 1 ASCII
inline constexpr PropertyId kLogId = 59;           // int: the transfer's item log; 0 none
inline constexpr PropertyId kHttpVersion = 100;    // int: 0 "1.0", 1 "1.1", 2 "1.1" too
inline constexpr PropertyId kUserAgent = 101;      // string
inline constexpr PropertyId kConnection = 102;     // int: 0 Keep-Alive, 1 Close
inline constexpr PropertyId kFtpDataConnection = 200;      // int
inline constexpr PropertyId kProxyUrl = kRequestProxyUrl;  // string: empty chooses by settings
inline constexpr PropertyId kBytesSent = 800;              // int64, over the transfer's life
inline constexpr PropertyId kBytesReceived = 801;          // int64, over the transfer's life
inline constexpr PropertyId kAttemptReceived = 802;        // int64, current download attempt
inline constexpr PropertyId kAttemptSent = 803;            // int64, current upload attempt

// Bits of kFlags.
inline constexpr int kFlagSiteExclusive = 0;  // wait until no session of the site is in use
inline constexpr int kFlagSendUserAgent = 12;
inline constexpr int kFlagSendReferrer = 13;
inline constexpr int kFlagCookies = 14;
inline constexpr int kFlagSendConnection = 15;
inline constexpr int kFlagSendAccept = 16;
inline constexpr int kFlagPragmaNoCache = 17;

// Bits of kOptions.
inline constexpr int kOptionResume = 11;
inline constexpr int kOptionSkipExisting = 18;
inline constexpr int kOptionResumeBinaryOnly = 19;
inline constexpr int kOptionRestartRefused = 20;

}  // namespace tellweir::prop
