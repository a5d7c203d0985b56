// A thread-safe ILog for the socket and TLS tests: keeps every write as "level|text".
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "log/log.h"

namespace tellweir::testing {

class NetTestLog final : public ILog {
  public:
    std::int32_t AddRef() override { return 2; }
    std::int32_t Release() override { return 1; }  // lives on the test's stack
    std::string GetName() const override { return "test"; }
    void SetName(std::string_view) override {}
    std::int32_t GetId() const override { return 1; }
    void Write(int level, std::string_view text) override {
        std::lock_guard guard(lock_);
        lines_.push_back(std::to_string(level) + "|" + std::string(text));
    }

    std::vector<std::string> Lines() const {
        std::lock_guard guard(lock_);
        return lines_;
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
    mutable std::mutex lock_;
    std::vector<std::string> lines_;
};

}  // namespace tellweir::testing
