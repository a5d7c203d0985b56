// The platform side of the actions: tone files, the libcanberra output without a sound device,
// and starting programs without leaving descriptors or zombies behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "core/canberra_sound_output.h"
#include "core/process_launch.h"
#include "core/tone_wave.h"
#include "tests/support/temp_dir.h"
#include "transfer/local_fs.h"

namespace tellweir {
namespace {

using testing::TempDir;
using Clock = std::chrono::steady_clock;

std::uint32_t ReadLe(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

TEST(ToneWave, SineFileHasPcmHeaderAndTone) {
    const std::string wave = MakeSineWave(441, 100);
    ASSERT_EQ(wave.size(), 44u + 4410u * 2u);
    EXPECT_EQ(wave.substr(0, 4), "RIFF");
    EXPECT_EQ(ReadLe(wave, 4, 4), wave.size() - 8);
    EXPECT_EQ(wave.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(ReadLe(wave, 20, 2), 1u);  // PCM
    EXPECT_EQ(ReadLe(wave, 22, 2), 1u);  // mono
    EXPECT_EQ(ReadLe(wave, 24, 4), 44100u);
    EXPECT_EQ(ReadLe(wave, 34, 2), 16u);
    EXPECT_EQ(wave.substr(36, 4), "data");
    EXPECT_EQ(ReadLe(wave, 40, 4), 4410u * 2u);
    // 441 Hz at 44100 samples per second: one period every 100 samples, peak at a quarter.
    const auto sample = [&](int i) {
        return static_cast<std::int16_t>(ReadLe(wave, 44 + 2 * i, 2));
    };
    EXPECT_EQ(sample(0), 0);
    EXPECT_NEAR(sample(1025), 16384, 20);
    EXPECT_NEAR(sample(1075), -16384, 20);
    EXPECT_EQ(MakeSineWave(440, 0).size(), 44u);
}

TEST(ToneWave, ToneFileIsWrittenOncePerFrequencyAndDuration) {
    TempDir dir("core-tones");
    const std::string folder = dir / "cache/Tones";
    const std::string path = EnsureToneFile(folder, 500, 100);
    EXPECT_EQ(path, folder + "/tone-500-100.wav");
    EXPECT_EQ(GetFileSize(path), 44 + 4410 * 2);
    SetFileSize(path, 10);  // a kept file is used as it is
    EXPECT_EQ(EnsureToneFile(folder, 500, 100), path);
    EXPECT_EQ(GetFileSize(path), 10);
    EXPECT_EQ(EnsureToneFile("", 500, 100), "");
    EXPECT_EQ(EnsureToneFile(dir.WriteFile("file", "x") + "/sub", 500, 100), "");
}

// Whatever the machine has for sound, no call may hang; without a device each fails at once.
TEST(CanberraSoundOutput, CallsAreBoundedAndMissingFilesFail) {
    TempDir dir("core-sound");
    CCanberraSoundOutput output(dir / "Tones");
    EXPECT_FALSE(output.PlayFile(dir / "missing.wav"));
    EXPECT_FALSE(output.PlayFile(""));
    EXPECT_TRUE(output.PlayTone(440, 0));

    const auto start = Clock::now();
    output.PlayTone(440, 50);
    output.PlaySystemSound("bell");
    output.PlayFile(EnsureToneFile(dir / "Tones", 440, 50));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(50) +
                                        CCanberraSoundOutput::kToneGrace + std::chrono::seconds(2));
    EXPECT_TRUE(IsFile(dir / "Tones/tone-440-50.wav"));
}

TEST(ProcessLaunch, ChildRunsInRootWithoutInheritedDescriptors) {
    TempDir dir("core-spawn");
    // An inheritable descriptor, numbered above anything the child opens itself.
    const int opened = open(dir.WriteFile("held", "x").c_str(), O_RDONLY);
    ASSERT_GE(opened, 0);
    const int fd = dup2(opened, 57);
    close(opened);
    ASSERT_EQ(fd, 57);
    const std::string script =
        "pwd > '" + (dir / "cwd") + "'; ls /proc/self/fd > '" + (dir / "fds") + "'";
    const SpawnResult spawned = SpawnProcess("/bin/sh", {"-c", script}, false);
    ASSERT_EQ(spawned.error, 0);
    EXPECT_EQ(spawned.exit->WaitFor(std::chrono::seconds(10)), 0);
    close(fd);
    EXPECT_EQ(dir.ReadFile("cwd"), "/\n");
    const std::string fds = dir.ReadFile("fds");
    EXPECT_EQ(fds.find("57\n"), std::string::npos) << fds;
}

TEST(ProcessLaunch, ReportsExitCodesAndStartFailures) {
    const SpawnResult failing = SpawnProcess("/bin/sh", {"-c", "exit 7"}, false);
    ASSERT_EQ(failing.error, 0);
    EXPECT_EQ(failing.exit->WaitFor(std::chrono::seconds(10)), 7);

    const SpawnResult killed = SpawnProcess("/bin/sh", {"-c", "kill -9 $$"}, false);
    ASSERT_EQ(killed.error, 0);
    EXPECT_EQ(killed.exit->WaitFor(std::chrono::seconds(10)), -1);

    const SpawnResult running = SpawnProcess("/bin/sleep", {"1"}, false);
    ASSERT_EQ(running.error, 0);
    EXPECT_EQ(running.exit->WaitFor(std::chrono::milliseconds(0)), std::nullopt);

    EXPECT_EQ(SpawnProcess("/no/such/program", {}, false).error, ENOENT);
    EXPECT_EQ(SpawnProcess("sh", {"-c", "exit 0"}, false).error, ENOENT);
    const SpawnResult searched = SpawnProcess("sh", {"-c", "exit 0"}, true);
    ASSERT_EQ(searched.error, 0);
    EXPECT_EQ(searched.exit->WaitFor(std::chrono::seconds(10)), 0);
    EXPECT_NE(SpawnProcess("", {}, true).error, 0);
}

}  // namespace
}  // namespace tellweir
