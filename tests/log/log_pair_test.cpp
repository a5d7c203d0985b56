// CLogPair and the formatting writes every log shares.
#include "log/log_pair.h"

#include <gtest/gtest.h>

#include <vector>

namespace tellweir {
namespace {

// Records writes and its own lifetime.
class RecordingLog final : public ILog {
  public:
    explicit RecordingLog(bool* destroyed = nullptr) : destroyed_(destroyed) {}
    std::int32_t AddRef() override { return ++refs_; }
    std::int32_t Release() override {
        const int left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    std::string GetName() const override { return "rec"; }
    void SetName(std::string_view) override {}
    std::int32_t GetId() const override { return 1; }
    void Write(int level, std::string_view text) override {
        lines.push_back(std::to_string(level) + "|" + std::string(text));
    }
    int refs() const { return refs_; }

    std::vector<std::string> lines;

  private:
    ~RecordingLog() override {
        if (destroyed_) *destroyed_ = true;
    }
    int refs_ = 1;
    bool* destroyed_;
};

TEST(LogPair, WritesGoToBothLogsInOrder) {
    auto* first = new RecordingLog;
    auto* second = new RecordingLog;
    {
        RefPtr<ILog> pair = MakeLogPair(first, second);
        EXPECT_EQ(pair->GetName(), "Log Pair");
        EXPECT_EQ(first->refs(), 2);
        pair->WriteMessage(0, 3, "host", 21);
        pair->WriteFormat(1, "%s failed", "x");
        pair->WriteMessage(0, 53);
        pair->WriteMessage(0, -1);
    }
    const std::vector<std::string> expected = {"0|Connecting to host:21...", "1|x failed"};
    EXPECT_EQ(first->lines, expected);
    EXPECT_EQ(second->lines, expected);
    EXPECT_EQ(first->refs(), 1);  // the pair gave its references back
    first->Release();
    second->Release();
}

TEST(LogPair, OneLogOrNone) {
    bool destroyed = false;
    auto* only = new RecordingLog(&destroyed);
    RefPtr<ILog> pair = MakeLogPair(nullptr, only);
    only->Release();  // the pair keeps it alive
    pair->Write(0, "text");
    EXPECT_EQ(only->lines.size(), 1u);
    pair.reset();
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(MakeLogPair(nullptr, nullptr));
}

}  // namespace
}  // namespace tellweir
