// The texts of --history, --diff and --mark-viewed.
#include "app/history_commands.h"

#include <algorithm>
#include <array>
#include <vector>

#include "app/engine_commands.h"
#include "base/ascii_text.h"
#include "core/monitor_task.h"
#include "diff/text_diff.h"
#include "history/version_compare.h"

namespace tellweir {

namespace {

constexpr const char* kTimeFormat = "%Y-%m-%d %H:%M:%S";

// Every damaged file the list left out, one line each: never taken for an empty version.
void SayDamaged(const std::vector<std::string>& damaged, std::string& err) {
    for (const std::string& path : damaged)
        err += "tellweir: skipped the damaged version file \"" + path + "\"\n";
}

ControlReply Refused(std::string text) {
    ControlReply reply;
    reply.status = 2;
    reply.err = "tellweir: " + std::move(text) + "\n";
    return reply;
}

std::string Quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

std::string LineCount(char sign, std::int32_t count) {
    return count < 0 ? std::string("-") : sign + std::to_string(count);
}

// A table whose columns are as wide as their widest cell; `right` columns are numbers.
class CColumns {
  public:
    static constexpr std::size_t kCount = 6;
    using Row = std::array<std::string, kCount>;

    void Add(Row row) {
        for (std::size_t i = 0; i < kCount; ++i)
            widths_[i] = std::max(widths_[i], row[i].size());
        rows_.push_back(std::move(row));
    }
    std::string Text(const std::array<bool, kCount>& right) const {
        std::string text;
        for (const Row& row : rows_) {
            std::string line;
            for (std::size_t i = 0; i < kCount; ++i) {
                const std::string pad(widths_[i] - row[i].size(), ' ');
                if (i > 0) line += "  ";
                line += right[i] ? pad + row[i] : row[i] + pad;
            }
            while (!line.empty() && line.back() == ' ')
                line.pop_back();
            text += line + "\n";
        }
        return text;
    }

  private:
    std::array<std::size_t, kCount> widths_{};
    std::vector<Row> rows_;
};

// The version before `number` among `versions` (oldest first); 0 when it is the oldest.
std::int32_t VersionBefore(const std::vector<VersionRecord>& versions, std::int32_t number) {
    std::int32_t before = 0;
    for (const VersionRecord& record : versions) {
        if (record.number >= number) break;
        before = record.number;
    }
    return before;
}

bool IsListed(const std::vector<VersionRecord>& versions, std::int32_t number) {
    return std::any_of(versions.begin(), versions.end(),
                       [number](const VersionRecord& record) { return record.number == number; });
}

// "newest viewed -> newest": from the viewed version while it is older than the newest (the
// oldest kept when it has been dropped since), else the last change again.
std::int32_t UnseenFrom(const std::vector<VersionRecord>& versions, std::int32_t viewed) {
    const std::int32_t newest = versions.back().number;
    if (viewed <= 0 || viewed >= newest) return VersionBefore(versions, newest);
    if (viewed < versions.front().number) return versions.front().number;
    // The newest kept at or before the viewed one.
    return VersionBefore(versions, viewed + 1);
}

ControlReply TextReply(std::int32_t number, std::string_view taskName, const CVersionStore& store) {
    std::string content;
    VersionRecord record;
    switch (store.Read(number, content, &record)) {
        case VersionRead::Ok:
            break;
        case VersionRead::Missing:
            return Refused(Quoted(taskName) + " has no version " + std::to_string(number));
        case VersionRead::Damaged:
            return Refused("version " + std::to_string(number) + " of " + Quoted(taskName) +
                           " is damaged and cannot be read");
    }
    ControlReply reply;
    reply.out = VersionText(record, content).text;
    if (!reply.out.empty() && reply.out.back() != '\n') reply.out += '\n';
    return reply;
}

}  // namespace

bool FindTaskVersions(CMonitorEngine& engine, std::string_view name, TaskVersions& found,
                      ControlReply& reply) {
    bool matched = false;
    const auto look = [&](const CMonitorTask& task) {
        if (matched || !EqualsIgnoreAsciiCase(task.GetName(), name)) return;
        matched = true;
        found.name = task.GetName();
        found.folder = task.GetVersionFolder();
    };
    const TransferResult loaded = engine.VisitQueue(look);
    if (!CheckQueueLoaded(engine, loaded, reply)) return false;
    if (matched) return true;
    reply.err += "tellweir: no task named " + Quoted(name) + "\n";
    reply.status = 2;
    return false;
}

ControlReply HistoryReply(std::string_view taskName, const CVersionStore& store) {
    std::vector<std::string> damaged;
    const std::vector<VersionRecord> versions =
        store.Folder().empty() ? std::vector<VersionRecord>() : store.List(&damaged);
    ControlReply reply;
    SayDamaged(damaged, reply.err);
    if (!damaged.empty()) reply.status = 1;
    if (versions.empty()) {
        reply.out = "No versions of " + Quoted(taskName) + " are kept yet.\n";
        return reply;
    }
    CColumns table;
    table.Add({"Version", "Time", "Event", "Size", "Added", "Removed"});
    for (const VersionRecord& record : versions)
        table.Add({std::to_string(record.number), record.time.Format(kTimeFormat), record.event,
                   std::to_string(record.size), LineCount('+', record.added),
                   LineCount('-', record.removed)});
    reply.out = table.Text({true, false, false, true, true, true});
    return reply;
}

ControlReply DiffReply(const ProgramOptions& options, std::string_view taskName,
                       const CVersionStore& store, std::int32_t& viewed) {
    viewed = 0;
    if (options.textVersion) return TextReply(*options.textVersion, taskName, store);
    std::vector<std::string> damaged;
    const std::vector<VersionRecord> versions =
        store.Folder().empty() ? std::vector<VersionRecord>() : store.List(&damaged);
    std::string skipped;
    SayDamaged(damaged, skipped);
    const auto refuse = [&skipped](std::string text) {
        ControlReply reply = Refused(std::move(text));
        reply.err.insert(0, skipped);
        return reply;
    };
    if (versions.empty()) return refuse("no versions of " + Quoted(taskName) + " are kept yet");
    const auto noSuch = [&](std::int32_t number) {
        return refuse(Quoted(taskName) + " has no version " + std::to_string(number));
    };
    std::int32_t to = options.toVersion.value_or(versions.back().number);
    if (!IsListed(versions, to)) return noSuch(to);
    std::int32_t from = 0;
    if (options.unseen)
        from = UnseenFrom(versions, store.Viewed());
    else if (options.fromVersion)
        from = *options.fromVersion;
    else
        from = VersionBefore(versions, to);
    if (from == 0) {
        if (versions.size() == 1)
            return refuse(Quoted(taskName) + " has only one version: nothing to compare yet");
        return refuse("version " + std::to_string(to) + " of " + Quoted(taskName) +
                      " is the oldest kept: nothing to compare it with");
    }
    if (!IsListed(versions, from)) return noSuch(from);

    CTextDiff diff;
    VersionRecord fromRecord, toRecord;
    switch (CompareVersions(store, from, to, diff, &fromRecord, &toRecord)) {
        case VersionCompare::Ok:
            break;
        case VersionCompare::NoSuchVersion:
            return refuse("version " + std::to_string(from) + " or " + std::to_string(to) + " of " +
                          Quoted(taskName) + " has gone");
        case VersionCompare::Damaged:
            return refuse("version " + std::to_string(from) + " or " + std::to_string(to) + " of " +
                          Quoted(taskName) + " is damaged and cannot be read");
    }
    ControlReply reply;
    reply.err = std::move(skipped);
    if (options.unseen) viewed = to;
    if (diff.Equal()) {
        reply.status = 1;
        return reply;
    }
    reply.out = FormatUnifiedDiff(diff, VersionLabel(taskName, fromRecord),
                                  VersionLabel(taskName, toRecord));
    return reply;
}

std::int32_t VersionToMark(const ProgramOptions& options, std::string_view taskName,
                           std::int32_t newest, ControlReply& reply) {
    const std::int32_t number = options.toVersion.value_or(newest);
    if (number <= newest) return number;
    reply.err +=
        "tellweir: " + Quoted(taskName) + " has no version " + std::to_string(number) + "\n";
    reply.status = 2;
    return 0;
}

}  // namespace tellweir
