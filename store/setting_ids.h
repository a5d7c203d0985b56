// Ids of the application settings in the settings property set.
#pragma once

#include "store/property_set.h"

namespace tellweir::setting {

// Filled at start-up from the environment; never stored.
inline constexpr PropertyId kHomePageLink = 0x5004;
inline constexpr PropertyId kSupportLink = 0x5005;
inline constexpr PropertyId kOrderLink = 0x5006;
inline constexpr PropertyId kOrderLink2 = 0x5007;
inline constexpr PropertyId kHelpFilePath = 0x5008;
inline constexpr PropertyId kExecutablePath = 0x5009;
inline constexpr PropertyId kExecutableName = 0x500A;

// Persistent.
inline constexpr PropertyId kDefaultTabSize = 0x5014;
inline constexpr PropertyId kShowLineNumbers = 0x5015;
inline constexpr PropertyId kLastOpenedFolder = 0x500E;
inline constexpr PropertyId kLogLevels = 0x5016;
inline constexpr PropertyId kMaxLogLines = 0x5017;
inline constexpr PropertyId kEnableGenericUrls = 0x5019;
inline constexpr PropertyId kRunOnStartup = 0x501B;
inline constexpr PropertyId kFirstLaunch = 0x501E;
inline constexpr PropertyId kMaxHistorySize = 0x501F;
inline constexpr PropertyId kMaxMruSize = 0x5020;
// MiB a download may write, as received and as unpacked; 0 no limit.
inline constexpr PropertyId kMaxDownloadSize = 0x5021;
// Versions of its resource a task keeps (0 none), and the MiB they may take on disk per task.
inline constexpr PropertyId kVersionsKept = 0x5022;
inline constexpr PropertyId kVersionsMaxSize = 0x5023;
inline constexpr PropertyId kHttpVersion = 0x5200;
inline constexpr PropertyId kHttpEnableConnection = 0x5201;
inline constexpr PropertyId kHttpConnection = 0x5202;
inline constexpr PropertyId kHttpEnableUserAgent = 0x5203;
inline constexpr PropertyId kHttpUserAgent = 0x5204;
inline constexpr PropertyId kHttpEnableReferrer = 0x5205;
inline constexpr PropertyId kHttpEnableCookies = 0x5206;
inline constexpr PropertyId kHttpEnableAccept = 0x5207;
inline constexpr PropertyId kHttpPragmaNoCache = 0x5208;
inline constexpr PropertyId kFtpDataConnectionType = 0x5300;
inline constexpr PropertyId kProxyAll = 0x6000;
inline constexpr PropertyId kProxyHttp = 0x6002;
inline constexpr PropertyId kProxyHttpEnabled = 0x6003;
inline constexpr PropertyId kProxyHttps = 0x6004;
inline constexpr PropertyId kProxyHttpsEnabled = 0x6005;
inline constexpr PropertyId kProxyFtp = 0x6006;
inline constexpr PropertyId kProxyFtpEnabled = 0x6007;
inline constexpr PropertyId kAnonymousPassword = 0x600C;
inline constexpr PropertyId kProxySkipListEnabled = 0x600D;
inline constexpr PropertyId kProxySkipList = 0x600E;
inline constexpr PropertyId kProxySkipLocalEnabled = 0x600F;
inline constexpr PropertyId kMaxConnects = 0x7000;
inline constexpr PropertyId kMaxConnectsPerSite = 0x7001;
inline constexpr PropertyId kMaxThreads = 0x7002;
inline constexpr PropertyId kTimeoutFinished = 0x7003;
inline constexpr PropertyId kTimeoutThreading = 0x7004;
inline constexpr PropertyId kConnectionTimeout = 0x7005;
inline constexpr PropertyId kSessionIdleTime = 0x7006;
inline constexpr PropertyId kConnectionRetries = 0x7007;
inline constexpr PropertyId kTransferRetries = 0x7008;
inline constexpr PropertyId kConnectionDelay = 0x7009;
inline constexpr PropertyId kCheckFolder = 0x700A;
inline constexpr PropertyId kSslTlsVersion = 0x700B;
// 1 lets TLS accept a server certificate that fails verification (intranet servers with
// certificates of their own); the failure is still logged.
inline constexpr PropertyId kAcceptUntrustedCertificates = 0x700C;
// Seconds one run of a transfer may take in all, retries included; 0 no limit.
inline constexpr PropertyId kTransferTimeLimit = 0x700D;
inline constexpr PropertyId kMainFrameLayout = 0x5100;
inline constexpr PropertyId kChildFrameLayout = 0x5101;
inline constexpr PropertyId kProgramStartEvent = 0x5102;
inline constexpr PropertyId kProgramExitEvent = 0x5103;
inline constexpr PropertyId kLastSettingsPath = 0x5018;
inline constexpr PropertyId kLogFolder = 0x500C;
inline constexpr PropertyId kDownloadFolder = 0x500D;
inline constexpr PropertyId kCacheFolder = 0x500F;
inline constexpr PropertyId kReportFolder = 0x5013;
inline constexpr PropertyId kMonitorQueueFile = 0x501C;
inline constexpr PropertyId kMonitorListColumns = 0x1200;

}  // namespace tellweir::setting
