// Property ids of monitor tasks and the table of their persistent properties.
#pragma once

#include "store/property_set.h"
#include "store/setting_table.h"

namespace tellweir::task {

// Persistent (in the task property table).
inline constexpr PropertyId kUri = 100;
inline constexpr PropertyId kName = 101;
inline constexpr PropertyId kNextStartTime = 102;   // date-time
inline constexpr PropertyId kFirstStartTime = 103;  // date-time
inline constexpr PropertyId kLastStartTime = 104;   // date-time
inline constexpr PropertyId kCreateTime = 105;      // date-time
inline constexpr PropertyId kStopped = 106;
inline constexpr PropertyId kSchedule = 107;  // 0 one time only, 1 periodically, 2 manually
inline constexpr PropertyId kScheduleWeekDays = 108;
inline constexpr PropertyId kScheduleRepeatValue = 109;
inline constexpr PropertyId kScheduleRepeatUnit = 110;
inline constexpr PropertyId kSamplePath = 115;
inline constexpr PropertyId kInfoPath = 116;
inline constexpr PropertyId kEnablePost = 117;
inline constexpr PropertyId kPostData = 118;
inline constexpr PropertyId kUsePostFile = 119;
inline constexpr PropertyId kPostFilePath = 120;
inline constexpr PropertyId kCount = 121;
inline constexpr PropertyId kBytesDownloaded = 122;
inline constexpr PropertyId kBytesSent = 123;
inline constexpr PropertyId kBytesRecv = 124;
inline constexpr PropertyId kDownload = 127;  // 0 file information only, 1 whole content
inline constexpr PropertyId kErrors = 128;

// Run-time, never stored.
inline constexpr PropertyId kTransferId = 112;     // current transfer; 0 when none
inline constexpr PropertyId kLogId = 113;          // the task's item log in the log registry
inline constexpr PropertyId kObjectPath = 114;     // the local file a run examines
inline constexpr PropertyId kRunBytesDone = 125;   // int64
inline constexpr PropertyId kRunBytesTotal = 126;  // int64; -1 while not reported
inline constexpr PropertyId kETag = 129;
inline constexpr PropertyId kContentType = 130;
inline constexpr PropertyId kSize = 131;  // int64
inline constexpr PropertyId kTimeModified = 132;
inline constexpr PropertyId kTimeCreated = 133;
// The versions kept of the resource: the newest one's number and the newest one the user has
// viewed (0: none), loaded from the versions folder when the task is prepared.
inline constexpr PropertyId kNewestVersion = 134;
inline constexpr PropertyId kViewedVersion = 135;
// The version the current run kept (0: none) and what changed, for the actions of that run.
inline constexpr PropertyId kRunVersion = 136;
inline constexpr PropertyId kRunChangeSummary = 137;

// Schedule values.
inline constexpr int kScheduleOnce = 0;
inline constexpr int kSchedulePeriodic = 1;
inline constexpr int kScheduleManual = 2;

// The table of persistent task properties, built on first use; every entry keeps stored texts
// as they are.
const CSettingTable& TaskPropertyTable();

}  // namespace tellweir::task
