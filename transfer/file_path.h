// Path arithmetic on local file paths: pure string operations, plus the few well-known folders
// (temporary folder, the program's own folder). Both '/' and '\' separate components on input;
// '/' is what these functions write.
#pragma once

#include <string>
#include <string_view>

#include "base/ascii_text.h"  // IsPathSeparator

namespace tellweir {

// True for "/...", "~/...", a drive prefix ("C:"), two leading separators and "file:".
bool IsAbsolutePath(std::string_view path);

// The text from the last '.' when it follows the last separator (".gz" for "c.tar.gz"), else
// empty. The views point into `path`.
std::string_view PathExtension(std::string_view path);
// The text after the last separator; empty when there is none.
std::string_view PathFileName(std::string_view path);
// The text up to and including the last separator; the whole path when there is none.
std::string_view PathDirectory(std::string_view path);

// `relative` when it is absolute; else base and relative with '\' turned into '/', trailing
// separators dropped from both and leading ones from `relative`, joined by one '/'. An empty
// base gives the relative part alone.
std::string JoinPath(std::string_view base, std::string_view relative);

// The form handed to the operating system: '\' becomes '/', and a leading "~/" becomes $HOME.
std::string NativePath(std::string_view path);

// Every existing component as stored on disk. Linux file systems keep names exactly as they are
// given, so this is the native form of the path.
std::string LongPath(std::string_view path);

// $TMPDIR when set and not empty, else "/tmp"; without a trailing separator.
std::string TemporaryFolder();

// The program file (from /proc/self/exe), its folder with a trailing '/', and `name` joined to
// that folder. Empty when the link cannot be read.
std::string ModulePath();
std::string ModuleFolder();
std::string PathInModuleFolder(std::string_view name);

}  // namespace tellweir
