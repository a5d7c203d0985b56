// CLogPair: a log that passes every write to two logs, so that a transfer's lines land both in
// the monitor task's log and in the log of the connection that runs it.
#pragma once

#include "log/log.h"

namespace tellweir {

class CLogPair final : public RefCounted<ILog> {
  public:
    // Takes one reference to each log given; either may be null.
    CLogPair(ILog* first, ILog* second);

    std::string GetName() const override { return "Log Pair"; }
    void SetName(std::string_view) override {}
    std::int32_t GetId() const override { return 0; }

    void Write(int level, std::string_view text) override;
    void WriteFormatV(int level, std::string_view format, FormatArgs args) override;
    void WriteMessageV(int level, int index, FormatArgs args) override;

    ILog* first() const { return first_.get(); }
    ILog* second() const { return second_.get(); }

  private:
    ~CLogPair() override = default;

    LogPtr first_;
    LogPtr second_;
};

// A pair over the logs given, or null when both are null.
RefPtr<ILog> MakeLogPair(ILog* first, ILog* second);

}  // namespace tellweir
