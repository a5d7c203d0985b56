// An ILog that keeps every write as "level|text", for checking what a step logged.
#pragma once

#include <string>
#include <vector>

#include "log/log.h"

namespace tellweir::testing {

class RecordingLog final : public ILog {
  public:
    std::int32_t AddRef() override { return ++refs_; }
    std::int32_t Release() override { return --refs_; }  // lives on the test's stack
    std::string GetName() const override { return "test"; }
    void SetName(std::string_view) override {}
    std::int32_t GetId() const override { return 1; }
    void Write(int level, std::string_view text) override {
        lines.push_back(std::to_string(level) + "|" + std::string(text));
    }

    std::vector<std::string> lines;

  private:
    std::int32_t refs_ = 1;
};

}  // namespace tellweir::testing
