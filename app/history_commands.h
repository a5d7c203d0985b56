// --history, --diff and --mark-viewed: a task's kept versions listed, compared and marked seen.
// The texts are collected in a ControlReply, never printed here, so that the same words come
// from a one-shot command and from the running instance.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/control_protocol.h"
#include "app/options.h"
#include "core/monitor_engine.h"
#include "history/version_store.h"

namespace tellweir {

// A task found in the queue file: its name as stored and its versions folder.
struct TaskVersions {
    std::string name;
    std::string folder;
};

// Reads the queue file of `engine` without keeping its tasks, holding no lock over the file and
// never writing it, and finds the task `name` as the program compares names (ignoring ASCII
// case). False, said in `reply`: status 1 for a queue that cannot be read, 2 for no such task.
bool FindTaskVersions(CMonitorEngine& engine, std::string_view name, TaskVersions& found,
                      ControlReply& reply);

// The versions of `taskName` in `store`, one aligned line each under a header line: number,
// time, event, size in bytes, lines added and removed. Damaged files are said on standard error
// and make the status 1, after what could be listed.
ControlReply HistoryReply(std::string_view taskName, const CVersionStore& store);

// --diff with its options: a unified diff (status 0), nothing when the texts are equal (1), or
// version --text as text (0); 2 with the reason for a version that is not there or damaged.
// With --unseen, `viewed` gets the version to mark as viewed once the reply is printed (0: none).
ControlReply DiffReply(const ProgramOptions& options, std::string_view taskName,
                       const CVersionStore& store, std::int32_t& viewed);

// The version --mark-viewed marks: --to, else `newest`. 0 with the reason in `reply` (status 2)
// for a version past the newest; 0 with status 0 when nothing is kept yet.
std::int32_t VersionToMark(const ProgramOptions& options, std::string_view taskName,
                           std::int32_t newest, ControlReply& reply);

}  // namespace tellweir
