// Item logs: tagging and line counting of writes, trimming, listeners and the registry.
#include "log/item_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "log/log_registry.h"

namespace tellweir {
namespace {

class ItemLogTest : public ::testing::Test {
  protected:
    ItemLogPtr log_ = MakeRef<CItemLog>(1);
    std::uint32_t Lines() const { return log_->GetStats().lineCount; }
};

TEST_F(ItemLogTest, EntriesAreTaggedByLevel) {
    struct Case {
        int level;
        std::string text;
        std::string expected;
        std::uint32_t lines;
    };
    const Case cases[] = {
        {0, "Monitor task stopped.", "S:\tMonitor task stopped.\r\n", 1},
        {1, "a\r\nb", "E:\ta\r\n\tb\r\n", 2},
        {2, "HEAD / HTTP/1.1", ">:\tHEAD / HTTP/1.1\r\n", 1},
        {3, "200 OK", "<:\t200 OK\r\n", 1},
        {4, "HandleEvent: OK.", "D:\tHandleEvent: OK.\r\n", 1},
        {9, "unknown level", "S:\tunknown level\r\n", 1},
        {0, "ends with a line end\r\n", "S:\tends with a line end\r\n", 1},
        {0, "a\nb\n", "S:\ta\r\n\tb\r\n", 2},
        {5, "starts indented", "\tstarts indented", 1},
        {6, "raw\r\n", "raw\r\n", 1},
        {0, "", "S:\t\r\n", 1},
    };
    for (const Case& c : cases) {
        auto log = MakeRef<CItemLog>();
        log->Write(c.level, c.text);
        EXPECT_EQ(log->GetText(), c.expected) << c.level << " " << c.text;
        EXPECT_EQ(log->GetStats().lineCount, c.lines) << c.text;
    }
}

TEST_F(ItemLogTest, TwoStatusWritesGiveTwoLines) {
    log_->Write(0, "one");
    log_->Write(0, "two");
    EXPECT_EQ(log_->GetText(), "S:\tone\r\nS:\ttwo\r\n");
    EXPECT_EQ(Lines(), 2u);
}

TEST_F(ItemLogTest, ContinuationSeparatorLineHoldsOneTab) {
    log_->Write(0, "entry");
    log_->Write(5, "\r\n");
    EXPECT_EQ(log_->GetText(), "S:\tentry\r\n\t\r\n");
    EXPECT_EQ(Lines(), 2u);
}

TEST_F(ItemLogTest, UnfinishedLineIsCountedAndClosedByTheNextEntry) {
    log_->SetForcedLevel(6);
    log_->Write(0, "partial");
    EXPECT_EQ(Lines(), 1u);
    log_->Write(5, " more");  // forced to raw as well
    log_->SetForcedLevel(-1);
    log_->Write(5, " joined");  // a continuation joins the unfinished line without a tag
    EXPECT_EQ(Lines(), 1u);
    log_->Write(0, "next");
    EXPECT_EQ(log_->GetText(), "partial more joined\r\nS:\tnext\r\n");
    EXPECT_EQ(Lines(), 2u);
}

TEST_F(ItemLogTest, PopLinesRemovesFromTheFront) {
    for (int i = 0; i < 5; ++i)
        log_->Write(0, "line " + std::to_string(i));
    std::string popped;
    log_->PopLines(2, &popped);
    EXPECT_EQ(popped, "S:\tline 0\r\nS:\tline 1\r\n");
    LogStats stats = log_->GetStats();
    EXPECT_EQ(stats.lineCount, 3u);
    EXPECT_EQ(stats.linesDropped, 2u);
    EXPECT_EQ(stats.bytesDropped, popped.size());
    EXPECT_EQ(log_->GetText().substr(0, 10), "S:\tline 2\r");

    log_->PopLines(50);
    stats = log_->GetStats();
    EXPECT_EQ(stats.textLength, 0u);
    EXPECT_EQ(stats.lineCount, 0u);
    EXPECT_EQ(stats.linesDropped, 5u);
    EXPECT_EQ(stats.bytesDropped, 5 * popped.size() / 2) << "every byte written is counted";
}

TEST_F(ItemLogTest, FirstLinesAndMoveLinesHandLinesToASink) {
    for (int i = 0; i < 3; ++i)
        log_->Write(0, std::to_string(i));
    std::string sunk;
    const LogSink sink = [&](std::string_view s) { sunk += s; };
    log_->WriteFirstLines(2, sink);
    EXPECT_EQ(sunk, "S:\t0\r\nS:\t1\r\n");
    EXPECT_EQ(Lines(), 3u);
    sunk.clear();
    log_->MoveLines(9, sink);
    EXPECT_EQ(sunk, "S:\t0\r\nS:\t1\r\nS:\t2\r\n");
    EXPECT_EQ(Lines(), 0u);
}

TEST_F(ItemLogTest, ReadTextBeyondTheEndIsEmpty) {
    log_->Write(0, "abc");
    std::string out = "x";
    EXPECT_EQ(log_->ReadText(out, 100, 10), 0u);
    EXPECT_EQ(out, "");
    EXPECT_EQ(log_->ReadText(out, 3, 0), 0u);
    EXPECT_EQ(log_->ReadText(out, 3, 100), 5u);
    EXPECT_EQ(out, "abc\r\n");
}

TEST_F(ItemLogTest, TrimToMaxKeepsHalf) {
    for (int i = 0; i < 2000; ++i)
        log_->Write(0, std::to_string(i));
    TrimToMax(*log_, 2000);
    LogStats stats = log_->GetStats();
    EXPECT_EQ(stats.lineCount, 1000u);
    EXPECT_EQ(stats.linesDropped, 1000u);
    EXPECT_EQ(log_->GetText().substr(0, 8), "S:\t1000\r");

    TrimToMax(*log_, 1001);  // below the maximum: untouched
    EXPECT_EQ(Lines(), 1000u);
    TrimToMax(*log_, 1);
    EXPECT_EQ(Lines(), 0u);
    log_->Write(0, "again");
    TrimToMax(*log_, 0);
    EXPECT_EQ(log_->GetText(), "");
}

TEST_F(ItemLogTest, LongLinesAreCutOnACharacterBoundaryWithANote) {
    std::string e;  // "é" 3000 times: the cut at 4096 bytes falls inside a character
    for (int i = 0; i < 3000; ++i)
        e += "\xC3\xA9";
    struct Write {
        int level;
        std::string text;
    };
    struct Case {
        const char* what;
        std::vector<Write> writes;
        std::string expected;
        std::uint32_t lines;
    };
    const Case cases[] = {
        {"a one megabyte line",
         {{3, std::string(1 << 20, 'x')}},
         "<:\t" + std::string(4093, 'x') + " [... 1044483 bytes cut]\r\n",
         1},
        {"a line of exactly 4 KiB is kept",
         {{6, std::string(4096, 'z') + "\r\n"}},
         std::string(4096, 'z') + "\r\n",
         1},
        {"only the long line of an entry",
         {{1, "a\n" + std::string(5000, 'y') + "\nb"}},
         "E:\ta\r\n\t" + std::string(4095, 'y') + " [... 905 bytes cut]\r\n\tb\r\n",
         3},
        {"UTF-8", {{0, e}}, "S:\t" + e.substr(0, 4092) + " [... 1908 bytes cut]\r\n", 1},
        // A listing arrives in pieces that continue one line: one note, where the line ends.
        {"a line written in pieces",
         {{6, std::string(3000, 'a')},
          {5, std::string(3000, 'b')},
          {5, std::string(3000, 'c')},
          {0, "next"}},
         std::string(3000, 'a') + std::string(1096, 'b') + " [... 4904 bytes cut]\r\nS:\tnext\r\n",
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto log = MakeRef<CItemLog>();
        for (const Write& w : c.writes)
            log->Write(w.level, w.text);
        EXPECT_EQ(log->GetText(), c.expected);
        EXPECT_EQ(log->GetStats().lineCount, c.lines);
    }
}

TEST_F(ItemLogTest, TotalTextStaysWithinItsBoundDroppingTheOldestLines) {
    const std::string big(5000, 'h');  // cut to 4 KiB, as a huge header line would be
    constexpr int kWrites = 3000;
    std::size_t longest = 0;
    for (int i = 0; i < kWrites; ++i) {
        log_->Write(3, std::to_string(i) + big);
        longest = std::max(longest, log_->GetStats().textLength);
    }
    EXPECT_LE(longest, kMaxLogTextBytes);
    const LogStats stats = log_->GetStats();
    EXPECT_GT(stats.linesDropped, 0u);
    EXPECT_EQ(stats.lineCount + stats.linesDropped, std::uint32_t{kWrites});
    const std::string text = log_->GetText();
    EXPECT_EQ(text.substr(0, 3), "<:\t") << "whole lines are dropped";
    EXPECT_EQ(text.substr(text.rfind("<:\t")),
              "<:\t2999" + big.substr(0, 4089) + " [... 911 bytes cut]\r\n");
}

// Records which observer was told, with the log id it was told.
struct RecordingObserver final : ILogObserver {
    RecordingObserver(std::vector<std::string>& calls, std::string name)
        : calls(calls), name(std::move(name)) {}
    void LogChanged(std::int32_t logId) override { calls.push_back(name + std::to_string(logId)); }
    std::vector<std::string>& calls;
    std::string name;
};

TEST_F(ItemLogTest, ObserversAreToldNewestFirstWithTheLogIdUntilRemoved) {
    ItemLogPtr log = MakeRef<CItemLog>(7);
    std::vector<std::string> calls;
    RecordingObserver a(calls, "a"), b(calls, "b");
    log->AddObserver(&a);
    log->AddObserver(&b);
    log->AddObserver(nullptr);  // ignored
    log->Write(0, "x");
    EXPECT_EQ(calls, (std::vector<std::string>{"b7", "a7"}));

    calls.clear();
    log->RemoveObserver(&b);
    log->Clear();
    EXPECT_EQ(calls, (std::vector<std::string>{"a7"}));

    calls.clear();
    log->RemoveObserver(&a);
    log->Write(0, "y");
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(log->GetChangeCount(), 3u);
}

TEST_F(ItemLogTest, ObserverMayReadTheLogItIsToldOf) {
    struct ReadBack final : ILogObserver {
        explicit ReadBack(CItemLog& log) : log(log) {}
        void LogChanged(std::int32_t) override { seenLength = log.GetStats().textLength; }
        CItemLog& log;
        std::size_t seenLength = 0;
    } observer(*log_);
    log_->AddObserver(&observer);
    log_->Write(0, "abc");
    EXPECT_EQ(observer.seenLength, 8u);
    log_->RemoveObserver(&observer);
}

TEST_F(ItemLogTest, ConcurrentWritersLoseNoLine) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&] {
            for (int i = 0; i < 500; ++i)
                log_->WriteMessage(0, 46, i);
        });
    }
    for (auto& w : writers)
        w.join();
    EXPECT_EQ(Lines(), 2000u);
    EXPECT_EQ(log_->GetChangeCount(), 2000u);
}

TEST(LogRegistry, CreatesFindsAndDeletesById) {
    CLogRegistry registry;
    const std::int32_t a = registry.CreateLog();
    const std::int32_t b = registry.CreateLog();
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_FALSE(registry.GetLog(0));
    EXPECT_FALSE(registry.GetLog(-1));

    ItemLogPtr log = registry.GetLog(a);
    log->Write(0, "kept");
    EXPECT_EQ(registry.GetLog(a)->GetText(), "S:\tkept\r\n");

    // An unknown id gets a new log; taking the next id pushes the counter past it.
    ItemLogPtr three = registry.GetLog(3);
    ASSERT_TRUE(three);
    EXPECT_EQ(three->GetId(), 3);
    EXPECT_EQ(registry.CreateLog(), 4);

    EXPECT_EQ(registry.DeleteLog(a), 1);
    EXPECT_EQ(registry.DeleteLog(a), 0);
    EXPECT_EQ(registry.DeleteLog(0), 0);
    EXPECT_EQ(log->GetText(), "S:\tkept\r\n");     // still alive through our reference
    EXPECT_EQ(registry.GetLog(a)->GetText(), "");  // a deleted id comes back empty
}

}  // namespace
}  // namespace tellweir
