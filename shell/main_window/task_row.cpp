// The task list's cells and sort order.
#include "shell/main_window/task_row.h"

#include <strings.h>

#include <cinttypes>
#include <cstdio>

#include "core/task_properties.h"
#include "log/error_words.h"

namespace tellweir {

namespace {

DateTime RowTime(const TaskRow& row, int column) {
    switch (column) {
        case kColumnFirstRun:
            return row.firstRun;
        case kColumnNextRun:
            return row.nextRun;
        default:
            return row.lastRun;
    }
}

bool IsTimeColumn(int column) {
    return column == kColumnFirstRun || column == kColumnNextRun || column == kColumnLastRun;
}

template <typename T>
int Order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

TaskRow TaskRow::Read(const CMonitorTask& task) {
    // One lock for the whole row, so that its cells come from one moment of the task.
    const CMonitorTask::TaskLock guard = task.LockTask();
    TaskRow row;
    row.stamp = task.GetStamp();
    row.state = task.GetState();
    row.name = task.GetName();
    row.url = task.GetUri();
    row.firstRun = task.GetFirstStartTime();
    row.nextRun = task.GetNextStartTimeShown();
    row.lastRun = task.GetLastStartTime();
    row.count = task.Int(task::kCount);
    row.errors = task.Int(task::kErrors);
    row.bytesDone = task.Int64(task::kRunBytesDone);
    row.bytesTotal = task.Has(task::kRunBytesTotal) ? task.Int64(task::kRunBytesTotal) : -1;
    row.bytesSent = task.Int64(task::kBytesSent);
    row.bytesRecv = task.Int64(task::kBytesRecv);
    row.lastResult = task.GetLastResult();
    row.newestVersion = task.GetNewestVersion();
    row.unseen = task.HasUnseenChanges();
    // Version 1 is the first content seen, not a change.
    row.runChanged = task.Int(task::kRunVersion) > 1;
    return row;
}

StatusImage TaskRow::Image() const {
    switch (state) {
        case TaskState::Working:
            return StatusImage::Working;
        case TaskState::Waiting:
            if (lastResult != 0) return StatusImage::Failed;
            return count > 0 ? StatusImage::Done : StatusImage::NotRunYet;
        default:
            return StatusImage::Idle;
    }
}

double TaskRow::XferPercent() const {
    if (bytesTotal == 0 && bytesDone == 0) return 100.0;
    if (bytesTotal > 0 && bytesTotal >= bytesDone && bytesDone >= 0)
        return static_cast<double>(bytesDone) * 100.0 / static_cast<double>(bytesTotal);
    return -1.0;
}

std::string TaskRow::Text(int column) const {
    char buffer[64];
    switch (column) {
        case kColumnName:
            return name;
        case kColumnUrl:
            return url;
        case kColumnFirstRun:
        case kColumnNextRun:
        case kColumnLastRun:
            return FormatRowTime(RowTime(*this, column));
        case kColumnCount:
            return std::to_string(count);
        case kColumnErrors:
            return std::to_string(errors);
        case kColumnXfer: {
            const double percent = XferPercent();
            if (percent < 0) return {};
            std::snprintf(buffer, sizeof buffer, "%.2f %%", percent);
            return buffer;
        }
        case kColumnBytesSent:
            return GroupDigits(bytesSent);
        case kColumnBytesRecv:
            return GroupDigits(bytesRecv);
        case kColumnLastError:
            return ResultText(lastResult);
        default:
            return {};
    }
}

std::string FormatRowTime(DateTime time) {
    return time.days == 0.0 ? std::string() : time.Format("%m/%d/%Y %H:%M:%S");
}

std::string GroupDigits(std::int64_t value) {
    std::string digits = std::to_string(value);
    const std::size_t first = digits[0] == '-' ? 1 : 0;
    for (std::size_t i = digits.size(); i > first + 3; i -= 3)
        digits.insert(i - 3, 1, ',');
    return digits;
}

int CompareRows(const TaskRow& a, const TaskRow& b, int column) {
    switch (column) {
        case kColumnStatus:
            return Order(static_cast<int>(a.state), static_cast<int>(b.state));
        case kColumnName:
            return Order(::strcasecmp(a.name.c_str(), b.name.c_str()), 0);
        case kColumnUrl:
            return Order(::strcasecmp(a.url.c_str(), b.url.c_str()), 0);
        case kColumnFirstRun:
        case kColumnNextRun:
        case kColumnLastRun: {
            const DateTime x = RowTime(a, column);
            const DateTime y = RowTime(b, column);
            const bool xSet = x.days != 0.0;
            const bool ySet = y.days != 0.0;
            if (xSet != ySet) return xSet ? -1 : 1;
            return Order(x.days, y.days);
        }
        case kColumnCount:
            return Order(a.count, b.count);
        case kColumnErrors:
            return Order(a.errors, b.errors);
        case kColumnXfer:
            return Order(a.XferPercent(), b.XferPercent());
        case kColumnBytesSent:
            return Order(a.bytesSent, b.bytesSent);
        case kColumnBytesRecv:
            return Order(a.bytesRecv, b.bytesRecv);
        case kColumnLastError:
            return Order(a.lastResult, b.lastResult);
        default:
            return 0;
    }
}

bool RowLess(const TaskRow& a, const TaskRow& b, int column, bool ascending) {
    if (IsTimeColumn(column)) {
        const bool aSet = RowTime(a, column).days != 0.0;
        const bool bSet = RowTime(b, column).days != 0.0;
        if (aSet != bSet) return aSet;  // unset last in either direction
    }
    const int order = CompareRows(a, b, column);
    return ascending ? order < 0 : order > 0;
}

}  // namespace tellweir
