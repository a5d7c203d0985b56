// ParseAttributeList: the reader of name=value lists, used for the attributes of XML tags and for
// the other lists of such pairs the system stores (beep parameters, value lists, data files).
#pragma once

#include <functional>
#include <string_view>

namespace tellweir {

// Receives a name or a value; returning false stops the parse. The view lives for the call only.
using AttributeSink = std::function<bool(std::string_view)>;
// Receives a name that stands alone, without "=value".
using AttributeFlagSink = std::function<void(std::string_view)>;

// Reads `text` as a list of name=value pairs separated by blanks (space, tab, CR, LF). A value may
// be quoted with " or ' and then contain blanks; an unclosed quote runs to the end of the text.
// For each pair the name goes to `nameSink`, then the value to `valueSink`; the parse stops right
// after a sink that returns false. A name without "=" goes to `flagSink`. Empty sinks accept
// everything. Returns the number of pairs seen, including one whose sink stopped the parse.
int ParseAttributeList(std::string_view text, const AttributeSink& nameSink,
                       const AttributeSink& valueSink, const AttributeFlagSink& flagSink = {});

}  // namespace tellweir
