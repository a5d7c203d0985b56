// The program without windows, run as a user would: add a task for a local file, run the tasks,
// change the file, stop with SIGTERM, list and remove tasks (also while it runs), and never show
// a URL's password; commands run at the same time, one instance per data folder, the signals that
// end it cleanly.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/ftp_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace tellweir::testing {
namespace {

using namespace std::chrono_literals;

// The path of the first file named `name` below `folder`; empty when there is none.
std::string FindFile(const std::string& folder, const std::string& name) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.path().filename() == name) return entry.path().string();
    return {};
}

// The text of the first element `name` of an XML text ("<Count>3</Count>" gives "3").
std::string ElementText(const std::string& xml, const std::string& name) {
    const std::size_t start = xml.find("<" + name + ">");
    if (start == std::string::npos) return {};
    const std::size_t from = start + name.size() + 2;
    return xml.substr(from, xml.find('<', from) - from);
}

class HeadlessTest : public ::testing::Test {
  protected:
    HeadlessTest() {
        // The program finds its folders through these; the test's own folders stay untouched.
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            setenv(name, (home_ / name).c_str(), 1);
        std::system(("mkdir -p '" + (home_ / "XDG_RUNTIME_DIR") + "'").c_str());
    }

    // Runs the program to its end; its exit status and, in `output`, what it printed.
    int Run(const std::vector<std::string>& args, std::string& output) {
        std::vector<std::string> argv{TELLWEIR_PROGRAM};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::string log = home_ / "run.txt";
        std::remove(log.c_str());
        std::string error;
        const int status = RunProgram(argv, log, error);
        output = home_.ReadFile("run.txt");
        return status;
    }

    // Waits (bounded) until the running program has printed `text`.
    bool WaitForOutput(ChildProcess& program, std::string_view text) {
        return WaitUntil([&] { return program.Output().find(text) != std::string::npos; }, 10s,
                         50ms);
    }

    TempDir home_{"headless"};
};

TEST_F(HeadlessTest, LocalFileIsWatchedUntilTheProgramIsStopped) {
    const std::string watched = home_.WriteFile("page.txt", "first");
    std::string output;
    ASSERT_EQ(Run({"--add", watched, "--every", "1", "seconds"}, output), 0) << output;
    EXPECT_EQ(output, "page.txt\n");
    ASSERT_EQ(Run({"--add", watched}, output), 0);
    EXPECT_EQ(output, "page.txt(1)\n") << "names stay unique";
    EXPECT_EQ(Run({"--add", "ftp://"}, output), 2) << "a usage error, as every other";
    EXPECT_NE(output.find("Invalid URL: \"ftp://\"."), std::string::npos) << output;
    EXPECT_EQ(Run({"--frobnicate"}, output), 2);
    EXPECT_EQ(Run({"--add", "sftp://h/x"}, output), 2);
    EXPECT_NE(output.find("cannot watch 'sftp://h/x'"), std::string::npos) << output;
    // A file: URI is kept as the path it names.
    ASSERT_EQ(Run({"--add", "file://localhost" + watched, "--name", "uri", "--manual"}, output), 0);
    ASSERT_EQ(Run({"--list"}, output), 0);
    EXPECT_NE(output.find("uri\tidle\tmanually\t" + watched + "\n"), std::string::npos) << output;
    ASSERT_EQ(Run({"--remove", "uri"}, output), 0);

    ChildProcess program;
    ASSERT_TRUE(program.Start({TELLWEIR_PROGRAM, "--headless"}, home_ / "headless.txt"))
        << program.Error();
    ASSERT_TRUE(WaitForOutput(program, "[page.txt] D:\tHandleEvent: First Time.\n"))
        << program.Output();
    EXPECT_NE(program.Output().find("[engine] S:\tMonitor engine started: ["), std::string::npos);
    EXPECT_TRUE(
        WaitForOutput(program, "[engine] D:\tThis is a first time action prompt message.\n"))
        << program.Output();

    // A second copy's change is made by the running instance.
    ASSERT_EQ(Run({"--add", watched, "--manual", "--name", "second"}, output), 0) << output;
    EXPECT_EQ(output, "second\n");
    ASSERT_EQ(Run({"--remove", "second"}, output), 0) << output;

    std::this_thread::sleep_for(1100ms);  // a new modification time, whole seconds apart
    std::ofstream(watched, std::ios::app) << " and more";
    ASSERT_TRUE(WaitForOutput(program, "[page.txt] D:\tHandleEvent: Content Changed.\n"))
        << program.Output();
    EXPECT_TRUE(WaitForOutput(program, "[engine] D:\tMonitored resource was changed.\n"));

    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.WaitForExit(10s), 0);

    ASSERT_EQ(Run({"--list"}, output), 0);
    EXPECT_NE(output.find("page.txt\twaiting\tevery 1 second\t" + watched + "\n"),
              std::string::npos)
        << output;
    ASSERT_EQ(Run({"--remove", "page.txt"}, output), 0);
    ASSERT_EQ(Run({"--list"}, output), 0);
    EXPECT_EQ(output, "page.txt(1)\twaiting\tevery 10 seconds\t" + watched + "\n");
    EXPECT_EQ(Run({"--remove", "nothing"}, output), 1);
}

// Commands started together change the queue one after the other: every task is kept, and each
// gets a name of its own.
TEST_F(HeadlessTest, CommandsRunTogetherLoseNoTask) {
    const std::string watched = home_.WriteFile("page.txt", "first");
    constexpr int kCount = 20;
    std::vector<std::unique_ptr<ChildProcess>> adds;
    for (int n = 0; n < kCount; ++n) {
        adds.push_back(std::make_unique<ChildProcess>());
        ASSERT_TRUE(adds.back()->Start({TELLWEIR_PROGRAM, "--add", watched},
                                       home_ / ("add" + std::to_string(n) + ".txt")))
            << adds.back()->Error();
    }
    for (const auto& add : adds)
        EXPECT_EQ(add->WaitForExit(60s), 0) << add->Output();
    std::string output;
    ASSERT_EQ(Run({"--list"}, output), 0);
    std::set<std::string> names;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        names.insert(line.substr(0, line.find('\t')));
    std::set<std::string> expected{"page.txt"};
    for (int n = 1; n < kCount; ++n)
        expected.insert("page.txt(" + std::to_string(n) + ")");
    EXPECT_EQ(names, expected) << output;
}

// The instance lock lives in the data folder: a second copy started from another login session
// (another XDG_RUNTIME_DIR) or from cron (none) finds it held.
TEST_F(HeadlessTest, OneInstancePerDataFolderWhateverTheSession) {
    std::string output;
    ASSERT_EQ(Run({"--add", home_.WriteFile("page.txt", "first"), "--manual"}, output), 0);
    ChildProcess program;
    ASSERT_TRUE(program.Start({TELLWEIR_PROGRAM}, home_ / "headless.txt")) << program.Error();
    ASSERT_TRUE(WaitForOutput(program, "[engine] S:\tMonitor engine started: ["))
        << program.Output();
    const std::string otherSession = home_ / "other-runtime";
    std::filesystem::create_directory(otherSession);
    for (const char* runtime : {otherSession.c_str(), static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(runtime ? runtime : "no XDG_RUNTIME_DIR");
        if (runtime)
            setenv("XDG_RUNTIME_DIR", runtime, 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        EXPECT_EQ(Run({"--headless"}, output), 1);
        EXPECT_NE(output.find("another instance is running"), std::string::npos) << output;
        EXPECT_EQ(Run({"--remove", "page.txt"}, output), 1);
        EXPECT_NE(output.find("another instance is running"), std::string::npos) << output;
    }
    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.WaitForExit(10s), 0);
}

// SIGHUP (a closed terminal or ssh session) and SIGUSR1 end the program as SIGTERM does: the
// queue is saved with the runs' counter and next start time.
TEST_F(HeadlessTest, HangUpAndUser1SaveTheQueue) {
    std::string output;
    ASSERT_EQ(
        Run({"--add", home_.WriteFile("page.txt", "first"), "--every", "1", "seconds"}, output), 0);
    const std::string queue = FindFile(home_.Path(), "m.xml");
    for (const int signal : {SIGHUP, SIGUSR1}) {
        SCOPED_TRACE(strsignal(signal));
        const std::string before = ReadAll(queue);
        ChildProcess program;
        ASSERT_TRUE(program.Start({TELLWEIR_PROGRAM}, home_ / ("run" + std::to_string(signal))))
            << program.Error();
        // The run has ended and its next start is set once this line is out.
        ASSERT_TRUE(WaitForOutput(program, "[page.txt] S:\tNext start time: ")) << program.Output();
        kill(program.Pid(), signal);
        EXPECT_EQ(program.WaitForExit(10s), 0) << program.Output();
        const std::string after = ReadAll(queue);
        EXPECT_GT(std::stoi(ElementText(after, "Count")), std::stoi(ElementText(before, "Count")));
        EXPECT_NE(ElementText(after, "NextStartTime"), ElementText(before, "NextStartTime"));
    }
}

TEST_F(HeadlessTest, UnreadableQueueFileIsReportedAndNeverOverwritten) {
    const std::string watched = home_.WriteFile("page.txt", "first");
    std::string output;
    ASSERT_EQ(Run({"--add", watched}, output), 0) << output;
    const std::string queue = FindFile(home_.Path(), "m.xml");
    ASSERT_FALSE(queue.empty());
    // A queue file that exists but cannot be read: a folder in its place.
    std::filesystem::remove(queue);
    std::filesystem::create_directory(queue);
    std::filesystem::create_directory(queue + "/kept");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--list"}, {"--add", watched}, {"--remove", "page.txt"}}) {
        SCOPED_TRACE(args[0]);
        EXPECT_EQ(Run(args, output), 1);
        EXPECT_NE(output.find("cannot read the queue file \"" + queue + "\""), std::string::npos)
            << output;
    }
    EXPECT_TRUE(std::filesystem::is_directory(queue + "/kept"));
}

TEST_F(HeadlessTest, CheckReportsFileInformationOrTheResultName) {
    const std::string file = home_.WriteFile("a \"b\".txt", "12345");
    std::string output;
    ASSERT_EQ(Run({"--check", file, "--download", "--output", home_ / "copy.txt"}, output), 0);
    EXPECT_TRUE(output.starts_with("URL=\"" + home_.Path() +
                                   "/a &quot;b&quot;.txt\" Size=\"5\" "
                                   "TimeModified=\""))
        << output;
    EXPECT_EQ(home_.ReadFile("copy.txt"), "12345");
    EXPECT_EQ(Run({"--check", home_ / "missing.txt"}, output), 1);
    EXPECT_TRUE(output.ends_with("\nnot found\n")) << output;
    // A protocol without a client: the transfer's log, then the result's name last.
    EXPECT_EQ(Run({"--check", "sftp://127.0.0.1/x"}, output), 1);
    EXPECT_EQ(output,
              "S:\tProtocol or operation is not supported or implemented: \"sftp://\".\n"
              "not supported\n");
}

// A URL's password reaches the server and stays in the queue file, but nothing the program
// prints shows it: not --add, --list or --check, their errors, nor the running tasks' logs.
TEST_F(HeadlessTest, UrlPasswordsAreNeverPrinted) {
    TempDir ftpDir("headless-ftp");
    FtpServer ftp;
    ASSERT_TRUE(StartFtpServer(ftp, ftpDir)) << ftp.server.error;
    std::ofstream(ftp.userRoot + "/f") << "12345";
    const std::string site = "127.0.0.1:" + std::to_string(ftp.Port());
    const std::string url =
        std::string("ftp://") + kFtpTestUser + ":" + kFtpTestPassword + "@" + site + "/f";
    const std::string shown = std::string("ftp://") + kFtpTestUser + ":****@" + site;
    const auto expectHidden = [](const std::string& output) {
        EXPECT_EQ(output.find(kFtpTestPassword), std::string::npos) << output;
    };
    std::string output;
    ASSERT_EQ(Run({"--add", url}, output), 0) << output;
    EXPECT_EQ(output, "f\n");
    // A URL without a file name becomes the task's name.
    ASSERT_EQ(Run({"--add", url.substr(0, url.size() - 1), "--manual"}, output), 0) << output;
    EXPECT_EQ(output, shown + "/\n");
    EXPECT_EQ(Run({"--add", "http://u:secret@"}, output), 2);
    EXPECT_NE(output.find("Invalid URL: \"http://u:****@\"."), std::string::npos) << output;
    ASSERT_EQ(Run({"--list"}, output), 0);
    EXPECT_NE(output.find("f\twaiting\tevery 10 seconds\t" + shown + "/f\n"), std::string::npos)
        << output;
    expectHidden(output);
    EXPECT_NE(ReadAll(FindFile(home_.Path(), "m.xml")).find(url), std::string::npos)
        << "the queue file keeps the URL as given";

    ASSERT_EQ(Run({"--check", url}, output), 0) << output;
    EXPECT_NE(output.find("PASS ****"), std::string::npos) << output;
    EXPECT_NE(output.find("URL=\"" + shown + "/f\" Size=\"5\""), std::string::npos) << output;
    expectHidden(output);
    EXPECT_EQ(Run({"--check", "http://u:secret@"}, output), 1);
    expectHidden(output);

    ChildProcess program;
    ASSERT_TRUE(program.Start({TELLWEIR_PROGRAM, "--headless"}, home_ / "headless.txt"))
        << program.Error();
    ASSERT_TRUE(WaitForOutput(program, "[f] S:\tNew INFO file created: ")) << program.Output();
    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.WaitForExit(10s), 0);
    EXPECT_NE(program.Output().find("path: \"" + shown + "/f\"."), std::string::npos)
        << program.Output();
    expectHidden(program.Output());
}

// Nobody can answer a login's question without windows: it is refused at once, and the run ends
// long before the prompt's 60 s limit.
TEST_F(HeadlessTest, LoginQuestionsAreRefusedAtOnce) {
    TempDir ftpDir("headless-ftp");
    FtpServer ftp;
    ASSERT_TRUE(StartFtpServer(ftp, ftpDir)) << ftp.server.error;
    const std::string url =
        std::string("ftp://") + kFtpTestUser + ":$@127.0.0.1:" + std::to_string(ftp.Port()) + "/f";
    std::string output;
    ASSERT_EQ(Run({"--add", url}, output), 0) << output;
    ChildProcess program;
    ASSERT_TRUE(program.Start({TELLWEIR_PROGRAM, "--headless"}, home_ / "headless.txt"))
        << program.Error();
    EXPECT_TRUE(WaitForOutput(program, "[f] S:\tPrompt canceled.")) << program.Output();
    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.WaitForExit(10s), 0);
}

}  // namespace
}  // namespace tellweir::testing
