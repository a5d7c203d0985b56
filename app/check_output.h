// Where `--check --download` puts the content. The output is replaced only when it is missing or
// a regular file, never when it is the checked file itself, and always through a temporary copy
// beside it that is renamed over it once complete: a failure, a full disk or a stop (SIGINT,
// SIGTERM) leaves the output as it was.
#pragma once

#include <string>

#include "log/transfer_result.h"

struct stat;

namespace tellweir {

// While it lives, SIGINT and SIGTERM only raise the stop flag that long copies and waits ask;
// the previous handling comes back when it ends.
class CCheckStopSignals {
  public:
    CCheckStopSignals();
    ~CCheckStopSignals();
    CCheckStopSignals(const CCheckStopSignals&) = delete;
    CCheckStopSignals& operator=(const CCheckStopSignals&) = delete;

    static bool StopRequested();
};

// 0 when `output` may be replaced by the download: it is missing, or a regular file that is not
// `source` (the checked local file, compared by device and inode; null for a remote resource).
// Otherwise 108, with the line to show in `reason`.
[[nodiscard]] TransferResult CheckOutputTarget(const std::string& output, const struct stat* source,
                                               std::string& reason);

// Copies the local file `source` to `output` by the rules above, with the source's permissions
// and access and last write times. On failure, the line to show is in `reason`.
[[nodiscard]] TransferResult CopyToOutput(const std::string& source, const std::string& output,
                                          std::string& reason);

// A private folder beside the output that a remote download is received into; the download is
// moved over the output only once it is complete. The folder and whatever is left in it go when
// the object ends.
class CStagedOutput {
  public:
    CStagedOutput() = default;
    ~CStagedOutput();
    CStagedOutput(const CStagedOutput&) = delete;
    CStagedOutput& operator=(const CStagedOutput&) = delete;

    // Checks the output (CheckOutputTarget) and makes the folder, and the output's own folder
    // when it is missing. On failure, the line to show is in `reason`.
    [[nodiscard]] TransferResult Create(const std::string& output, std::string& reason);
    // The file the download is to be received into.
    const std::string& Path() const { return staged_; }
    // Renames the received file over the output, checked again first. The compressed copy of a
    // gzip-encoded download goes to output + ".gz" when that name is free; something already
    // there is kept, and the copy dropped, as `notice` then says.
    [[nodiscard]] TransferResult Commit(std::string& reason, std::string& notice);

  private:
    std::string output_;
    std::string folder_;
    std::string staged_;
};

}  // namespace tellweir
