// The desktop program as a process: one instance per data folder, a second start that brings the
// first forward and writes nothing (also while the first still loads a long queue), commands
// handed to it, and a clean end on SIGTERM.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "app/control_client.h"
#include "app/control_server.h"
#include "app/instance_lock.h"
#include "app/services.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace tellweir::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class DesktopInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_ / "XDG_RUNTIME_DIR");
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            setenv(name, (dir_ / name).c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        SetProgramIdentity();
        socket_ = ControlSocketPath();
    }

    // Starts the program with `args` until it answers on its control socket: it listens before
    // its queue is loaded, and answers once it is.
    bool StartInstance(ChildProcess& program, std::vector<std::string> args, const char* log) {
        args.insert(args.begin(), TELLWEIR_PROGRAM);
        if (!program.Start(args, dir_ / log)) return false;
        return WaitUntil([&] { return fs::exists(socket_); }, 20s, 20ms) &&
               AskRunningInstanceToShow() != ShowOutcome::NoServer;
    }

    int Run(const std::vector<std::string>& args, std::string& output) {
        std::vector<std::string> argv{TELLWEIR_PROGRAM};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::string log = dir_ / "run.txt";
        fs::remove(log);
        std::string error;
        const int status = RunProgram(argv, log, error);
        output = ReadAll(log);
        return status;
    }

    // Every file below the home with its size and time of last change.
    std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> Files() {
        std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> files;
        for (const auto& entry : fs::recursive_directory_iterator(dir_.Path()))
            if (entry.is_regular_file() && entry.path().filename() != "run.txt" &&
                entry.path().filename() != "first.txt")
                files[entry.path().string()] = {entry.file_size(), entry.last_write_time()};
        return files;
    }

    std::string QueueText() {
        for (const auto& entry : fs::recursive_directory_iterator(dir_.Path()))
            if (entry.path().filename() == "m.xml") return ReadAll(entry.path());
        return {};
    }

    TempDir dir_{"desktop"};
    std::string socket_;
};

TEST_F(DesktopInstanceTest, SecondStartHandsOverAndCommandsReachTheFirst) {
    ChildProcess first;
    ASSERT_TRUE(StartInstance(first, {}, "first.txt")) << first.Error() << first.Output();
    const auto before = Files();
    std::string output;
    // A second desktop start: the first comes forward, the second ends at once, touching nothing.
    EXPECT_EQ(Run({"-winstart"}, output), 0) << output;
    EXPECT_EQ(Files(), before);
    // The program without windows refuses to run beside it.
    EXPECT_EQ(Run({"--headless"}, output), 1);
    EXPECT_NE(output.find("another instance is running"), std::string::npos) << output;

    const std::string watched = dir_.WriteFile("watched.txt", "text");
    EXPECT_EQ(Run({"--add", watched, "--name", "Added"}, output), 0) << output;
    EXPECT_EQ(output, "Added\n");
    EXPECT_EQ(Run({"--list"}, output), 0);
    EXPECT_NE(output.find("Added\t"), std::string::npos) << output;

    // SIGTERM ends it through the exit sequence: the queue is saved and the socket goes.
    first.Stop();
    EXPECT_NE(QueueText().find(watched), std::string::npos);
    EXPECT_FALSE(fs::exists(socket_));
}

// A second start while the first still loads 20,000 tasks waits for the first window and brings
// it forward, rather than say that nobody answers; a command sent meanwhile runs on the whole list.
TEST_F(DesktopInstanceTest, SecondStartDuringALongLoadBringsTheWindowForward) {
    std::string output;
    ASSERT_EQ(Run({"--add", dir_.WriteFile("page.txt", "x"), "--manual"}, output), 0) << output;
    fs::path queue;
    for (const auto& entry : fs::recursive_directory_iterator(dir_.Path()))
        if (entry.path().filename() == "m.xml") queue = entry.path();
    const std::string text = ReadAll(queue);
    const std::size_t begin = text.find("<Monitor>");
    const std::size_t end = text.find("</Monitor>") + std::string("</Monitor>").size();
    const std::string element = text.substr(begin, end - begin);
    // A sanitizer build loads several times slower: fewer tasks make as long a load there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr int kTasks = 4000;
#else
    constexpr int kTasks = 20000;
#endif
    std::string many = text.substr(0, begin);
    for (int i = 0; i < kTasks; ++i) {
        std::string copy = element;
        const std::string name = "<Name>page.txt</Name>";
        copy.replace(copy.find(name), name.size(), "<Name>t" + std::to_string(i) + "</Name>");
        many += copy + "\r\n";
    }
    many += text.substr(text.find("</Monitors>"));
    WriteAll(queue, many);

    ChildProcess first;
    ASSERT_TRUE(first.Start({TELLWEIR_PROGRAM}, dir_ / "first.txt")) << first.Error();
    ASSERT_TRUE(WaitUntil([] { return CInstanceLock::IsHeldElsewhere(); }, 20s, 5ms));
    EXPECT_EQ(Run({"-winstart"}, output), 0) << output;
    EXPECT_EQ(Run({"--list"}, output), 0);
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), kTasks);
    first.Stop();
}

TEST_F(DesktopInstanceTest, DesktopStartBesideTheProgramWithoutWindowsSaysSo) {
    ChildProcess headless;
    ASSERT_TRUE(StartInstance(headless, {"--headless"}, "first.txt")) << headless.Output();
    std::string output;
    EXPECT_EQ(Run({}, output), 1);
    EXPECT_NE(output.find("running without windows"), std::string::npos) << output;
}

}  // namespace
}  // namespace tellweir::testing
