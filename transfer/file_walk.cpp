// The directory walk. Directories are read one at a time into memory and visited from an explicit
// stack, so neither deep trees nor open handles accumulate on the thread's stack.
#include "transfer/file_walk.h"

#include <string>
#include <vector>

#include "base/ascii_text.h"
#include "transfer/file_path.h"
#include "transfer/find_file.h"

namespace tellweir {
namespace {

struct Found {
    std::string name;
    std::int64_t size;
    DateTime lastWrite;
    bool directory;
    bool enterable;  // a real directory, not a link to one
};

struct Level {
    std::string path;
    int depth;
    std::vector<Found> entries;
    std::size_t next = 0;
};

std::vector<Found> ReadLevel(const std::string& path) {
    std::vector<Found> entries;
    CFindFile find;
    if (!find.FindFirst(path, "*")) return entries;
    do {
        entries.push_back({find.Name(), find.Size(), find.LastWriteTime(), find.IsDirectory(),
                           find.IsDirectory() && !find.IsSymlink()});
    } while (find.FindNext());
    return entries;
}

}  // namespace

bool WalkDirectory(std::string_view path, const WalkVisitor& visitor, int depth,
                   const WalkFilter& filter, bool filterDirectories, const WalkStop& stop) {
    auto stopped = [&stop] { return stop && stop(); };
    if (stopped()) return false;
    path = TrimTrailingPathSeparators(path);
    if (!IsDirectory(path)) return false;

    std::vector<Level> stack;
    stack.push_back({std::string(path), depth, ReadLevel(std::string(path))});
    while (!stack.empty() && !stopped()) {
        Level& level = stack.back();
        if (level.next == level.entries.size()) {
            stack.pop_back();
            continue;
        }
        const Found& entry = level.entries[level.next++];
        if (filter && (!entry.directory || filterDirectories) && !filter(entry.name)) continue;
        if (visitor)
            visitor({entry.name, entry.size, level.depth, entry.lastWrite,
                     entry.directory ? PathKind::Directory : PathKind::File});
        if (level.depth != 0 && entry.enterable) {
            std::string child = JoinPath(level.path, entry.name);
            const int childDepth = level.depth + 1;
            // `level` and `entry` are not used after the push, which may move them.
            stack.push_back({child, childDepth, ReadLevel(child)});
        }
    }
    return true;
}

}  // namespace tellweir
