// File-system operations on local paths: existence and kind, deleting, creating and removing
// directory trees, listings, sizes, the read-only attribute, copying and moving. Every function
// reports failure by its result (false or -1) and accepts both '/' and '\' as separators.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tellweir {

enum class PathKind : int { Missing = 0, Directory = 1, File = 2 };

PathKind GetPathKind(std::string_view path);
// An empty path is neither.
bool IsFile(std::string_view path);
bool IsDirectory(std::string_view path);
// True when anything has the name, a dangling symbolic link included (links not followed).
bool EntryExists(std::string_view path);
// True for something that exists (links followed) but is neither a regular file nor a
// directory: a FIFO, a socket, a device. GetPathKind counts it as a file.
bool IsSpecialFile(std::string_view path);
// What one look at a path (links followed) tells: its kind, whether a file is special (as
// IsSpecialFile) and its size (as GetFileSize).
struct PathStatus {
    PathKind kind = PathKind::Missing;
    bool special = false;
    std::int64_t size = -1;
};
PathStatus GetPathStatus(std::string_view path);

// Clears the read-only attribute, then deletes; false when the file does not exist.
bool DeleteFile(std::string_view path);

// Creates every missing level of `path`. False when a level exists as a file or cannot be
// created; true when the whole path then exists as a directory.
bool MakeDirectories(std::string_view path);

// Names (not paths) of the entries of `directory` matching `mask`, files and directories apart;
// either output may be null. A symbolic link counts as a file. When nothing matches, the result
// is whether the directory exists.
bool ListDirectory(std::string_view directory, std::string_view mask,
                   std::vector<std::string>* files, std::vector<std::string>* directories);

// Deletes the files of `directory` matching `mask`; with `recurse`, first empties each matching
// subdirectory the same way and removes it. The first failure ends the work and gives false.
// Symbolic links are deleted as links, never followed.
bool DeleteDirectoryContents(std::string_view directory, std::string_view mask, bool recurse);
// DeleteDirectoryContents with recurse, then removes the directory itself.
bool RemoveDirectory(std::string_view directory, std::string_view mask);
// Removes every subdirectory below `path` depth first, and `path` itself when asked. Files are
// kept, so only directories left empty disappear. The result is the success of removing `path`,
// or true when it is kept.
bool RemoveDirectoryTree(std::string_view path, bool removeSelf);

// The size in bytes, -1 when the path does not exist.
std::int64_t GetFileSize(std::string_view path);
// Opens or creates the file and cuts or extends it to `size`; true when it then has that size.
bool SetFileSize(std::string_view path, std::int64_t size);

// The read-only attribute is the owner's write permission bit.
bool IsReadOnly(std::string_view path);
// False when the path does not exist.
bool SetReadOnly(std::string_view path, bool readOnly);

// Creates the destination's directory, then copies content, permissions and last write time.
// Fails, leaving it unchanged, when the destination already exists, and when the source is not
// a regular file (a FIFO or a device is never opened in a way that could wait).
bool CopyFile(std::string_view source, std::string_view destination);

// Renames `source` to `destination`. When the destination extends the source's name (compared
// in lower case, as "x.txt" to "x.txt.gz"), the move goes through a free temporary name
// "<source in lower case>_<n>" and creates the destination's directory on the way; a failed
// second step is undone. Otherwise one rename, without creating directories.
bool MoveFile(std::string_view source, std::string_view destination);
// The first "<source>_<n>" (n = 0, 1, ...) that names nothing; MoveFile parks the file there.
std::string FreeTemporaryName(std::string_view source);

// Replaces each `escape` followed by two hexadecimal digits by that byte ("%41" -> "A").
std::string PercentDecode(std::string_view text, char escape = '%');

}  // namespace tellweir
