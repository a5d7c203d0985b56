// The numbers of the "Content-Length:" and "Content-Range:" headers.
#pragma once

#include <cstdint>
#include <string_view>

namespace tellweir {

// A byte range of a partial reply; total is -1 when the server does not know it ("*").
struct ContentRange {
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int64_t total = -1;
};

// Reads "bytes START-END/TOTAL" ("bytes " ignoring case, blanks around the numbers allowed).
// Each number is a signed decimal that may be followed by other characters, which are ignored.
// False for any other form, and for a range that cannot be: a negative start, an end before the
// start, a total not beyond the end, or a number that does not fit 64 bits.
bool ParseContentRange(std::string_view value, ContentRange& range);

// The value of a "Content-Length:" header: a decimal that may be followed by other characters;
// -1 (unknown) for an empty value, one without leading digits, a negative one, or one that does
// not fit 64 bits.
std::int64_t ParseContentLength(std::string_view value);

}  // namespace tellweir
