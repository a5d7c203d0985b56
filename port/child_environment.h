// ChildEnvironment: what a program started for an action gets besides the program's own
// environment. Shared by the process launcher and the windows, which open "Open in Shell"
// targets themselves when they are there.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tellweir {

// "NAME=VALUE" entries that add to the parent's environment or replace its value, and what must
// live until the child has ended (a file it reads).
struct ChildEnvironment {
    std::vector<std::string> entries;
    std::shared_ptr<const void> keep;
};

}  // namespace tellweir
