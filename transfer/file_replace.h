// CFileReplacement: a file written in place of another through a new temporary file beside it,
// renamed over it only once complete, and the block-wise copy that fills it. The old file stays
// as it was until the rename: a failed, short (full disk) or stopped write leaves it untouched
// and removes the partial copy. Nothing is ever written through a symbolic link at the place:
// the rename replaces the link itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "log/transfer_result.h"
#include "transfer/local_file.h"

namespace tellweir {

class CFileReplacement {
  public:
    CFileReplacement() = default;
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;
    ~CFileReplacement();  // abandons an uncommitted copy

    // Creates the temporary file "<target>.tmpXXXXXX" (new, mode 0600) in the target's folder,
    // which must exist. Returns 0 or the result of the failure's errno.
    [[nodiscard]] TransferResult Create(std::string_view target);
    // The temporary file, open for writing.
    CLocalFile& File() { return file_; }

    // Closes the temporary file and renames it over the target. Refused with 108 when the
    // target is there but is neither a regular file nor a symbolic link (a folder, a FIFO, a
    // device). On any failure the temporary file is removed and the target left as it was.
    [[nodiscard]] TransferResult Commit();
    // Closes and removes the temporary file.
    void Abandon();

  private:
    std::string target_;
    std::string tempPath_;
    CLocalFile file_;
};

// True when `path` names something that may be replaced by a regular file: nothing, a regular
// file or a symbolic link (the link itself, whatever it points to).
bool IsReplaceableTarget(std::string_view path);

// Copies `size` bytes of `source` from its start to `target` from its start, in blocks, asking
// `stop` (optional) before each block. Returns 0, 3 when stopped, 102 when the source ends
// early, or the result of the failing read or write's errno (109 for a full disk).
[[nodiscard]] TransferResult CopyFileData(CLocalFile& source, CLocalFile& target, std::int64_t size,
                                          const std::function<bool()>& stop = {});

}  // namespace tellweir
