// The program meets state files it cannot read (a damaged, binary, oversized or unreadable queue,
// store or export, or a folder in a file's place): it says which file and why, loads what it
// can, and never writes over what the user had. A queue file that is a link stays a link.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace tellweir::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What is put in the file's place.
enum class Fixture { Bytes, Folder, NoPermission, Huge };
// Where the bytes of a damaged file survive.
enum class Kept { InPlace, AsCopy, RowInQueue };

constexpr const char* kQueue = "1.1/m.xml";
// Past every state file's size limit.
constexpr std::uintmax_t kHugeBytes = std::uintmax_t{600} << 20;
constexpr const char* kRegistry = "registry.reg";

struct Case {
    const char* name;
    const char* file;  // below the data folder; kRegistry is in the configuration folder
    Fixture fixture;
    // The damaged bytes, made from the text of a whole queue of three tasks.
    std::function<std::string(const std::string& queue)> bytes;
    const char* why;  // what the line that names the file says about it
    Kept kept = Kept::InPlace;
    const char* named = nullptr;  // what that line names, when not the file's path
};

// A cookie file with a line of binary junk.
constexpr char kDamagedCookies[] =
    " Domain=\"a.test\" Path=\"/\" Cookie=\"x=1\" Expires=\"07/02/2030 00:00:00 GMT\"\r\n"
    "\0\x01garbage\r\n";

// The bytes of a damaged store, whatever the queue.
std::function<std::string(const std::string&)> Bytes(std::string_view bytes) {
    return [bytes](const std::string&) { return std::string(bytes); };
}

// The queue with its second task cut off in the middle.
std::string Truncated(const std::string& queue) {
    const std::size_t second = queue.find("<Monitor>", queue.find("</Monitor>"));
    return queue.substr(0, second + 200);
}

std::string WithStrayEndTag(const std::string& queue) {
    const std::size_t end = queue.find("</Monitor>") + std::string("</Monitor>").size();
    return queue.substr(0, end) + "</Bogus>" + queue.substr(end);
}

std::string WithBinary(const std::string& queue) {
    static constexpr char kJunk[] = "\x00\x01\xff<\xfe>\x00</\x80\x00";
    const std::size_t middle = queue.size() / 2;
    return queue.substr(0, middle) + std::string(kJunk, sizeof kJunk - 1) + queue.substr(middle);
}

// The second task's first event gets a name no event has.
std::string WithUnknownEvent(const std::string& queue) {
    std::string damaged = queue;
    const std::size_t second = damaged.find("<Monitor>", damaged.find("</Monitor>"));
    const std::size_t name = damaged.find("<Name>On", damaged.find("<Event_01>", second));
    damaged.insert(name + std::string("<Name>On").size(), "NoSuch");
    return damaged;
}

// The "Monitor" element of `queue` that holds `marker`.
std::string ElementWith(const std::string& queue, const std::string& marker) {
    const std::size_t at = queue.find(marker);
    const std::size_t begin = queue.rfind("<Monitor>", at);
    const std::size_t end = queue.find("</Monitor>", at) + std::string("</Monitor>").size();
    return at == std::string::npos ? std::string() : queue.substr(begin, end - begin);
}

class DamagedStateTest : public ::testing::Test {
  protected:
    DamagedStateTest() {
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            setenv(name, (home_ / name).c_str(), 1);
        fs::create_directories(home_ / "XDG_RUNTIME_DIR");
    }

    std::string DataPath(std::string_view name) const {
        return home_ / ("XDG_DATA_HOME/Quandor Software/Tellweir/" + std::string(name));
    }
    std::string StatePath(std::string_view name) const {
        return name == kRegistry ? home_ / "XDG_CONFIG_HOME/Quandor Software/Tellweir/registry.reg"
                                 : DataPath(name);
    }

    // Runs the program to its end: its exit status and, in `output`, what it printed.
    int Run(const std::vector<std::string>& args, std::string& output) {
        std::vector<std::string> argv{TELLWEIR_PROGRAM};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::string log = home_ / "run.txt";
        std::remove(log.c_str());
        std::string error;
        const int status = RunProgram(argv, log, error);
        output = ReadAll(log);
        return status;
    }

    // Runs the tasks without windows until a line holding `named` is out, then stops the
    // program; what it printed, up to its end.
    std::string RunHeadlessUntil(const std::string& named) {
        const std::string log = home_ / "headless.txt";
        std::remove(log.c_str());
        ChildProcess program;
        EXPECT_TRUE(program.Start({TELLWEIR_PROGRAM, "--headless"}, log)) << program.Error();
        EXPECT_TRUE(
            WaitUntil([&] { return program.Output().find(named) != std::string::npos; }, 10s, 20ms))
            << program.Output();
        kill(program.Pid(), SIGTERM);
        EXPECT_EQ(program.WaitForExit(10s), 0);
        return program.Output();
    }

    // Three tasks in the queue file; its text.
    std::string MakeQueue() {
        std::string output;
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            EXPECT_EQ(Run({"--add", home_.WriteFile(name, name)}, output), 0) << output;
        return ReadAll(DataPath(kQueue));
    }

    TempDir home_{"damaged"};
};

// The line of `output` that holds `named`; empty when there is none.
std::string LineWith(const std::string& output, const std::string& named) {
    const std::size_t at = output.find(named);
    if (at == std::string::npos) return {};
    const std::size_t begin = output.rfind('\n', at);
    const std::size_t start = begin == std::string::npos ? 0 : begin + 1;
    return output.substr(start, output.find('\n', at) - start);
}

TEST_F(DamagedStateTest, DamagedFilesAreSaidAndSurvive) {
    const Case cases[] = {
        {"queue truncated", kQueue, Fixture::Bytes, Truncated, "damaged", Kept::AsCopy},
        {"queue with a stray end tag", kQueue, Fixture::Bytes, WithStrayEndTag,
         "an end tag closes no open element", Kept::AsCopy},
        {"queue with binary data", kQueue, Fixture::Bytes, WithBinary, "binary", Kept::AsCopy},
        {"queue with an unknown event", kQueue, Fixture::Bytes, WithUnknownEvent,
         "cannot be read and stays in the file", Kept::RowInQueue, "queue file entry \"b.txt\""},
        {"queue as a folder", kQueue, Fixture::Folder, {}, "is a folder"},
        {"queue unreadable", kQueue, Fixture::NoPermission, {}, "no permission"},
        {"queue too large", kQueue, Fixture::Huge, {}, "larger than 512 MiB"},
        {"cookies damaged", "Cookies.txt", Fixture::Bytes,
         Bytes(std::string_view(kDamagedCookies, sizeof kDamagedCookies - 1)), "binary"},
        {"cookies as a folder", "Cookies.txt", Fixture::Folder, {}, "is a folder"},
        {"cookies unreadable", "Cookies.txt", Fixture::NoPermission, {}, "no permission"},
        {"passwords damaged", "Passwords.bf", Fixture::Bytes, Bytes("not a password file"),
         "damaged"},
        {"passwords as a folder", "Passwords.bf", Fixture::Folder, {}, "is a folder"},
        {"passwords unreadable", "Passwords.bf", Fixture::NoPermission, {}, "no permission"},
        {"registry damaged", kRegistry, Fixture::Bytes,
         Bytes("REGEDIT3\r\n[HKEY_CURRENT_USER\\Software]\r\n"), "not a registry file"},
        {"registry as a folder", kRegistry, Fixture::Folder, {}, "is a folder"},
        {"registry unreadable", kRegistry, Fixture::NoPermission, {}, "no permission"},
        {"settings export damaged", "Settings.xml", Fixture::Bytes,
         Bytes("<?xml version=\"1.0\"?>\r\n<Settings>\r\n<Misc>"), "damaged"},
        {"settings export as a folder", "Settings.xml", Fixture::Folder, {}, "is a folder"},
        {"settings export unreadable", "Settings.xml", Fixture::NoPermission, {}, "no permission"},
        {"info cache damaged", "InfoCache.txt", Fixture::Bytes,
         Bytes("URL=\"http://a.test/\" Type=\"TEXT\"\r\nnonsense\r\n"), "line 2 cannot be read"},
        {"info cache as a folder", "InfoCache.txt", Fixture::Folder, {}, "is a folder"},
        {"info cache unreadable", "InfoCache.txt", Fixture::NoPermission, {}, "no permission"},
        {"history damaged", "History.xml", Fixture::Bytes,
         Bytes("<History><Item URI=\"http://a.test/\"/></Histo"), "damaged"},
        {"history too large", "History.xml", Fixture::Huge, {}, "larger than 16 MiB"},
    };
    const bool root = ::geteuid() == 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fixture == Fixture::NoPermission && root) continue;  // root reads anything
        fs::remove_all(home_ / "XDG_DATA_HOME");
        fs::remove_all(home_ / "XDG_CONFIG_HOME");
        const std::string queue = MakeQueue();
        const std::string path = StatePath(c.file);
        fs::create_directories(fs::path(path).parent_path());
        fs::remove_all(path);
        std::string damaged;
        switch (c.fixture) {
            case Fixture::Bytes:
                damaged = c.bytes(queue);
                WriteAll(path, damaged);
                break;
            case Fixture::Folder:
                fs::create_directories(path + "/kept");
                break;
            case Fixture::NoPermission:
                damaged = "the user's own";
                WriteAll(path, damaged);
                fs::permissions(path, fs::perms::none);
                break;
            case Fixture::Huge:
                WriteAll(path, "");
                fs::resize_file(path, kHugeBytes);  // sparse: costs no disk
                break;
        }
        const std::string named = c.named ? c.named : path;
        const bool isQueue = std::string_view(c.file) == kQueue;
        const bool queueUnreadable = isQueue && c.fixture != Fixture::Bytes;
        std::string output;

        if (isQueue) {
            EXPECT_EQ(Run({"--list"}, output), 1);
            EXPECT_NE(LineWith(output, named).find(c.why), std::string::npos) << output;
        }
        const std::string headless = RunHeadlessUntil(named);
        EXPECT_NE(LineWith(headless, named).find(c.why), std::string::npos) << headless;
        EXPECT_EQ(Run({"--add", home_.WriteFile("new.txt", "new")}, output),
                  queueUnreadable ? 1 : 0)
            << output;
        if (queueUnreadable) {
            EXPECT_NE(LineWith(output, named).find(c.why), std::string::npos) << output;
        }

        switch (c.fixture) {
            case Fixture::Folder:
                EXPECT_TRUE(fs::is_directory(path + "/kept"));
                break;
            case Fixture::Huge:
                EXPECT_EQ(fs::file_size(path), kHugeBytes);
                break;
            case Fixture::NoPermission:
                fs::permissions(path, fs::perms::owner_read);
                EXPECT_EQ(ReadAll(path), damaged);
                break;
            case Fixture::Bytes:
                if (c.kept == Kept::InPlace) {
                    EXPECT_EQ(ReadAll(path), damaged);
                }
                break;
        }
        if (c.kept == Kept::RowInQueue) {
            const std::string row = ElementWith(damaged, "<Name>OnNoSuch");
            ASSERT_FALSE(row.empty());
            EXPECT_NE(ReadAll(path).find(row), std::string::npos) << "kept verbatim";
        }
        if (c.kept == Kept::AsCopy) {
            std::vector<fs::path> copies;
            for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path()))
                if (entry.path().filename().string().starts_with("m.xml.damaged-"))
                    copies.push_back(entry.path());
            ASSERT_EQ(copies.size(), 1u) << "one copy, made by the first save";
            EXPECT_EQ(ReadAll(copies[0]), damaged);
            EXPECT_NE(headless.find("The queue was damaged: \"" + path + "\" kept as \"" +
                                    copies[0].string() + "\"."),
                      std::string::npos)
                << headless;
        }
        if (!queueUnreadable) {
            EXPECT_EQ(Run({"--list"}, output), c.kept == Kept::RowInQueue ? 1 : 0) << output;
            EXPECT_NE(output.find("new.txt\t"), std::string::npos) << output;
        }
    }
}

// A queue file that is a link is written at its target, and the link stays; a dangling link
// gets its target made.
TEST_F(DamagedStateTest, QueueFileLinkStaysALink) {
    const std::string queue = DataPath(kQueue);
    fs::create_directories(fs::path(queue).parent_path());
    fs::create_directories(home_ / "elsewhere");
    for (const std::string target :
         {"../../../../elsewhere/q.xml", "../../../../elsewhere/new.xml"}) {
        SCOPED_TRACE(target);
        fs::remove(queue);
        fs::create_symlink(target, queue);
        std::string output;
        ASSERT_EQ(Run({"--add", home_.WriteFile("page.txt", "x")}, output), 0) << output;
        EXPECT_TRUE(fs::is_symlink(queue));
        EXPECT_EQ(fs::read_symlink(queue), target);
        EXPECT_NE(ReadAll(fs::path(queue).parent_path() / target).find("<Name>page.txt</Name>"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace tellweir::testing
