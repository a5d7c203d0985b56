// Resolving relative links and "Location:" values against the resource they came from, and
// telling whether two URLs name the same host.
#pragma once

#include <string>
#include <string_view>

namespace tellweir {

// The absolute URL or local path that `reference` names when read from the resource `base`
// (a file, not a folder), or an empty text when it cannot be resolved:
// - an empty reference gives the base; a "file://" reference gives the absolute local path;
//   a reference that parses strictly as a URL is returned unchanged;
// - against a local base, a local reference is returned unchanged, one beginning with a
//   separator gives nothing, others are joined to the base's folder after climbing "../";
// - against a URL base the path is resolved the same way and the URL is composed with the user
//   but never the password.
std::string ResolveReference(std::string_view base, std::string_view reference);

// True when both are local, or both are URLs (strict parse) with hosts equal ignoring case;
// ports and protocols are not compared. An empty text is never the same site.
bool IsSameSite(std::string_view first, std::string_view second);

}  // namespace tellweir
