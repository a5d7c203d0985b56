// Cutting overlong log lines: a server that sends a megabyte on one line must not put a
// megabyte into every log that records it.
#pragma once

#include <cstddef>
#include <string>

namespace tellweir {

// The longest line a log keeps, in bytes, its tag and the continuation tab included.
inline constexpr std::size_t kMaxLogLineBytes = 4096;

// Cuts every line of `entry`, the text about to be appended to a log whose unfinished last line
// holds `openLength` bytes (0 when the log ends with a line feed), to kMaxLogLineBytes on a UTF-8
// character boundary. The note " [... N bytes cut]" goes in where the cut line ends; until
// then `pendingCut` carries the count, so that a line that grows over several writes gets one
// note and the log's text only ever grows at its end. `entry` stays as it is when nothing is
// cut and no note is due.
void CutLongLines(std::string& entry, std::size_t openLength, std::size_t& pendingCut);

}  // namespace tellweir
