// CLogPair and the formatting writes every log shares.
#include "log/log_pair.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/recording_log.h"

namespace tellweir {
namespace {

using testing::RecordingLog;

TEST(LogPair, WritesGoToBothLogsInOrder) {
    auto* first = RecordingLog::New();
    auto* second = RecordingLog::New();
    {
        RefPtr<ILog> pair = MakeLogPair(first, second);
        EXPECT_EQ(pair->GetName(), "Log Pair");
        EXPECT_EQ(first->Refs(), 2);
        pair->WriteMessage(0, 3, "host", 21);
        pair->WriteFormat(1, "%s failed", "x");
        pair->WriteMessage(0, 53);
        pair->WriteMessage(0, -1);
    }
    const std::vector<std::string> expected = {"0|Connecting to host:21...", "1|x failed"};
    EXPECT_EQ(first->Lines(), expected);
    EXPECT_EQ(second->Lines(), expected);
    EXPECT_EQ(first->Refs(), 1);  // the pair gave its references back
    first->Release();
    second->Release();
}

TEST(LogPair, OneLogOrNone) {
    bool destroyed = false;
    auto* only = RecordingLog::New(&destroyed);
    RefPtr<ILog> pair = MakeLogPair(nullptr, only);
    only->Release();  // the pair keeps it alive
    pair->Write(0, "text");
    EXPECT_EQ(only->Lines().size(), 1u);
    pair.reset();
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(MakeLogPair(nullptr, nullptr));
}

}  // namespace
}  // namespace tellweir
