// The program's commands: running the tasks without windows, and adding, listing and removing
// tasks in the queue file, or in the running instance.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/options.h"

namespace tellweir {

// Each returns the process's exit status.
int RunHeadless();
// Hands --add, --remove or --list (`args`, the arguments after the program name, and the current
// `folder`) to the instance that runs on this data folder, and prints its reply; its exit status,
// or nothing when no instance runs or none listens where this copy looks (the command then runs
// on its own). An instance that listens but does not take the command in time is said, status 1.
std::optional<int> RunInRunningInstance(const std::vector<std::string>& args,
                                        const std::string& folder);
int AddTaskCommand(const ProgramOptions& options);
int ListTasksCommand();
int RemoveTaskCommand(const std::string& name);
int CheckCommand(const ProgramOptions& options);
// --history, --diff and --mark-viewed on the queue file and the versions folders, whether or not
// an instance runs: the queue file is read without its lock and never written. --diff --unseen
// and --mark-viewed tell the running instance (on `folder`, the current folder) of the mark.
int HistoryCommand(const ProgramOptions& options);
int DiffCommand(const ProgramOptions& options, const std::string& folder);
int MarkViewedCommand(const ProgramOptions& options);

}  // namespace tellweir
