// WalkDirectory: the recursive walk over a directory that reports each entry to a visitor.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "base/date_time.h"
#include "transfer/local_fs.h"

namespace tellweir {

struct WalkEntry {
    std::string_view name;  // the entry's name, valid during the call
    std::int64_t size = 0;  // bytes of a file, 0 for a directory
    int depth = 0;
    DateTime lastWrite;  // local time
    PathKind kind = PathKind::File;
};

// The visitor carries its own data in its captures.
using WalkVisitor = std::function<void(const WalkEntry&)>;
using WalkFilter = std::function<bool(std::string_view name)>;
using WalkStop = std::function<bool()>;

// Reports every entry of `path` to `visitor`, and with a `depth` other than 0 descends into each
// directory with depth + 1 (a depth of 0 lists one level only). The `filter`, when given, must
// accept a file's name, and also a directory's name when `filterDirectories` is set. The walk
// ends early once `stop` returns true. False when stopped at the start or when `path` is not a
// directory. Directories reached through symbolic links are reported but not entered, so a
// link cycle cannot trap the walk.
bool WalkDirectory(std::string_view path, const WalkVisitor& visitor, int depth,
                   const WalkFilter& filter = {}, bool filterDirectories = false,
                   const WalkStop& stop = {});

}  // namespace tellweir
