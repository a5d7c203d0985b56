// The fixture of the monitor engine's tests: an engine over the application settings with its
// queue file, cache folder and log limit pointed at temporary places, a settable clock, and a
// recording transfer link and sound output so that nothing leaves the process.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/event_table.h"
#include "core/monitor_engine.h"
#include "tests/support/core_fakes.h"

namespace tellweir::testing {

// Sets an application setting for its lifetime.
class ScopedSetting {
  public:
    ScopedSetting(PropertyId id, const PropertyValue& value)
        : id_(id), previous_(AppSettings().GetValue(id)) {
        AppSettings().SetValue(id, value);
    }
    ~ScopedSetting() {
        if (previous_) {
            AppSettings().SetValue(id_, *previous_);
        } else {
            AppSettings().Remove(id_);
        }
    }
    ScopedSetting(const ScopedSetting&) = delete;
    ScopedSetting& operator=(const ScopedSetting&) = delete;

  private:
    PropertyId id_;
    std::optional<PropertyValue> previous_;
};

class EngineTest : public ::testing::Test {
  protected:
    // A task as the wizard hands it over: named, with a URI, not yet prepared.
    static MonitorTaskPtr NewTask(std::string_view name, std::string_view uri = "<null>") {
        MonitorTaskPtr task = CMonitorTask::Create();
        task->SetName(name);
        task->SetString(task::kUri, uri);
        return task;
    }
    MonitorTaskPtr Added(std::string_view name, std::string_view uri = "<null>") {
        MonitorTaskPtr task = NewTask(name, uri);
        EXPECT_TRUE(engine_.AddTask(*task)) << name;
        return task;
    }
    std::vector<MonitorTaskPtr> Tasks() {
        std::vector<MonitorTaskPtr> tasks;
        engine_.SnapshotTasks(tasks);
        return tasks;
    }
    std::vector<std::string> TaskNames() {
        std::vector<std::string> names;
        for (const MonitorTaskPtr& task : Tasks())
            names.push_back(task->GetName());
        return names;
    }
    // True when every task's list index is its position.
    bool IndexesAreContiguous() {
        const std::vector<MonitorTaskPtr> tasks = Tasks();
        for (std::size_t i = 0; i < tasks.size(); ++i)
            if (tasks[i]->GetListIndex() != static_cast<std::int32_t>(i)) return false;
        return true;
    }

    FixedClock clock_{MakeTime(2004, 3, 3, 14, 5, 9)};
    TempDir dir_{"engine"};
    const std::string queuePath_ = dir_ / "1.1/m.xml";
    ScopedCacheFolder cache_;
    ScopedSetting queueFile_{setting::kMonitorQueueFile, PropertyValue::String(queuePath_)};
    ScopedSetting maxLines_{setting::kMaxLogLines, PropertyValue::Int(2000)};
    RecordingTransferLink link_;
    RecordingDesktop desktop_;
    RecordingSound sound_;
    CMonitorEngine engine_{{.transfers = &link_, .desktop = &desktop_}};
};

}  // namespace tellweir::testing
