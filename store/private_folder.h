// Creates folders the program keeps its files in: every level it makes is the owner's alone
// (0700), whatever the umask, since those folders hold queues, logs and passwords.
#pragma once

#include <string>

namespace tellweir {

inline constexpr unsigned kPrivateFolderMode = 0700;

// Makes `path` and its missing parents. True when `path` is a folder afterwards; levels that
// exist already keep their bits.
bool MakePrivateFolders(const std::string& path);

}  // namespace tellweir
