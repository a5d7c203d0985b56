// The event table a new task starts with: a beep and a prompt for the main events.
#pragma once

#include <string>

namespace tellweir {

// The default action text of `event`; empty for the events that get no default entry.
std::string DefaultEventActions(int event);

}  // namespace tellweir
