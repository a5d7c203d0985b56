// Wildcard masks as the proxy skip list writes them: '*' any run of characters, '?' one
// character, "[...]" one character of a set.
#pragma once

#include <string_view>

namespace tellweir {

// True when `mask` matches the whole of `text`, ASCII letters compared ignoring case. A set is
// the characters between '[' and ']'; a leading '!' negates it; a set of exactly three
// characters with '-' in the middle ("a-z") is a range. A '[' without a closing ']' is an
// ordinary character. The mask "*.*" counts as "*".
bool MatchWildcardMask(std::string_view mask, std::string_view text);

}  // namespace tellweir
