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

}  // namespace
}  // namespace tellweir
