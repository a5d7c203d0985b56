// The file TELLWEIR_DIFF names for the programs an action starts: the unified diff of the change
// a run found, owner-only, in $XDG_RUNTIME_DIR/tellweir/ (else a private folder of the cache),
// removed when the last holder lets go (the action and each child it started, once reaped).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tellweir {

class CActionDiffFile {
  public:
    // Writes `text` into a new file (mode 0600, never through a link). Null, with the reason in
    // `error`, when no folder is usable or the write fails.
    static std::shared_ptr<const CActionDiffFile> Write(std::string_view text, std::string& error);
    ~CActionDiffFile();  // removes the file
    CActionDiffFile(const CActionDiffFile&) = delete;
    CActionDiffFile& operator=(const CActionDiffFile&) = delete;

    const std::string& Path() const { return path_; }

  private:
    explicit CActionDiffFile(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

// The folder the files go into, made owner-only when missing: "$XDG_RUNTIME_DIR/tellweir" when
// that is set and the folder is this user's own, else "<cache>/Diffs". Empty when neither is.
std::string ActionDiffFolder();

// Removes the files left in both folders by programs that ended without removing them (killed,
// crashed); those of a process still running are theirs. Called at start-up.
void RemoveLeftoverDiffFiles();

// The diff file of the change the run that kept `version` found: that version against the one
// kept before it in `versionFolder`, with the version labels of `taskName`. Null when there is
// no version before it; null with `error` set when they cannot be read or the file not written.
std::shared_ptr<const CActionDiffFile> WriteChangeDiffFile(const std::string& versionFolder,
                                                           std::string_view taskName,
                                                           std::int32_t version,
                                                           std::string& error);

}  // namespace tellweir
