// Thread priority through the nice value: the background threads of the engine and the transfer
// manager lower their own, and the programs the actions start get the one the program had when
// it was started. Best effort: nothing depends on it for correctness.
#pragma once

namespace tellweir {

// Raises the calling thread's nice value to the background level (never lowers it). Returns
// false when the system refused.
bool SetLowestThreadPriority();

// The nice value of the program when it was loaded, taken once on the main thread before any
// thread lowered itself.
int StartupNice();

// Brings the calling thread back to StartupNice(). Lowering a nice value needs CAP_SYS_NICE or a
// fitting RLIMIT_NICE, so for most users only a thread that never raised its own can have it:
// false when the thread is left where it was.
bool RestoreStartupPriority();

}  // namespace tellweir
