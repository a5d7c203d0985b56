// Fakes and scoped settings shared by the monitoring core tests: a recording sound output, a
// settable clock, a recording transfer link, a recording desktop and a temporary cache folder.
#pragma once

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/date_time.h"
#include "base/text_format.h"
#include "core/local_clock.h"
#include "core/sound_output.h"
#include "core/transfer_link.h"
#include "port/desktop_port.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "tests/support/local_time.h"  // MakeTime
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

// Records the transfer calls of stopped tasks as lines ("log 0: 7 8", "remove: 7 8"). It has no
// transfer manager behind it: a run over a URL ends as a transfer that went away.
class RecordingTransferLink final : public ITransferLink {
  public:
    bool StartTransfer(const CTransferRequest&, std::int32_t, std::int32_t& id) override {
        id = 0;
        return false;
    }
    bool GetStatus(std::int32_t, TransferStatus&) override { return false; }
    bool GetRequest(std::int32_t, CTransferRequest&) override { return false; }

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

// Records what the engine and the actions tell the windows, as lines: "engine started",
// "engine ended", "display", "prompt <task>: <text>", "icon <task>: <text>", "open <target>",
// "save failed: <text>".
// OpenInShell answers `shellReply` (nothing: no window).
class RecordingDesktop final : public IDesktopPort {
  public:
    void EngineThreadChanged(bool running) override {
        Add(running ? "engine started" : "engine ended");
    }
    void DisplayQueue() override { Add("display"); }
    void ShowPrompt(const std::string& task, const std::string& text) override {
        Add("prompt " + task + ": " + text);
    }
    void LightTrayIcon(const std::string& task, const std::string& text) override {
        Add("icon " + task + ": " + text);
    }
    void QueueSaveFailed(const std::string& text) override { Add("save failed: " + text); }
    std::optional<int> OpenInShell(const std::string& target, ILog* log,
                                   const ChildEnvironment& environment) override {
        Add("open " + target);
        shellLog = log;
        shellEnvironment = environment.entries;
        return shellReply;
    }

    std::vector<std::string> Calls() {
        std::lock_guard guard(lock_);
        return calls_;
    }
    int Count(const std::string& call) {
        std::lock_guard guard(lock_);
        return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
    }

    std::optional<int> shellReply;
    ILog* shellLog = nullptr;
    std::vector<std::string> shellEnvironment;  // what the last opener was to get

  private:
    void Add(std::string call) {
        std::lock_guard guard(lock_);
        calls_.push_back(std::move(call));
    }

    std::mutex lock_;
    std::vector<std::string> calls_;
};

}  // namespace tellweir::testing
