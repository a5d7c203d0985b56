// RecordingLog: an ILog that keeps every write as "level|text", for checking what a step logged.
// Thread-safe, so a log passed to a worker thread or a server connection can be read meanwhile.
//
// On a test's stack it only counts its references. Made with New() it lives on the heap as a
// real log does: it deletes itself at its last Release and reports that through `destroyed`.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "log/log.h"

namespace tellweir::testing {

class RecordingLog final : public ILog {
  public:
    RecordingLog() = default;
    ~RecordingLog() override {
        if (destroyed_) *destroyed_ = true;
    }
    RecordingLog(const RecordingLog&) = delete;
    RecordingLog& operator=(const RecordingLog&) = delete;

    // A log on the heap with one reference, the caller's.
    static RecordingLog* New(bool* destroyed = nullptr) {
        auto* log = new RecordingLog;
        log->onHeap_ = true;
        log->destroyed_ = destroyed;
        return log;
    }

    std::int32_t AddRef() override { return ++refs_; }
    std::int32_t Release() override {
        const std::int32_t left = --refs_;
        if (left == 0 && onHeap_) delete this;
        return left;
    }
    std::int32_t Refs() const { return refs_; }

    std::string GetName() const override { return "test"; }
    void SetName(std::string_view) override {}
    std::int32_t GetId() const override { return 1; }
    void Write(int level, std::string_view text) override {
        std::lock_guard guard(lock_);
        lines_.push_back(std::to_string(level) + "|" + std::string(text));
    }

    // Every line written so far, "level|text".
    std::vector<std::string> Lines() const {
        std::lock_guard guard(lock_);
        return lines_;
    }
    void Clear() {
        std::lock_guard guard(lock_);
        lines_.clear();
    }
    // True when some line equals `line` ("level|text").
    bool Has(const std::string& line) const {
        for (const std::string& each : Lines())
            if (each == line) return true;
        return false;
    }
    // The index of the first line that contains `part`, or -1.
    int Find(const std::string& part) const {
        const std::vector<std::string> lines = Lines();
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find(part) != std::string::npos) return static_cast<int>(i);
        return -1;
    }
    // Every line, one a line, for failure messages.
    std::string Text() const {
        std::string text;
        for (const std::string& line : Lines())
            text += line + "\n";
        return text;
    }

  private:
    std::atomic<std::int32_t> refs_{1};
    bool onHeap_ = false;
    bool* destroyed_ = nullptr;
    mutable std::mutex lock_;
    std::vector<std::string> lines_;
};

}  // namespace tellweir::testing
