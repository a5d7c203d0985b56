// --history, --diff and --mark-viewed: the table and the pair chosen over a prepared versions
// folder, the exit statuses (0 a difference, 1 equal, 2 a mistake), damaged versions said rather
// than taken for empty ones, and the commands run as a user runs them, over the queue file they
// never write, with and without a running instance, which hears of the viewed mark.
#include <gtest/gtest.h>
#include <signal.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/engine_commands.h"
#include "app/history_commands.h"
#include "app/options.h"
#include "history/version_store.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/file_text.h"
#include "tests/support/local_time.h"
#include "tests/support/program_home.h"
#include "tests/support/temp_dir.h"

namespace tellweir::testing {
namespace {

using Args = std::vector<std::string>;

constexpr const char* kOld = "price: 10\nshipping: free\n";
constexpr const char* kNew = "price: 12\nshipping: free\n";
// Versions 2 and 3 of the store below, as `diff -u` prints them.
constexpr const char* kDiff2To3 =
    "--- Page version 2\t2026-12-01 10:05:00\n"
    "+++ Page version 3\t2026-12-01 10:10:00\n"
    "@@ -1,2 +1,2 @@\n"
    "-price: 10\n"
    "+price: 12\n"
    " shipping: free\n";

// Keeps `content` in `store` as a version kept `minute` minutes past 10:00 on 1 December 2026.
std::int32_t Keep(CVersionStore& store, std::string_view content, int minute,
                  const char* event = "Content Changed", int added = -1, int removed = -1) {
    VersionRecord record;
    record.time = MakeTime(2026, 12, 1, 10, minute);
    record.event = event;
    record.name = "page.txt";
    record.added = added;
    record.removed = removed;
    return store.Add(record, content, {});
}

// The three versions the tests compare: the first, one whose text did not change, a new price.
void KeepThree(CVersionStore& store) {
    ASSERT_EQ(Keep(store, kOld, 0, "First Time"), 1);
    ASSERT_EQ(Keep(store, kOld, 5, "Content Changed", 0, 0), 2);
    ASSERT_EQ(Keep(store, kNew, 10, "Content Changed", 1, 1), 3);
}

ProgramOptions Options(const Args& args) {
    std::string error;
    std::optional<ProgramOptions> options = ParseOptions(args, "/", error);
    EXPECT_TRUE(options) << error;
    return options.value_or(ProgramOptions{});
}

class VersionCommandsTest : public ::testing::Test {
  protected:
    ControlReply Diff(Args extra) {
        extra.insert(extra.begin(), {"--diff", "Page"});
        return DiffReply(Options(extra), "Page", store_, viewed_);
    }
    // Spoils version `number`'s file with `damage`.
    void Damage(int number, const std::function<std::string(std::string)>& damage) {
        char name[32];
        std::snprintf(name, sizeof name, "/%06d.version", number);
        const std::string path = store_.Folder() + name;
        WriteAll(path, damage(ReadAll(path)));
    }

    TempDir dir_{"version-commands"};
    CVersionStore store_{dir_ / "page.txt.versions"};
    std::int32_t viewed_ = 0;
};

TEST_F(VersionCommandsTest, HistoryIsAnAlignedTable) {
    ControlReply reply = HistoryReply("Page", store_);
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.out, "No versions of \"Page\" are kept yet.\n");
    KeepThree(store_);
    reply = HistoryReply("Page", store_);
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.err, "");
    EXPECT_EQ(reply.out,
              "Version  Time                 Event            Size  Added  Removed\n"
              "      1  2026-12-01 10:00:00  First Time         25      -        -\n"
              "      2  2026-12-01 10:05:00  Content Changed    25     +0       -0\n"
              "      3  2026-12-01 10:10:00  Content Changed    25     +1       -1\n");
}

// Status 0 with a diff, 1 for equal texts, 2 for a version that is not there.
TEST_F(VersionCommandsTest, DiffChoosesThePairAndSaysHowItEnded) {
    EXPECT_EQ(Diff({}).err, "tellweir: no versions of \"Page\" are kept yet\n");
    ASSERT_EQ(Keep(store_, kOld, 0, "First Time"), 1);
    EXPECT_EQ(Diff({}).err, "tellweir: \"Page\" has only one version: nothing to compare yet\n");
    ASSERT_TRUE(store_.RemoveAll());
    KeepThree(store_);

    const struct {
        Args args;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{}, 0, kDiff2To3, ""},
        {{"--to", "3"}, 0, kDiff2To3, ""},
        {{"--from", "1", "--to", "2"}, 1, "", ""},
        {{"--from", "3", "--to", "3"}, 1, "", ""},
        {{"--text", "1"}, 0, kOld, ""},
        {{"--to", "1"},
         2,
         "",
         "tellweir: version 1 of \"Page\" is the oldest kept: nothing to compare it with\n"},
        {{"--from", "7"}, 2, "", "tellweir: \"Page\" has no version 7\n"},
        {{"--to", "4"}, 2, "", "tellweir: \"Page\" has no version 4\n"},
        {{"--text", "9"}, 2, "", "tellweir: \"Page\" has no version 9\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const ControlReply reply = Diff(c.args);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.out, c.out);
        EXPECT_EQ(reply.err, c.err);
        EXPECT_EQ(viewed_, 0) << "only --unseen marks";
    }
    // The older version named, the newer the newest.
    const ControlReply fromFirst = Diff({"--from", "1"});
    EXPECT_EQ(fromFirst.status, 0);
    EXPECT_TRUE(
        fromFirst.out.starts_with("--- Page version 1\t2026-12-01 10:00:00\n+++ Page "
                                  "version 3\t"))
        << fromFirst.out;
}

// Several changes in a row are seen together: from the newest viewed to the newest; with nothing
// unseen, the last change again.
TEST_F(VersionCommandsTest, UnseenRunsFromTheViewedToTheNewest) {
    ASSERT_EQ(Keep(store_, "a\n", 0, "First Time"), 1);
    ASSERT_EQ(Keep(store_, "a\nb\n", 1), 2);
    ASSERT_TRUE(store_.SetViewed(2));
    ASSERT_EQ(Keep(store_, "a\nb\nc\n", 2), 3);
    ASSERT_EQ(Keep(store_, "a\nb\nc\nd\n", 3), 4);
    ControlReply reply = Diff({"--unseen"});
    EXPECT_EQ(reply.status, 0);
    EXPECT_NE(reply.out.find("--- Page version 2\t"), std::string::npos) << reply.out;
    EXPECT_NE(reply.out.find("@@ -1,2 +1,4 @@\n a\n b\n+c\n+d\n"), std::string::npos) << reply.out;
    EXPECT_EQ(viewed_, 4);
    ASSERT_TRUE(store_.SetViewed(4));
    reply = Diff({"--unseen"});
    EXPECT_NE(reply.out.find("--- Page version 3\t"), std::string::npos) << reply.out;
    EXPECT_EQ(viewed_, 4);
}

// A damaged file is said in one line and left out of the list; a damaged version asked for is a
// mistake (2), never an empty text.
TEST_F(VersionCommandsTest, DamagedVersionsAreSaidNotTakenForEmpty) {
    KeepThree(store_);
    Damage(1, [](const std::string& file) { return file.substr(0, 20); });
    const ControlReply history = HistoryReply("Page", store_);
    EXPECT_EQ(history.status, 1);
    EXPECT_EQ(history.err, "tellweir: skipped the damaged version file \"" + store_.Folder() +
                               "/000001.version\"\n");
    EXPECT_EQ(history.out.find("First Time"), std::string::npos) << history.out;
    EXPECT_NE(history.out.find("      3  "), std::string::npos) << history.out;
    EXPECT_EQ(Diff({"--text", "1"}).status, 2);

    // Inside the compressed content: listed, but not readable.
    Damage(3, [](std::string file) {
        file[file.size() - 10] ^= 0x01;
        return file;
    });
    for (const Args& args : {Args{}, Args{"--text", "3"}}) {
        const ControlReply reply = Diff(args);
        EXPECT_EQ(reply.status, 2);
        EXPECT_EQ(reply.out, "");
        EXPECT_NE(reply.err.find("is damaged and cannot be read"), std::string::npos) << reply.err;
    }
}

// The running instance's side of the mark: the task's own mark and the folder's file follow.
class MarkViewedTest : public EngineTest {};

TEST_F(MarkViewedTest, RunningInstanceMarksTheTask) {
    const MonitorTaskPtr task = Added("Page", dir_.WriteFile("page.txt", kOld));
    CVersionStore store(task->GetVersionFolder());
    KeepThree(store);
    CEngineCommands commands(engine_);
    ControlReply reply = commands.Run(Options({"--mark-viewed", "PAGE", "--to", "2"}));
    EXPECT_EQ(reply.status, 0) << reply.err;
    EXPECT_EQ(task->GetViewedVersion(), 2);
    EXPECT_EQ(store.Viewed(), 2);
    reply = commands.Run(Options({"--mark-viewed", "Page"}));
    EXPECT_EQ(reply.status, 0) << reply.err;
    EXPECT_EQ(task->GetViewedVersion(), 3);
    EXPECT_EQ(store.Viewed(), 3);

    reply = commands.Run(Options({"--mark-viewed", "Page", "--to", "4"}));
    EXPECT_EQ(reply.status, 2);
    EXPECT_EQ(reply.err, "tellweir: \"Page\" has no version 4\n");
    reply = commands.Run(Options({"--mark-viewed", "Other"}));
    EXPECT_EQ(reply.status, 2);
    EXPECT_EQ(reply.err, "tellweir: no task named \"Other\"\n");
    EXPECT_EQ(task->GetViewedVersion(), 3);
}

// The text of element `name` in an XML text.
std::string ElementText(const std::string& xml, const std::string& name) {
    const std::size_t start = xml.find("<" + name + ">");
    if (start == std::string::npos) return {};
    const std::size_t from = start + name.size() + 2;
    return xml.substr(from, xml.find("</" + name + ">", from) - from);
}

// The commands as a user runs them: the task found by its name in any case in the queue file,
// which they leave as it was, whether or not an instance runs; --unseen marks the pair viewed.
TEST(VersionCommandLine, WorksWithAndWithoutARunningInstance) {
    for (const bool live : {false, true}) {
        SCOPED_TRACE(live ? "with an instance" : "alone");
        const Home home(live ? "versions-live" : "versions-alone");
        const std::string page = home.Dir().WriteFile("page.txt", kOld);
        std::string output;
        ASSERT_EQ(home.Run({"--add", page, "--download", "--manual", "--name", "Page"}, output), 0)
            << output;
        const std::string queue = QueueText(home);
        CVersionStore store(CVersionStore::FolderFor(ElementText(queue, "SamplePath")));
        KeepThree(store);
        ChildProcess program;
        if (live) {
            ASSERT_TRUE(StartInstance(home, program)) << program.Error() << program.Output();
        }

        EXPECT_EQ(home.Run({"--history", "page"}, output), 0) << output;
        EXPECT_NE(
            output.find("      3  2026-12-01 10:10:00  Content Changed    25     +1       -1\n"),
            std::string::npos)
            << output;
        EXPECT_EQ(home.Run({"--diff", "PAGE"}, output), 0);
        EXPECT_EQ(output, kDiff2To3);
        EXPECT_EQ(home.Run({"--diff", "Page", "--from", "1", "--to", "2"}, output), 1);
        EXPECT_EQ(output, "");
        EXPECT_EQ(home.Run({"--diff", "Page", "--text", "3"}, output), 0);
        EXPECT_EQ(output, kNew);
        EXPECT_EQ(home.Run({"--diff", "nothing"}, output), 2);
        EXPECT_EQ(output, "tellweir: no task named \"nothing\"\n");
        EXPECT_EQ(home.Run({"--diff", "Page", "--from", "x"}, output), 2);

        EXPECT_EQ(store.Viewed(), 0);
        EXPECT_EQ(home.Run({"--diff", "Page", "--unseen"}, output), 0);
        EXPECT_EQ(output, kDiff2To3) << "nothing but the diff: the instance took the mark";
        EXPECT_EQ(store.Viewed(), 3);
        EXPECT_EQ(home.Run({"--mark-viewed", "Page", "--to", "9"}, output), 2);
        EXPECT_EQ(output, "tellweir: \"Page\" has no version 9\n");

        if (live) {
            kill(program.Pid(), SIGTERM);
            EXPECT_EQ(program.WaitForExit(), 0) << program.Output();
        }
        EXPECT_EQ(ElementText(QueueText(home), "SamplePath"), ElementText(queue, "SamplePath"));
        if (!live) {
            EXPECT_EQ(QueueText(home), queue) << "read, never written";
        }
    }
}

// As a user meets it: a page whose price line changes; the "Content Changed" program gets the
// same diff in TELLWEIR_DIFF as --diff prints afterwards.
TEST(VersionCommandLine, ChangedPageReachesTheProgramAndTheDiff) {
    const Home home("versions-run");
    const std::string page = home.Dir().WriteFile("page.txt", kOld);
    const std::string script =
        home.Dir().WriteFile("notify.sh", "#!/bin/sh\ncd '" + home.Dir().Path() +
                                              "'\nenv | grep '^TELLWEIR_' | sort > env.txt\n"
                                              "cp \"$TELLWEIR_DIFF\" diff.txt\n: > done\n");
    ::chmod(script.c_str(), 0755);
    std::string output;
    ASSERT_EQ(home.Run({"--add", page, "--download", "--every", "1", "seconds", "--name", "Page"},
                       output),
              0)
        << output;
    const std::filesystem::path queue = [&] {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Dir().Path()))
            if (entry.path().filename() == "m.xml") return entry.path();
        return std::filesystem::path();
    }();
    std::string xml = ReadAll(queue);
    const std::string beep = "<Action_01>Beep Freq=500 Duration=100</Action_01>";
    ASSERT_NE(xml.find(beep), std::string::npos) << xml;
    xml.replace(xml.find(beep), beep.size(),
                "<Action_01>Create Process " + script + "</Action_01>");
    WriteAll(queue, xml);

    ChildProcess program;
    ASSERT_TRUE(StartInstance(home, program)) << program.Error() << program.Output();
    ASSERT_TRUE(
        WaitUntil([&] { return program.Output().find("Version 1 kept") != std::string::npos; },
                  std::chrono::seconds(20)))
        << program.Output();
    // Replaced whole, as an editor saves it: a run never reads a half-written page. The content is
    // compared, so the file's time need not move on.
    WriteAll(page + ".new", kNew);
    std::filesystem::rename(page + ".new", page);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(home.Dir() / "done"); },
                          std::chrono::seconds(20)))
        << program.Output();
    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.WaitForExit(), 0) << program.Output();

    const std::string env = ReadAll(home.Dir() / "env.txt");
    EXPECT_NE(env.find("TELLWEIR_EVENT=Content Changed\n"), std::string::npos) << env;
    EXPECT_NE(env.find("TELLWEIR_SUMMARY=1 line added, 1 removed\n"), std::string::npos) << env;
    EXPECT_NE(env.find("TELLWEIR_TASK=Page\n"), std::string::npos) << env;
    EXPECT_NE(env.find("TELLWEIR_URL=" + page + "\n"), std::string::npos) << env;
    const std::string diff = ReadAll(home.Dir() / "diff.txt");
    EXPECT_NE(diff.find("-price: 10\n+price: 12\n"), std::string::npos) << diff;
    EXPECT_EQ(home.Run({"--diff", "Page"}, output), 0);
    EXPECT_EQ(output, diff);
}

}  // namespace
}  // namespace tellweir::testing
