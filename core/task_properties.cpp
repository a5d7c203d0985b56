// The task property table.
#include "core/task_properties.h"

namespace tellweir::task {
namespace {

CSettingTable BuildTaskPropertyTable() {
    CSettingTable t;
    const auto text = [](const char* s) { return PropertyValue::String(s); };
    const auto number = [](std::int32_t v) { return PropertyValue::Int(v); };
    t.AddSetting("URI", kUri, text(""));
    t.AddSetting("Name", kName, text(""));
    t.AddSetting("EnablePOST", kEnablePost, number(0));
    t.AddSetting("POSTData", kPostData, text(""));
    t.AddSetting("UsePOSTFile", kUsePostFile, number(0));
    t.AddSetting("POSTFilePath", kPostFilePath, text(""));
    t.AddSetting("SamplePath", kSamplePath, text(""));
    t.AddSetting("InfoPath", kInfoPath, text(""));
    t.AddSetting("NextStartTime", kNextStartTime, PropertyValue::Time(0));
    t.AddSetting("FirstStartTime", kFirstStartTime, PropertyValue::Time(0));
    t.AddSetting("LastStartTime", kLastStartTime, PropertyValue::Time(0));
    t.AddSetting("CreateTime", kCreateTime, PropertyValue::Time(0));
    t.AddSetting("Schedule", kSchedule, number(kSchedulePeriodic));
    t.AddSetting("ScheduleWeekDays", kScheduleWeekDays, text("1234567"));
    t.AddSetting("ScheduleRepeatValue", kScheduleRepeatValue, number(10));
    t.AddSetting("ScheduleRepeatUnit", kScheduleRepeatUnit, text("seconds"));
    t.AddSetting("Count", kCount, number(0));
    t.AddSetting("Errors", kErrors, number(0));
    t.AddSetting("Stopped", kStopped, number(0));
    t.AddSetting("BytesDownloaded", kBytesDownloaded, PropertyValue::Int64(0));
    t.AddSetting("BytesSent", kBytesSent, PropertyValue::Int64(0));
    t.AddSetting("BytesRecv", kBytesRecv, PropertyValue::Int64(0));
    t.AddSetting("Download", kDownload, number(0));
    return t;
}

}  // namespace

const CSettingTable& TaskPropertyTable() {
    static const CSettingTable table = BuildTaskPropertyTable();
    return table;
}

}  // namespace tellweir::task
