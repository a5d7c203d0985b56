// Lowers the priority of the calling thread; every background thread of the transfer engine
// calls it first. Best effort: nothing depends on it for correctness.
#pragma once

namespace tellweir {

// Raises the calling thread's nice value to the background level (never lowers it). Returns
// false when the system refused.
bool SetLowestThreadPriority();

}  // namespace tellweir
