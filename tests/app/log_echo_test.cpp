// Echoing item logs: prefixes, lines already there, continuation entries and trimmed logs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/log_echo.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

std::string ReadAll(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file))
        text.append(buffer, n);
    return text;
}

TEST(LogEcho, EveryLineOnceWithItsLogsName) {
    std::FILE* out = std::tmpfile();
    ItemLogPtr task = ItemLogPtr::Adopt(new CItemLog(7));
    ItemLogPtr engine = ItemLogPtr::Adopt(new CItemLog(8));
    task->Write(0, "already there");
    {
        CLogEcho echo(out);
        echo.Watch(task, "report");
        echo.Watch(engine, "engine");
        task->Write(0, "Started (#1): now.");
        engine->Write(4, "Monitored resource was changed.");
        task->Write(5, "\r\n");
        task->Write(1, "two\r\nlines");
        for (int i = 0; i < 12; ++i)
            task->Write(0, "line " + std::to_string(i));
        TrimToMax(*task, 10);
        task->Write(0, "after the trim");
    }
    task->Write(0, "not echoed: the echo has gone");
    std::string expected =
        "[report] S:\talready there\n"
        "[report] S:\tStarted (#1): now.\n"
        "[engine] D:\tMonitored resource was changed.\n"
        "[report]\n"
        "[report] E:\ttwo\n"
        "[report] \tlines\n";
    for (int i = 0; i < 12; ++i)
        expected += "[report] S:\tline " + std::to_string(i) + "\n";
    expected += "[report] S:\tafter the trim\n";
    EXPECT_EQ(ReadAll(out), expected);
    std::fclose(out);
}

// Logs watched together echo what they hold in the order given, each once, and later lines as
// single watches do.
TEST(LogEcho, LogsWatchedTogetherAreEchoedInOrder) {
    std::FILE* out = std::tmpfile();
    ItemLogPtr a = ItemLogPtr::Adopt(new CItemLog(11));
    ItemLogPtr b = ItemLogPtr::Adopt(new CItemLog(12));
    a->Write(0, "a1");
    b->Write(0, "b1");
    {
        CLogEcho echo(out);
        echo.Watch(b, "b");
        echo.WatchAll({{a, "a"}, {b, "again"}, {nullptr, "none"}});
        a->Write(0, "a2");
        b->Write(0, "b2");
    }
    EXPECT_EQ(ReadAll(out), "[b] S:\tb1\n[a] S:\ta1\n[a] S:\ta2\n[b] S:\tb2\n");
    std::fclose(out);
}

// Only the end of a log is read for each change: entries that reach back past the first window,
// and a log far longer than it, are echoed whole all the same, each line as the log holds it.
TEST(LogEcho, LongEntriesAndLongLogsAreEchoedWhole) {
    std::FILE* out = std::tmpfile();
    ItemLogPtr log = ItemLogPtr::Adopt(new CItemLog(9));
    {
        CLogEcho echo(out);
        echo.Watch(log, "");
        for (int i = 0; i < 2000; ++i)
            log->Write(0, "line " + std::to_string(i));
        std::string many;
        for (int i = 0; i < 1000; ++i)
            many += (i ? "\r\n" : "") + std::string("entry ") + std::to_string(i);
        log->Write(1, many);
        log->Write(0, std::string(3000, 'w'));
    }
    std::string expected;
    const std::string text = log->GetText();
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        expected += text.substr(at, end - at) + "\n";
        at = end + 2;
    }
    const std::string echoed = ReadAll(out);
    EXPECT_EQ(echoed.size(), expected.size());
    EXPECT_TRUE(echoed == expected);
    EXPECT_NE(echoed.find("line 0\n"), std::string::npos);
    EXPECT_NE(echoed.find("entry 999\n"), std::string::npos);
    std::fclose(out);
}

// Lines that the log drops within the write that added them, before the echo hears of the
// change, are never echoed; those still held are, once each.
TEST(LogEcho, LinesDroppedBeforeTheChangeIsHeardAreSkipped) {
    std::FILE* out = std::tmpfile();
    ItemLogPtr log = ItemLogPtr::Adopt(new CItemLog(10));
    {
        CLogEcho echo(out);
        echo.Watch(log, "big");
        log->Write(0, "first");
        // One entry longer than the log keeps: its first lines go at once.
        std::string huge;
        for (int i = 0; huge.size() <= kMaxLogTextBytes; ++i)
            huge += (i ? "\r\n" : "") + std::string("row ") + std::to_string(i);
        log->Write(0, huge);
        log->Write(0, "last");
    }
    std::string expected = "[big] S:\tfirst\n";
    const std::string text = log->GetText();
    ASSERT_GT(log->GetStats().bytesDropped, 0u);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        expected += "[big] " + text.substr(at, end - at) + "\n";
        at = end + 2;
    }
    const std::string echoed = ReadAll(out);
    EXPECT_EQ(echoed.size(), expected.size());
    EXPECT_TRUE(echoed == expected);
    EXPECT_EQ(echoed.find("row 0\n"), std::string::npos);
    std::fclose(out);
}

}  // namespace
}  // namespace tellweir
