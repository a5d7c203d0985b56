// The files that carry the program's state from one run to the next (the stores, the caches, the
// settings export): reading one whole with a size limit, and the record of those that exist but
// could not be read or were damaged. A recorded file is never written over by this process, so
// what the user had survives until someone looks at it; each is said once, through the notices.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "store/byte_stream.h"

namespace tellweir {

// What ReadStateFile found.
struct StateFileRead {
    bool missing = false;  // no such file: an empty store, not a fault
    int error = 0;         // errno of the failure (EISDIR for a folder, EFBIG when too large)
    std::string problem;   // why it could not be read, for the user; empty when read or missing
    std::string text;      // the whole file, when read

    bool Read() const { return !missing && problem.empty(); }
};

// Reads a regular file of at most `maxBytes` bytes whole. The size is checked before anything is
// read, so a huge file costs no memory; the open does not block, so a FIFO in the file's place
// cannot hang the caller.
StateFileRead ReadStateFile(const std::string& path, std::size_t maxBytes);

// A state file read piece by piece, for a caller that handles a large file as it goes instead
// of holding it whole. It opens and checks the file as ReadStateFile does; a read that fails, or
// finds the file grown past the limit, ends the input and says why in Status().
class CStateFileReader final : public IByteSource {
  public:
    CStateFileReader(const std::string& path, std::size_t maxBytes);
    ~CStateFileReader() override;
    CStateFileReader(const CStateFileReader&) = delete;
    CStateFileReader& operator=(const CStateFileReader&) = delete;

    // Why the file cannot be read, or could not be read to its end; Status().Read() while all is
    // well. Its text stays empty.
    const StateFileRead& Status() const { return status_; }
    // The size the file had when it was opened.
    std::size_t OpenedSize() const { return size_; }
    std::size_t Read(void* buffer, std::size_t count) override;

  private:
    void Fail(int error);

    StateFileRead status_;
    int fd_ = -1;
    std::size_t size_ = 0;
    std::size_t maxBytes_ = 0;
    std::size_t done_ = 0;  // bytes read so far
};

// "larger than 64 MiB": the problem of a file past `maxBytes`.
std::string TooLargeProblem(std::size_t maxBytes);

// Why the text of a file of "name=value" lines (the cookies, the info cache) is damaged: a NUL
// byte, a line longer than `maxLineBytes` (0: no limit), or a line that is not blank yet lacks
// one of the `required` names (compared without regard to case). Empty when it is whole.
std::string DescribeLineFileDamage(std::string_view text,
                                   std::initializer_list<std::string_view> required,
                                   std::size_t maxLineBytes = 0);

// Records `path` as a file this process must not write over, because of `why`. The first record
// of a path adds the notice "Cannot read "<path>" (<why>): it is left as it is."; later ones
// change nothing. Thread-safe.
void KeepStateFile(const std::string& path, std::string_view why);
// True when `path` was recorded by KeepStateFile.
bool IsStateFileKept(const std::string& path);
// The notices added since the last call, oldest first: the command line prints them, the engine
// log and the windows show them.
std::vector<std::string> TakeStateFileNotices();

}  // namespace tellweir
