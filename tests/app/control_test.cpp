// --add, --remove and --list while the program without windows runs: the running instance makes
// the change, runs the new task at once and saves the queue, and each command prints what and
// exits as it does with no instance running. With a socket file that no server is behind, the
// commands behave as they always have while an instance runs. An instance still loading a long
// queue answers once it is loaded; what a damaged queue lost is said once; an instance with no
// place for its socket says so.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/control_client.h"
#include "app/control_server.h"
#include "app/instance_lock.h"
#include "app/options.h"
#include "app/services.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/program_home.h"
#include "tests/support/stale_socket.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace tellweir::testing {
namespace {

using namespace std::chrono_literals;

// The lines of --list with their state column blanked: a running instance lists the states its
// tasks are in now (a task added but never run is "new"), a command alone those of the file.
std::string WithoutStates(const std::string& output) {
    std::string masked;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t first = line.find('\t');
        const std::size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
        if (second != std::string::npos) line.replace(first + 1, second - first - 1, "*");
        masked += line + "\n";
    }
    return masked;
}

// The same commands, run in a home with no instance and in one where an instance runs, print
// the same and exit the same (but for the states --list shows). A relative path is taken from
// the folder the command runs in.
TEST(ControlTest, RunningInstanceRunsTheCommandsAsTheyRunAlone) {
    const Home alone("control-alone");
    const Home live("control-live");
    for (const Home* home : {&alone, &live})
        home->Dir().WriteFile("page.txt", "first");
    ChildProcess program;
    ASSERT_TRUE(StartInstance(live, program)) << program.Error() << program.Output();

    const std::string original = std::filesystem::current_path();
    // Far past the old 64 KiB request, and one past the command line's own limit.
    const std::string longName(100 * 1024, 'n');
    const std::string tooLong(kMaxCommandLineBytes, 'n');
    const std::vector<std::vector<std::string>> steps = {
        {"--add", "page.txt", "--manual", "--name", longName},
        {"--remove", longName},
        {"--add", "page.txt", "--name", tooLong},
        {"--add", "http://127.0.0.1:99999/"},
        {"--add", "page.txt", "--manual"},
        {"--add", "page.txt", "--manual"},
        {"--add", "page.txt", "--manual", "--name", "other"},
        {"--add", "ftp://"},
        {"--list"},
        {"--remove", "PAGE.TXT"},
        {"--remove", "nothing"},
        {"--list"},
    };
    for (const std::vector<std::string>& step : steps) {
        SCOPED_TRACE(step[0] + " " + (step.size() > 1 ? step[1] : ""));
        std::string expected, output;
        std::filesystem::current_path(alone.Dir().Path());
        const int status = alone.Run(step, expected);
        std::filesystem::current_path(live.Dir().Path());
        EXPECT_EQ(live.Run(step, output), status);
        EXPECT_EQ(WithoutStates(output), WithoutStates(expected));
        EXPECT_EQ(output.find("another instance is running"), std::string::npos) << output;
    }
    std::filesystem::current_path(original);
    std::string output;
    ASSERT_EQ(live.Run({"--list"}, output), 0);
    EXPECT_EQ(output,
              "page.txt(1)\tnew\tmanually\t~/page.txt\n"
              "other\tnew\tmanually\t~/page.txt\n");

    // The running instance saved each change: the file holds the tasks it lists.
    const std::string queue = QueueText(live);
    EXPECT_NE(queue.find("<Name>page.txt(1)</Name>"), std::string::npos) << queue;
    EXPECT_NE(queue.find("<Name>other</Name>"), std::string::npos) << queue;
    EXPECT_EQ(queue.find("<Name>page.txt</Name>"), std::string::npos) << queue;

    // A task added to the running instance runs at once, and its log is echoed with the others.
    ASSERT_EQ(
        live.Run({"--add", live.Dir() / "page.txt", "--name", "tick", "--every", "1", "seconds"},
                 output),
        0);
    EXPECT_EQ(output, "tick\n");
    EXPECT_TRUE(WaitUntil(
        [&] {
            return program.Output().find("[tick] D:\tHandleEvent: First Time.\n") !=
                   std::string::npos;
        },
        20s, 50ms))
        << program.Output();

    // A second desktop start learns that the running instance has no window to show.
    live.Use();
    EXPECT_EQ(AskRunningInstanceToShow(), ShowOutcome::Headless);

    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.WaitForExit(20s), 0) << program.Output();
    EXPECT_FALSE(std::filesystem::exists(ControlSocketPath())) << "removed at exit";
    EXPECT_EQ(AskRunningInstanceToShow(), ShowOutcome::NoServer);
    ASSERT_EQ(live.Run({"--list"}, output), 0);
    EXPECT_NE(output.find("tick\twaiting\tevery 1 second\t~/page.txt\n"), std::string::npos)
        << output;
}

// An instance holds the lock but no server is behind the socket file (it ended without removing
// it, or is stuck): the commands do what they do while an instance runs, without waiting long.
TEST(ControlTest, StaleSocketFileFallsBack) {
    const Home home("control-stale");
    std::string output;
    ASSERT_EQ(home.Run({"--add", home.Dir().WriteFile("page.txt", "x"), "--manual"}, output), 0);
    home.Use();
    CInstanceLock lock;  // this test process stands for the instance
    ASSERT_EQ(lock.Acquire(), CInstanceLock::Outcome::Locked);
    const std::string path = ControlSocketPath();
    ASSERT_FALSE(path.empty());
    ASSERT_NO_FATAL_FAILURE(MakeStaleSocket(path));

    EXPECT_EQ(home.Run({"--add", home.Dir() / "page.txt"}, output), 1);
    EXPECT_EQ(output, "tellweir: another instance is running; stop it before adding a task\n");
    EXPECT_EQ(home.Run({"--remove", "page.txt"}, output), 1);
    EXPECT_EQ(output, "tellweir: another instance is running; stop it before removing a task\n");
    EXPECT_EQ(home.Run({"--list"}, output), 0);
    EXPECT_EQ(output, "page.txt\tidle\tmanually\t~/page.txt\n") << "read from the file";
}

// The folder of a home's queue file.
std::filesystem::path QueueFolder(const Home& home) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Dir().Path()))
        if (entry.path().filename() == "m.xml") return entry.path().parent_path();
    return {};
}

// A second copy started while the instance still loads a long queue is not turned away: it is
// answered once the queue is loaded, and its command is run on the whole list. A temporary file
// a killed save left beside the queue is removed at the start.
TEST(ControlTest, CommandsDuringALongLoadWaitForIt) {
    const Home home("control-load");
    std::string output;
    const std::string page = home.Dir().WriteFile("page.txt", "x");
    ASSERT_EQ(home.Run({"--add", page, "--manual"}, output), 0) << output;
    const std::filesystem::path folder = QueueFolder(home);
    const std::string queue = ReadAll(folder / "m.xml");
    const std::size_t begin = queue.find("<Monitor>");
    const std::size_t end = queue.find("</Monitor>") + std::string("</Monitor>").size();
    ASSERT_NE(begin, std::string::npos);
    const std::string element = queue.substr(begin, end - begin);
    // Long enough a load for the commands to arrive during it; a sanitizer build loads several
    // times slower, so fewer tasks make as long a load there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr int kTasks = 4000;
#else
    constexpr int kTasks = 20000;
#endif
    std::string many = queue.substr(0, begin);
    many.reserve(queue.size() + kTasks * element.size());
    for (int i = 0; i < kTasks; ++i) {
        std::string copy = element;
        copy.replace(copy.find("<Name>page.txt</Name>"), 21,
                     "<Name>t" + std::to_string(i) + "</Name>");
        many += copy + "\r\n";
    }
    many += queue.substr(queue.find("</Monitors>"));
    WriteAll(folder / "m.xml", many);
    WriteAll(folder / "m.xml.tmpAb12Z9", "left by a killed save");

    ChildProcess program;
    home.Use();
    ASSERT_TRUE(program.Start({TELLWEIR_PROGRAM, "--headless"}, home.Dir() / "headless.txt"));
    ASSERT_TRUE(WaitUntil([] { return CInstanceLock::IsHeldElsewhere(); }, 20s, 5ms));
    EXPECT_EQ(AskRunningInstanceToShow(), ShowOutcome::Headless) << program.Output();
    EXPECT_EQ(home.Run({"--add", page, "--manual", "--name", "late"}, output), 0) << output;
    EXPECT_EQ(output, "late\n");
    ASSERT_EQ(home.Run({"--list"}, output), 0);
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), kTasks + 1);
    EXPECT_NE(output.find("late\tnew\tmanually\t"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / "m.xml.tmpAb12Z9"));
    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.WaitForExit(60s), 0) << program.Output();
}

// What the load of a damaged queue found is said by the first command handed to the instance,
// not by every one after it.
TEST(ControlTest, DamagedQueueIsSaidOnce) {
    const Home home("control-damaged");
    std::string output;
    for (const char* name : {"a.txt", "b.txt"})
        ASSERT_EQ(home.Run({"--add", home.Dir().WriteFile(name, name), "--manual"}, output), 0);
    const std::filesystem::path queue = QueueFolder(home) / "m.xml";
    const std::string text = ReadAll(queue);
    WriteAll(queue, text.substr(0, text.find("<Monitor>", text.find("</Monitor>")) + 200));
    ChildProcess program;
    ASSERT_TRUE(StartInstance(home, program)) << program.Error() << program.Output();

    EXPECT_EQ(home.Run({"--list"}, output), 1);
    EXPECT_NE(output.find("tellweir: Cannot read all of the queue file"), std::string::npos)
        << output;
    for (const std::vector<std::string>& step : {std::vector<std::string>{"--list"},
                                                 {"--add", home.Dir() / "a.txt", "--name", "c"},
                                                 {"--remove", "c"},
                                                 {"--list"}}) {
        SCOPED_TRACE(step[0]);
        EXPECT_EQ(home.Run(step, output), 0) << output;
        EXPECT_EQ(output.find("tellweir:"), std::string::npos) << output;
    }
    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.WaitForExit(20s), 0) << program.Output();
}

// Without XDG_RUNTIME_DIR the instance has no socket: it says once that other copies cannot
// reach it, and runs.
TEST(ControlTest, InstanceWithoutARuntimeFolderSaysSo) {
    const Home home("control-noruntime");
    home.Use();
    unsetenv("XDG_RUNTIME_DIR");
    ChildProcess program;
    ASSERT_TRUE(program.Start({TELLWEIR_PROGRAM, "--headless"}, home.Dir() / "headless.txt"));
    const std::string said =
        "tellweir: XDG_RUNTIME_DIR is not set; other copies of the program cannot reach this "
        "one while it runs\n";
    EXPECT_TRUE(WaitUntil([&] { return program.Output().find("[engine]") != std::string::npos; },
                          20s, 20ms))
        << program.Output();
    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.WaitForExit(20s), 0);
    const std::string all = program.Output();
    const std::size_t first = all.find(said);
    EXPECT_NE(first, std::string::npos) << all;
    EXPECT_EQ(all.find(said, first + 1), std::string::npos) << "once";
}

}  // namespace
}  // namespace tellweir::testing
