// Running action lines: beeps and sounds through a recording output, prompts and the tray icon
// through the shell callbacks, programs and shell opens for real, and the action test.
#include "core/action_runner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "core/shell_actions.h"
#include "log/item_log.h"
#include "tests/support/core_fakes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace tellweir {
namespace {

using testing::RecordingDesktop;
using testing::RecordingSound;
using testing::TempDir;
using testing::WaitUntil;

class ActionRunnerTest : public ::testing::Test {
  protected:
    ~ActionRunnerTest() override { SetShellOpenProgram({}); }

    bool Run(std::string_view line) {
        return RunActionLine(line, log_.get(), TaskActionContext("Task A"), desktop_);
    }
    std::string Text() const { return log_->GetText(); }

    // A shell opener that records its argument into "opened" and ends with `exitCode`.
    std::string MakeOpener(int exitCode) {
        std::string path = dir_.WriteFile(
            "opener",
            Format("#!/bin/sh\nprintf '%%s' \"$1\" > '%s'\nexit %d\n", dir_ / "opened", exitCode));
        chmod(path.c_str(), 0755);
        return path;
    }

    RecordingSound sound_;
    RecordingDesktop desktop_;
    ItemLogPtr log_ = MakeRef<CItemLog>();
    TempDir dir_{"core-actions"};
};

TEST_F(ActionRunnerTest, BeepSoundsToneOrSystemSound) {
    struct Case {
        const char* line;
        const char* call;
    };
    const Case cases[] = {
        {"Beep Freq=20 Duration=300", "tone 37 300"},
        {"Beep Duration=10 Freq=500", "tone 500 10"},
        {"Beep Freq=40000 Duration=10", "tone 32767 10"},
        {"Beep Freq=-5 Duration=50", "tone 32767 50"},  // negative counts as too high
        {"beep freq=500 duration=100", "tone 40 100"},  // names are case-sensitive
        {"Beep SystemHand", "system dialog-error"},
        {"Beep  systemasterisk ", "system dialog-information"},
        {"Beep SystemExclamation", "system dialog-warning"},
        {"Beep SystemQuestion", "system dialog-question"},
        {"Beep SystemDefault", "system bell"},
        {"Beep", "system bell"},
        {"Beep xyz", "system bell"},
        {"Beep Freq=440", "system bell"},                   // one pair is no tone
        {"Beep Freq=1 Duration=2 Extra=3", "system bell"},  // neither are three
    };
    for (const Case& c : cases) {
        RecordingSound sound;
        EXPECT_FALSE(Run(c.line));
        EXPECT_EQ(sound.Calls(), std::vector<std::string>{c.call}) << c.line;
    }
    EXPECT_EQ(Text(), "");
}

TEST_F(ActionRunnerTest, PlaySoundLogsOutcome) {
    EXPECT_FALSE(Run("Play Sound /sounds/ding.wav"));
    sound_.succeed = false;
    Run("Play Sound /sounds/missing.wav");
    EXPECT_EQ(sound_.Calls(),
              (std::vector<std::string>{"file /sounds/ding.wav", "file /sounds/missing.wav"}));
    EXPECT_EQ(Text(),
              "S:\tPlaying sound: \"/sounds/ding.wav\".\r\n"
              "E:\tCannot play sound: \"/sounds/missing.wav\".\r\n");
}

TEST_F(ActionRunnerTest, PromptAndLightIconGoToTheDesktop) {
    CNoDesktop noWindow;
    EXPECT_FALSE(RunActionLine("Prompt before the window", log_.get(), TaskActionContext("Task A"),
                               noWindow));
    EXPECT_FALSE(RunActionLine("Light Icon before the window", log_.get(),
                               TaskActionContext("Task A"), noWindow));

    EXPECT_FALSE(Run("Prompt Monitored resource was changed."));
    EXPECT_FALSE(Run("Light Icon changed"));
    EXPECT_EQ(desktop_.Calls(),
              (std::vector<std::string>{"prompt Task A: Monitored resource was changed.",
                                        "icon Task A: changed"}));
    EXPECT_TRUE(sound_.Calls().empty());
    EXPECT_EQ(Text(), "");
}

TEST_F(ActionRunnerTest, OnlyEngineActionsReturnTrue) {
    EXPECT_TRUE(Run("Stop Monitor Task"));
    EXPECT_TRUE(Run("Cleanup cache"));
    EXPECT_TRUE(Run("save queue"));
    EXPECT_TRUE(Run("Display queue"));
    EXPECT_FALSE(Run("None"));
    EXPECT_FALSE(Run("Something else"));
    EXPECT_FALSE(Run(""));
    EXPECT_EQ(Text(), "");
    EXPECT_TRUE(sound_.Calls().empty());
}

TEST_F(ActionRunnerTest, CreateProcessStartsProgramByPath) {
    Run("Create Process /bin/true");
    Run("Create Process /no/such/program");
    Run("Create Process");
    Run("Create Process true");  // not searched for on PATH
    EXPECT_EQ(Text(),
              "S:\tCreating process: \"/bin/true\".\r\n"
              "S:\tCreated process: \"/bin/true\" (OK).\r\n"
              "S:\tCreating process: \"/no/such/program\".\r\n"
              "E:\tCreate process failed: \"/no/such/program\".\r\n"
              "E:\tEmpty process name.\r\n"
              "S:\tCreating process: \"true\".\r\n"
              "E:\tCreate process failed: \"true\".\r\n");
}

TEST_F(ActionRunnerTest, OpenInShellMapsOpenerOutcomes) {
    struct Case {
        int exitCode;
        const char* line;
    };
    const Case cases[] = {
        {0, "S:\tShellExecute open: \"doc.txt\" OK.\r\n"},
        {2, "E:\tThe specified file was not found.\r\n"},
        {3, "E:\tThere is no application associated with the given file name extension.\r\n"},
        {4, "E:\tShellExecute failed, error code: 4.\r\n"},
        {5, "E:\tShellExecute failed, error code: 5.\r\n"},
    };
    for (const Case& c : cases) {
        SetShellOpenProgram(MakeOpener(c.exitCode));
        ItemLogPtr log = MakeRef<CItemLog>();
        RunActionLine("Open in Shell doc.txt", log.get(), TaskActionContext("Task A"), desktop_);
        // The verdict comes once the opener has ended.
        const std::string expected =
            std::string("S:\tShellExecute opening: \"doc.txt\".\r\n") + c.line;
        EXPECT_TRUE(WaitUntil([&] { return log->GetText() == expected; }))
            << c.exitCode << ": " << log->GetText();
        EXPECT_EQ(dir_.ReadFile("opened"), "doc.txt");
    }
}

TEST_F(ActionRunnerTest, OpenInShellWithoutOpenerOrTarget) {
    SetShellOpenProgram(dir_ / "no-opener");
    Run("Open in Shell doc.txt");
    Run("Open in Shell");
    EXPECT_EQ(Text(),
              "S:\tShellExecute opening: \"doc.txt\".\r\n"
              "E:\tThere is no application associated with the given file name extension.\r\n"
              "E:\tEmpty parameter(s) for shell execute command.\r\n");
}

TEST_F(ActionRunnerTest, OpenInShellGoesToTheWindowFirst) {
    SetShellOpenProgram(MakeOpener(0));
    desktop_.shellReply = kShellOpenHandled;
    Run("Open in Shell http://site.test/");
    EXPECT_EQ(desktop_.shellLog, log_.get());
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(dir_.ReadFile("opened"), "");

    desktop_.shellReply = 0;  // the window declined: opened here
    Run("Open in Shell http://site.test/");
    EXPECT_EQ(desktop_.Count("open http://site.test/"), 2);
    EXPECT_TRUE(WaitUntil([&] {
        return Text().find("ShellExecute open: \"http://site.test/\" OK.") != std::string::npos;
    })) << Text();
    EXPECT_EQ(dir_.ReadFile("opened"), "http://site.test/");
}

TEST_F(ActionRunnerTest, ActionTestShowsLastLineOfRawLog) {
    EXPECT_EQ(RunActionTest("Create Process", desktop_),
              "Action test results:\r\nEmpty process name.");
    EXPECT_EQ(RunActionTest("Create Process /bin/true", desktop_),
              "Action test results:\r\nCreated process: \"/bin/true\" (OK).");
    EXPECT_EQ(RunActionTest("None", desktop_), "Action test results:\r\n None.");
    EXPECT_EQ(RunActionTest("Save queue", desktop_), "Action test results:\r\n None.");

    RunActionTest("Prompt hello", desktop_);
    EXPECT_EQ(desktop_.Count("prompt ACTION TEST: hello"), 1);
}

}  // namespace
}  // namespace tellweir
