// The program's commands: running the tasks without windows, and adding, listing and removing
// tasks in the queue file.
#pragma once

#include "app/options.h"

namespace tellweir {

// Each returns the process's exit status.
int RunHeadless();
int AddTaskCommand(const ProgramOptions& options);
int ListTasksCommand();
int RemoveTaskCommand(const std::string& name);
int CheckCommand(const ProgramOptions& options);

}  // namespace tellweir
