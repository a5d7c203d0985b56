// Writing the URL history back to "History.xml", so that the addresses typed into the new-task
// wizard are offered again after a restart.
#pragma once

#include <cstddef>
#include <string>

#include "store/url_history.h"

namespace tellweir {

// Writes at most `limit` addresses of `history`, first first, as "Item" elements with a "URI"
// attribute: the form the start-up reads. False when the file cannot be written.
bool SaveUrlHistory(const std::string& path, const CUrlHistory& history, std::size_t limit);

}  // namespace tellweir
