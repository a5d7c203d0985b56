// --check --download and its output file, run as a user would: only a missing or regular output
// is replaced, never the checked file itself, a FIFO, a link or a folder; a FIFO is never checked;
// a remote download replaces its output whole and keeps an existing ".gz" beside it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/nginx_server.h"
#include "tests/support/temp_dir.h"

namespace tellweir::testing {
namespace {

namespace fs = std::filesystem;

class CheckOutputTest : public ::testing::Test {
  protected:
    CheckOutputTest() {
        // The program finds its folders through these; the test's own folders stay untouched.
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            setenv(name, (home_ / name).c_str(), 1);
        fs::create_directories(home_ / "XDG_RUNTIME_DIR");
        fs::create_directories(work_);
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

    // Names in the work folder that look like left-over temporary files or folders.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(work_))
            if (entry.path().filename().string().find(".tmp") != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }

    TempDir home_{"check-output"};
    const std::string work_ = home_ / "work";
};

TEST_F(CheckOutputTest, OnlyAMissingOrRegularOutputIsReplaced) {
    const std::string source = work_ + "/a.txt";
    WriteAll(source, "12345");
    const std::string other = work_ + "/other.txt";
    struct Case {
        const char* what;
        std::string output;
        std::function<void(const std::string&)> make;
        const char* reason;  // null: replaced
    };
    const Case cases[] = {
        {"missing", work_ + "/new/copy.txt", [](const std::string&) {}, nullptr},
        {"regular file", work_ + "/old.txt", [](const std::string& p) { WriteAll(p, "old"); },
         nullptr},
        {"the checked file", source, [](const std::string&) {}, "is the checked file itself"},
        {"a hard link to it", work_ + "/hard.txt",
         [&](const std::string& p) { fs::create_hard_link(source, p); },
         "is the checked file itself"},
        {"FIFO", work_ + "/fifo", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); },
         "is not a regular file"},
        {"link", work_ + "/link", [&](const std::string& p) { fs::create_symlink(other, p); },
         "is not a regular file"},
        {"folder", work_ + "/folder", [](const std::string& p) { fs::create_directory(p); },
         "is not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteAll(other, "not to be touched");
        c.make(c.output);
        const auto kind = fs::symlink_status(c.output).type();
        std::string output;
        const int status = Run({"--check", source, "--download", "--output", c.output}, output);
        if (c.reason == nullptr) {
            EXPECT_EQ(status, 0) << output;
            EXPECT_EQ(ReadAll(c.output), "12345");
        } else {
            EXPECT_EQ(status, 1);
            EXPECT_EQ(output,
                      "Output file \"" + c.output + "\" " + c.reason + ".\naccess denied\n");
            EXPECT_EQ(fs::symlink_status(c.output).type(), kind);
        }
        EXPECT_EQ(ReadAll(source), "12345");
        EXPECT_EQ(ReadAll(other), "not to be touched");
        EXPECT_TRUE(Leftovers().empty());
    }
}

TEST_F(CheckOutputTest, DefaultOutputInTheFilesOwnFolderIsRefused) {
    const std::string source = work_ + "/a.txt";
    WriteAll(source, "12345");
    const fs::path previous = fs::current_path();
    fs::current_path(work_);
    std::string output;
    const int status = Run({"--check", source, "--download"}, output);
    fs::current_path(previous);
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("is the checked file itself"), std::string::npos) << output;
    EXPECT_EQ(ReadAll(source), "12345");
}

TEST_F(CheckOutputTest, FifoIsNeverChecked) {
    const std::string fifo = work_ + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--check", fifo},
          {"--check", fifo, "--download", "--output", work_ + "/copy"}}) {
        SCOPED_TRACE(args.size());
        std::string output;
        EXPECT_EQ(Run(args, output), 1);
        EXPECT_EQ(output, "Local special file monitoring is not supported.\nnot supported\n");
    }
    EXPECT_FALSE(fs::exists(work_ + "/copy"));
}

TEST_F(CheckOutputTest, RemoteDownloadReplacesTheOutputWholeAndKeepsAnExistingGz) {
    const std::string fifo = work_ + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string output;
    // Refused before anything is fetched: nothing listens on port 1.
    EXPECT_EQ(Run({"--check", "http://127.0.0.1:1/a.txt", "--download", "--output", fifo}, output),
              1);
    EXPECT_EQ(output, "Output file \"" + fifo + "\" is not a regular file.\naccess denied\n");

    TempDir site("check-output-site");
    RealServer nginx;
    NginxOptions options;
    options.serverDirectives = "gzip on; gzip_types text/plain; gzip_min_length 1;";
    ASSERT_TRUE(StartNginx(nginx, site, options)) << nginx.error;
    WriteAll(site / "www/a.txt", "text that arrives gzip-encoded");
    const std::string url = "http://127.0.0.1:" + std::to_string(nginx.port) + "/a.txt";
    const std::string target = work_ + "/out.txt";
    WriteAll(target, "old");
    WriteAll(target + ".gz", "somebody else's");
    ASSERT_EQ(Run({"--check", url, "--download", "--output", target}, output), 0) << output;
    EXPECT_NE(output.find("Compressed copy not kept: \"" + target + ".gz\" exists."),
              std::string::npos)
        << output;
    EXPECT_EQ(ReadAll(target), "text that arrives gzip-encoded");
    EXPECT_EQ(ReadAll(target + ".gz"), "somebody else's");
    EXPECT_TRUE(Leftovers().empty());

    // A download that fails leaves the output as it was.
    EXPECT_EQ(Run({"--check", url + ".missing", "--download", "--output", target}, output), 1);
    EXPECT_EQ(ReadAll(target), "text that arrives gzip-encoded");
    EXPECT_TRUE(Leftovers().empty());
}

}  // namespace
}  // namespace tellweir::testing
