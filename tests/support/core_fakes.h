// Fakes and scoped settings shared by the monitoring core tests: a recording sound output, a
// settable clock, a recording transfer link and a temporary cache folder.
#pragma once

#include <cstdint>
#include <ctime>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "core/local_clock.h"
#include "core/sound_output.h"
#include "core/transfer_link.h"
#include "store/app_settings.h"
#include "base/date_time.h"
#include "store/setting_ids.h"
#include "base/text_format.h"
#include "tests/support/temp_dir.h"

namespace tellweir::testing {

// Records every sound call as a line ("tone 440 100", "system bell", "file /a.wav") and answers
// with `succeed`. Installed for its lifetime.
class RecordingSound final : public ISoundOutput {
  public:
    RecordingSound() { SetSoundOutput(this); }
    ~RecordingSound() override { SetSoundOutput(nullptr); }

    bool PlayTone(std::uint32_t frequency, std::uint32_t durationMs) override {
        return Record(Format("tone %u %u", frequency, durationMs));
    }
    bool PlaySystemSound(std::string_view eventId) override {
        return Record(Format("system %s", eventId));
    }
    bool PlayFile(std::string_view path) override { return Record(Format("file %s", path)); }

    std::vector<std::string> Calls() {
        std::lock_guard g(lock_);
        return calls_;
    }

    bool succeed = true;

  private:
    bool Record(std::string call) {
        std::lock_guard g(lock_);
        calls_.push_back(std::move(call));
        return succeed;
    }
    std::mutex lock_;
    std::vector<std::string> calls_;
};

// The local time from a broken-down date (month 1-12).
inline DateTime MakeTime(int year, int month, int day, int hour = 0, int minute = 0,
                         int second = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return DateTime::FromTm(t);
}

// Installs a clock that tells `now` until changed; restores the system clock at the end.
class FixedClock {
  public:
    explicit FixedClock(DateTime start) : now_(start) {
        SetLocalClock([this] {
            std::lock_guard g(lock_);
            return now_;
        });
    }
    ~FixedClock() { SetLocalClock({}); }
    void Set(DateTime now) {
        std::lock_guard g(lock_);
        now_ = now;
    }

  private:
    std::mutex lock_;
    DateTime now_;
};

// Records the transfer calls of stopped tasks as lines ("log 0: 7 8", "remove: 7 8").
class RecordingTransferLink final : public ITransferLink {
  public:
    RecordingTransferLink() { SetTransferLink(this); }
    ~RecordingTransferLink() override { SetTransferLink(nullptr); }

    void SetTransfersLog(std::span<const std::int32_t> ids, std::int32_t logId) override {
        calls.push_back(Format("log %d:", logId) + Ids(ids));
    }
    void RemoveTransfers(std::span<const std::int32_t> ids) override {
        calls.push_back("remove:" + Ids(ids));
    }

    std::vector<std::string> calls;

  private:
    static std::string Ids(std::span<const std::int32_t> ids) {
        std::string s;
        for (std::int32_t id : ids)
            s += Format(" %d", id);
        return s;
    }
};

// Points "Misc/Cache Folder" at a fresh temporary folder (or empties it) for its lifetime.
class ScopedCacheFolder {
  public:
    explicit ScopedCacheFolder(bool set = true)
        : previous_(AppSettings().String(setting::kCacheFolder)) {
        AppSettings().SetString(setting::kCacheFolder, set ? dir_.Path() : std::string());
    }
    ~ScopedCacheFolder() { AppSettings().SetString(setting::kCacheFolder, previous_); }
    const std::string& Path() const { return dir_.Path(); }

  private:
    TempDir dir_{"core-cache"};
    std::string previous_;
};

}  // namespace tellweir::testing
