// Home: one user's folders for running the program (tellweir) in a test, and a running instance
// of it without windows. Compiles only in a test that links the app library and defines
// TELLWEIR_PROGRAM.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/control_server.h"
#include "app/services.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace tellweir::testing {

// One user's folders: the program finds them through the environment, which the commands run
// by a test inherit.
class Home {
  public:
    explicit Home(const char* name) : dir_(name) {
        std::filesystem::create_directories(dir_ / "XDG_RUNTIME_DIR");
    }
    void Use() const {
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            setenv(name, (dir_ / name).c_str(), 1);
        SetProgramIdentity();  // forgets the data folder of the last home
    }
    const TempDir& Dir() const { return dir_; }

    // Runs the program from this home to its end; its exit status and its output, with this
    // home's path written "~".
    int Run(const std::vector<std::string>& args, std::string& output) const {
        Use();
        std::vector<std::string> argv{TELLWEIR_PROGRAM};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::string log = dir_ / "run.txt";
        std::filesystem::remove(log);
        std::string error;
        const int status = RunProgram(argv, log, error);
        output = ReadAll(log);
        for (std::size_t at; (at = output.find(dir_.Path())) != std::string::npos;)
            output.replace(at, dir_.Path().size(), "~");
        return status;
    }

  private:
    TempDir dir_;
};

// The queue file of a home; empty when it has none yet.
inline std::string QueueText(const Home& home) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Dir().Path()))
        if (entry.path().filename() == "m.xml") return ReadAll(entry.path());
    return {};
}

// Runs the headless program in `home` until it answers on its control socket.
inline bool StartInstance(const Home& home, ChildProcess& program) {
    home.Use();
    const std::string socket = ControlSocketPath();
    if (!program.Start({TELLWEIR_PROGRAM, "--headless"}, home.Dir() / "headless.txt")) return false;
    return WaitUntil([&] { return std::filesystem::exists(socket); }, std::chrono::seconds(20),
                     std::chrono::milliseconds(20));
}

}  // namespace tellweir::testing
