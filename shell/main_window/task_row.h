// TaskRow: what one row of the task list shows, read from a task under its lock in one go, and
// how rows compare when the list is sorted by a column. No Qt here, so that the rules are
// tested on their own.
#pragma once

#include <cstdint>
#include <string>

#include "base/date_time.h"
#include "core/monitor_task.h"

namespace tellweir {

// The columns of the task list. A plain enumeration, unlike the others: its values are the
// model's column numbers and are used as such.
enum TaskColumn : int {
    kColumnStatus = 0,
    kColumnName,
    kColumnUrl,
    kColumnFirstRun,
    kColumnNextRun,
    kColumnLastRun,
    kColumnCount,
    kColumnErrors,
    kColumnXfer,
    kColumnBytesSent,
    kColumnBytesRecv,
    kColumnLastError,
    kTaskColumnCount
};

// The status image of a row.
enum class StatusImage : int { Idle = 0, NotRunYet = 1, Working = 2, Done = 3, Failed = 4 };

struct TaskRow {
    std::uint32_t stamp = 0;
    TaskState state = TaskState::New;
    std::string name;
    std::string url;
    DateTime firstRun;
    DateTime nextRun;  // only while Waiting or Working
    DateTime lastRun;
    std::int32_t count = 0;
    std::int32_t errors = 0;
    std::int64_t bytesDone = 0;
    std::int64_t bytesTotal = -1;
    std::int64_t bytesSent = 0;
    std::int64_t bytesRecv = 0;
    TransferResult lastResult = 0;
    std::int32_t newestVersion = 0;  // 0: no versions kept
    bool unseen = false;             // versions newer than the last one viewed (a bold row)
    bool runChanged = false;         // the last run kept a version after the first: a change

    static TaskRow Read(const CMonitorTask& task);

    StatusImage Image() const;
    // The transfer progress in percent; negative when the cell shows nothing.
    double XferPercent() const;
    // The text of a column's cell (empty for the status column).
    std::string Text(int column) const;
};

// "%m/%d/%Y %H:%M:%S", or empty for an unset time.
std::string FormatRowTime(DateTime time);
// Digits grouped by ",": 1234567 -> "1,234,567".
std::string GroupDigits(std::int64_t value);

// <0, 0, >0 as `a` sorts before, with or after `b` by `column`, ascending; unset times come
// after set ones whatever the direction is, so callers reverse only the set ones (see
// RowLess).
int CompareRows(const TaskRow& a, const TaskRow& b, int column);
// The order of the list: by `column`, reversed when not `ascending`, with unset times last
// either way.
bool RowLess(const TaskRow& a, const TaskRow& b, int column, bool ascending);

}  // namespace tellweir
